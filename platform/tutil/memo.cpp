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
#include <iterator>

#include "platform/paradox/coding.h"
#include "platform/tutil/header.h"
#include "platform/tutil/tutil.h"

namespace tutil {

using namespace paradox::coding;

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    bytes.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

namespace {
constexpr std::size_t kBlock = 4096;
constexpr std::size_t kSmallLimit = 2048;
constexpr int kFirstChunk = 0x15;
}  // namespace

MemoReader::MemoReader(const std::string& mbPath) {
    if (mbPath.empty()) return;
    if (!readWholeFile(mbPath, bytes_)) return;
    present_ = bytes_.size() >= kBlock && bytes_[0] == 0;
}

std::optional<std::vector<std::uint8_t>> MemoReader::read(std::uint32_t pointer,
                                                          std::uint32_t length,
                                                          std::uint16_t modification,
                                                          std::string& why) const {
    if (!present_) {
        why = "the memo file is missing or damaged";
        return std::nullopt;
    }
    const std::size_t offset = pointer & 0xFFFFFF00u;
    const unsigned index = pointer & 0xFFu;
    if (offset == 0 || offset + kBlock > bytes_.size()) {
        why = "its pointer leads outside the memo file";
        return std::nullopt;
    }
    const std::uint8_t* block = bytes_.data() + offset;
    if (block[0] == 2 && index == 0xFF) {
        const std::size_t blocks = getU16(block + 1);
        if (getU32(block + 3) != length || getU16(block + 7) != modification ||
            blocks * kBlock < 9 + std::size_t{length} || offset + blocks * kBlock > bytes_.size()) {
            why = "its memo block disagrees with the record";
            return std::nullopt;
        }
        return std::vector<std::uint8_t>(block + 9, block + 9 + length);
    }
    if (block[0] == 3 && index < 64) {
        const std::uint8_t* slot = block + 0x0C + 5 * index;
        const std::size_t first = slot[0], chunks = slot[1], last = slot[4];
        if (first < kFirstChunk || chunks == 0 || last == 0 || last > 16 ||
            (chunks - 1) * 16 + last != length || 16 * (first + chunks) > kBlock ||
            getU16(slot + 2) != modification) {
            why = "its memo slot disagrees with the record";
            return std::nullopt;
        }
        return std::vector<std::uint8_t>(block + 16 * first, block + 16 * first + length);
    }
    why = "its pointer leads to a block of the wrong kind";
    return std::nullopt;
}

// ---- MemoWriter ----------------------------------------------------------

MemoWriter::MemoWriter(const std::string& mbPath) : path_(mbPath), file_(kBlock, 0) {}

// Places a whole block (or run) at block number `at`, growing the image.
void MemoWriter::writeBlock(std::uint32_t at, const std::vector<std::uint8_t>& block) {
    const std::size_t offset = std::size_t(at) * kBlock;
    if (file_.size() < offset + block.size()) file_.resize(offset + block.size(), 0);
    std::copy(block.begin(), block.end(), file_.begin() + std::ptrdiff_t(offset));
}

std::uint32_t MemoWriter::store(const std::uint8_t* data, std::size_t length) {
    if (length > kSmallLimit) {
        const std::size_t blocks = (9 + length + kBlock - 1) / kBlock;
        std::vector<std::uint8_t> run(blocks * kBlock, 0);
        run[0] = 2;
        putU16(&run[1], static_cast<std::uint16_t>(blocks));
        putU32(&run[3], static_cast<std::uint32_t>(length));
        putU16(&run[7], kModification);
        std::copy(data, data + length, run.begin() + 9);
        const std::uint32_t at = nextBlock_;
        nextBlock_ += static_cast<std::uint32_t>(blocks);
        writeBlock(at, run);
        return at * kBlock | 0xFFu;
    }
    const int chunks = static_cast<int>((length + 15) / 16);
    if (small_.empty() || nextSlot_ < 0 || nextChunk_ + chunks > 0x100) {
        flushSmallBlock();
        small_.assign(kBlock, 0);
        small_[0] = 3;
        putU16(&small_[1], 1);
        smallBlock_ = nextBlock_++;
        nextSlot_ = 63;
        nextChunk_ = kFirstChunk;
    }
    const int slot = nextSlot_--;
    std::uint8_t* entry = &small_[0x0C + 5 * static_cast<std::size_t>(slot)];
    entry[0] = static_cast<std::uint8_t>(nextChunk_);
    entry[1] = static_cast<std::uint8_t>(chunks);
    putU16(entry + 2, kModification);
    entry[4] = static_cast<std::uint8_t>(length - (static_cast<std::size_t>(chunks) - 1) * 16);
    std::copy(data, data + length, small_.begin() + 16 * nextChunk_);
    nextChunk_ += chunks;
    return smallBlock_ * kBlock | static_cast<std::uint32_t>(slot);
}

void MemoWriter::flushSmallBlock() {
    if (small_.empty()) return;
    writeBlock(smallBlock_, small_);
    small_.clear();
}

void MemoWriter::finish() {
    flushSmallBlock();
    std::vector<std::uint8_t> header(kBlock, 0);
    header[0] = 0;
    putU16(&header[1], 1);
    putU16(&header[3], 1);
    const std::uint8_t constant[] = {0x82, 0x73, 0x02, 0x00, 0x29};
    std::copy(std::begin(constant), std::end(constant), header.begin() + 5);
    putU16(&header[0x0B], 0x1000);
    putU16(&header[0x0D], 0x1000);
    header[0x10] = 0x10;
    putU16(&header[0x11], 0x40);
    putU16(&header[0x13], 0x800);
    putU16(&header[0x29], 0x02A1);
    writeBlock(0, header);
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file_.data()),
              static_cast<std::streamsize>(file_.size()));
    out.flush();
    if (!out) throw TableError(TU_ERR_IO, "Cannot write " + path_);
}

}  // namespace tutil
