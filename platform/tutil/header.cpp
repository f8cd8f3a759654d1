// The .db header (all integers little-endian):
//
//   OFFSET  SIZE  FIELD
//   0x00    u16   record size
//   0x02    u16   header size (multiple of 0x800)
//   0x04    u8    file type: 0 keyed, 2 unkeyed
//   0x05    u8    block size in KiB (1, 2, 3, 4, 16, 32)
//   0x06    u32   records in the chain
//   0x0A    u16   blocks in the chain       0x0C  u16  blocks in the file
//   0x0E    u16   first block of the chain  0x10  u16  last block
//   0x14    u8    "needs rebuilding" flag   0x2A  u8   second such flag
//   0x21    s16   fields                    0x23  s16  leading key fields
//   0x25    u32   0xFF00FF00 (level 4+)     0x39  u8   file version (3..12)
//   0x3A    u16   = blocks in the file      0x49  u32  last auto-increment value
//   0x4D    u16   first free block          0x4F  u8   index update required
//   0x51    u16   bytes of header used
//   0x58..0x77    level 5+ only: version words, encryption key (0x5C), code
//                 page (0x6A), hiFieldID (0x64), name-area offset (0x66)
//   then          2 bytes per field (type, size), 4 zero bytes, 4 zero bytes
//                 per field, the table name (261 bytes, 79 below level 7),
//                 the field names (NUL-terminated), 2 bytes per field
//                 (1..n), the sort order name (NUL-terminated), zero fill.

#include "platform/tutil/header.h"

#include <algorithm>
#include <fstream>
#include <set>

#include "platform/paradox/coding.h"
#include "platform/tutil/tutil.h"

namespace tutil {

using namespace paradox::coding;

namespace {

[[noreturn]] void damaged(const std::string& path, const std::string& what) {
    throw TableError(TU_ERR_DAMAGED, "Table " + path + " is damaged: " + what);
}

[[noreturn]] void encrypted(const std::string& path) {
    throw TableError(TU_ERR_UNSUPPORTED, "Table " + path +
                                             " is password-protected (encrypted); the table "
                                             "utility cannot read it");
}

// Bytes a field takes in the record; 0 for an unknown type or a size out of
// range.
int fieldLength(std::uint8_t type, std::uint8_t size) {
    switch (type) {
        case 0x01:
        case 0x18:
            return size >= 1 ? size : 0;
        case 0x02:
        case 0x04:
        case 0x14:
        case kAutoInc:
            return 4;
        case 0x03:
            return 2;
        case kMoney:
        case kNumber:
        case kTimestamp:
            return 8;
        case kLogical:
            return 1;
        case 0x0C:
            return size >= 11 && size <= 250 ? size : 0;
        case 0x0D:
        case 0x0E:
        case 0x0F:
        case 0x10:
            return size >= 10 && size <= 250 ? size : 0;
        case kBcd:
            return size <= 32 ? 17 : 0;
        default:
            return 0;
    }
}

// The size byte a field of a fixed-size type must carry (its length);
// other types keep theirs.  A damaged size byte of such a field does not
// change where the values lie, so the rebuilt header gets the right one
// instead of copying a byte that other readers refuse.
std::uint8_t sizeByteOf(std::uint8_t type, std::uint8_t size) {
    switch (type) {
        case 0x02:
        case 0x03:
        case 0x04:
        case kMoney:
        case kNumber:
        case kLogical:
        case 0x14:
        case kTimestamp:
        case kAutoInc:
            return static_cast<std::uint8_t>(fieldLength(type, size));
        default:
            return size;
    }
}

int blockSizeOf(int code) {
    switch (code) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 16:
        case 32:
            return code * 1024;
        default:
            return 0;
    }
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
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
    std::vector<std::uint8_t> bytes(0x800);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() >= 4) {
        const int headerSize = getU16(&bytes[2]);
        if (headerSize > 0x800 && headerSize <= 0x10000) {
            bytes.resize(static_cast<std::size_t>(headerSize));
            in.clear();
            in.seekg(0);
            in.read(reinterpret_cast<char*>(bytes.data()), headerSize);
            bytes.resize(static_cast<std::size_t>(in.gcount()));
        }
    }
    return parseHeader(bytes, dbPath, known);
}

