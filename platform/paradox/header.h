#pragma once
// The header of a .db data file and of a .px primary index: parsing with
// every check of the format, building the header of a new file, and storing
// the counters a change updates.  The layout is described in header.cpp.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/paradox/table.h"

namespace paradox {

class PagedFile;

enum class FileKind { Data, PrimaryIndex };

struct FieldDesc {
    std::uint8_t code = 0;  // type code (0x01 Alpha ... 0x18 Bytes)
    std::uint8_t size = 0;  // size byte of the header
};

struct FileHeader {
    std::uint16_t recordSize = 0;
    std::uint16_t headerSize = 0;
    std::uint8_t fileType = 0;  // 0 keyed .db, 1 .px, 2 unkeyed .db
    std::uint8_t blockCode = 0;
    std::uint32_t numRecords = 0;
    std::uint16_t blocksInUse = 0;
    std::uint16_t fileBlocks = 0;
    std::uint16_t firstBlock = 0;
    std::uint16_t lastBlock = 0;
    std::uint16_t indexRoot = 0;
    std::uint8_t indexLevels = 0;
    std::uint16_t numFields = 0;
    std::uint16_t keyFields = 0;
    std::uint32_t encryption1 = 0;
    std::uint8_t sortOrder = 0;
    std::uint8_t indexChangeCounter = 0;
    std::uint8_t writeProtected = 0;
    std::uint8_t version = 0;
    std::int32_t autoInc = 0;
    std::uint16_t firstFreeBlock = 0;
    bool needsRebuild = false;  // modified flags / index update required
    // Data files of level 4 and later:
    std::uint32_t encryption2 = 0;
    std::uint16_t codePage = 0;
    std::vector<FieldDesc> fields;
    std::vector<std::string> fieldNames;  // in the table's code page
    std::string sortOrderName;

    std::size_t blockSize() const { return static_cast<std::size_t>(blockCode) * 1024; }
    std::size_t blockOffset(std::uint16_t block) const {
        return headerSize + (static_cast<std::size_t>(block) - 1) * blockSize();
    }
    bool encrypted() const;
};

// Parses and checks a header; throws ETableDamaged naming `path`.  A
// `tolerant` parse (for salvaging rows) reads past damage that does not move
// a value: a file size and block counts that disagree with the header and,
// in level-4+ data files, a changed marker at 0x25 (only the key at 0x5C
// makes such a table encrypted).
FileHeader parseHeader(const std::uint8_t* data, std::size_t fileSize, const std::string& path,
                       FileKind kind, bool tolerant = false);

// The complete header block of a new, empty file at `header.version` (12
// when 0).  It is `header.headerSize` bytes when that is non-zero and holds
// it, else the smallest multiple of 0x800 that does.
std::vector<std::uint8_t> buildHeader(const FileHeader& header, FileKind kind,
                                      const std::string& tableName);
// The variable part alone (field types onwards), as buildHeader lays it out.
std::vector<std::uint8_t> buildVariablePart(const FileHeader& header, FileKind kind,
                                            const std::string& tableName);
// Where the variable part starts, and the bytes of its table name, in a
// file of `version`.
std::size_t variablePartOffset(std::uint8_t version, FileKind kind);
std::size_t tableNameLength(std::uint8_t version);

// Stores the counters that changes update (record and block counts, chain
// ends, free list, auto-increment, index root) into the file's image.
void storeCounters(PagedFile& file, const FileHeader& header, FileKind kind);
// The same counters written into the first 0x58 bytes of a header.
void putCounters(std::uint8_t* fixed, const FileHeader& header, FileKind kind);

// Type code <-> FieldType, and the header size byte of a field definition.
bool fieldTypeOfCode(std::uint8_t code, FieldType& type);
std::uint8_t codeOfFieldType(FieldType type);
// Bytes the field takes in a record (BCD: 17 whatever its size byte).
int recordBytes(const FieldDesc& desc);

// Sort orders the engine compares as plain bytes ('ascii' family).
constexpr std::uint8_t kSortAscii = 0x00;
constexpr std::uint8_t kSortDbWinUs = 0x4C;
constexpr const char* kSortDbWinUsName = "DBWINUS0";

}  // namespace paradox
