// The .mb file (its layout is described in platform/paradox/memo_file.cpp),
// read through the engine's checks and written front to back: values over
// 2048 bytes as type-2 runs, smaller ones 64 to a type-3 block.

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
constexpr std::size_t kBlock = paradox::MemoFile::kBlockSize;
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
    present_ = !paradox::MemoFile::headerFault(bytes_.data(), bytes_.size());
}

std::optional<std::span<const std::uint8_t>> MemoReader::read(std::uint32_t pointer,
                                                              std::uint32_t length,
                                                              std::string& why) const {
    if (!present_) {
        why = "the memo file is missing or damaged";
        return std::nullopt;
    }
    // The value lies in its block or in the run that block starts.
    bytes_.prefetch(pointer & 0xFFFFFF00u, paradox::MemoFile::kBlockSize + std::size_t(length));
    paradox::MemoFile::Fault fault;
    const std::uint8_t* value =
        paradox::MemoFile::locate(bytes_.data(), bytes_.size(), {pointer, length, 0}, fault);
    if (!value) {
        why = fault.what;
        return std::nullopt;
    }
    return std::span<const std::uint8_t>(value, length);
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
