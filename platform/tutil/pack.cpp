// Packed output.  The .db blocks are numbered 1..n along the chain, each full
// but the last, with no free blocks.  The primary index (.PX):
//
//   header (0x800 bytes)  0x00 u16 key size + 6, 0x02 u16 0x800, 0x04 u8 1,
//                         0x05 u8 4 (4 KiB blocks), 0x06 u32 entries of all
//                         levels, 0x0A/0x0C u16 blocks, 0x0E first, 0x10 last,
//                         0x1E u16 root block, 0x20 u8 levels, 0x21 s16 key
//                         fields, 0x29 sort order, 0x2C u8 change count,
//                         0x39 file version; from 0x58 the key field types,
//                         4 zero bytes and the table name
//   blocks                 laid out as data blocks; each entry is the key of
//                         the first record below it, then sortable shorts:
//                         child block (read unsigned: 1..65535), records
//                         below, 0
//
// Level 1 has one entry per data block; each level above one per block of
// the level below.  The root is block 1, then each lower level in turn (the
// layout other readers of the format expect).

#include "platform/tutil/pack.h"

#include <algorithm>
#include <cstring>

#include "platform/paradox/coding.h"
#include "platform/tutil/tutil.h"

namespace tutil {

using namespace paradox::coding;

namespace {

constexpr int kIndexBlock = 4096;

int blockCodeFor(int modelCode, int recordSize) {
    for (int code : {modelCode, 4, 16, 32})
        if (code * 1024 >= recordSize + 6 && code >= modelCode) return code;
    return 32;
}

}  // namespace

std::vector<FieldInfo> TablePacker::withTextField(std::vector<FieldInfo> fields,
                                                  const std::string& name, int size) {
    FieldInfo f;
    f.name = name;
    f.type = kAlpha;
    f.sizeByte = static_cast<std::uint8_t>(size);
    f.length = size;
    f.offset = recordSizeOf(fields);
    fields.push_back(f);
    return fields;
}

TablePacker::TablePacker(std::string base, const TableHeader& model, std::vector<FieldInfo> fields,
                         int keyFieldCount)
    : base_(std::move(base)),
      model_(model),
      fields_(std::move(fields)),
      keyFieldCount_(keyFieldCount),
      recordSize_(recordSizeOf(fields_)),
      blockSizeCode_(blockCodeFor(model.blockSizeCode, recordSize_)),
      blockSize_(blockSizeCode_ * 1024),
      perBlock_((blockSize_ - 6) / recordSize_),
      db_(base_ + ".DB") {
    // The header goes in last, once the counts are known.
    const auto header = writeHeader(model_, fields_, keyFieldCount_, blockSizeCode_, {});
    headerSize_ = header.size();
    db_.append(header);
    if (std::any_of(fields_.begin(), fields_.end(), [](const FieldInfo& f) { return f.isMemo(); }))
        memo_ = std::make_unique<MemoWriter>(base_ + ".MB");
    block_.assign(std::size_t(blockSize_), 0);
}

TablePacker::~TablePacker() = default;

std::vector<std::string> TablePacker::files() const {
    std::vector<std::string> list{base_ + ".DB"};
    if (keyFieldCount_ > 0) list.push_back(base_ + ".PX");
    if (memo_) list.push_back(base_ + ".MB");
    return list;
}

void TablePacker::add(const std::uint8_t* record, std::span<const MemoValue> memos,
                      bool keepLostText) {
    if (inBlock_ == perBlock_) flushBlock(true);
    std::uint8_t* out = block_.data() + 6 + std::size_t(inBlock_) * recordSize_;
    std::memcpy(out, record, std::size_t(recordSize_));
    std::size_t memoIndex = 0;
    for (const FieldInfo& f : fields_) {
        if (!f.isMemo()) continue;
        const std::size_t k = memoIndex++;
        std::uint8_t* p = out + f.offset;
        std::fill(p, p + f.length, 0);
        const bool blank =
            k >= memos.size() || memos[k].text.empty() || (memos[k].lost && !keepLostText);
        if (blank) continue;
        const std::span<const std::uint8_t> value = memos[k].text;
        const std::size_t leader = std::size_t(f.length) - 10;
        std::memcpy(p, value.data(), std::min(leader, value.size()));
        putU32(p + leader + 4, static_cast<std::uint32_t>(value.size()));
        if (value.size() > leader) {
            putU32(p + leader, memo_->store(value.data(), value.size()));
            putU16(p + leader + 8, MemoWriter::kModification);
        }
    }
    if (inBlock_ == 0 && keyFieldCount_ > 0) {
        const int keySize = fields_[std::size_t(keyFieldCount_ - 1)].offset +
                            fields_[std::size_t(keyFieldCount_ - 1)].length;
        blockIndex_.push_back({std::vector<std::uint8_t>(out, out + keySize), 0});
    }
    ++inBlock_;
    ++records_;
}

// Block n's next link is n + 1 whenever another block follows, so each
// block goes out once, complete.
void TablePacker::flushBlock(bool anotherFollows) {
    if (inBlock_ == 0) return;
    ++blocks_;
    putU16(&block_[0], static_cast<std::uint16_t>(anotherFollows ? blocks_ + 1 : 0));
    putU16(&block_[2], static_cast<std::uint16_t>(blocks_ - 1));
    putU16(&block_[4], static_cast<std::uint16_t>((inBlock_ - 1) * recordSize_));
    // Wipe the slack so no stale bytes of earlier records follow them.
    std::fill(block_.begin() + 6 + std::ptrdiff_t(inBlock_) * recordSize_, block_.end(), 0);
    db_.append(block_);
    if (keyFieldCount_ > 0) blockIndex_.back().count = inBlock_;
    inBlock_ = 0;
}

void TablePacker::finish(std::uint32_t autoIncrement, bool durable) {
    flushBlock(false);
    if (blocks_ > 0xFFFF) throw TableError(TU_ERR_UNSUPPORTED, base_ + ": too many blocks");
    const auto header = writeHeader(model_, fields_, keyFieldCount_, blockSizeCode_,
                                    {records_, blocks_, autoIncrement});
    db_.writeAt(0, header.data(), header.size());
    db_.finish(durable);
    if (memo_) memo_->finish(durable);
    if (keyFieldCount_ > 0) writeIndex(durable);
}

void TablePacker::writeIndex(bool durable) {
    struct Entry {
        const std::vector<std::uint8_t>* key;
        int child;
        int count;
    };
    const int keySize = static_cast<int>(blockIndex_.empty() ? 0 : blockIndex_[0].firstKey.size());
    const int entrySize = (keySize ? keySize
                                   : fields_[std::size_t(keyFieldCount_ - 1)].offset +
                                         fields_[std::size_t(keyFieldCount_ - 1)].length) +
                          6;
    const int perBlock = (kIndexBlock - 6) / entrySize;

    // Levels bottom-up; each level's blocks are groups of perBlock entries.
    std::vector<std::vector<Entry>> levels(1);
    for (std::size_t i = 0; i < blockIndex_.size(); ++i)
        levels[0].push_back({&blockIndex_[i].firstKey, int(i) + 1, blockIndex_[i].count});
    auto groupsOf = [perBlock](std::size_t n) {
        return int((n + std::size_t(perBlock) - 1) / std::size_t(perBlock));
    };
    while (groupsOf(levels.back().size()) > 1) {
        const auto& below = levels.back();
        std::vector<Entry> up;
        for (std::size_t i = 0; i < below.size(); i += std::size_t(perBlock)) {
            int sum = 0;
            for (std::size_t j = i; j < std::min(below.size(), i + std::size_t(perBlock)); ++j)
                sum += below[j].count;
            up.push_back({below[i].key, 0, std::min(sum, 32767)});
        }
        levels.push_back(std::move(up));
    }
    // Block numbers: the root first, then each lower level.
    std::vector<int> firstBlockOf(levels.size());
    int next = 1;
    for (std::size_t l = levels.size(); l-- > 0;) {
        firstBlockOf[l] = next;
        next += groupsOf(levels[l].size());
    }
    const int totalBlocks = next - 1;
    for (std::size_t l = 1; l < levels.size(); ++l)
        for (std::size_t i = 0; i < levels[l].size(); ++i)
            levels[l][i].child = firstBlockOf[l - 1] + int(i);

    std::vector<std::uint8_t> file(0x800 + std::size_t(totalBlocks) * kIndexBlock, 0);
    std::uint32_t entries = 0;
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const auto& level = levels[l];
        for (int g = 0; g < groupsOf(level.size()); ++g) {
            const int number = firstBlockOf[l] + g;
            std::uint8_t* b = file.data() + 0x800 + std::size_t(number - 1) * kIndexBlock;
            putU16(b, static_cast<std::uint16_t>(number < totalBlocks ? number + 1 : 0));
            putU16(b + 2, static_cast<std::uint16_t>(number - 1));
            const std::size_t from = std::size_t(g) * std::size_t(perBlock);
            const std::size_t to = std::min(level.size(), from + std::size_t(perBlock));
            putU16(b + 4, static_cast<std::uint16_t>(int(to - from - 1) * entrySize));
            std::uint8_t* e = b + 6;
            for (std::size_t i = from; i < to; ++i, e += entrySize) {
                std::memcpy(e, level[i].key->data(), std::size_t(entrySize - 6));
                putBlockNumber(e + entrySize - 6, static_cast<std::uint16_t>(level[i].child));
                putSortableInt(e + entrySize - 4, 2, level[i].count);
                putSortableInt(e + entrySize - 2, 2, 0);
                ++entries;
            }
        }
    }

