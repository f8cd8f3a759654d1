#pragma once
// The bytes of one table file as the engine reads and changes them.
//
// A large file is mapped copy-on-write instead of being read: its pages are
// shared with the system's file cache rather than copied, so opening a table
// of tens of megabytes costs a small part of a read.  A page the engine
// changes becomes private to the process; the file changes only through the
// owner's explicit writes.  Pages not changed here show the file as it is,
// so a program that ignores the table's lock and writes to it is seen here
// (a read would have kept the old bytes; either way the table's own next
// write may undo that program's).  The mapping sits at the start of a
// larger reserved range of plain memory, so the image grows in place.
//
// Should a mapped page fail to come in later (a read error, or the file cut
// short by a program that ignores the table's lock), the read-fault guard
// puts zeros in its place and readFailed() becomes true: the owner must then
// not write from this image.  Small files are simply read.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/paradox/file_io.h"
#include "platform/paradox/image_buffer.h"
#include "platform/paradox/read_fault_guard.h"

namespace paradox {

class FileImage {
public:
    // Files from this size on are mapped.
    static constexpr std::size_t kMapFrom = std::size_t{256} << 10;

    explicit FileImage(const FileHandle& file);
    ~FileImage();
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return data_; }
    std::uint8_t* data() { return data_; }
    // New size; bytes past the old size are zero.
    void resize(std::size_t newSize);

    bool mapped() const { return reserved_ != 0; }
    // True once part of the mapped file could not be read.
    bool readFailed() const { return readFailedBeforeMove_ || (guard_ && guard_->lostPages()); }

private:
    bool mapFile(const FileHandle& file);
    void readFile(const FileHandle& file);
    void detachFileFrom(std::size_t offset);
    void moveToBuffer(std::size_t capacity);
    void unmap() noexcept;

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    // Mapped: the reserved range and how much of it is the file's.
    std::size_t reserved_ = 0;
    std::size_t fileBacked_ = 0;
    std::unique_ptr<ReadFaultGuard> guard_;
    bool readFailedBeforeMove_ = false;
    // Not mapped: the bytes read, or moved here when the image outgrew the range.
    ImageBuffer buffer_;
};

}  // namespace paradox
