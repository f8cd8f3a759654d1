// The C entry points of libTUTIL32.so.  Each checks its handle and
// arguments, runs the operation and turns any failure into a result code,
// leaving the message with the engine's session list for the caller.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <set>
#include <string>

#include "platform/base/exception.h"
#include "platform/paradox/session.h"
#include "platform/paradox/table.h"
#include "platform/tutil/header.h"
#include "platform/tutil/rebuild.h"
#include "platform/tutil/tutil.h"

#define TU_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex handlesMutex;
std::set<TUHANDLE> openHandles;
TUHANDLE nextHandle = 1;

const char* codeText(TURESULT code) {
    switch (code) {
        case TU_OK:
            return "Success";
        case TU_ERR_HANDLE:
            return "Invalid table utility handle";
        case TU_ERR_PARAM:
            return "Invalid parameter";
        case TU_ERR_NOTFOUND:
            return "Table not found";
        case TU_ERR_DAMAGED:
            return "The table is damaged beyond repair";
        case TU_ERR_IO:
            return "A table file could not be read or written";
        case TU_ERR_UNSUPPORTED:
            return "The table uses a feature the utility does not handle";
        case TU_ERR_NOMEMORY:
            return "Not enough memory";
        case TU_ERR_DESCRIPTION:
            return "The table description does not match the table";
        case TU_ERR_ABORTED:
            return "The operation was stopped";
        default:
            return "Unknown table utility error";
    }
}

TURESULT failWith(TURESULT code, const std::string& message) {
    paradox::SessionList::instance().setLastError(code, message.empty() ? codeText(code) : message);
    return code;
}

bool validHandle(TUHANDLE handle) {
    std::lock_guard lock(handlesMutex);
    return openHandles.count(handle) != 0;
}

bool isParadox(const char* type) {
    if (!type) return false;
    std::string t(type);
    std::transform(t.begin(), t.end(), t.begin(), ::toupper);
    return t == "PARADOX";
}

// Runs `operation` for an open handle, catching every failure.
template <class Operation>
TURESULT guarded(TUHANDLE handle, Operation operation) {
    if (!validHandle(handle)) return failWith(TU_ERR_HANDLE, "");
    try {
        operation();
        return TU_OK;
    } catch (const tutil::TableError& e) {
        return failWith(static_cast<TURESULT>(e.code), e.what());
    } catch (const std::bad_alloc&) {
        return failWith(TU_ERR_NOMEMORY, "");
    } catch (const std::exception& e) {
        return failWith(TU_ERR_IO, e.what());
    }
}

void requireName(const char* name) {
    if (!name || !*name) throw tutil::TableError(TU_ERR_PARAM, "No table name given");
}

void copyText(char* out, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

tutil::TableHeader headerOf(const char* name) {
    requireName(name);
    return tutil::readHeader(tutil::locateTable(name).db);
}

// The optional parameter "BLOCK SIZE" (its data: the size in bytes, as
// text) asks for the rebuilt table's block size; 0 when it is not given.
int requestedBlockSizeKiB(const TUCrTblDesc& desc) {
    if (desc.optParamCount > 0 &&
        (!desc.optParams || desc.optDataCount < desc.optParamCount || !desc.optData))
        throw tutil::TableError(TU_ERR_PARAM, "The table description's options are incomplete");
    for (int i = 0; i < desc.optParamCount; ++i) {
        const TUFieldDesc& option = desc.optParams[i];
        if (std::string(option.name, strnlen(option.name, sizeof(option.name))) != "BLOCK SIZE")
            continue;
        const char* text = reinterpret_cast<const char*>(desc.optData + 128 * i);
        const std::string bytes(text, strnlen(text, 128));
        for (int kib : paradox::kBlockSizesKiB)
            if (bytes == std::to_string(kib * 1024)) return kib;
        throw tutil::TableError(TU_ERR_PARAM, "A block size of " + bytes +
                                                  " bytes is not one the format allows "
                                                  "(1024, 2048, 4096, 16384 or 32768)");
    }
    return 0;
}

tutil::RebuildRequest requestFrom(const char* table, const char* backup, const char* keyViol,
                                  const char* problems, const TUCrTblDesc& desc) {
    tutil::RebuildRequest request;
    request.table = table;
    request.backup = backup;
    request.keyViolations = keyViol;
    request.problems = problems;
    if (desc.fieldCount > 0 && !desc.fields)
        throw tutil::TableError(TU_ERR_PARAM, "The table description has no fields");
    for (int i = 0; i < desc.fieldCount; ++i) {
        const TUFieldDesc& d = desc.fields[i];
        tutil::FieldInfo f;
        f.name.assign(d.name, strnlen(d.name, sizeof(d.name)));
        f.type = d.typeCode;
        f.sizeByte = d.sizeByte;
        request.fields.push_back(f);
    }
    for (int i = 0; i < desc.indexCount && desc.indexes; ++i)
        if (desc.indexes[i].primary) request.keyFieldCount = desc.indexes[i].fieldCount;
    request.blockSizeKiB = requestedBlockSizeKiB(desc);
    return request;
}

}  // namespace