    std::uint8_t* h = file.data();
    putU16(h + 0x00, static_cast<std::uint16_t>(entrySize));
    putU16(h + 0x02, 0x800);
    h[0x04] = 1;
    h[0x05] = kIndexBlock / 1024;
    putU32(h + 0x06, entries);
    putU16(h + 0x0A, static_cast<std::uint16_t>(totalBlocks));
    putU16(h + 0x0C, static_cast<std::uint16_t>(totalBlocks));
    putU16(h + 0x0E, totalBlocks > 0 ? 1 : 0);
    putU16(h + 0x10, static_cast<std::uint16_t>(totalBlocks));
    putU16(h + 0x12, 17);
    putU16(h + 0x1E, totalBlocks > 0 ? 1 : 0);
    h[0x20] = static_cast<std::uint8_t>(totalBlocks > 0 ? levels.size() : 0);
    putU16(h + 0x21, static_cast<std::uint16_t>(keyFieldCount_));
    h[0x29] = model_.fixed[0x29];
    h[0x2C] = 102;
    h[0x2D] = 2;
    h[0x2E] = 1;
    h[0x39] = static_cast<std::uint8_t>(model_.version);
    putU16(h + 0x3A, static_cast<std::uint16_t>(totalBlocks));
    putU32(h + 0x49, 1);
    std::uint8_t* v = h + 0x58;
    for (int i = 0; i < keyFieldCount_; ++i) {
        *v++ = fields_[std::size_t(i)].type;
        *v++ = fields_[std::size_t(i)].sizeByte;
    }
    v += 4;
    std::memcpy(v, model_.tableName.data(), model_.tableName.size());
    putU16(h + 0x51, static_cast<std::uint16_t>(v + model_.tableName.size() - h));

    FileWriter px(base_ + ".PX");
    px.append(file);
    px.finish(durable);
}

}  // namespace tutil
