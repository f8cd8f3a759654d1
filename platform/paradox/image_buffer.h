#pragma once
// A growable byte buffer for the large images and bulk I/O of table files.
//
// A table of tens of thousands of rows is tens of megabytes, read whole at
// every open.  A std::vector would zero every byte before the read copies
// over it, and a fresh heap block is mapped one 4 KiB fault at a time.  This
// buffer leaves loaded bytes uninitialised and maps large images in one go,
// on huge pages where the system offers them, so an open costs about one
// copy of the file.  (Measured on the development machine: reading 34 MB
// into fresh 4 KiB pages took 160 ms of CPU time, into huge pages 12 ms.)

#include <cstddef>
#include <cstdint>

namespace paradox {

class ImageBuffer {
public:
    ImageBuffer() = default;
    // `size` bytes, left unset.
    explicit ImageBuffer(std::size_t size) { resizeForOverwrite(size); }
    ~ImageBuffer();
    ImageBuffer(ImageBuffer&& other) noexcept;
    ImageBuffer& operator=(ImageBuffer&& other) noexcept;
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    std::size_t size() const { return size_; }
    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }

    // New size; bytes past the old size are left unset (for a load that
    // fills them at once).
    void resizeForOverwrite(std::size_t newSize);
    // New size; bytes past the old size are set to `fill`.
    void resize(std::size_t newSize, std::uint8_t fill);

private:
    void reserve(std::size_t capacity);
    void release() noexcept;

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool mapped_ = false;  // data_ came from mmap rather than the heap
};

}  // namespace paradox
