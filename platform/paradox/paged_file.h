#pragma once
// One table file held in memory as a byte image, with the changes of the
// current transaction tracked per page.
//
// Large files are mapped rather than read (see FileImage); either way the
// image, not the file, is what the engine reads.  A change marks the pages it
// touches and keeps their original bytes, so the journal can record exactly
// the touched pages and an aborted transaction can be undone in memory.
// Committing writes only the touched pages (contiguous pages in one write).

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/paradox/file_image.h"
#include "platform/paradox/file_io.h"

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
    // True once part of the file could not be read; nothing may then be
    // written from the image.
    bool readFailed() const { return image_.readFailed(); }

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
    FileImage image_;
    std::size_t committedSize_ = 0;
    std::map<std::size_t, std::vector<std::uint8_t>> touched_;  // page index -> original bytes
    bool writtenSinceSync_ = false;
};

}  // namespace paradox