TU_EXPORT TURESULT TUInit(TUHANDLE* handle) {
    if (!handle) return failWith(TU_ERR_PARAM, "");
    std::lock_guard lock(handlesMutex);
    while (nextHandle == 0 || openHandles.count(nextHandle)) ++nextHandle;
    *handle = nextHandle++;
    openHandles.insert(*handle);
    return TU_OK;
}

TU_EXPORT TURESULT TUExit(TUHANDLE handle) {
    std::lock_guard lock(handlesMutex);
    if (openHandles.erase(handle) == 0) return failWith(TU_ERR_HANDLE, "");
    return TU_OK;
}

TU_EXPORT TURESULT TUVerifyTable(TUHANDLE handle, const char* tableName, const char* tableType,
                                 const char* errTableName, const char* /*password*/,
                                 int32_t options, int32_t* errorLevel) {
    return guarded(handle, [&] {
        requireName(tableName);
        if (!errorLevel) throw tutil::TableError(TU_ERR_PARAM, "No error level given");
        if (!isParadox(tableType))
            throw tutil::TableError(TU_ERR_UNSUPPORTED, "Only Paradox tables can be verified");
        std::vector<std::string> findings;
        *errorLevel = tutil::verifyTable(tableName, (options & TU_VERIFY_HEADER_ONLY) != 0,
                                         findings, (options & TU_VERIFY_NO_LOCK) == 0);
        if (errTableName && *errTableName && !findings.empty() &&
            *errorLevel < TU_LEVEL_UNREADABLE) {
            std::string base = errTableName;
            const std::string ext = std::filesystem::path(base).extension().string();
            if (!ext.empty()) base.resize(base.size() - ext.size());
            tutil::writeErrorTable(base, headerOf(tableName), findings);
        }
    });
}

TU_EXPORT TURESULT TURebuildTable(TUHANDLE handle, const char* tableName, const char* tableType,
                                  const char* backupName, const char* keyViolName,
                                  const char* problemName, TUCrTblDesc* description) {
    return guarded(handle, [&] {
        requireName(tableName);
        if (!description || !backupName || !*backupName || !keyViolName || !problemName)
            throw tutil::TableError(TU_ERR_PARAM, "Invalid rebuild parameters");
        if (!isParadox(tableType))
            throw tutil::TableError(TU_ERR_UNSUPPORTED, "Only Paradox tables can be rebuilt");
        const tutil::RebuildRequest request =
            requestFrom(tableName, backupName, keyViolName, problemName, *description);
        paradox::Session& session = paradox::SessionList::instance().current();
        tutil::RebuildProgress progress;
        progress.percent = [&session](int p) {
            return session.reportProgress(p) != paradox::kCallbackAbort;
        };
        progress.message = [&session](const std::string& m) {
            return session.reportMessage(m) != paradox::kCallbackAbort;
        };
        tutil::rebuildTable(request, progress);
    });
}

