// The .db header through the engine's parser.  The utility adds one thing
// of its own: a descriptor damaged beyond reading is replaced by the known
// structure of the table, when the field names stored at their places (or
// the record size) show that it is that table.

#include "platform/tutil/header.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/tutil/tutil.h"

namespace tutil {

namespace {

using paradox::FileKind;

[[noreturn]] void damaged(const std::string& path, const std::string& what) {
    throw TableError(TU_ERR_DAMAGED, "Table " + path + " is damaged: " + what);
}

TableHeader fromEngine(const paradox::FileHeader& e) {
    TableHeader h;
    h.file = e;
    h.recordSize = e.recordSize;
    h.headerSize = e.headerSize;
    h.blockSizeCode = e.blockCode;
    h.blockSize = static_cast<int>(e.blockSize());
    h.numRecords = e.numRecords;
    h.blocksInUse = e.blocksInUse;
    h.fileBlocks = e.fileBlocks;
    h.firstBlock = e.firstBlock;
    h.lastBlock = e.lastBlock;
    h.firstFreeBlock = e.firstFreeBlock;
    h.keyFieldCount = e.keyFields;
    h.version = e.version;
    h.autoIncrement = static_cast<std::uint32_t>(e.autoInc);
    h.codePage = e.codePage;
    h.sortOrderName = e.sortOrderName;
    h.modifiedFlags = e.needsRebuild;
    int offset = 0;
    for (std::size_t i = 0; i < e.fields.size(); ++i) {
        FieldInfo f;
        f.name = i < e.fieldNames.size() ? e.fieldNames[i] : std::string();
        f.type = e.fields[i].code;
        f.sizeByte = e.fields[i].size;
        f.offset = offset;
        f.length = paradox::recordBytes(e.fields[i]);
        offset += f.length;
        h.fields.push_back(std::move(f));
    }
    return h;
}

// The engine's parse, its failures as the utility's errors.
TableHeader parseByEngine(std::span<const std::uint8_t> bytes, const std::string& path) {
    try {
        return fromEngine(
            paradox::parseHeader(bytes.data(), bytes.size(), path, FileKind::Data, true));
    } catch (const paradox::ETableDamaged& e) {
        throw TableError(TU_ERR_DAMAGED, e.fault());
    } catch (const EDatabaseError& e) {
        throw TableError(TU_ERR_UNSUPPORTED, e.what());
    }
}

// The header with its descriptor written from `known`: field and key counts,
// record size, types, names and field numbers; the table name and the sort
// order name stay.  Refused when neither the names stored at the known
// fields' places nor the stored record size are the known structure's.
std::vector<std::uint8_t> withKnownDescriptor(std::span<const std::uint8_t> bytes,
                                              const std::string& path,
                                              const KnownStructure& known) {
    const std::uint8_t* b = bytes.data();
    const std::size_t headerSize =
        std::min<std::size_t>(paradox::coding::getU16(b + 2), bytes.size());
    const std::uint8_t version = b[0x39];
    const std::size_t start = paradox::variablePartOffset(version, FileKind::Data);
    const std::size_t n = known.fields.size();
    paradox::coding::Cursor c(b + std::min(start, headerSize), b + headerSize);
    c.take(6 * n + 4);
    const std::uint8_t* name = c.take(paradox::tableNameLength(version));
    bool namesAgree = !c.overrun();
    for (const FieldInfo& f : known.fields) namesAgree = c.cstring() == f.name && namesAgree;
    namesAgree = namesAgree && !c.overrun();
    c.take(2 * n);
    const std::string sortOrderName = c.cstring();

    paradox::FileHeader h;
    h.version = version;
    h.keyFields = static_cast<std::uint16_t>(known.keyFieldCount);
    h.sortOrderName = c.overrun() ? std::string() : sortOrderName;
    int recordSize = 0;
    for (const FieldInfo& f : known.fields) {
        h.fields.push_back({f.type, f.sizeByte});
        h.fieldNames.push_back(f.name);
        recordSize += paradox::recordBytes(h.fields.back());
    }
    if (!namesAgree && paradox::coding::getU16(b) != recordSize)
        damaged(path,
                "neither its field names nor its record size are those of the table's known "
                "structure");
    const std::string tableName = name ? std::string(reinterpret_cast<const char*>(name),
                                                     strnlen(reinterpret_cast<const char*>(name),
                                                             paradox::tableNameLength(version)))
                                       : std::string();
    const std::vector<std::uint8_t> descriptor =
        paradox::buildVariablePart(h, FileKind::Data, tableName);
    if (start + descriptor.size() > headerSize)
        damaged(path, "the table's known structure does not fit its header");

    std::vector<std::uint8_t> patched(bytes.begin(), bytes.end());
    std::uint8_t* p = patched.data();
    paradox::coding::putU16(p + 0x00, static_cast<std::uint16_t>(recordSize));
    if (p[0x04] == 0 || p[0x04] == 2) p[0x04] = known.keyFieldCount > 0 ? 0 : 2;
    paradox::coding::putU16(p + 0x21, static_cast<std::uint16_t>(n));
    paradox::coding::putU16(p + 0x23, static_cast<std::uint16_t>(known.keyFieldCount));
    std::copy(descriptor.begin(), descriptor.end(), p + start);
    return patched;
}

}  // namespace

int TableHeader::keySize() const {
    int size = 0;
    for (int i = 0; i < keyFieldCount; ++i) size += fields[static_cast<std::size_t>(i)].length;
    return size;
}

int recordSizeOf(const std::vector<FieldInfo>& fields) {
    int size = 0;
    for (const auto& f : fields) size += f.length;
    return size;
}

TableHeader readHeader(const std::string& dbPath, const KnownStructure* known) {
    std::ifstream in(dbPath, std::ios::binary);
    if (!in) throw TableError(TU_ERR_NOTFOUND, "Table " + dbPath + " cannot be opened");
    // A header is at most 0xFFFF bytes.
    std::vector<std::uint8_t> bytes(0x10000);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return parseHeader(bytes, dbPath, known);
}

TableHeader parseHeader(std::span<const std::uint8_t> bytes, const std::string& dbPath,
                        const KnownStructure* known) {
    // A header too short to hold a descriptor is the engine's to report.
    if (!known || bytes.size() < 0x78) return parseByEngine(bytes, dbPath);
    // Only the header's bytes are copied and patched.
    const std::size_t headerBytes = std::min<std::size_t>(bytes.size(), 0x10000);
    return parseByEngine(withKnownDescriptor(bytes.first(headerBytes), dbPath, *known), dbPath);
}

}  // namespace tutil
