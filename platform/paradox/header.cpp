// Headers of .db data files and .px primary indexes.
//
// Fixed part, common to both (structural integers little-endian):
//   OFFSET SIZE DESCRIPTION
//     00    2   record size (.px: key size + 6)
//     02    2   header size: bytes before block 1 (written as a multiple of
//                 0x800; any multiple of 0x200 that holds the header is read)
//     04    1   file type: 0 keyed .db, 1 .px, 2 unkeyed .db
//     05    1   block size in KiB (1, 2, 3, 4, 16, 32)
//     06    4   records (.px: index entries of all levels)
//     0A    2   blocks in the chain
//     0C    2   blocks in the file; file size = header + blocks * block size
//     0E    2   first block of the chain (0 = no block yet)
//     10    2   last block of the chain
//     12    2   change counter (12 written in .db, 17 in .px)
//     14    1   "needs rebuild" flag
//     1E    2   .px: block number of the index root
//     20    1   .px: levels of the index tree
//     21    2   fields (.px: key fields)
//     23    2   key fields (the leading fields); 0 in .px
//     25    4   level 4+ .db: 0xFF00FF00 (key moved to 0x5C); else encryption key
//     29    1   sort order code of alpha keys
//     2A    1   "needs rebuild" flag
//     2C    1   .px: change counter, non-zero, increased on every rewrite
//     2D    1   change counter (2)      2E  1  change counter (1)
//     38    1   write protected
//     39    1   file version: 3..4 level 3, 5..9 level 4, 10..11 level 5, 12 level 7
//     3A    2   = blocks in the file
//     3E    2   .db: 1F 0F
//     49    4   .db: last auto-increment value given
//     4D    2   first block of the free list (0 = none)
//     4F    1   "indexes need update" flag
//     51    2   bytes of the header actually used
//     56    1   .db: 0x20
// Extension of level-4+ data files:
//     58    2   0x0100 + file version      5A  2  same
//     5C    4   encryption key (0 = none)
//     60    4   time of last update (Unix time, informational)
//     64    2   fields + 1                 66  2  offset of field numbers - 0x58
//     6A    2   code page of the text (1252 for new tables)
//     6C    2   01 01                      6E  2  used header bytes - 0x61
// Variable part (at 0x78 in level-4+ data files, else at 0x58):
//   2 * fields     type code and size byte per field
//   4              table name pointer (0)
//   4 * fields     .db only: field name pointers (0)
//   261 or 79      table name, NUL padded (261 from level 7)
//   names          .db only: NUL-terminated field names in the code page
//   2 * fields     .db only: field numbers 1..n
//   name           .db only: NUL-terminated sort order name ("DBWINUS0")
//
// Learned while writing this (not in the reference notes): pxlib 0.6.8
// reads tables carrying the 'ascii' ANSI sort order this engine writes (0x4C,
// "DBWINUS0", code page 1252) exactly like its own ANSIINTL ones; it never
// looks at 0x29 or at the sort order name.  A record size that disagrees with
// the field sizes is checked first, since every later offset depends on it.

#include "platform/paradox/header.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/paged_file.h"

