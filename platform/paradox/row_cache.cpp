#include "platform/paradox/row_cache.h"

namespace paradox {

namespace {

std::size_t chunksFor(std::size_t rows) {
    return (rows + RowCache::kChunkRows - 1) / RowCache::kChunkRows;
}

}  // namespace

void RowCache::reset(std::size_t rows) {
    chunks_.clear();
    lastUse_.clear();
    allocated_ = 0;
    resizeChunks(chunksFor(rows));
    size_ = rows;
}

void RowCache::resizeChunks(std::size_t count) {
    for (std::size_t i = count; i < chunks_.size(); ++i) allocated_ -= chunks_[i] ? 1 : 0;
    chunks_.resize(count);
    lastUse_.resize(count);
}

Row& RowCache::at(std::size_t position) {
    const std::size_t index = position / kChunkRows;
    std::unique_ptr<Row[]>& chunk = chunks_[index];
    if (!chunk) {
        chunk = std::make_unique<Row[]>(kChunkRows);
        ++allocated_;
    }
    lastUse_[index] = ++uses_;
    return chunk[position % kChunkRows];
}

void RowCache::dropUnusedChunks() {
    while (allocated_ > kKeptChunks) {
        std::size_t oldest = chunks_.size();
        for (std::size_t i = 0; i < chunks_.size(); ++i)
            if (chunks_[i] && (oldest == chunks_.size() || lastUse_[i] < lastUse_[oldest]))
                oldest = i;
        chunks_[oldest].reset();
        --allocated_;
    }
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
    resizeChunks(chunksFor(size_));
    for (std::size_t i = size_ - 1; i > position; --i) moveRow(i - 1, i);
    at(position) = std::move(row);
}

void RowCache::erase(std::size_t position) {
    for (std::size_t i = position; i + 1 < size_; ++i) moveRow(i + 1, i);
    if (Row* last = find(size_ - 1)) last->clear();
    --size_;
    resizeChunks(chunksFor(size_));
}

}  // namespace paradox
