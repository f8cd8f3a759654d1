#pragma once
// Whole-file reads and large buffered writes for the utility's bulk passes.
// A rebuild reads each input file with a few large reads into a buffer that
// is never zero-filled first, and writes its output in multi-megabyte
// chunks, so the work is bounded by the copying of the bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/paradox/image_buffer.h"

namespace tutil {

// The contents of a file, owned.
class FileBytes {
public:
    FileBytes() = default;
    // Reads the whole file; false when it cannot be opened or read.
    bool read(const std::string& path);

    const std::uint8_t* data() const { return memory_.data(); }
    std::uint8_t* data() { return memory_.data(); }
    std::size_t size() const { return size_; }
    std::span<const std::uint8_t> bytes() const { return {memory_.data(), size_}; }

private:
    paradox::ImageBuffer memory_;
    std::size_t size_ = 0;
};

// A new file written front to back through a large buffer.  Raises
// TableError(TU_ERR_IO) naming the file on any failure.
class FileWriter {
public:
    static constexpr std::size_t kBufferSize = std::size_t{4} << 20;

    // Creates (or truncates) the file.
    explicit FileWriter(std::string path);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Appends bytes at the end; large runs bypass the buffer.
    void append(const std::uint8_t* data, std::size_t n);
    void append(std::span<const std::uint8_t> bytes) { append(bytes.data(), bytes.size()); }
    // Overwrites bytes already appended (the buffer is written first).
    void writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t n);
    // Writes the buffer out; with `durable`, also waits until the file's
    // contents reached the disk.  Then closes the file.
    void finish(bool durable);

    const std::string& path() const { return path_; }
    std::uint64_t size() const { return written_ + used_; }

private:
    void flush();
    void writeFully(const std::uint8_t* data, std::size_t n);

    std::string path_;
    int fd_ = -1;
    paradox::ImageBuffer buffer_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
};

}  // namespace tutil
