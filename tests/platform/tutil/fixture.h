#pragma once
// Tables for the rebuild tests: healthy ones made with the engine, helpers
// that damage their files, and readers that show what a table holds: the
// engine's and, as an independent check, pxlib's.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/paradox/table.h"
#include "platform/tutil/rebuild.h"

namespace fixture {

// The collection's two structures.
paradox::TableSchema seriesSchema();
paradox::TableSchema booksSchema();

// `count` series rows with distinct keys; SERNOTE varies between blank,
// short (held in the record), 100 bytes and 3000 bytes.
std::vector<paradox::Row> seriesRows(int count);
// `count` book rows over a handful of series, with memos of every length.
std::vector<paradox::Row> booksRows(int count);

// Creates the table at `dbPath` and inserts `rows`.
void createTable(const std::string& dbPath, const paradox::TableSchema& schema,
                 const std::vector<paradox::Row>& rows);
// Every row, as the engine reads them (key order).
std::vector<paradox::Row> readTable(const std::string& dbPath);

// A rebuild of table `name` in `folder` as the utility asks for it: backup
// `name__`, side tables KEYVIOL and PROBLEMS, the structure read from the
// table's own header.
tutil::RebuildRequest rebuildRequest(const std::string& folder, const std::string& name);
// A row as one line of text: values separated by tabs, null as \N, memos
// as length:text.  The same form as pxlibRows().
std::string rowText(const paradox::TableSchema& schema, const paradox::Row& row);
std::vector<std::string> rowTexts(const paradox::TableSchema& schema,
                                  const std::vector<paradox::Row>& rows);

// The rows pxlib reads (its memo reading through a padded copy of the .mb,
// its index attached when `withIndex`).  Fails the test on a pxlib error.
// With `every` > 1 only every that many rows and the last are read, and the
// others are left empty.
std::vector<std::string> pxlibRows(const std::string& dbPath, const std::string& mbPath,
                                   const std::string& pxPath = {}, int every = 1);
// The rows pxlib reads from a damaged table, leaving out those it refuses.
std::vector<std::string> pxlibReadableRows(const std::string& dbPath, const std::string& mbPath);

// Rewrites the headers of a table's .db and .px at file `version` with the
// engine's header writer, the .db's `headerSize` bytes long (0: the smallest
// multiple of 0x200 that holds it); the blocks stay as they are.  Returns
// the .db header's size.
std::size_t rewriteHeaders(const std::string& dbPath, const std::string& pxPath,
                           std::uint8_t version, std::size_t headerSize);

// Raw file access for damaging tables.
std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void patchBytes(const std::string& path, std::size_t offset,
                const std::vector<std::uint8_t>& bytes);
void truncateFile(const std::string& path, std::size_t size);

// Where things are in a .db file, read independently of the code under test.
struct DbLayout {
    std::size_t headerSize = 0;
    std::size_t blockSize = 0;
    std::size_t recordSize = 0;
    std::size_t fileBlocks = 0;
    std::size_t blockOffset(std::size_t block) const {
        return headerSize + (block - 1) * blockSize;
    }
    std::size_t recordOffset(std::size_t block, std::size_t slot) const {
        return blockOffset(block) + 6 + slot * recordSize;
    }
};
DbLayout layoutOf(const std::string& dbPath);
// Records in block `n` as its header says.
int recordsInBlock(const std::string& dbPath, std::size_t block);

}  // namespace fixture
