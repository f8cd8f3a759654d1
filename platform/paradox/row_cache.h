#pragma once
// The decoded rows of an open table, by position.  A row is decoded when it
// is first read; until then it is empty.  The memory for rows is taken a
// chunk at a time as rows are first read, so that opening a large table
// costs nothing for the rows nobody has looked at, and dropUnusedChunks()
// gives back the chunks used least recently, so that reading every row of
// a large table does not keep them all.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/paradox/table.h"

namespace paradox {

class RowCache {
public:
    // `rows` rows, none decoded.
    void reset(std::size_t rows);
    std::size_t size() const { return size_; }

    // The row at `position` (< size()), empty while undecoded.
    Row& at(std::size_t position);

    void insert(std::size_t position, Row row);
    void erase(std::size_t position);

    // How many chunks of rows have memory.
    std::size_t allocatedChunks() const { return allocated_; }
    // Empties the least recently used chunks until at most kKeptChunks have
    // memory; a row from one of the kKeptChunks chunks used last stays.
    void dropUnusedChunks();

    static constexpr std::size_t kChunkRows = 1024;
    static constexpr std::size_t kKeptChunks = 128;

private:
    // The row at `position` if its chunk has memory, else null.
    Row* find(std::size_t position) const;
    void moveRow(std::size_t from, std::size_t to);
    void resizeChunks(std::size_t count);

    std::vector<std::unique_ptr<Row[]>> chunks_;  // null: no row of the chunk read yet
    std::vector<std::uint64_t> lastUse_;          // per chunk: the use count when last used
    std::uint64_t uses_ = 0;
    std::size_t allocated_ = 0;
    std::size_t size_ = 0;
};

}  // namespace paradox
