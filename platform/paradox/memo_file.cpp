// The .mb file: 4096-byte blocks, block 0 the header.  Blocks are not linked;
// values are reached only through record pointers.  Every block that starts
// a structure begins with: u8 type (0 header, 2 single value, 3 shared,
// 4 free), u16 length of the structure in blocks.
//
//   Header block              OFFSET SIZE
//     type 0, length 1          00    3
//     modification count        03    2   increased for every value written
//     constant 82 73 02 00 29   05    5
//     block sizes 0x1000 x2     0B    4   chunk size 0x10 at 10, slots 0x40 at 11
//     small/large threshold     13    2   0x800
//     0x02A1                    29    2
//
//   Type 2, one value longer than 2048 bytes, k = ceil((9 + length) / 4096)
//     type 2, k                 00    3
//     length                    03    4
//     modification number       07    2
//     the value, zero padded    09    -
//   Record pointer = offset of the block | 0xFF.
//
//   Type 3, up to 64 values of 1..2048 bytes sharing one block
//     type 3, length 1          00    3
//     slot table                0C  320   slot i at 0x0C + 5 i:
//                                         u8 first 16-byte chunk (0 = unused),
//                                         u8 chunks, u16 modification number,
//                                         u8 bytes used in the last chunk
//     data chunks               150   -   chunk c at 16 c (c = 0x15..0xFF)
//   Record pointer = offset of the block | slot.
//
//   Type 4, k free blocks: type 4, k.  Neighbouring free runs are merged.
//
// A changed value is written anew and the old one freed, never overwritten.

#include "platform/paradox/memo_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/paged_file.h"

namespace paradox {

using coding::getU16;
using coding::getU32;
using coding::putU16;
using coding::putU32;

namespace {
constexpr std::size_t kSlotTable = 0x0C;
constexpr int kSlots = 64;
constexpr int kFirstDataChunk = 0x15;
constexpr int kChunks = 256;
constexpr std::size_t kSmallLimit = 2048;
constexpr std::size_t kRunHeader = 9;

// The chunks of a shared block in use, one bit each, so that a free run is
// found a word at a time.
class ChunkMap {
public:
    void mark(int from, int to) {  // chunks [from, to)
        while (from < to) {
            const int bit = from % 64, n = std::min(64 - bit, to - from);
            bits_[from / 64] |= (n == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << n) - 1))
                                << bit;
            from += n;
        }
    }
    // The first chunk of the first run of `n` free chunks at or after
    // `from`, or -1.
    int firstFreeRun(int from, int n) const {
        for (int c = next(from, false); c + n <= kChunks;) {
            const int end = next(c, true);
            if (end - c >= n) return c;
            c = next(end, false);
        }
        return -1;
    }

private:
    // The first chunk at or after `from` that is used (or free), or kChunks.
    int next(int from, bool used) const {
        while (from < kChunks) {
            const std::uint64_t word = used ? bits_[from / 64] : ~bits_[from / 64];
            if (const std::uint64_t rest = word >> (from % 64))
                return from + std::countr_zero(rest);
            from = (from / 64 + 1) * 64;
        }
        return kChunks;
    }

    std::uint64_t bits_[kChunks / 64] = {};
};

}  // namespace

std::vector<std::uint8_t> MemoFile::emptyFile() {
    std::vector<std::uint8_t> h(kBlockSize, 0);
    h[0] = 0;
    putU16(&h[1], 1);
    putU16(&h[3], 1);
    const std::uint8_t constant[] = {0x82, 0x73, 0x02, 0x00, 0x29};
    std::memcpy(&h[5], constant, sizeof constant);
    putU16(&h[0x0B], 0x1000);
    putU16(&h[0x0D], 0x1000);
    h[0x10] = 0x10;
    putU16(&h[0x11], 0x40);
    putU16(&h[0x13], 0x800);
    putU16(&h[0x29], 0x02A1);
    return h;
}

MemoFile::MemoFile(PagedFile& file, bool forWriting) : file_(file) {
    const std::size_t size = file_.size();
    const std::uint8_t* header = size < kBlockSize ? nullptr : file_.read(0, kBlockSize);
    if (const char* fault = headerFault(header, size)) damaged(size < kBlockSize ? size : 0, fault);
    if (!forWriting) return;
    // Other writers leave the last run unpadded; pad it with the next change.
    if (size % kBlockSize != 0) file_.grow((size + kBlockSize - 1) / kBlockSize * kBlockSize);
}