namespace {

// The header's fields: read from the descriptor, or, with `known`, taken
// from the known structure when the names stored at its places (or the
// record size) agree with it.
void readFields(TableHeader& h, const std::uint8_t* b, std::size_t fixedSize, int numFields,
                const std::string& dbPath, const KnownStructure* known) {
    const std::size_t n = static_cast<std::size_t>(known ? known->fields.size() : numFields);
    const std::size_t nameLength = h.version >= 12 ? 261 : 79;
    Cursor c(b + fixedSize, b + h.headerSize);
    const std::uint8_t* types = c.take(2 * n);
    c.take(4 + 4 * n);
    const std::uint8_t* tableName = c.take(nameLength);
    if (c.overrun()) damaged(dbPath, "the field list is cut short");
    h.tableName.assign(tableName, tableName + nameLength);
    std::set<std::string> seen;
    bool namesAgree = true;
    int offset = 0;
    for (std::size_t i = 0; i < n; ++i) {
        FieldInfo f;
        f.type = known ? known->fields[i].type : types[2 * i];
        f.sizeByte = known ? known->fields[i].sizeByte : types[2 * i + 1];
        f.length = fieldLength(f.type, f.sizeByte);
        f.sizeByte = sizeByteOf(f.type, f.sizeByte);
        f.offset = offset;
        f.name = c.cstring();
        if (known) {
            namesAgree = namesAgree && !c.overrun() && f.name == known->fields[i].name;
            f.name = known->fields[i].name;
        } else if (c.overrun()) {
            damaged(dbPath, "field names are cut short");
        }
        if (f.length == 0)
            damaged(dbPath, "field " + std::to_string(i + 1) + " has an unknown type or size");
        if (f.name.empty() || !seen.insert(upper(f.name)).second)
            damaged(dbPath, "field " + std::to_string(i + 1) + " has an empty or repeated name");
        offset += f.length;
        h.fields.push_back(std::move(f));
    }
    if (known && !namesAgree && offset != h.recordSize)
        damaged(dbPath,
                "neither its field names nor its record size are those of the table's "
                "known structure");
    if (offset != h.recordSize) {
        if (!known) damaged(dbPath, "the record size disagrees with the fields");
        h.recordSize = offset;  // the names agree: the stored size is the damage
    }
    if (h.recordSize + 6 > h.blockSize) damaged(dbPath, "a record does not fit a block");
    c.take(2 * n);
    h.sortOrderName = c.cstring();
    if (c.overrun()) h.sortOrderName.clear();  // older levels may end without it
}

}  // namespace

TableHeader parseHeader(std::span<const std::uint8_t> bytes, const std::string& dbPath,
                        const KnownStructure* known) {
    if (bytes.size() < 0x58) damaged(dbPath, "the header is cut short");
    const std::uint8_t* b = bytes.data();
    TableHeader h;
    h.recordSize = getU16(b + 0x00);
    h.headerSize = getU16(b + 0x02);
    h.fileType = b[0x04];
    h.blockSizeCode = b[0x05];
    h.blockSize = blockSizeOf(h.blockSizeCode);
    h.numRecords = getU32(b + 0x06);
    h.blocksInUse = getU16(b + 0x0A);
    h.fileBlocks = getU16(b + 0x0C);
    h.firstBlock = getU16(b + 0x0E);
    h.lastBlock = getU16(b + 0x10);
    h.modifiedFlags = b[0x14] != 0 || b[0x2A] != 0 || b[0x4F] != 0;
    const int numFields = getS16(b + 0x21);
    h.keyFieldCount = known ? known->keyFieldCount : getS16(b + 0x23);
    h.version = b[0x39];
    h.autoIncrement = getU32(b + 0x49);
    h.firstFreeBlock = getU16(b + 0x4D);

    if (h.fileType != 0 && h.fileType != 2) damaged(dbPath, "it is not a data file");
    if (h.blockSize == 0)
        damaged(dbPath, "unknown block size code " + std::to_string(h.blockSizeCode));
    if (h.version < 3 || h.version > 12) damaged(dbPath, "unknown file version");
    if (h.headerSize == 0 || h.headerSize % 0x800 != 0 ||
        static_cast<std::size_t>(h.headerSize) > bytes.size())
        damaged(dbPath, "bad header size " + std::to_string(h.headerSize));
    if (!known && (numFields < 1 || numFields > 255)) damaged(dbPath, "bad field count");
    if (!known && (h.keyFieldCount < 0 || h.keyFieldCount > numFields ||
                   (h.keyFieldCount > 0) != (h.fileType == 0)))
        damaged(dbPath, "bad key field count");
    const std::size_t fixedSize = h.hasExtension() ? 0x78 : 0x58;
    if (h.hasExtension()) {
        if (getU32(b + 0x5C) != 0) encrypted(dbPath);
        h.codePage = getU16(b + 0x6A);
    } else if (getU32(b + 0x25) != 0) {
        encrypted(dbPath);
    }
    h.fixed.assign(b, b + fixedSize);
    readFields(h, b, fixedSize, numFields, dbPath, known);
    return h;
}

