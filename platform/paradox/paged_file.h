#pragma once
// The one way the engine reads and changes the bytes of a table file.
//
// Every access names a byte range: read() to look, modify() and store() to
// change, grow() and shrink() for the length.  The whole file is read into
// memory with ordinary reads when the table opens; because callers ask for
// ranges, that image can give way to a bounded cache of blocks read on
// demand without changing them.  (data(), the whole image at once, is still
// used by the memo file, the primary index and the header code.)  A pointer
// handed out stays valid until the file grows or shrinks.
//
// A change marks the pages it touches and keeps their original bytes, so the
// journal can record exactly the touched pages and an aborted transaction
// can be undone in memory.  Committing writes only the touched pages
// (contiguous pages in one write).

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/paradox/file_io.h"
#include "platform/paradox/image_buffer.h"

namespace paradox {

class PagedFile {
public:
    static constexpr std::size_t kPageSize = 512;

    PagedFile(FileHandle file, bool writable);

    const std::string& path() const { return file_.path(); }
    const FileHandle& handle() const { return file_; }
    bool writable() const { return writable_; }

    std::size_t size() const { return image_.size(); }
    const std::uint8_t* data() const { return image_.data(); }
    // Bytes [offset, offset + n) for reading.
    const std::uint8_t* read(std::size_t offset, [[maybe_unused]] std::size_t n) const {
        assert(offset + n <= image_.size());
        return image_.data() + offset;
    }
    // True when the file's length on disk is no longer the one last
    // committed: another program, ignoring the table's lock, cut or extended
    // it.  Writing pages into such a file would leave holes in it.
    bool resizedElsewhere() const { return file_.size() != committedSize_; }

    // Bytes [offset, offset + n) for writing; marks their pages touched.
    std::uint8_t* modify(std::size_t offset, std::size_t n);
    // Writes `n` bytes at `offset` only where they differ from the image, so
    // an unchanged region is not journalled or written.
    void store(std::size_t offset, const std::uint8_t* bytes, std::size_t n);
    // Grows the image (zero-filled); the new bytes count as touched.
    void grow(std::size_t newSize);
    // Cuts the image short; the removed bytes count as touched, so the
    // journal keeps them.
    void shrink(std::size_t newSize);

    // --- transaction plumbing (used by the table and the journal) ---
    struct TouchedPage {
        std::size_t offset;
        std::size_t length;                  // bytes of the page inside the new image (0: cut off)
        std::vector<std::uint8_t> original;  // bytes that existed before (may be shorter)
    };
    bool hasPendingChanges() const { return !touched_.empty() || image_.size() != committedSize_; }
    std::size_t committedSize() const { return committedSize_; }
    std::vector<TouchedPage> touchedPages() const;
    // Writes the touched pages to the file and makes them the committed state.
    void writePending();
    // Forgets the pending changes, restoring the committed image in memory.
    void rollbackPending();
    // After a failed writePending(): puts the original bytes back into the
    // file (best effort; the journal still holds them for the next open).
    void restoreFileFromOriginals() noexcept;
    // fsync when something was written since the last sync.
    void syncIfWritten();

private:
    void touch(std::size_t offset, std::size_t n);

    FileHandle file_;
    bool writable_;
    ImageBuffer image_;
    std::size_t committedSize_ = 0;
    std::map<std::size_t, std::vector<std::uint8_t>> touched_;  // page index -> original bytes
    bool writtenSinceSync_ = false;
};

}  // namespace paradox
