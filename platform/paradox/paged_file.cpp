#include "platform/paradox/paged_file.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>

namespace paradox {

namespace {

// 64 MiB: a collection of 100,000 books (a books table of some 35 MB) stays
// in memory whole, while one of a million (some 330 MB) is read as used.
std::atomic<std::size_t> gCacheLimit{std::size_t{64} << 20};

}  // namespace

void PagedFile::setCacheLimit(std::size_t bytes) { gCacheLimit = bytes; }
std::size_t PagedFile::cacheLimit() { return gCacheLimit; }

PagedFile::PagedFile(FileHandle file, bool writable, Frames frames)
    : file_(std::move(file)), writable_(writable), frames_(frames) {
    size_ = committedSize_ = file_.size();
    if (framed()) {
        assert(frames_.first > 0 && frames_.first % kPageSize == 0 &&
               frames_.size % kPageSize == 0);
        limitBytes_ = cacheLimit();
        return;
    }
    image_.resizeForOverwrite(size_);
    file_.readAt(0, image_.data(), size_);
}

// ------------------------------------------------------------------ frames

std::uint8_t* PagedFile::frameHolding(std::size_t offset, [[maybe_unused]] std::size_t n) const {
    const std::size_t index = frameIndex(offset);
    assert(n == 0 || frameIndex(offset + n - 1) == index);
    return frame(index, true).bytes.get();
}

PagedFile::Frame& PagedFile::frame(std::size_t index, bool check) const {
    if (index == lastIndex_) return *lastFrame_;
    const auto it = cachedFrames_.find(index);
    Frame& f = it != cachedFrames_.end() ? it->second : loadFrame(index, check);
    if (!f.changed) recent_.splice(recent_.begin(), recent_, f.recent);
    lastIndex_ = index;
    lastFrame_ = &f;
    return f;
}

// Reads a frame from the file; the part past the committed end (a frame
// the pending change grows into) is zero.
PagedFile::Frame& PagedFile::loadFrame(std::size_t index, bool check) const {
    const std::size_t start = frameStart(index), length = frameLength(index);
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[length]);
    const std::size_t fromFile =
        start < committedSize_ ? std::min(length, committedSize_ - start) : 0;
    file_.readAt(start, bytes.get(), fromFile);
    std::memset(bytes.get() + fromFile, 0, length - fromFile);
    if (check && frameCheck_ && fromFile > 0) frameCheck_(start, bytes.get(), fromFile);
    Frame& f = cachedFrames_[index];
    f.bytes = std::move(bytes);
    recent_.push_front(index);
    f.recent = recent_.begin();
    cachedBytes_ += length;
    dropUnusedFrames();
    return f;
}

// Drops unchanged frames, least recently used first, down to the limit;
// the kSafeFrames most recent ones always stay.
void PagedFile::dropUnusedFrames() const {
    while (cachedBytes_ > limitBytes_ && recent_.size() > kSafeFrames) {
        const std::size_t index = recent_.back();
        recent_.pop_back();
        forgetFrame(index);
    }
}

void PagedFile::forgetFrame(std::size_t index) const {
    if (cachedFrames_.erase(index)) cachedBytes_ -= frameLength(index);
    if (index == lastIndex_) {
        lastIndex_ = kNoFrame;
        lastFrame_ = nullptr;
    }
}

void PagedFile::copy(std::size_t offset, std::size_t n, std::uint8_t* out) const {
    assert(offset + n <= size_);
    if (!framed()) {
        std::memcpy(out, image_.data() + offset, n);
        return;
    }
    while (n > 0) {
        const std::size_t index = frameIndex(offset), start = frameStart(index);
        const auto it = cachedFrames_.find(index);
        if (it != cachedFrames_.end()) {
            const std::size_t chunk = std::min(n, start + frameLength(index) - offset);
            std::memcpy(out, it->second.bytes.get() + (offset - start), chunk);
            offset += chunk;
            out += chunk;
            n -= chunk;
            continue;
        }
        // Frames not in memory are unchanged: the file holds them, and a run
        // of them is read in one call.
        std::size_t end = start + frameLength(index), next = index + 1;
        while (end < offset + n && !cachedFrames_.count(next)) end += frameLength(next++);
        const std::size_t chunk = std::min(n, end - offset);
        file_.readAt(offset, out,
                     std::min(chunk, committedSize_ > offset ? committedSize_ - offset : 0));
        if (offset + chunk > committedSize_) {
            const std::size_t from = std::max(offset, committedSize_);
            std::memset(out + (from - offset), 0, offset + chunk - from);
        }
        offset += chunk;
        out += chunk;
        n -= chunk;
    }
}

bool PagedFile::inMemory(std::size_t offset) const {
    return !framed() || cachedFrames_.count(frameIndex(offset)) != 0;
}

// ----------------------------------------------------------------- changes

std::uint8_t* PagedFile::bytesAt(std::size_t offset, std::size_t n) {
    if (!framed()) return image_.data() + offset;
    return frameHolding(offset, n) + (offset - frameStart(frameIndex(offset)));
}

void PagedFile::touch(std::size_t offset, std::size_t n) {
    assert(writable_);
    if (n == 0) return;
    const std::size_t first = offset / kPageSize;
    const std::size_t last = (offset + n - 1) / kPageSize;
    for (std::size_t page = first; page <= last; ++page) {
        const std::size_t begin = page * kPageSize;
        if (framed()) {
            // A changed frame stays until the change is committed or undone.
            Frame& f = frame(frameIndex(begin), true);
            if (!f.changed) {
                recent_.erase(f.recent);
                f.changed = true;
            }
        }
        if (touched_.count(page)) continue;
        std::vector<std::uint8_t> original;
        if (begin < committedSize_) {
            const std::size_t end = std::min(begin + kPageSize, committedSize_);
            const std::uint8_t* bytes = framed() ? read(begin, end - begin) : image_.data() + begin;
            original.assign(bytes, bytes + (end - begin));
        }
        touched_.emplace(page, std::move(original));
    }
}

