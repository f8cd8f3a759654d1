#include "platform/paradox/paged_file.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace paradox {

PagedFile::PagedFile(FileHandle file, bool writable)
    : file_(std::move(file)), writable_(writable), image_(file_.size()) {
    file_.readAt(0, image_.data(), image_.size());
    committedSize_ = image_.size();
}

void PagedFile::touch(std::size_t offset, std::size_t n) {
    assert(writable_);
    if (n == 0) return;
    const std::size_t first = offset / kPageSize;
    const std::size_t last = (offset + n - 1) / kPageSize;
    for (std::size_t page = first; page <= last; ++page) {
        if (touched_.count(page)) continue;
        const std::size_t begin = page * kPageSize;
        std::vector<std::uint8_t> original;
        if (begin < committedSize_) {
            const std::size_t end = std::min(begin + kPageSize, committedSize_);
            original.assign(image_.data() + begin, image_.data() + end);
        }
        touched_.emplace(page, std::move(original));
    }
}

std::uint8_t* PagedFile::modify(std::size_t offset, std::size_t n) {
    assert(offset + n <= image_.size());
    touch(offset, n);
    return image_.data() + offset;
}

void PagedFile::store(std::size_t offset, const std::uint8_t* bytes, std::size_t n) {
    assert(offset + n <= image_.size());
    // Compare page by page so that only differing pages are touched.
    std::size_t done = 0;
    while (done < n) {
        const std::size_t at = offset + done;
        const std::size_t chunk = std::min(n - done, kPageSize - at % kPageSize);
        if (std::memcmp(image_.data() + at, bytes + done, chunk) != 0)
            std::memcpy(modify(at, chunk), bytes + done, chunk);
        done += chunk;
    }
}

void PagedFile::grow(std::size_t newSize) {
    assert(newSize >= image_.size());
    const std::size_t old = image_.size();
    image_.resize(newSize, 0);
    touch(old, newSize - old);
}

void PagedFile::shrink(std::size_t newSize) {
    assert(newSize <= image_.size());
    touch(newSize, image_.size() - newSize);
    image_.resize(newSize, 0);
}

std::vector<PagedFile::TouchedPage> PagedFile::touchedPages() const {
    std::vector<TouchedPage> pages;
    pages.reserve(touched_.size());
    for (const auto& [page, original] : touched_) {
        const std::size_t begin = page * kPageSize;
        const std::size_t length =
            begin >= image_.size() ? 0 : std::min(kPageSize, image_.size() - begin);
        pages.push_back({begin, length, original});
    }
    return pages;
}

void PagedFile::writePending() {
    // Contiguous touched pages go out in one write.
    auto it = touched_.begin();
    while (it != touched_.end()) {
        const std::size_t firstPage = it->first;
        std::size_t lastPage = firstPage;
        for (++it; it != touched_.end() && it->first == lastPage + 1; ++it) lastPage = it->first;
        const std::size_t begin = firstPage * kPageSize;
        if (begin >= image_.size()) continue;
        const std::size_t end = std::min((lastPage + 1) * kPageSize, image_.size());
        file_.writeAt(begin, image_.data() + begin, end - begin);
        writtenSinceSync_ = true;
    }
    if (image_.size() < committedSize_) file_.truncate(image_.size());
    touched_.clear();
    committedSize_ = image_.size();
}

void PagedFile::rollbackPending() {
    image_.resize(std::max(image_.size(), committedSize_), 0);
    for (const auto& [page, original] : touched_) {
        const std::size_t begin = page * kPageSize;
        if (!original.empty()) std::memcpy(image_.data() + begin, original.data(), original.size());
    }
    image_.resize(committedSize_, 0);
    touched_.clear();
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
