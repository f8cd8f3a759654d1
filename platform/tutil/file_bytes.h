#pragma once
// Read-only file mappings and large buffered writes for the utility's bulk
// passes.  A rebuild maps each input file rather than copying it into
// memory, and lets go of the pages it has passed now and then, so that its
// memory stays bounded whatever the table's size; it writes its output in
// multi-megabyte chunks, so the work is bounded by the copying of the bytes.

#include <cstddef>
#include <cstdint>
#include <future>
#include <span>
#include <string>
#include <vector>

#include "platform/paradox/image_buffer.h"

namespace tutil {

// The contents of a file, mapped read-only.  The file must not shrink while
// it is mapped (the rebuild holds the table's lock).
class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes();
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // Maps the whole file; false when it cannot be opened or mapped.
    bool read(const std::string& path);

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

    // Maps in the pages of [offset, offset + length) ahead of use, a
    // window at a time: one call instead of a page fault per few pages,
    // which is what reading a mapping costs most (above all on a virtual
    // machine).  Only a hint; the bytes read the same without it.
    void prefetch(std::size_t offset, std::size_t length) const;

    // Gives the pages read so far back to the system.  Pointers into the
    // file stay valid: their bytes are read again from the file when used.
    void releaseResident() const;

private:
    static constexpr std::size_t kWindowBytes = std::size_t{256} << 10;

    void unmap() noexcept;

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    mutable std::vector<bool> mappedIn_;  // the windows prefetched since the last release
};

// Memory for the large lists of a pass over a table (a row per record), on
// huge pages where the system offers them: a list of tens of megabytes
// would otherwise be mapped one 4 KiB fault at a time.
void* allocateLarge(std::size_t bytes);
void freeLarge(void* p, std::size_t bytes) noexcept;

template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { freeLarge(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept {
        return true;
    }
};

// A new file written front to back through a large buffer.  A full buffer
// is written out on a second thread while the caller fills the other one,
// so preparing the bytes and copying them into the system's cache overlap.
// Raises TableError(TU_ERR_IO) naming the file on any failure: a failed
// write surfaces at the next call that writes or at finish().
class FileWriter {
public:
    static constexpr std::size_t kBufferSize = std::size_t{4} << 20;

    // Creates (or truncates) the file.
    explicit FileWriter(std::string path);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Appends bytes at the end.
    void append(const std::uint8_t* data, std::size_t n);
    void append(std::span<const std::uint8_t> bytes) { append(bytes.data(), bytes.size()); }
    // Appends `n` unset bytes (at most the buffer's size) for the caller to
    // fill in place, valid until the next call on the writer.
    std::uint8_t* appendSpace(std::size_t n);
    // Overwrites bytes already appended (everything before is written first).
    void writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t n);
    // Writes the buffer out; with `durable`, also waits until the file's
    // contents reached the disk.  Then closes the file.
    void finish(bool durable);

    const std::string& path() const { return path_; }
    std::uint64_t size() const { return handedOver_ + used_; }

private:
    void flush();
    void waitForWriting();
    void writeFully(const std::uint8_t* data, std::size_t n, std::uint64_t at);

    std::string path_;
    int fd_ = -1;
    paradox::ImageBuffer buffer_;   // being filled
    paradox::ImageBuffer writing_;  // being written out by `pending_`
    std::size_t used_ = 0;
    std::uint64_t handedOver_ = 0;  // bytes given to the writing thread
    std::future<void> pending_;
};

}  // namespace tutil