namespace paradox {

using coding::getU16;
using coding::getU32;
using coding::putU16;
using coding::putU32;

namespace {

struct TypeInfo {
    std::uint8_t code;
    FieldType type;
};
constexpr TypeInfo kTypes[] = {
    {0x01, FieldType::Alpha},   {0x02, FieldType::Date},      {0x03, FieldType::Short},
    {0x04, FieldType::Long},    {0x05, FieldType::Money},     {0x06, FieldType::Number},
    {0x09, FieldType::Logical}, {0x0C, FieldType::Memo},      {0x0D, FieldType::Blob},
    {0x0E, FieldType::FmtMemo}, {0x0F, FieldType::Ole},       {0x10, FieldType::Graphic},
    {0x14, FieldType::Time},    {0x15, FieldType::Timestamp}, {0x16, FieldType::AutoInc},
    {0x17, FieldType::Bcd},     {0x18, FieldType::Bytes},
};

bool isBlobCode(std::uint8_t code) { return code >= 0x0C && code <= 0x10; }

// Expected size byte of a fixed-size type, 0 for variable ones.
int fixedSize(std::uint8_t code) {
    switch (code) {
        case 0x02:
        case 0x04:
        case 0x14:
        case 0x16:
            return 4;
        case 0x03:
            return 2;
        case 0x05:
        case 0x06:
        case 0x15:
            return 8;
        case 0x09:
            return 1;
        default:
            return 0;
    }
}

bool validFieldSize(const FieldDesc& d) {
    if (const int fixed = fixedSize(d.code)) return d.size == fixed;
    if (d.code == 0x01 || d.code == 0x18) return d.size >= 1;
    if (d.code == 0x0C) return d.size >= 11 && d.size <= 250;
    if (isBlobCode(d.code)) return d.size >= 10 && d.size <= 250;
    if (d.code == 0x17) return d.size <= 32;
    return false;
}

bool validBlockCode(std::uint8_t code) {
    return code == 1 || code == 2 || code == 3 || code == 4 || code == 16 || code == 32;
}

bool hasExtension(const FileHeader& h, FileKind kind) {
    return variablePartOffset(h.version, kind) == 0x78;
}

std::uint8_t versionOf(const FileHeader& h) { return h.version ? h.version : 12; }

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void parseFixedPart(const std::uint8_t* d, FileHeader& h) {
    h.recordSize = getU16(d + 0x00);
    h.headerSize = getU16(d + 0x02);
    h.fileType = d[0x04];
    h.blockCode = d[0x05];
    h.numRecords = getU32(d + 0x06);
    h.blocksInUse = getU16(d + 0x0A);
    h.fileBlocks = getU16(d + 0x0C);
    h.firstBlock = getU16(d + 0x0E);
    h.lastBlock = getU16(d + 0x10);
    h.indexRoot = getU16(d + 0x1E);
    h.indexLevels = d[0x20];
    h.numFields = getU16(d + 0x21);
    h.keyFields = getU16(d + 0x23);
    h.encryption1 = getU32(d + 0x25);
    h.sortOrder = d[0x29];
    h.indexChangeCounter = d[0x2C];
    h.writeProtected = d[0x38];
    h.version = d[0x39];
    h.autoInc = static_cast<std::int32_t>(getU32(d + 0x49));
    h.firstFreeBlock = getU16(d + 0x4D);
    h.needsRebuild = d[0x14] || d[0x2A] || d[0x4F];
}

void checkFixedPart(const FileHeader& h, std::size_t fileSize, const std::string& path,
                    FileKind kind, bool tolerant) {
    if (h.recordSize == 0) throwDamaged(path, 0x00, "the record size is 0");
    if (h.headerSize < 0x58 || h.headerSize % 0x200 != 0)
        throwDamaged(path, 0x02, "the header size " + std::to_string(h.headerSize) + " is invalid");
    const bool typeOk =
        kind == FileKind::Data ? (h.fileType == 0 || h.fileType == 2) : h.fileType == 1;
    if (!typeOk)
        throwDamaged(
            path, 0x04,
            "file type " + std::to_string(h.fileType) +
                (kind == FileKind::Data ? " is not a data table" : " is not a primary index"));
    if (!validBlockCode(h.blockCode))
        throwDamaged(path, 0x05, "block size code " + std::to_string(h.blockCode) + " is invalid");
    if (h.version < 3 || h.version > 12)
        throwDamaged(path, 0x39, "file version " + std::to_string(h.version) + " is unknown");
    if (h.numFields < 1 || h.numFields > 255)
        throwDamaged(path, 0x21, "the field count " + std::to_string(h.numFields) + " is invalid");
    if (kind == FileKind::Data &&
        (h.keyFields > h.numFields || (h.keyFields > 0) != (h.fileType == 0)))
        throwDamaged(
            path, 0x23,
            "the key field count " + std::to_string(h.keyFields) + " disagrees with the file type");
    if (h.recordSize + 6u > h.blockSize())
        throwDamaged(path, 0x00, "the record size exceeds the block size");
    if (tolerant) {
        if (fileSize < h.headerSize)
            throwDamaged(path, fileSize, "the file is shorter than its header");
        return;
    }
    const std::uint64_t expected =
        h.headerSize + static_cast<std::uint64_t>(h.fileBlocks) * h.blockSize();
    if (fileSize != expected)
        throwDamaged(path, fileSize,
                     "the file holds " + std::to_string(fileSize) +
                         " bytes but its header describes " + std::to_string(expected) +
                         (fileSize < expected ? " (truncated)" : ""));
    if (h.blocksInUse > h.fileBlocks || h.firstBlock > h.fileBlocks || h.lastBlock > h.fileBlocks ||
        h.firstFreeBlock > h.fileBlocks)
        throwDamaged(path, 0x0A, "the block counts exceed the blocks in the file");
}

void parseVariablePart(const std::uint8_t* d, FileHeader& h, const std::string& path,
                       FileKind kind) {
    const std::size_t start = variablePartOffset(h.version, kind);
    coding::Cursor c(d + start, d + h.headerSize);
    int recordSize = 0;
    for (int i = 0; i < h.numFields; ++i) {
        FieldDesc f;
        f.code = c.u8();
        f.size = c.u8();
        FieldType unused;
        if (!c.overrun() && (!fieldTypeOfCode(f.code, unused) || !validFieldSize(f)))
            throwDamaged(path, start + 2 * i,
                         "field " + std::to_string(i + 1) + " has an invalid type or size");
        recordSize += recordBytes(f);
        h.fields.push_back(f);
    }
    const int expectedRecord = kind == FileKind::Data ? recordSize : recordSize + 6;
    if (!c.overrun() && expectedRecord != h.recordSize)
        throwDamaged(path, 0x00,
                     "the record size " + std::to_string(h.recordSize) +
                         " disagrees with the field sizes (" + std::to_string(expectedRecord) +
                         ")");
    c.take(4);
    if (kind == FileKind::Data) c.take(4u * h.numFields);
    c.take(tableNameLength(h.version));
    if (kind == FileKind::Data) {
        std::set<std::string> seen;
        for (int i = 0; i < h.numFields && !c.overrun(); ++i) {
            std::string name = c.cstring();
            if (!c.overrun() && (name.empty() || !seen.insert(upper(name)).second))
                throwDamaged(path, start,
                             "field " + std::to_string(i + 1) + " has an empty or repeated name");
            h.fieldNames.push_back(std::move(name));
        }
        for (int i = 0; i < h.numFields && !c.overrun(); ++i)
            if (c.u16() != i + 1 && !c.overrun())
                throwDamaged(path, start,
                             "the field numbers are not 1.." + std::to_string(h.numFields));
        if (h.version >= 5) h.sortOrderName = c.cstring();
    }
    if (c.overrun()) throwDamaged(path, h.headerSize, "the field list runs past the header");
}

}  // namespace

std::size_t variablePartOffset(std::uint8_t version, FileKind kind) {
    return kind == FileKind::Data && version >= 5 ? 0x78 : 0x58;
}

std::size_t tableNameLength(std::uint8_t version) { return version >= 12 ? 261 : 79; }

bool FileHeader::encrypted() const {
    if (version >= 5 && encryption1 == 0xFF00FF00u) return encryption2 != 0;
    return fileType == 1 ? false : encryption1 != 0;
}

bool fieldTypeOfCode(std::uint8_t code, FieldType& type) {
    for (const auto& t : kTypes)
        if (t.code == code) {
            type = t.type;
            return true;
        }
    return false;
}

std::uint8_t codeOfFieldType(FieldType type) {
    for (const auto& t : kTypes)
        if (t.type == type) return t.code;
    return 0;
}

int recordBytes(const FieldDesc& desc) { return desc.code == 0x17 ? 17 : desc.size; }

FileHeader parseHeader(const std::uint8_t* data, std::size_t fileSize, const std::string& path,
                       FileKind kind, bool tolerant) {
    if (fileSize < 0x78) throwDamaged(path, fileSize, "the file is shorter than a table header");
    FileHeader h;
    parseFixedPart(data, h);
    checkFixedPart(h, fileSize, path, kind, tolerant);
    if (hasExtension(h, kind)) {
        h.encryption2 = getU32(data + 0x5C);
        h.codePage = getU16(data + 0x6A);
    } else if (kind == FileKind::Data) {
        h.codePage = 437;  // level-3 tables predate the code page field
    }
    const bool encrypted = tolerant && hasExtension(h, kind) ? h.encryption2 != 0 : h.encrypted();
    if (kind == FileKind::Data && encrypted)
        throw EDatabaseError("Table " + path +
                             " is password-protected (encrypted); this program cannot read it");
    parseVariablePart(data, h, path, kind);
    return h;
}

std::vector<std::uint8_t> buildVariablePart(const FileHeader& h, FileKind kind,
                                            const std::string& tableName) {
    const bool data = kind == FileKind::Data;
    std::vector<std::uint8_t> var;
    for (const auto& f : h.fields) {
        var.push_back(f.code);
        var.push_back(f.size);
    }
    var.insert(var.end(), 4, 0);
    if (data) var.insert(var.end(), 4 * h.fields.size(), 0);
    const std::size_t nameLength = tableNameLength(versionOf(h));
    std::string name = tableName.substr(0, nameLength - 1);
    name.resize(nameLength, '\0');
    var.insert(var.end(), name.begin(), name.end());
    if (data) {
        for (const auto& n : h.fieldNames) {
            var.insert(var.end(), n.begin(), n.end());
            var.push_back(0);
        }
        for (std::size_t i = 0; i < h.fields.size(); ++i) {
            var.push_back(static_cast<std::uint8_t>(i + 1));
            var.push_back(static_cast<std::uint8_t>((i + 1) >> 8));
        }
        var.insert(var.end(), h.sortOrderName.begin(), h.sortOrderName.end());
        var.push_back(0);
    }
    return var;
}

std::vector<std::uint8_t> buildHeader(const FileHeader& h, FileKind kind,
                                      const std::string& tableName) {
    const bool data = kind == FileKind::Data;
    const std::uint8_t version = versionOf(h);
    const bool extension = variablePartOffset(version, kind) == 0x78;
    const std::vector<std::uint8_t> var = buildVariablePart(h, kind, tableName);
    const std::size_t start = variablePartOffset(version, kind);
    const std::size_t used = start + var.size();
    const std::size_t headerSize =
        h.headerSize >= used ? h.headerSize : (used + 0x7FF) / 0x800 * 0x800;
    // The field numbers follow the field names, which end 2 * n + 1 + the
    // sort order name's length before the end.
    const std::size_t fieldNumbersAt = used - h.sortOrderName.size() - 1 - 2 * h.fields.size();
    std::vector<std::uint8_t> out(headerSize, 0);
    std::uint8_t* d = out.data();
    putU16(d + 0x00, h.recordSize);
    putU16(d + 0x02, static_cast<std::uint16_t>(headerSize));
    d[0x04] = h.fileType;
    d[0x05] = h.blockCode;
    putU16(d + 0x12, data ? 12 : 17);
    putU16(d + 0x21, static_cast<std::uint16_t>(h.fields.size()));
    putU16(d + 0x23, data ? h.keyFields : 0);
    // Level 4+ data files keep their key at 0x5C and a marker here.
    putU32(d + 0x25, extension ? 0xFF00FF00u : 0);
    d[0x29] = h.sortOrder;
    d[0x2C] = data ? 0 : 1;
    d[0x2D] = 2;
    d[0x2E] = 1;
    d[0x39] = version;
    if (data) {
        d[0x3E] = 0x1F;
        d[0x3F] = 0x0F;
    } else {
        putU32(d + 0x49, 1);
    }
    putU16(d + 0x51, static_cast<std::uint16_t>(used));
    if (data) d[0x56] = 0x20;
    if (extension) {
        putU16(d + 0x58, static_cast<std::uint16_t>(0x0100 + version));
        putU16(d + 0x5A, static_cast<std::uint16_t>(0x0100 + version));
        putU32(d + 0x60, static_cast<std::uint32_t>(std::time(nullptr)));
        putU16(d + 0x64, static_cast<std::uint16_t>(h.fields.size() + 1));
        putU16(d + 0x66, static_cast<std::uint16_t>(fieldNumbersAt - 0x58));
        putU16(d + 0x6A, h.codePage);
        d[0x6C] = 1;
        d[0x6D] = 1;
        putU16(d + 0x6E, static_cast<std::uint16_t>(used - 0x61));
    }
    std::copy(var.begin(), var.end(), out.begin() + static_cast<std::ptrdiff_t>(start));
    return out;
}

void putCounters(std::uint8_t* fixed, const FileHeader& h, FileKind kind) {
    putU32(fixed + 0x06, h.numRecords);
    putU16(fixed + 0x0A, h.blocksInUse);
    putU16(fixed + 0x0C, h.fileBlocks);
    putU16(fixed + 0x0E, h.firstBlock);
    putU16(fixed + 0x10, h.lastBlock);
    putU16(fixed + 0x3A, h.fileBlocks);
    putU16(fixed + 0x4D, h.firstFreeBlock);
    if (kind == FileKind::Data) {
        putU32(fixed + 0x49, static_cast<std::uint32_t>(h.autoInc));
    } else {
        putU16(fixed + 0x1E, h.indexRoot);
        fixed[0x20] = h.indexLevels;
        fixed[0x2C] = h.indexChangeCounter;
    }
}

void storeCounters(PagedFile& file, const FileHeader& h, FileKind kind) {
    std::uint8_t fixed[0x58];
    file.copy(0, sizeof fixed, fixed);
    putCounters(fixed, h, kind);
    file.store(0, fixed, sizeof fixed);
}

}  // namespace paradox
