#pragma once
// The decoded rows of an open table, by position.  A row is decoded when it
// is first read; until then it is empty.  The memory for rows is taken a
// chunk at a time as rows are first read, so that opening a large table
// costs nothing for the rows nobody has looked at.
#include <cstddef>
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
    std::size_t allocatedChunks() const;

    static constexpr std::size_t kChunkRows = 1024;

private:
    // The row at `position` if its chunk has memory, else null.
    Row* find(std::size_t position) const;
    void moveRow(std::size_t from, std::size_t to);

    std::vector<std::unique_ptr<Row[]>> chunks_;  // null: no row of the chunk read yet
    std::size_t size_ = 0;
};

}  // namespace paradox