std::uint8_t* PagedFile::modify(std::size_t offset, std::size_t n) {
    assert(offset + n <= size_);
    touch(offset, n);
    return bytesAt(offset, n);
}

void PagedFile::store(std::size_t offset, const std::uint8_t* bytes, std::size_t n) {
    assert(offset + n <= size_);
    // Compare page by page so that only differing pages are touched.
    std::size_t done = 0;
    while (done < n) {
        const std::size_t at = offset + done;
        const std::size_t chunk = std::min(n - done, kPageSize - at % kPageSize);
        if (std::memcmp(read(at, chunk), bytes + done, chunk) != 0)
            std::memcpy(modify(at, chunk), bytes + done, chunk);
        done += chunk;
    }
}

void PagedFile::grow(std::size_t newSize) {
    assert(newSize >= size_);
    const std::size_t old = size_;
    if (!framed()) {
        image_.resize(newSize, 0);
        size_ = newSize;
        touch(old, newSize - old);
        return;
    }
    size_ = newSize;
    touch(old, newSize - old);
    // The frames hold the new bytes now (touch brought them in); they start
    // out zero, even where an earlier shrink had cut them off.
    for (std::size_t at = old; at < newSize;) {
        const std::size_t index = frameIndex(at);
        const std::size_t end = std::min(newSize, frameStart(index) + frameLength(index));
        std::memset(bytesAt(at, end - at), 0, end - at);
        at = end;
    }
}

void PagedFile::shrink(std::size_t newSize) {
    assert(newSize <= size_);
    touch(newSize, size_ - newSize);
    size_ = newSize;
    if (!framed()) {
        image_.resize(newSize, 0);
        return;
    }
    // Frames wholly past the end go; the journal has their original bytes.
    std::vector<std::size_t> gone;
    for (const auto& [index, f] : cachedFrames_)
        if (frameStart(index) >= newSize) gone.push_back(index);
    for (std::size_t index : gone) forgetFrame(index);
}

std::vector<PagedFile::TouchedPage> PagedFile::touchedPages() const {
    std::vector<TouchedPage> pages;
    pages.reserve(touched_.size());
    for (const auto& [page, original] : touched_) {
        const std::size_t begin = page * kPageSize;
        const std::size_t length = begin >= size_ ? 0 : std::min(kPageSize, size_ - begin);
        pages.push_back({begin, length, original});
    }
    return pages;
}

// Changed frames become ordinary cached frames again.
void PagedFile::settleChangedFrames() {
    for (auto& [index, f] : cachedFrames_) {
        if (!f.changed) continue;
        f.changed = false;
        recent_.push_front(index);
        f.recent = recent_.begin();
    }
    dropUnusedFrames();
}

void PagedFile::writePending() {
    // Contiguous touched pages of one frame go out in one write.
    auto it = touched_.begin();
    while (it != touched_.end()) {
        const std::size_t firstPage = it->first;
        const std::size_t begin = firstPage * kPageSize;
        const std::size_t frame = framed() ? frameIndex(begin) : 0;
        std::size_t lastPage = firstPage;
        for (++it; it != touched_.end() && it->first == lastPage + 1 &&
                   (!framed() || frameIndex(it->first * kPageSize) == frame);
             ++it)
            lastPage = it->first;
        if (begin >= size_) continue;
        const std::size_t end = std::min((lastPage + 1) * kPageSize, size_);
        file_.writeAt(begin, framed() ? read(begin, end - begin) : image_.data() + begin,
                      end - begin);
        writtenSinceSync_ = true;
    }
    if (size_ < committedSize_) file_.truncate(size_);
    touched_.clear();
    committedSize_ = size_;
    if (framed()) settleChangedFrames();
}

void PagedFile::rollbackPending() {
    if (!framed()) {
        image_.resize(std::max(size_, committedSize_), 0);
        for (const auto& [page, original] : touched_)
            if (!original.empty())
                std::memcpy(image_.data() + page * kPageSize, original.data(), original.size());
        image_.resize(committedSize_, 0);
        size_ = committedSize_;
        touched_.clear();
        return;
    }
    size_ = std::max(size_, committedSize_);
    for (const auto& [page, original] : touched_) {
        if (original.empty()) continue;
        // A frame a shrink dropped comes back from the file (unchecked: a
        // failed commit may have left part of the change there).
        const std::size_t begin = page * kPageSize, index = frameIndex(begin);
        std::memcpy(frame(index, false).bytes.get() + (begin - frameStart(index)), original.data(),
                    original.size());
    }
    size_ = committedSize_;
    std::vector<std::size_t> gone;
    for (const auto& [index, f] : cachedFrames_)
        if (frameStart(index) >= committedSize_) gone.push_back(index);
    for (std::size_t index : gone) {
        if (!cachedFrames_.at(index).changed) recent_.erase(cachedFrames_.at(index).recent);
        forgetFrame(index);
    }
    touched_.clear();
    settleChangedFrames();
}

void PagedFile::restoreFileFromOriginals() noexcept {
    try {
        for (const auto& [page, original] : touched_)
            if (!original.empty())
                file_.writeAt(page * kPageSize, original.data(), original.size());
        file_.truncate(committedSize_);
    } catch (const std::exception&) {
        // The journal replays the originals when the table is opened again.
    }
}

void PagedFile::syncIfWritten() {
    if (!writtenSinceSync_) return;
    file_.sync();
    writtenSinceSync_ = false;
}

}  // namespace paradox