TU_EXPORT TURESULT TUGetCRTblDescCount(TUHANDLE handle, const char* tableName, uint16_t* fields,
                                       uint16_t* indexes, uint16_t* security, uint16_t* validity,
                                       uint16_t* refInt, uint16_t* optParams, uint16_t* optData) {
    return guarded(handle, [&] {
        if (!fields || !indexes || !security || !validity || !refInt || !optParams || !optData)
            throw tutil::TableError(TU_ERR_PARAM, "Missing count address");
        const tutil::TableHeader h = headerOf(tableName);
        *fields = static_cast<uint16_t>(h.fields.size());
        *indexes = h.keyFieldCount > 0 ? 1 : 0;
        *security = *validity = *refInt = *optParams = *optData = 0;
    });
}

TU_EXPORT TURESULT TUFillCRTblDesc(TUHANDLE handle, TUCrTblDesc* description, const char* tableName,
                                   const char* /*password*/) {
    return guarded(handle, [&] {
        if (!description) throw tutil::TableError(TU_ERR_PARAM, "No table description given");
        const tutil::TableHeader h = headerOf(tableName);
        TUCrTblDesc& d = *description;
        const std::size_t keyed = h.keyFieldCount > 0 ? 1 : 0;
        if (d.fieldCount != h.fields.size() || !d.fields || d.indexCount < keyed ||
            (keyed && !d.indexes))
            throw tutil::TableError(TU_ERR_PARAM, "The description's arrays do not fit the table");
        for (std::size_t i = 0; i < h.fields.size(); ++i) {
            const tutil::FieldInfo& f = h.fields[i];
            TUFieldDesc& out = d.fields[i];
            std::memset(&out, 0, sizeof out);
            out.number = static_cast<uint16_t>(i + 1);
            copyText(out.name, sizeof out.name, f.name);
            out.typeCode = f.type;
            out.sizeByte = f.sizeByte;
            out.offset = static_cast<uint16_t>(f.offset);
            out.length = static_cast<uint16_t>(f.length);
        }
        if (keyed) {
            TUIndexDesc& index = d.indexes[0];
            std::memset(&index, 0, sizeof index);
            index.number = 1;
            index.primary = 1;
            index.unique = 1;
            index.fieldCount = static_cast<uint16_t>(h.keyFieldCount);
            for (int i = 0; i < h.keyFieldCount && i < 64; ++i)
                index.fields[i] = static_cast<uint16_t>(i + 1);
        }
    });
}

TU_EXPORT TURESULT TUFillCURProps(TUHANDLE handle, const char* tableName, void* cursorProps) {
    return guarded(handle, [&] {
        if (!cursorProps) throw tutil::TableError(TU_ERR_PARAM, "No buffer given");
        TUCursorProps props;
        std::memset(&props, 0, sizeof props);
        copyText(props.tableName, sizeof props.tableName, tableName);
        copyText(props.tableType, sizeof props.tableType, "PARADOX");
        tutil::TableHeader h;
        try {
            h = headerOf(tableName);
        } catch (const tutil::TableError& e) {
            // An encrypted table is described as protected; the operations
            // that read its records refuse it later with their own message.
            if (e.code != TU_ERR_UNSUPPORTED) throw;
            props.isProtected = 1;
            std::memcpy(cursorProps, &props, sizeof props);
            return;
        }
        props.fieldCount = static_cast<uint16_t>(h.fields.size());
        props.recordSize = static_cast<uint16_t>(h.recordSize);
        props.keyFieldCount = static_cast<uint16_t>(h.keyFieldCount);
        props.recordCount = h.numRecords;
        props.blockSize = static_cast<uint16_t>(h.blockSize);
        props.level = static_cast<uint8_t>(h.version);
        props.codePage = static_cast<uint16_t>(h.codePage);
        copyText(props.sortOrder, sizeof props.sortOrder, h.sortOrderName);
        props.autoIncrement = h.autoIncrement;
        std::memcpy(cursorProps, &props, sizeof props);
    });
}

TU_EXPORT TURESULT TUGetErrorString(TURESULT code, char* buffer) {
    if (!buffer) return TU_ERR_PARAM;
    copyText(buffer, 256, codeText(code));
    return TU_OK;
}
