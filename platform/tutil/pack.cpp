// Packed output.  The .db blocks are numbered 1..n along the chain, each full
// but the last, with no free blocks; the headers are the engine's, at the
// model's file version, and the primary index is the engine's tree over the
// first key and record count of each block.

#include "platform/tutil/pack.h"

#include <algorithm>
#include <cstring>

#include "platform/paradox/coding.h"
#include "platform/paradox/primary_index.h"
#include "platform/tutil/tutil.h"

namespace tutil {

using namespace paradox::coding;

namespace {

int blockCodeFor(int modelCode, int recordSize) {
    for (int code : {modelCode, 4, 16, 32})
        if (code * 1024 >= recordSize + 6 && code >= modelCode) return code;
    return 32;
}

// The model's header with the packed table's fields, key and counts.
paradox::FileHeader packedHeader(const TableHeader& model, const std::vector<FieldInfo>& fields,
                                 int keyFieldCount, int blockSizeCode) {
    paradox::FileHeader h = model.file;
    h.headerSize = 0;  // the standard size
    h.fileType = keyFieldCount > 0 ? 0 : 2;
    h.blockCode = static_cast<std::uint8_t>(blockSizeCode);
    h.keyFields = static_cast<std::uint16_t>(keyFieldCount);
    h.numFields = static_cast<std::uint16_t>(fields.size());
    h.recordSize = static_cast<std::uint16_t>(recordSizeOf(fields));
    h.fields.clear();
    h.fieldNames.clear();
    for (const FieldInfo& f : fields) {
        h.fields.push_back({f.type, f.sizeByte});
        h.fieldNames.push_back(f.name);
    }
    return h;
}

// Its bytes, for `records` records in `blocks` blocks.
std::vector<std::uint8_t> headerBytes(paradox::FileHeader h, const std::string& tableName,
                                      std::uint32_t records, int blocks,
                                      std::uint32_t autoIncrement) {
    h.numRecords = records;
    h.blocksInUse = h.fileBlocks = h.lastBlock = static_cast<std::uint16_t>(blocks);
    h.firstBlock = blocks > 0 ? 1 : 0;
    h.firstFreeBlock = 0;
    h.autoInc = static_cast<std::int32_t>(autoIncrement);
    std::vector<std::uint8_t> bytes = paradox::buildHeader(h, paradox::FileKind::Data, tableName);
    paradox::putCounters(bytes.data(), h, paradox::FileKind::Data);
    return bytes;
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
      tableName_(model.tableName),
      fields_(std::move(fields)),
      keyFieldCount_(keyFieldCount),
      recordSize_(recordSizeOf(fields_)),
      blockSizeCode_(blockCodeFor(model.blockSizeCode, recordSize_)),
      blockSize_(blockSizeCode_ * 1024),
      perBlock_((blockSize_ - 6) / recordSize_),
      header_(packedHeader(model, fields_, keyFieldCount, blockSizeCode_)),
      db_(base_ + ".DB") {
    // The header goes in last, once the counts are known.
    db_.append(headerBytes(header_, tableName_, 0, 0, 0));
    if (std::any_of(fields_.begin(), fields_.end(), [](const FieldInfo& f) { return f.isMemo(); }))
        memo_ = std::make_unique<MemoWriter>(base_ + ".MB");
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
    if (inBlock_ == perBlock_) {
        if (blocks_ + 1 >= 0xFFFF)
            throw TableError(TU_ERR_UNSUPPORTED, "The rows do not fit in 65,535 blocks of " +
                                                     std::to_string(blockSizeCode_) +
                                                     " KiB; choose larger blocks");
        flushBlock(true);
    }
    if (inBlock_ == 0) block_ = db_.appendSpace(std::size_t(blockSize_));
    std::uint8_t* out = block_ + 6 + std::size_t(inBlock_) * recordSize_;
    std::memcpy(out, record, std::size_t(recordSize_));
    std::size_t memoIndex = 0;
    for (const FieldInfo& f : fields_) {
        if (!f.isMemo()) continue;
        const std::size_t k = memoIndex++;
        std::uint8_t* p = out + f.offset;
        std::fill(p, p + f.length, 0);
        const bool blank =
            k >= memos.size() || memos[k].text().empty() || (memos[k].lost && !keepLostText);
        if (blank) continue;
        const std::span<const std::uint8_t> value = memos[k].text();
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
// block is written once, complete, where it lies in the output buffer.
void TablePacker::flushBlock(bool anotherFollows) {
    if (inBlock_ == 0) return;
    ++blocks_;
    putU16(block_, static_cast<std::uint16_t>(anotherFollows ? blocks_ + 1 : 0));
    putU16(block_ + 2, static_cast<std::uint16_t>(blocks_ - 1));
    putU16(block_ + 4, static_cast<std::uint16_t>((inBlock_ - 1) * recordSize_));
    // Wipe the slack so no stale bytes of earlier records follow them.
    std::fill(block_ + 6 + std::ptrdiff_t(inBlock_) * recordSize_, block_ + blockSize_, 0);
    if (keyFieldCount_ > 0) blockIndex_.back().count = inBlock_;
    inBlock_ = 0;
}

void TablePacker::finish(std::uint32_t autoIncrement, bool durable) {
    flushBlock(false);
    if (blocks_ > 0xFFFF) throw TableError(TU_ERR_UNSUPPORTED, base_ + ": too many blocks");
    const auto header = headerBytes(header_, tableName_, records_, blocks_, autoIncrement);
    db_.writeAt(0, header.data(), header.size());
    db_.finish(durable);
    if (memo_) memo_->finish(durable);
    if (keyFieldCount_ > 0) writeIndex(durable);
}

void TablePacker::writeIndex(bool durable) {
    const std::size_t keySize = std::size_t(fields_[std::size_t(keyFieldCount_ - 1)].offset +
                                            fields_[std::size_t(keyFieldCount_ - 1)].length);
    std::vector<paradox::IndexLeaf> leaves;
    for (std::size_t i = 0; i < blockIndex_.size(); ++i)
        leaves.push_back({blockIndex_[i].firstKey.data(), static_cast<std::uint16_t>(i + 1),
                          static_cast<std::uint32_t>(blockIndex_[i].count)});
    paradox::FileHeader px;
    px.fileType = 1;
    px.recordSize = static_cast<std::uint16_t>(keySize + 6);
    px.blockCode = paradox::PrimaryIndex::blockCodeFor(static_cast<int>(keySize));
    px.sortOrder = header_.sortOrder;
    px.version = header_.version;
    px.fields.assign(header_.fields.begin(), header_.fields.begin() + keyFieldCount_);
    const std::string path = base_ + ".PX";
    const paradox::IndexTree tree = [&] {
        try {
            return paradox::buildIndexTree(leaves, keySize, px.blockSize(), path);
        } catch (const EDatabaseError& e) {
            throw TableError(TU_ERR_UNSUPPORTED, e.what());
        }
    }();
    tree.describeIn(px);
    px.indexChangeCounter = 1;
    std::vector<std::uint8_t> header =
        paradox::buildHeader(px, paradox::FileKind::PrimaryIndex, tableName_);
    paradox::putCounters(header.data(), px, paradox::FileKind::PrimaryIndex);

    FileWriter out(path);
    out.append(header);
    out.append(tree.blocks);
    out.finish(durable);
}

}  // namespace tutil
