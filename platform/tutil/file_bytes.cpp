#include "platform/tutil/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "platform/tutil/header.h"
#include "platform/tutil/tutil.h"

#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22  // Linux 5.14; older kernels refuse it, which costs nothing
#endif

namespace tutil {

namespace {

[[noreturn]] void ioFailure(const std::string& action, const std::string& path, int err) {
    throw TableError(TU_ERR_IO, "Cannot " + action + " " + path + ": " + std::strerror(err));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

namespace {

// Smaller lists come from the heap.
constexpr std::size_t kLargeList = std::size_t{2} << 20;

}  // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes < kLargeList) return ::operator new(bytes);
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    ::madvise(p, bytes, MADV_HUGEPAGE);  // only a hint
    return p;
}

void freeLarge(void* p, std::size_t bytes) noexcept {
    if (bytes < kLargeList)
        ::operator delete(p);
    else
        ::munmap(p, bytes);
}

FileBytes::~FileBytes() { unmap(); }

FileBytes::FileBytes(FileBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mappedIn_(std::move(other.mappedIn_)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
    if (this != &other) {
        unmap();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mappedIn_ = std::move(other.mappedIn_);
    }
    return *this;
}

void FileBytes::unmap() noexcept {
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    mappedIn_.clear();
}

bool FileBytes::read(const std::string& path) {
    unmap();
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // A file that grows while it is read is taken up to its size at open.
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size == 0) return true;
    void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (p == MAP_FAILED) return false;
    data_ = static_cast<const std::uint8_t*>(p);
    size_ = size;
    mappedIn_.assign((size + kWindowBytes - 1) / kWindowBytes, false);
    return true;
}

void FileBytes::prefetch(std::size_t offset, std::size_t length) const {
    if (offset >= size_ || length == 0) return;
    const std::size_t last = std::min(offset + length, size_) - 1;
    for (std::size_t w = offset / kWindowBytes; w <= last / kWindowBytes; ++w) {
        if (mappedIn_[w]) continue;
        mappedIn_[w] = true;
        const std::size_t start = w * kWindowBytes;
        ::madvise(const_cast<std::uint8_t*>(data_) + start, std::min(kWindowBytes, size_ - start),
                  MADV_POPULATE_READ);
    }
}

void FileBytes::releaseResident() const {
    if (!data_) return;
    ::madvise(const_cast<std::uint8_t*>(data_), size_, MADV_DONTNEED);
    std::fill(mappedIn_.begin(), mappedIn_.end(), false);
}

FileWriter::FileWriter(std::string path)
    : path_(std::move(path)),
      fd_(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)),
      buffer_(kBufferSize),
      writing_(kBufferSize) {
    if (fd_ < 0) ioFailure("create", path_, errno);
}

FileWriter::~FileWriter() {
    if (pending_.valid()) pending_.wait();  // it writes to fd_ from writing_
    if (fd_ >= 0) ::close(fd_);
}

// On the writing thread: the only writer of the file while it runs.
void FileWriter::writeFully(const std::uint8_t* data, std::size_t n, std::uint64_t at) {
    const std::uint64_t start = at;
    while (n > 0) {
        const ssize_t done = ::write(fd_, data, n);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) ioFailure("write", path_, done < 0 ? errno : ENOSPC);
        data += done;
        n -= static_cast<std::size_t>(done);
        at += static_cast<std::uint64_t>(done);
    }
    // Start the disk on what is written while the next part is prepared, so
    // that the fsync at the end has little left to wait for.  Only a hint:
    // durability comes from that fsync.
    if (at - start >= kBufferSize / 2)
        ::sync_file_range(fd_, static_cast<off_t>(start), static_cast<off_t>(at - start),
                          SYNC_FILE_RANGE_WRITE);
}

void FileWriter::waitForWriting() {
    if (pending_.valid()) pending_.get();  // rethrows the writing thread's failure
}

void FileWriter::flush() {
    waitForWriting();
    if (used_ == 0) return;
    std::swap(buffer_, writing_);
    const std::size_t n = std::exchange(used_, 0);
    const std::uint64_t at = handedOver_;
    handedOver_ += n;
    pending_ =
        std::async(std::launch::async, [this, n, at] { writeFully(writing_.data(), n, at); });
}

void FileWriter::append(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        if (used_ == kBufferSize) flush();
        const std::size_t part = std::min(n, kBufferSize - used_);
        std::memcpy(buffer_.data() + used_, data, part);
        used_ += part;
        data += part;
        n -= part;
    }
}

std::uint8_t* FileWriter::appendSpace(std::size_t n) {
    if (used_ + n > kBufferSize) flush();
    std::uint8_t* space = buffer_.data() + used_;
    used_ += n;
    return space;
}

void FileWriter::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t n) {
    flush();
    waitForWriting();
    while (n > 0) {
        const ssize_t done = ::pwrite(fd_, data, n, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) ioFailure("write", path_, done < 0 ? errno : ENOSPC);
        data += done;
        offset += static_cast<std::uint64_t>(done);
        n -= static_cast<std::size_t>(done);
    }
}

void FileWriter::finish(bool durable) {
    flush();
    waitForWriting();
    if (durable && ::fsync(fd_) != 0) ioFailure("sync", path_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) ioFailure("write", path_, errno);
}

}  // namespace tutil
