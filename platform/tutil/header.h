#pragma once
// The .db header as the table utility sees it: read by the engine's own
// parser in its tolerant mode (so that every table the engine opens, the
// utility reads), or with the field descriptor of a known structure in
// place of a damaged one.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/paradox/header.h"

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
inline constexpr std::uint8_t kAlpha = 0x01, kLogical = 0x09, kAutoInc = 0x16;

struct TableHeader {
    paradox::FileHeader file;  // as the engine parsed it
    std::string tableName;     // the name packed tables carry
    int recordSize = 0;
    int headerSize = 0;
    int blockSizeCode = 0;
    int blockSize = 0;
    std::uint32_t numRecords = 0;
    int blocksInUse = 0, fileBlocks = 0, firstBlock = 0, lastBlock = 0, firstFreeBlock = 0;
    int keyFieldCount = 0;
    int version = 0;  // fileVersionID
    std::uint32_t autoIncrement = 0;
    int codePage = 0;
    std::string sortOrderName;
    std::vector<FieldInfo> fields;
    bool modifiedFlags = false;  // "needs rebuilding" flags set

    int keySize() const;
};

// The structure a table is known to have (the program's own tables), given
// by the caller of a rebuild.
struct KnownStructure {
    std::vector<FieldInfo> fields;  // name, type and size byte
    int keyFieldCount = 0;
};

// Reads and checks a .db header.  Raises TableError(TU_ERR_DAMAGED) with
// the engine's report when the header cannot describe the records,
// TU_ERR_UNSUPPORTED for encrypted tables.  With `known`, the field
// descriptor (types, sizes, names, field and key counts) is taken from the
// known structure instead, when the field names stored at its places or the
// record size agree with it.
TableHeader readHeader(const std::string& dbPath, const KnownStructure* known = nullptr);
// The same for a header held in `bytes` (the file or at least its header).
TableHeader parseHeader(std::span<const std::uint8_t> bytes, const std::string& dbPath,
                        const KnownStructure* known = nullptr);

// Record size of a field list.
int recordSizeOf(const std::vector<FieldInfo>& fields);

}  // namespace tutil
