// The .mb file: 4096-byte blocks; block 0 is the header.  A block that
// starts a structure begins with a type byte and a u16 length in blocks.
//
//   header (type 0)   0x03 u16 modification count, 0x05 82 73 02 00 29,
//                     0x0B u16 0x1000, 0x0D u16 0x1000, 0x10 u8 0x10,
//                     0x11 u16 64, 0x13 u16 0x800, 0x29 u16 0x02A1
//   type 2 (a value over 2048 bytes, k blocks)
//                     0x01 u16 k, 0x03 u32 length, 0x07 u16 modification,
//                     0x09 the value, zero fill to k * 4096
//   type 3 (up to 64 values of 1..2048 bytes in one block)
//                     slot i at 0x0C + 5i: u8 first chunk (0 = unused),
//                     u8 chunks, u16 modification, u8 bytes in the last
//                     chunk; the data of chunk c at 16c, c = 0x15..0xFF
//
// A record's pointer is the block's offset with the slot (0..63) or 0xFF
// (type 2) in its low byte.

#include "platform/tutil/memo.h"

#include <algorithm>
#include <cstring>

#include "platform/paradox/coding.h"
#include "platform/paradox/memo_file.h"
#include "platform/tutil/header.h"
#include "platform/tutil/tutil.h"

namespace tutil {

using namespace paradox::coding;

namespace {
constexpr std::size_t kBlock = 4096;
constexpr std::size_t kSmallLimit = 2048;
constexpr int kFirstChunk = 0x15;
// Pointers are 32-bit byte offsets: the file ends before block 2^20.
constexpr std::size_t kMaxBlocks = std::size_t{1} << 20;
// Written blocks are held back until this many bytes are waiting.
constexpr std::size_t kWindowBytes = std::size_t{4} << 20;
}  // namespace

MemoReader::MemoReader(const std::string& mbPath) {
    if (mbPath.empty()) return;
    if (!bytes_.read(mbPath)) return;
    present_ = bytes_.size() >= kBlock && bytes_.data()[0] == 0;
}

std::optional<std::span<const std::uint8_t>> MemoReader::read(std::uint32_t pointer,
                                                              std::uint32_t length,
                                                              std::string& why) const {
    if (!present_) {
        why = "the memo file is missing or damaged";
        return std::nullopt;
    }
    const std::size_t offset = pointer & 0xFFFFFF00u;
    const unsigned index = pointer & 0xFFu;
    if (offset == 0 || offset + 9 > bytes_.size()) {
        why = "its pointer leads outside the memo file";
        return std::nullopt;
    }
    const std::uint8_t* block = bytes_.data() + offset;
    if (block[0] == 2 && index == 0xFF) {
        // Other writers leave the last run unpadded: only the value itself
        // must lie inside the file.
        const std::size_t blocks = getU16(block + 1);
        if (getU32(block + 3) != length || blocks * kBlock < 9 + std::size_t{length} ||
            offset + 9 + length > bytes_.size()) {
            why = "its memo block disagrees with the record";
            return std::nullopt;
        }
        return std::span<const std::uint8_t>(block + 9, length);
    }
    if (block[0] == 3 && index < 64 && offset + kBlock <= bytes_.size()) {
        const std::uint8_t* slot = block + 0x0C + 5 * index;
        const std::size_t first = slot[0], chunks = slot[1], last = slot[4];
        if (first < kFirstChunk || chunks == 0 || last == 0 || last > 16 ||
            (chunks - 1) * 16 + last != length || 16 * (first + chunks) > kBlock) {
            why = "its memo slot disagrees with the record";
            return std::nullopt;
        }
        return std::span<const std::uint8_t>(block + 16 * first, length);
    }
    why = "its pointer leads to a block of the wrong kind";
    return std::nullopt;
}

// ---- MemoWriter ----------------------------------------------------------

MemoWriter::MemoWriter(const std::string& mbPath) : out_(mbPath), window_(kWindowBytes) {
    const std::vector<std::uint8_t> header = paradox::MemoFile::emptyFile();
    put(header.data(), header.size());
    nextBlock_ = 1;
}

// Appends bytes to the window, writing it out whenever it is full.  The
// window holds whole blocks, so a block never straddles two writes.
void MemoWriter::put(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        if (used_ == kWindowBytes) flushWindow();
        const std::size_t part = std::min(n, kWindowBytes - used_);
        std::memcpy(window_.data() + used_, data, part);
        used_ += part;
        data += part;
        n -= part;
    }
}

void MemoWriter::putZeros(std::size_t n) {
    while (n > 0) {
        if (used_ == kWindowBytes) flushWindow();
        const std::size_t part = std::min(n, kWindowBytes - used_);
        std::memset(window_.data() + used_, 0, part);
        used_ += part;
        n -= part;
    }
}

// Writes the window out.  The suballocated block goes with it, so later
// small values start a new one.
void MemoWriter::flushWindow() {
    out_.append(window_.data(), used_);
    used_ = 0;
    smallOpen_ = false;
}

void MemoWriter::checkRoom(std::size_t blocks) const {
    if (nextBlock_ + blocks > kMaxBlocks)
        throw TableError(TU_ERR_UNSUPPORTED,
                         "The memo values do not fit the 4 GB a memo file can address");
}

void MemoWriter::openSmallBlock() {
    checkRoom(1);
    if (used_ == kWindowBytes) flushWindow();
    smallAt_ = used_;
    putZeros(kBlock);
    std::uint8_t* block = window_.data() + smallAt_;
    block[0] = 3;
    putU16(block + 1, 1);
    smallBlock_ = nextBlock_++;
    smallOpen_ = true;
    nextSlot_ = 63;
    nextChunk_ = kFirstChunk;
}

std::uint32_t MemoWriter::store(const std::uint8_t* data, std::size_t length) {
    if (length > kSmallLimit) {
        const std::size_t blocks = (9 + length + kBlock - 1) / kBlock;
        if (blocks > 0xFFFF) throw TableError(TU_ERR_UNSUPPORTED, "A memo value is too long");
        checkRoom(blocks);
        std::uint8_t head[9] = {2};
        putU16(head + 1, static_cast<std::uint16_t>(blocks));
        putU32(head + 3, static_cast<std::uint32_t>(length));
        putU16(head + 7, kModification);
        put(head, sizeof head);
        put(data, length);
        putZeros(blocks * kBlock - sizeof head - length);
        const std::uint32_t at = nextBlock_;
        nextBlock_ += static_cast<std::uint32_t>(blocks);
        return at * kBlock | 0xFFu;
    }
    const int chunks = static_cast<int>((length + 15) / 16);
    if (!smallOpen_ || nextSlot_ < 0 || nextChunk_ + chunks > 0x100) openSmallBlock();
    std::uint8_t* block = window_.data() + smallAt_;
    const int slot = nextSlot_--;
    std::uint8_t* entry = block + 0x0C + 5 * static_cast<std::size_t>(slot);
    entry[0] = static_cast<std::uint8_t>(nextChunk_);
    entry[1] = static_cast<std::uint8_t>(chunks);
    putU16(entry + 2, kModification);
    entry[4] = static_cast<std::uint8_t>(length - (static_cast<std::size_t>(chunks) - 1) * 16);
    std::memcpy(block + 16 * nextChunk_, data, length);
    nextChunk_ += chunks;
    return smallBlock_ * kBlock | static_cast<std::uint32_t>(slot);
}

void MemoWriter::finish(bool durable) {
    flushWindow();
    out_.finish(durable);
}

}  // namespace tutil
