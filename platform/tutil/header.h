#pragma once
// The .db header as the table utility sees it: read with every offset and
// count checked, and written back for a freshly packed table.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tutil {

// A table that cannot be handled; `code` is one of the TU_ERR_ codes.
class TableError : public std::runtime_error {
public:
    TableError(int code, const std::string& message) : std::runtime_error(message), code(code) {}
    int code;
};

struct FieldInfo {
    std::string name;  // in the table's code page
    std::uint8_t type = 0;
    std::uint8_t sizeByte = 0;
    int offset = 0;  // in the record
    int length = 0;  // bytes in the record
    bool isMemo() const { return type >= 0x0C && type <= 0x10; }
};

// Field type codes the packer treats specially.
inline constexpr std::uint8_t kAlpha = 0x01, kMoney = 0x05, kNumber = 0x06, kLogical = 0x09,
                              kTimestamp = 0x15, kAutoInc = 0x16, kBcd = 0x17;

struct TableHeader {
    std::vector<std::uint8_t> fixed;  // bytes 0x00..0x77 as read (0x58 without extension)
    int recordSize = 0;
    int headerSize = 0;
    int fileType = 0;  // 0 keyed, 2 unkeyed
    int blockSizeCode = 0;
    int blockSize = 0;
    std::uint32_t numRecords = 0;
    int blocksInUse = 0, fileBlocks = 0, firstBlock = 0, lastBlock = 0, firstFreeBlock = 0;
    int keyFieldCount = 0;
    int version = 0;  // fileVersionID
    std::uint32_t autoIncrement = 0;
    int codePage = 0;
    std::vector<std::uint8_t> tableName;  // the raw table-name bytes (261 or 79)
    std::string sortOrderName;
    std::vector<FieldInfo> fields;
    bool modifiedFlags = false;  // "needs rebuilding" flags set

    bool hasExtension() const { return version >= 5; }
    int keySize() const;
};

// The structure a table is known to have (the program's own tables), given
// by the caller of a rebuild.
struct KnownStructure {
    std::vector<FieldInfo> fields;  // name, type and size byte
    int keyFieldCount = 0;
};

// Reads and checks a .db header.  Raises TableError(TU_ERR_DAMAGED) when the
// header cannot describe the records (wrong sizes, unknown types, names
// missing), TU_ERR_UNSUPPORTED for encrypted tables.  With `known`, the
// field descriptor (types, sizes, field and key counts) is taken from the
// known structure instead, when the field names stored at its places or the
// record size agree with it.
TableHeader readHeader(const std::string& dbPath, const KnownStructure* known = nullptr);
TableHeader parseHeader(std::span<const std::uint8_t> bytes, const std::string& dbPath,
                        const KnownStructure* known = nullptr);

// The counts a packed file's header carries.
struct PackedCounts {
    std::uint32_t numRecords = 0;
    int blocks = 0;  // chain = file blocks, numbered 1..blocks
    std::uint32_t autoIncrement = 0;
};

// Serialises a header of `blockSize` bytes' multiple for a packed table with
// the given fields and key, taking the remaining bytes from `model`.
std::vector<std::uint8_t> writeHeader(const TableHeader& model,
                                      const std::vector<FieldInfo>& fields, int keyFieldCount,
                                      int blockSizeCode, const PackedCounts& counts);

// Record size of a field list.
int recordSizeOf(const std::vector<FieldInfo>& fields);

}  // namespace tutil
