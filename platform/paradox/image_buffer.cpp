#include "platform/paradox/image_buffer.h"

#include <algorithm>
#include <cstring>

namespace paradox {

ImageBuffer& ImageBuffer::operator=(ImageBuffer&& other) noexcept {
    data_ = std::move(other.data_);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return *this;
}

void ImageBuffer::reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    // Growth by a quarter keeps appends of a block at a time cheap without
    // doubling the memory of a large table.
    capacity = std::max(capacity, capacity_ + capacity_ / 4);
    auto fresh = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    if (size_) std::memcpy(fresh.get(), data_.get(), size_);
    data_ = std::move(fresh);
    capacity_ = capacity;
}

void ImageBuffer::resizeForOverwrite(std::size_t newSize) {
    reserve(newSize);
    size_ = newSize;
}

void ImageBuffer::resize(std::size_t newSize, std::uint8_t fill) {
    const std::size_t old = size_;
    resizeForOverwrite(newSize);
    if (newSize > old) std::memset(data_.get() + old, fill, newSize - old);
}

}  // namespace paradox
