#include "platform/paradox/file_image.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace paradox {

namespace {

std::size_t pageSize() {
    static const auto size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t roundUpToPage(std::size_t n) { return (n + pageSize() - 1) / pageSize() * pageSize(); }

// Room to grow in place: a quarter of the file, at least 16 MiB.
std::size_t reservationFor(std::size_t fileSize) {
    return roundUpToPage(fileSize + std::max(fileSize / 4, std::size_t{16} << 20));
}

}  // namespace

FileImage::FileImage(const FileHandle& file) {
    const auto size = static_cast<std::size_t>(file.size());
    if (size < kMapFrom || !mapFile(file)) readFile(file);
}

FileImage::~FileImage() { unmap(); }

void FileImage::readFile(const FileHandle& file) {
    buffer_.resizeForOverwrite(static_cast<std::size_t>(file.size()));
    file.readAt(0, buffer_.data(), buffer_.size());
    data_ = buffer_.data();
    size_ = buffer_.size();
}

// Reserves plain memory, then maps the file over its start.  Nothing is read
// here: pages come in as they are touched.  False when the system refuses
// the mapping or no guard slot is free; the caller then reads the file.
bool FileImage::mapFile(const FileHandle& file) {
    const auto size = static_cast<std::size_t>(file.size());
    const std::size_t reserve = reservationFor(size);
    void* base = ::mmap(nullptr, reserve, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return false;
    const std::size_t backed = roundUpToPage(size);
    auto guard = std::make_unique<ReadFaultGuard>(base, backed);
    if (!guard->valid() || ::mmap(base, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED,
                                  file.fd(), 0) == MAP_FAILED) {
        guard.reset();
        ::munmap(base, reserve);
        return false;
    }
    data_ = static_cast<std::uint8_t*>(base);
    size_ = size;
    reserved_ = reserve;
    fileBacked_ = backed;
    guard_ = std::move(guard);
    return true;
}

void FileImage::resize(std::size_t newSize) {
    if (!mapped()) {
        buffer_.resize(newSize, 0);
        data_ = buffer_.data();
        size_ = newSize;
        return;
    }
    if (newSize > reserved_) {
        moveToBuffer(newSize);
        resize(newSize);
        return;
    }
    // The owner cuts the file to the new size when it commits; pages past it
    // must no longer depend on the file, or touching them would fault.
    if (newSize < size_) detachFileFrom(roundUpToPage(newSize));
    if (newSize > size_) std::memset(data_ + size_, 0, newSize - size_);
    size_ = newSize;
}

// Replaces the file's pages from `offset` on with plain memory.
void FileImage::detachFileFrom(std::size_t offset) {
    if (offset >= fileBacked_) return;
    if (::mmap(data_ + offset, fileBacked_ - offset, PROT_READ | PROT_WRITE,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_NORESERVE, -1, 0) == MAP_FAILED)
        throw std::bad_alloc();
    guard_->shorten(offset);
    fileBacked_ = offset;
}

void FileImage::moveToBuffer(std::size_t capacity) {
    ImageBuffer buffer(capacity);
    std::memcpy(buffer.data(), data_, size_);
    buffer.resizeForOverwrite(size_);
    readFailedBeforeMove_ = readFailed();
    unmap();
    buffer_ = std::move(buffer);
    data_ = buffer_.data();
}

void FileImage::unmap() noexcept {
    if (!mapped()) return;
    guard_.reset();
    ::munmap(data_, reserved_);
    data_ = nullptr;
    reserved_ = fileBacked_ = 0;
}

}  // namespace paradox
