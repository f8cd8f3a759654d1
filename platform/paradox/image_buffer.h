#pragma once
// A growable byte buffer for whole table files and bulk I/O.  Unlike a
// std::vector it leaves the bytes a read is about to fill unset, so loading
// a file costs one copy of it rather than a zero fill and a copy.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace paradox {

class ImageBuffer {
public:
    ImageBuffer() = default;
    // `size` bytes, left unset.
    explicit ImageBuffer(std::size_t size) { resizeForOverwrite(size); }
    // A buffer moved from is empty.
    ImageBuffer(ImageBuffer&& other) noexcept { *this = std::move(other); }
    ImageBuffer& operator=(ImageBuffer&& other) noexcept;

    std::size_t size() const { return size_; }
    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }

    // New size; bytes past the old size are left unset (for a load that
    // fills them at once).
    void resizeForOverwrite(std::size_t newSize);
    // New size; bytes past the old size are set to `fill`.
    void resize(std::size_t newSize, std::uint8_t fill);

private:
    void reserve(std::size_t capacity);

    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace paradox