std::vector<std::uint8_t> writeHeader(const TableHeader& model,
                                      const std::vector<FieldInfo>& fields, int keyFieldCount,
                                      int blockSizeCode, const PackedCounts& counts) {
    const std::size_t fixedSize = model.fixed.size();
    const std::size_t n = fields.size();
    std::vector<std::uint8_t> v(model.fixed);
    for (const auto& f : fields) {
        v.push_back(f.type);
        v.push_back(f.sizeByte);
    }
    v.insert(v.end(), 4 + 4 * n, 0);
    v.insert(v.end(), model.tableName.begin(), model.tableName.end());
    for (const auto& f : fields) {
        v.insert(v.end(), f.name.begin(), f.name.end());
        v.push_back(0);
    }
    const std::size_t fieldNumbersAt = v.size();
    for (std::size_t i = 0; i < n; ++i) {
        v.push_back(static_cast<std::uint8_t>(i + 1));
        v.push_back(static_cast<std::uint8_t>((i + 1) >> 8));
    }
    v.insert(v.end(), model.sortOrderName.begin(), model.sortOrderName.end());
    v.push_back(0);
    const std::size_t used = v.size();
    const std::size_t headerSize = (used + 0x7FF) / 0x800 * 0x800;
    v.resize(headerSize, 0);

    std::uint8_t* b = v.data();
    putU16(b + 0x00, static_cast<std::uint16_t>(recordSizeOf(fields)));
    putU16(b + 0x02, static_cast<std::uint16_t>(headerSize));
    b[0x04] = keyFieldCount > 0 ? 0 : 2;
    b[0x05] = static_cast<std::uint8_t>(blockSizeCode);
    putU32(b + 0x06, counts.numRecords);
    const auto blocks = static_cast<std::uint16_t>(counts.blocks);
    putU16(b + 0x0A, blocks);
    putU16(b + 0x0C, blocks);
    putU16(b + 0x0E, blocks > 0 ? 1 : 0);
    putU16(b + 0x10, blocks);
    b[0x14] = 0;
    std::fill(b + 0x16, b + 0x21, 0);  // run-time pointers, index root and levels
    putU16(b + 0x21, static_cast<std::uint16_t>(n));
    putU16(b + 0x23, static_cast<std::uint16_t>(keyFieldCount));
    b[0x2A] = 0;
    b[0x2D] = static_cast<std::uint8_t>(std::max<int>(2, b[0x2D]));
    std::fill(b + 0x30, b + 0x38, 0);
    putU16(b + 0x3A, blocks);
    std::fill(b + 0x40, b + 0x48, 0);
    putU32(b + 0x49, counts.autoIncrement);
    putU16(b + 0x4D, 0);
    b[0x4F] = 0;
    putU16(b + 0x51, static_cast<std::uint16_t>(used));
    if (fixedSize >= 0x78) {
        // The key of these levels lives at 0x5C (this table has none);
        // 0x25 holds a marker that readers take for a key when it differs.
        putU32(b + 0x25, 0xFF00FF00u);
        putU32(b + 0x5C, 0);
        putU16(b + 0x64, static_cast<std::uint16_t>(n + 1));
        putU16(b + 0x66, static_cast<std::uint16_t>(fieldNumbersAt - 0x58));
        putU16(b + 0x6E, static_cast<std::uint16_t>(used - 0x61));
    }
    return v;
}

}  // namespace tutil