// The free space is learned when the first value is written or freed, not at
// open: that reads the type of every block, the whole file when most values
// share blocks.  The file is read in large runs past the frame cache.
void MemoFile::learnFreeSpace() {
    if (freeSpaceKnown_) return;
    const std::size_t blocks = file_.size() / kBlockSize;
    constexpr std::size_t kRunBlocks = 256;
    std::vector<std::uint8_t> run(kRunBlocks * kBlockSize);
    std::size_t runFirst = 0, runEnd = 0;  // the blocks held in `run`
    for (std::size_t b = 1; b < blocks;) {
        if (b >= runEnd) {
            runFirst = b;
            runEnd = std::min(blocks, b + kRunBlocks);
            file_.copy(runFirst * kBlockSize, (runEnd - runFirst) * kBlockSize, run.data());
        }
        const std::uint8_t* p = run.data() + (b - runFirst) * kBlockSize;
        const std::size_t length = getU16(p + 1);
        switch (p[0]) {
            case 2:
            case 4:
                if (length < 1 || b + length > blocks)
                    damaged(b * kBlockSize, "a memo block run has an invalid length");
                if (p[0] == 4) freeRuns_[b] = length;
                b += length;
                break;
            case 3:
                subBlocks_.push_back({b});
                ++b;
                break;
            default:
                damaged(b * kBlockSize, "a memo block has an unknown type " + std::to_string(p[0]));
        }
    }
    freeSpaceKnown_ = true;
}

void MemoFile::damaged(std::size_t offset, const std::string& what) const {
    throwDamaged(file_.path(), offset, what);
}

const char* MemoFile::headerFault(const std::uint8_t* file, std::size_t size) {
    if (size < kBlockSize) return "the memo file is shorter than its header";
    if (file[0] != 0 || getU16(file + 1) != 1) return "the memo file header is invalid";
    return nullptr;
}

const std::uint8_t* MemoFile::locate(const std::uint8_t* file, std::size_t size, const MemoRef& ref,
                                     Fault& fault) {
    const std::size_t offset = ref.pointer & 0xFFFFFF00u;
    if (offset == 0 || offset + kRunHeader > size) {
        fault = {offset, "a memo pointer leads outside the memo file"};
        return nullptr;
    }
    const std::size_t at = valueOffset(file + offset, size, ref, fault);
    return at ? file + at : nullptr;
}

// Checks `ref` against the structure at its block, whose bytes (as many as
// the file holds, up to a block) are `block`; returns the file offset of the
// value, or 0 with `fault` set.
std::size_t MemoFile::valueOffset(const std::uint8_t* block, std::size_t size, const MemoRef& ref,
                                  Fault& fault) {
    const std::size_t offset = ref.pointer & 0xFFFFFF00u;
    const unsigned index = ref.pointer & 0xFFu;
    fault.offset = offset;
    // Every structure starts a block, so a pointer inside one leads nowhere.
    if (offset % kBlockSize != 0) {
        fault.what = "a memo pointer leads to a block that holds no memo";
        return 0;
    }
    if (block[0] == 2) {
        // Other writers leave the last run unpadded, so only the value itself
        // must lie inside the file.
        const std::size_t blocks = getU16(block + 1);
        if (index != 0xFF || getU32(block + 3) != ref.length ||
            blocks * kBlockSize < kRunHeader + ref.length ||
            offset + kRunHeader + ref.length > size) {
            fault.what = "a memo's stored length or size disagrees with its record";
            return 0;
        }
        return offset + kRunHeader;
    }
    if (block[0] == 3 && index < kSlots && offset + kBlockSize <= size) {
        const std::uint8_t* slot = block + kSlotTable + 5 * index;
        const std::size_t first = slot[0], chunks = slot[1], last = slot[4];
        if (first == 0 || chunks == 0 || (chunks - 1) * 16 + last != ref.length || last > 16 ||
            16 * first < 0x150 || 16 * (first + chunks) > kBlockSize) {
            fault.offset = offset + kSlotTable + 5 * index;
            fault.what = "a memo slot disagrees with its record";
            return 0;
        }
        return offset + 16 * first;
    }
    fault.what = "a memo pointer leads to a block that holds no memo";
    return 0;
}

