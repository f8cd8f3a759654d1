#include "platform/paradox/row_cache.h"

namespace paradox {

namespace {

std::size_t chunksFor(std::size_t rows) {
    return (rows + RowCache::kChunkRows - 1) / RowCache::kChunkRows;
}

}  // namespace

void RowCache::reset(std::size_t rows) {
    chunks_.clear();
    chunks_.resize(chunksFor(rows));
    size_ = rows;
}

Row& RowCache::at(std::size_t position) {
    std::unique_ptr<Row[]>& chunk = chunks_[position / kChunkRows];
    if (!chunk) chunk = std::make_unique<Row[]>(kChunkRows);
    return chunk[position % kChunkRows];
}

Row* RowCache::find(std::size_t position) const {
    const std::unique_ptr<Row[]>& chunk = chunks_[position / kChunkRows];
    return chunk ? &chunk[position % kChunkRows] : nullptr;
}

// A row of a chunk without memory is undecoded, and so is its copy.
void RowCache::moveRow(std::size_t from, std::size_t to) {
    if (Row* source = find(from)) {
        at(to) = std::move(*source);
        source->clear();
    } else if (Row* target = find(to)) {
        target->clear();
    }
}

void RowCache::insert(std::size_t position, Row row) {
    ++size_;
    chunks_.resize(chunksFor(size_));
    for (std::size_t i = size_ - 1; i > position; --i) moveRow(i - 1, i);
    at(position) = std::move(row);
}

void RowCache::erase(std::size_t position) {
    for (std::size_t i = position; i + 1 < size_; ++i) moveRow(i + 1, i);
    if (Row* last = find(size_ - 1)) last->clear();
    --size_;
    chunks_.resize(chunksFor(size_));
}

std::size_t RowCache::allocatedChunks() const {
    std::size_t count = 0;
    for (const auto& chunk : chunks_) count += chunk ? 1 : 0;
    return count;
}

}  // namespace paradox
