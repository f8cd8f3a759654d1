#include "platform/paradox/image_buffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace paradox {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

ImageBuffer::~ImageBuffer() { release(); }

ImageBuffer::ImageBuffer(ImageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

ImageBuffer& ImageBuffer::operator=(ImageBuffer&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

void ImageBuffer::release() noexcept {
    if (mapped_)
        ::munmap(data_, capacity_);
    else
        delete[] data_;
    data_ = nullptr;
    size_ = capacity_ = 0;
    mapped_ = false;
}

void ImageBuffer::reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    // Growth by a quarter keeps appends of a block at a time cheap without
    // doubling the memory of a large table.
    capacity = std::max(capacity, capacity_ + capacity_ / 4);
    if (mapped_) {
        // Moving the mapping keeps its pages: no copy, and the bytes already
        // there are not faulted in and zeroed again.
        capacity = (capacity + kHugePage - 1) / kHugePage * kHugePage;
        void* p = ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
        ::madvise(p, capacity, MADV_HUGEPAGE);
        data_ = static_cast<std::uint8_t*>(p);
        capacity_ = capacity;
        return;
    }
    std::uint8_t* fresh = nullptr;
    bool mapped = false;
    if (capacity >= kHugePage) {
        capacity = (capacity + kHugePage - 1) / kHugePage * kHugePage;
        void* p =
            ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        ::madvise(p, capacity, MADV_HUGEPAGE);  // a hint; refused where unsupported
        fresh = static_cast<std::uint8_t*>(p);
        mapped = true;
    } else {
        fresh = new std::uint8_t[capacity];
    }
    if (size_) std::memcpy(fresh, data_, size_);
    const std::size_t size = size_;
    release();
    data_ = fresh;
    size_ = size;
    capacity_ = capacity;
    mapped_ = mapped;
}

void ImageBuffer::resizeForOverwrite(std::size_t newSize) {
    reserve(newSize);
    size_ = newSize;
}

void ImageBuffer::resize(std::size_t newSize, std::uint8_t fill) {
    const std::size_t old = size_;
    resizeForOverwrite(newSize);
    if (newSize > old) std::memset(data_ + old, fill, newSize - old);
}

}  // namespace paradox
