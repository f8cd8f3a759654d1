// Rollback journal, beside the table as "<name>.db-journal".
//
// The file is a run of segments, one per committed change since the table's
// files were last synced.  A segment is only valid when its checksum holds
// and it carries the journal id and the next sequence number, so stale bytes
// past the last segment (or left by an earlier journal) are never replayed.
//
//   Segment header (24 bytes)
//   OFFSET SIZE DESCRIPTION
//     0     4   magic "PXJ1"
//     4     4   body length
//     8     8   journal id (random, new after every reset)
//    16     4   sequence number (0, 1, ...)
//    20     4   reserved, 0
//   Then the body, then 8 bytes: hash of header and body.
//
//   Body
//     0     8   hash of the boot id of the machine that wrote it
//     8    48   per file (.db, .px, .mb): u64 size before, u64 size after
//    56     4   page count
//    60     -   pages: u8 file, u64 offset, u32 length after, u64 hash of the
//               bytes after, u32 length before, the bytes before
//
// Writing a change: the segment is appended and fsynced, then the pages are
// written to the table files (no fsync).  "Save changes" fsyncs the table
// files and then resets the journal (the reset needs no fsync, see below).
//
// Recovery on open, when valid segments exist:
//  1. Same boot (the process died, the page cache survived): every segment
//     but the last was fully written.  If the last one's pages do not all
//     hold their "after" bytes, its "before" bytes are put back.
//  2. Another boot (the machine went down): if every page holds the bytes of
//     the newest segment that touched it, all changes reached the disk (the
//     journal merely outlived a save); otherwise every segment is undone,
//     newest first, which returns the files to their last saved state.
//  3. The table files are fsynced and the journal removed.

#include "platform/paradox/journal.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <vector>

#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/paged_file.h"

namespace paradox {

using coding::getU32;
using coding::getU64;
using coding::hash64;
using coding::putU32;
using coding::putU64;

namespace {

constexpr std::uint32_t kMagic = 0x314A5850;  // "PXJ1"
constexpr std::size_t kHeaderSize = 24;

std::uint64_t bootIdHash() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    if (id.empty()) return 0;
    return hash64(reinterpret_cast<const std::uint8_t*>(id.data()), id.size()) | 1;
}

std::uint64_t randomId() {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
           static_cast<std::uint64_t>(::getpid());
}

std::uint64_t segmentHash(const std::uint8_t* header, const std::uint8_t* body, std::size_t n) {
    return hash64(body, n, hash64(header, kHeaderSize));
}

struct PageRecord {
    int file;
    std::uint64_t offset;
    std::uint32_t newLength;
    std::uint64_t newHash;
    std::vector<std::uint8_t> original;
};

struct Segment {
    std::uint64_t boot = 0;
    std::uint64_t sizeBefore[3] = {};
    std::uint64_t sizeAfter[3] = {};
    std::vector<PageRecord> pages;
};

// Writes the journal's little-endian fields at a moving cursor.
struct Writer {
    std::uint8_t* at;
    void u8(std::uint8_t v) { *at++ = v; }
    void u32(std::uint32_t v) {
        putU32(at, v);
        at += 4;
    }
    void u64(std::uint64_t v) {
        putU64(at, v);
        at += 8;
    }
    void bytes(const std::vector<std::uint8_t>& v) {
        if (!v.empty()) std::memcpy(at, v.data(), v.size());
        at += v.size();
    }
};

constexpr std::size_t kPageRecordSize = 1 + 8 + 4 + 8 + 4;  // before the original bytes

// A whole segment (header, body, hash) for the pending changes of `files`,
// built in one buffer of its exact size: a bulk load touches every page of
// tables of tens of megabytes.
std::vector<std::uint8_t> encodeSegment(const JournalFiles& files, std::uint64_t journalId,
                                        std::uint32_t sequence) {
    std::array<std::vector<PagedFile::TouchedPage>, 3> touched;
    std::size_t bodySize = 8 + 48 + 4;
    std::uint32_t count = 0;
    for (int i = 0; i < 3; ++i) {
        if (!files[i]) continue;
        touched[i] = files[i]->touchedPages();
        for (const auto& page : touched[i]) bodySize += kPageRecordSize + page.original.size();
        count += static_cast<std::uint32_t>(touched[i].size());
    }
    std::vector<std::uint8_t> segment(kHeaderSize + bodySize + 8);
    Writer w{segment.data()};
    w.u32(kMagic);
    w.u32(static_cast<std::uint32_t>(bodySize));
    w.u64(journalId);
    w.u32(sequence);
    w.u32(0);
    w.u64(bootIdHash());
    for (const PagedFile* f : files) {
        w.u64(f ? f->committedSize() : 0);
        w.u64(f ? f->size() : 0);
    }
    w.u32(count);
    for (int i = 0; i < 3; ++i) {
        for (const auto& page : touched[i]) {
            w.u8(static_cast<std::uint8_t>(i));
            w.u64(page.offset);
            w.u32(static_cast<std::uint32_t>(page.length));
            const std::uint8_t* now =
                page.length ? files[i]->read(page.offset, page.length) : nullptr;
            w.u64(hash64(now, page.length));
            w.u32(static_cast<std::uint32_t>(page.original.size()));
            w.bytes(page.original);
        }
    }
    w.u64(segmentHash(segment.data(), segment.data() + kHeaderSize, bodySize));
    return segment;
}

bool decodeBody(const std::uint8_t* p, std::size_t n, Segment& seg) {
    coding::Cursor c(p, p + n);
    seg.boot = c.u64();
    for (int i = 0; i < 3; ++i) {
        seg.sizeBefore[i] = c.u64();
        seg.sizeAfter[i] = c.u64();
    }
    const std::uint32_t count = c.u32();
    for (std::uint32_t k = 0; k < count && !c.overrun(); ++k) {
        PageRecord r;
        r.file = c.u8();
        r.offset = c.u64();
        r.newLength = c.u32();
        r.newHash = c.u64();
        const std::uint32_t before = c.u32();
        const std::uint8_t* bytes = c.take(before);
        if (!bytes || r.file > 2) return false;
        r.original.assign(bytes, bytes + before);
        seg.pages.push_back(std::move(r));
    }
    return !c.overrun();
}

std::vector<Segment> readSegments(const std::vector<std::uint8_t>& data) {
    std::vector<Segment> segments;
    std::size_t at = 0;
    std::uint64_t id = 0;
    while (at + kHeaderSize + 8 <= data.size()) {
        const std::uint8_t* h = data.data() + at;
        const std::uint32_t length = getU32(h + 4);
        if (getU32(h) != kMagic || length > data.size() - at - kHeaderSize - 8) break;
        if (segments.empty()) id = getU64(h + 8);
        if (getU64(h + 8) != id || getU32(h + 16) != segments.size()) break;
        const std::uint8_t* body = h + kHeaderSize;
        if (getU64(body + length) != segmentHash(h, body, length)) break;
        Segment seg;
        if (!decodeBody(body, length, seg)) break;
        segments.push_back(std::move(seg));
        at += kHeaderSize + length + 8;
    }
    return segments;
}

bool holds(const FileHandle& file, std::uint64_t offset, std::uint32_t length, std::uint64_t hash) {
    if (length == 0) return true;  // a page cut off: the file size tells
    if (offset + length > file.size()) return false;
    std::vector<std::uint8_t> bytes(length);
    file.readAt(offset, bytes.data(), length);
    return hash64(bytes.data(), length) == hash;
}

bool sizesAre(const RecoveryFiles& files, const std::uint64_t* sizes) {
    for (int i = 0; i < 3; ++i)
        if (files[i] && files[i]->size() != sizes[i]) return false;
    return true;
}

bool fullyWritten(const Segment& seg, const RecoveryFiles& files) {
    if (!sizesAre(files, seg.sizeAfter)) return false;
    for (const auto& p : seg.pages)
        if (!files[p.file] || !holds(*files[p.file], p.offset, p.newLength, p.newHash))
            return false;
    return true;
}

bool allWritten(const std::vector<Segment>& segments, const RecoveryFiles& files) {
    if (!sizesAre(files, segments.back().sizeAfter)) return false;
    std::map<std::pair<int, std::uint64_t>, const PageRecord*> newest;
    for (const auto& seg : segments)
        for (const auto& p : seg.pages) newest[{p.file, p.offset}] = &p;
    for (const auto& [where, p] : newest)
        if (!files[p->file] || !holds(*files[p->file], p->offset, p->newLength, p->newHash))
            return false;
    return true;
}

void undo(const Segment& seg, const RecoveryFiles& files) {
    for (const auto& p : seg.pages) {
        if (!files[p.file]) throw EDatabaseError("Cannot recover the table: a file is missing");
        if (!p.original.empty())
            files[p.file]->writeAt(p.offset, p.original.data(), p.original.size());
    }
    for (int i = 0; i < 3; ++i)
        if (files[i] && files[i]->size() != seg.sizeBefore[i])
            files[i]->truncate(seg.sizeBefore[i]);
}

}  // namespace

