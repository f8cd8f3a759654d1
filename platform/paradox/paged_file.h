#pragma once
// The one way the engine reads and changes the bytes of a table file.
//
// Every access names a byte range: read() to look, modify() and store() to
// change, grow() and shrink() for the length.  A file laid out in frames (a
// table's header, then its blocks) is read a frame at a time on demand into a
// bounded cache, as a database pager does: clean frames beyond the cache's
// limit are dropped, least recently used first, so a table's memory does not
// grow with the table.  A file without frames (an index file, a memo file
// that fits in the cache) is read whole at open, and data() gives its image.
//
// A range never spans two frames.  A pointer handed out stays valid until
// the file grows or shrinks (whole image), or until kSafeFrames other frames
// have been used since (frames: only that many frames are sure to stay).
//
// A change marks the pages it touches and keeps their original bytes, so the
// journal can record exactly the touched pages and an aborted transaction
// can be undone in memory.  A changed frame stays in the cache until the
// change is committed or undone.  Committing writes only the touched pages
// (contiguous pages of a frame in one write).

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/paradox/file_io.h"
#include "platform/paradox/image_buffer.h"

namespace paradox {

class PagedFile {
public:
    static constexpr std::size_t kPageSize = 512;
    // The most recently used frames, which are never dropped: enough for the
    // few ranges a caller holds at once.
    static constexpr std::size_t kSafeFrames = 8;

    // Where the frames lie: [0, first) is one frame, then frames of `size`
    // bytes.  Both are multiples of kPageSize.  A size of 0: no frames, the
    // whole file is one image.
    struct Frames {
        std::size_t first;
        std::size_t size;
    };
    // Checks the bytes of a frame read from the file (`offset` is where the
    // frame starts) before anything uses them; throws to refuse them.
    using FrameCheck =
        std::function<void(std::size_t offset, const std::uint8_t* bytes, std::size_t n)>;

    PagedFile(FileHandle file, bool writable, Frames frames = Frames{0, 0});

    const std::string& path() const { return file_.path(); }
    const FileHandle& handle() const { return file_; }
    bool writable() const { return writable_; }
    bool framed() const { return frames_.size != 0; }

    std::size_t size() const { return size_; }
    // The whole image of a file without frames.
    const std::uint8_t* data() const {
        assert(!framed());
        return image_.data();
    }
    // Bytes [offset, offset + n) for reading.
    const std::uint8_t* read(std::size_t offset, std::size_t n) const {
        assert(offset + n <= size_);
        if (!framed()) return image_.data() + offset;
        return frameHolding(offset, n) + (offset - frameStart(frameIndex(offset)));
    }
    // True when bytes [offset, offset + n) lie in one frame, so that read()
    // can hand them out in place.
    bool withinOneFrame(std::size_t offset, std::size_t n) const {
        return !framed() || n == 0 || frameIndex(offset) == frameIndex(offset + n - 1);
    }
    // Copies bytes [offset, offset + n) to `out` without bringing their
    // frame into the cache (for a glance at many frames, such as the block
    // links of a whole table).  The range may span frames.
    void copy(std::size_t offset, std::size_t n, std::uint8_t* out) const;
    // True when the frame holding `offset` is in memory (always for a file
    // without frames).
    bool inMemory(std::size_t offset) const;

    // True when the file's length on disk is no longer the one last
    // committed: another program, ignoring the table's lock, cut or extended
    // it.  Writing pages into such a file would leave holes in it.
    bool resizedElsewhere() const { return file_.size() != committedSize_; }

    // Bytes [offset, offset + n) for writing; marks their pages touched.
    std::uint8_t* modify(std::size_t offset, std::size_t n);
    // Writes `n` bytes at `offset` only where they differ from the image, so
    // an unchanged region is not journalled or written.
    void store(std::size_t offset, const std::uint8_t* bytes, std::size_t n);
    // Grows the file (zero-filled); the new bytes count as touched.
    void grow(std::size_t newSize);
    // Cuts the file short; the removed bytes count as touched, so the
    // journal keeps them.
    void shrink(std::size_t newSize);

    // --- the frame cache ---
    // The most bytes of unchanged frames kept in memory, for files opened
    // from now on (changed frames stay until committed).
    static void setCacheLimit(std::size_t bytes);
    static std::size_t cacheLimit();
    // Bytes of the file held in memory now (changed frames included; the
    // whole image of a file without frames).
    std::size_t cachedBytes() const { return framed() ? cachedBytes_ : size_; }
    void setFrameCheck(FrameCheck check) { frameCheck_ = std::move(check); }

    // --- transaction plumbing (used by the table and the journal) ---
    struct TouchedPage {
        std::size_t offset;
        std::size_t length;                  // bytes of the page inside the new image (0: cut off)
        std::vector<std::uint8_t> original;  // bytes that existed before (may be shorter)
    };
    bool hasPendingChanges() const { return !touched_.empty() || size_ != committedSize_; }
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
    struct Frame {
        std::unique_ptr<std::uint8_t[]> bytes;
        bool changed = false;
        std::list<std::size_t>::iterator recent;  // in recent_ while unchanged
    };

    std::size_t frameIndex(std::size_t offset) const {
        return offset < frames_.first ? 0 : 1 + (offset - frames_.first) / frames_.size;
    }
    std::size_t frameStart(std::size_t index) const {
        return index == 0 ? 0 : frames_.first + (index - 1) * frames_.size;
    }
    std::size_t frameLength(std::size_t index) const {
        return index == 0 ? frames_.first : frames_.size;
    }
    // The bytes of the frame holding [offset, offset + n), read in if needed.
    std::uint8_t* frameHolding(std::size_t offset, std::size_t n) const;
    // The frame, read in if needed (`check`: run the frame check on it).
    Frame& frame(std::size_t index, bool check) const;
    Frame& loadFrame(std::size_t index, bool check) const;
    void dropUnusedFrames() const;
    void forgetFrame(std::size_t index) const;
    void settleChangedFrames();
    std::uint8_t* bytesAt(std::size_t offset, std::size_t n);
    void touch(std::size_t offset, std::size_t n);

    FileHandle file_;
    bool writable_;
    Frames frames_;
    ImageBuffer image_;  // the whole file, when it has no frames
    std::size_t size_ = 0;
    std::size_t committedSize_ = 0;
    std::size_t limitBytes_ = 0;
    FrameCheck frameCheck_;
    // The cache: frames by index; unchanged ones also in recent_, most
    // recently used first.  The last frame used is remembered for speed.
    mutable std::unordered_map<std::size_t, Frame> cachedFrames_;
    mutable std::list<std::size_t> recent_;
    static constexpr std::size_t kNoFrame = static_cast<std::size_t>(-1);
    mutable std::size_t cachedBytes_ = 0;
    mutable std::size_t lastIndex_ = kNoFrame;
    mutable Frame* lastFrame_ = nullptr;
    std::map<std::size_t, std::vector<std::uint8_t>> touched_;  // page index -> original bytes
    bool writtenSinceSync_ = false;
};

}  // namespace paradox