// The checked place of the value: its block is read through the frame cache.
std::size_t MemoFile::find(const MemoRef& ref) const {
    const std::size_t offset = ref.pointer & 0xFFFFFF00u, size = file_.size();
    if (offset == 0 || offset + kRunHeader > size)
        damaged(offset, "a memo pointer leads outside the memo file");
    Fault fault;
    const std::size_t blockBytes =
        offset % kBlockSize == 0 ? std::min(kBlockSize, size - offset) : 1;
    const std::size_t at = valueOffset(file_.read(offset, blockBytes), size, ref, fault);
    if (!at) damaged(fault.offset, fault.what);
    return at;
}

void MemoFile::check(const MemoRef& ref) const { find(ref); }

// A value inside one frame is read in place; a longer run is gathered.
const std::uint8_t* MemoFile::read(const MemoRef& ref) const {
    const std::size_t at = find(ref);
    if (file_.withinOneFrame(at, ref.length)) return file_.read(at, ref.length);
    gathered_.resize(ref.length);
    file_.copy(at, ref.length, gathered_.data());
    return gathered_.data();
}

std::uint16_t MemoFile::nextModNumber() {
    std::uint16_t mod = static_cast<std::uint16_t>(getU16(file_.read(3, 2)) + 1);
    if (mod == 0) mod = 1;
    putU16(file_.modify(3, 2), mod);
    return mod;
}

std::size_t MemoFile::allocateBlocks(std::size_t count) {
    for (auto it = freeRuns_.begin(); it != freeRuns_.end(); ++it) {
        if (it->second < count) continue;
        const std::size_t first = it->first, length = it->second;
        freeRuns_.erase(it);
        if (length > count) {
            std::uint8_t* rest = file_.modify((first + count) * kBlockSize, 3);
            rest[0] = 4;
            putU16(rest + 1, static_cast<std::uint16_t>(length - count));
            freeRuns_[first + count] = length - count;
        }
        return first;
    }
    const std::size_t first = file_.size() / kBlockSize;
    if (first + count > 0xFFFFFF)
        throw EDatabaseError("The memo file " + file_.path() + " is full");
    file_.grow((first + count) * kBlockSize);
    return first;
}

void MemoFile::freeBlocks(std::size_t first, std::size_t count) {
    // Merge with a free run just after and just before.
    auto next = freeRuns_.find(first + count);
    if (next != freeRuns_.end()) {
        count += next->second;
        freeRuns_.erase(next);
    }
    auto after = freeRuns_.lower_bound(first);
    if (after != freeRuns_.begin()) {
        auto before = std::prev(after);
        if (before->first + before->second == first) {
            first = before->first;
            count += before->second;
            freeRuns_.erase(before);
        }
    }
    std::uint8_t* head = file_.modify(first * kBlockSize, 3);
    head[0] = 4;
    putU16(head + 1, static_cast<std::uint16_t>(std::min<std::size_t>(count, 0xFFFF)));
    freeRuns_[first] = count;
}

MemoRef MemoFile::write(const std::string& bytes) {
    learnFreeSpace();
    const std::uint16_t mod = nextModNumber();
    return bytes.size() > kSmallLimit ? writeRun(bytes, mod) : writeSuballocated(bytes, mod);
}

MemoRef MemoFile::writeRun(const std::string& bytes, std::uint16_t mod) {
    const std::size_t blocks = (kRunHeader + bytes.size() + kBlockSize - 1) / kBlockSize;
    if (blocks > 0xFFFF)
        throw EDatabaseError("A memo of " + std::to_string(bytes.size()) + " bytes is too long");
    const std::size_t first = allocateBlocks(blocks);
    // A run may span frames of the file: it is stored page by page.
    std::vector<std::uint8_t> run(blocks * kBlockSize, 0);
    std::uint8_t* p = run.data();
    p[0] = 2;
    putU16(p + 1, static_cast<std::uint16_t>(blocks));
    putU32(p + 3, static_cast<std::uint32_t>(bytes.size()));
    putU16(p + 7, mod);
    std::memcpy(p + kRunHeader, bytes.data(), bytes.size());
    file_.store(first * kBlockSize, run.data(), run.size());
    return {static_cast<std::uint32_t>(first * kBlockSize) | 0xFF,
            static_cast<std::uint32_t>(bytes.size()), mod};
}