void Journal::openFile() {
    if (file_.isOpen()) return;
    file_ = FileHandle::openOrCreate(path_);
    file_.truncate(0);
    syncDirectory(directoryOf(path_));
    journalId_ = randomId();
    sequence_ = 0;
    end_ = 0;
}

void Journal::record(const JournalFiles& files) {
    openFile();
    const std::vector<std::uint8_t> segment = encodeSegment(files, journalId_, sequence_);
    file_.writeAt(end_, segment.data(), segment.size());
    file_.sync();
    end_ += segment.size();
    ++sequence_;
}

void Journal::reset() {
    if (!file_.isOpen() || end_ == 0) return;
    // A zeroed first header ends the run; a new id keeps old bytes unreplayed.
    const std::uint8_t zeros[kHeaderSize] = {};
    file_.writeAt(0, zeros, sizeof zeros);
    journalId_ = randomId();
    sequence_ = 0;
    end_ = 0;
}

void Journal::remove() noexcept {
    if (!file_.isOpen()) return;
    file_ = FileHandle();
    ::unlink(path_.c_str());
}

bool Journal::recover(const std::string& journalPath, const RecoveryFiles& files) {
    if (!fileExists(journalPath)) return false;
    bool writable = false;
    FileHandle journal = FileHandle::openExisting(journalPath, writable);
    const std::vector<Segment> segments = readSegments(journal.readAll());
    bool restored = false;
    if (!segments.empty()) {
        for (const FileHandle* f : files)
            if (f && !writable)
                throw EDatabaseError("The table beside " + journalPath +
                                     " was interrupted while changing and must be recovered, "
                                     "but its files are read-only");
        const std::uint64_t boot = bootIdHash();
        if (boot != 0 && segments.back().boot == boot) {
            if (!fullyWritten(segments.back(), files)) {
                undo(segments.back(), files);
                restored = true;
            }
        } else if (!allWritten(segments, files)) {
            for (auto it = segments.rbegin(); it != segments.rend(); ++it) undo(*it, files);
            restored = true;
        }
        for (const FileHandle* f : files)
            if (f) f->sync();
    }
    if (writable) {
        journal = FileHandle();
        ::unlink(journalPath.c_str());
    }
    return restored;
}

}  // namespace paradox
