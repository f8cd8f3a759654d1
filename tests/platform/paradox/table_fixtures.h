#pragma once
// Shared helpers of the table engine tests: the two collection-like schemas,
// row builders and a helper that damages a table file at a given offset.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/paradox/paged_file.h"
#include "platform/paradox/table.h"

namespace paradox {
// Readable values in test failure messages.
void PrintTo(const Value& v, std::ostream* os);
}  // namespace paradox

namespace paradox::testing {

// SERIES A60, PUBLISHER A30, ENTRY +, SERNOTE M10, FAVORITE L, WANTED L,
// FORSALE L, NEW L, OWNED S; key SERIES, PUBLISHER, ENTRY.
TableSchema seriesSchema();
// ENTRY I, COMIC_NO A15, EDITION A10, TITLE A80, ..., key ENTRY, COMIC_NO, EDITION.
TableSchema booksSchema();

Row seriesRow(const std::string& series, const std::string& publisher, const std::string& note = "",
              int owned = 0);
Row bookRow(int entry, const std::string& comicNo, const std::string& edition,
            const std::string& title, const std::string& note = "", double paid = 0, int qty = 0);

// A books table at `path` of `rows` rows in key order, 50 to an ENTRY from 1.
std::string booksTable(const std::string& path, int rows);

// Overwrites `bytes` at `offset` of `path`.
void damageFile(const std::string& path, std::uint64_t offset,
                const std::vector<std::uint8_t>& bytes);
void truncateFile(const std::string& path, std::uint64_t size);
std::uint64_t fileSize(const std::string& path);
std::vector<std::uint8_t> readFile(const std::string& path);
// Bytes of the open table `t`'s data file held in memory.
std::size_t cachedBlockBytes(const Table& t);
// Bytes of its memo file held in memory.
std::size_t cachedMemoBytes(const Table& t);

// A memo text of `n` bytes whose content depends on `seed`.
std::string memoText(std::size_t n, int seed);

// Sets the engine's block cache limit for the tables opened while it lives.
// (The default suits the program; tests make tables larger than the cache
// with a small one.)
class ScopedBlockCacheLimit {
public:
    explicit ScopedBlockCacheLimit(std::size_t bytes) : saved_(PagedFile::cacheLimit()) {
        PagedFile::setCacheLimit(bytes);
    }
    ~ScopedBlockCacheLimit() { PagedFile::setCacheLimit(saved_); }
    ScopedBlockCacheLimit(const ScopedBlockCacheLimit&) = delete;
    ScopedBlockCacheLimit& operator=(const ScopedBlockCacheLimit&) = delete;

private:
    std::size_t saved_;
};

}  // namespace paradox::testing