bool MemoFile::placeInBlock(std::size_t block, std::size_t chunks, int& slot,
                            int& firstChunk) const {
    const std::uint8_t* p = file_.read(block * kBlockSize, kBlockSize);
    // A block whose slots are all taken is common in a bulk load: look for
    // the free slot before mapping the chunks.
    slot = -1;
    for (int i = kSlots - 1; i >= 0 && slot < 0; --i)
        if (p[kSlotTable + 5 * i] == 0) slot = i;
    if (slot < 0) return false;
    ChunkMap used;
    for (int i = 0; i < kSlots; ++i) {
        const std::uint8_t* s = p + kSlotTable + 5 * i;
        if (s[0] != 0) used.mark(s[0], std::min(s[0] + s[1], kChunks));
    }
    firstChunk = used.firstFreeRun(kFirstDataChunk, static_cast<int>(chunks));
    return firstChunk >= 0;
}

MemoRef MemoFile::writeSuballocated(const std::string& bytes, std::uint16_t mod) {
    const std::size_t chunks = (bytes.size() + 15) / 16;
    int slot = -1, firstChunk = 0;
    std::size_t block = 0;
    // Try the newest shared blocks only, so that a write stays cheap, and
    // skip those known to be too full (a bulk load fills them in turn).
    const std::size_t tries = std::min<std::size_t>(subBlocks_.size(), 8);
    for (std::size_t k = 0; k < tries && slot < 0; ++k) {
        SharedBlock& candidate = subBlocks_[subBlocks_.size() - 1 - k];
        if (chunks >= candidate.noRoomFor) continue;
        if (placeInBlock(candidate.block, chunks, slot, firstChunk)) {
            block = candidate.block;
        } else {
            candidate.noRoomFor = slot < 0 ? 1 : chunks;  // no free slot: nothing fits
            slot = -1;
        }
    }
    if (slot < 0) {
        block = allocateBlocks(1);
        std::uint8_t* p = file_.modify(block * kBlockSize, kBlockSize);
        std::memset(p, 0, kBlockSize);
        p[0] = 3;
        putU16(p + 1, 1);
        subBlocks_.push_back({block});
        placeInBlock(block, chunks, slot, firstChunk);
    }
    const std::size_t base = block * kBlockSize;
    std::uint8_t* s = file_.modify(base + kSlotTable + 5 * slot, 5);
    s[0] = static_cast<std::uint8_t>(firstChunk);
    s[1] = static_cast<std::uint8_t>(chunks);
    putU16(s + 2, mod);
    s[4] = static_cast<std::uint8_t>(bytes.size() - (chunks - 1) * 16);
    std::uint8_t* data = file_.modify(base + 16 * firstChunk, chunks * 16);
    std::memset(data, 0, chunks * 16);
    std::memcpy(data, bytes.data(), bytes.size());
    return {static_cast<std::uint32_t>(base) | static_cast<std::uint32_t>(slot),
            static_cast<std::uint32_t>(bytes.size()), mod};
}

void MemoFile::release(const MemoRef& ref) {
    if (ref.pointer == 0) return;
    learnFreeSpace();
    check(ref);
    const std::size_t block = (ref.pointer & 0xFFFFFF00u) / kBlockSize;
    if (file_.read(block * kBlockSize, 1)[0] == 2) {
        freeBlocks(block, getU16(file_.read(block * kBlockSize + 1, 2)));
        return;
    }
    const int slot = static_cast<int>(ref.pointer & 0xFF);
    std::memset(file_.modify(block * kBlockSize + kSlotTable + 5 * slot, 5), 0, 5);
    const auto shared = std::find_if(subBlocks_.begin(), subBlocks_.end(),
                                     [&](const SharedBlock& s) { return s.block == block; });
    const std::uint8_t* p = file_.read(block * kBlockSize, kBlockSize);
    for (int i = 0; i < kSlots; ++i) {
        if (p[kSlotTable + 5 * i] != 0) {
            if (shared != subBlocks_.end()) shared->noRoomFor = SIZE_MAX;  // it has room again
            return;
        }
    }
    if (shared != subBlocks_.end()) subBlocks_.erase(shared);
    freeBlocks(block, 1);
}

}  // namespace paradox
