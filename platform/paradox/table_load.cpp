// Opening a table: locking, recovery from the journal, and reading the .db
// chain, the .mb and the .px with every check of the format.
//
// The .db data blocks (header field 0x05 gives the block size):
//   OFFSET SIZE DESCRIPTION
//     00    2   next block of the chain (0 = last; in a free block: next free)
//     02    2   previous block (0 = first)
//     04    2   (records - 1) * record size, signed; -record size when empty
//     06    -   the records, packed; bytes past the last record are slack
// Block n starts at header size + (n - 1) * block size.  The chain from the
// header's first block visits the blocks in key order; emptied blocks go on
// the free list (header 0x4D, linked through the next field).

#include <algorithm>
#include <cstring>

#include "platform/paradox/codepage.h"
#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/table_file.h"

namespace paradox {

using coding::getS16;
using coding::getU16;

namespace {

// The .px is read whole, and so is a .mb that fits in the block cache (its
// values are then reached without a lookup); a larger .mb is read a memo
// block at a time as its values are used: they lie scattered, so a larger
// frame would mostly bring in values nobody asked for.
std::unique_ptr<PagedFile> loadCompanion(const std::string& path, bool wantWritable,
                                         bool memo = false) {
    if (path.empty()) return nullptr;
    bool writable = false;
    FileHandle f = FileHandle::openExisting(path, writable);
    PagedFile::Frames frames{0, 0};
    if (memo && f.size() > PagedFile::cacheLimit())
        frames = {MemoFile::kBlockSize, MemoFile::kBlockSize};
    return std::make_unique<PagedFile>(std::move(f), writable && wantWritable, frames);
}

const char* typeName(FieldType t) {
    switch (t) {
        case FieldType::Blob:
            return "BLOb";
        case FieldType::FmtMemo:
            return "formatted memo";
        case FieldType::Ole:
            return "OLE";
        case FieldType::Graphic:
            return "graphic";
        case FieldType::Bcd:
            return "BCD";
        default:
            return "this";
    }
}

// Frames for the .db: the header, then runs of whole blocks, as many as make
// up to 64 KiB (and at most a 64th of the cache): a read of a few dozen KiB
// costs hardly more than one of a block, and a whole table is read in far
// fewer calls.  A header too damaged to say where the blocks lie gets no
// frames (the file is read whole, and the header check then names the fault).
PagedFile::Frames framesOf(const FileHandle& db) {
    const std::uint64_t size = db.size();
    if (size < 0x78) return {0, 0};
    std::uint8_t head[6];
    db.readAt(0, head, sizeof head);
    const std::size_t headerSize = getU16(head + 2), blockCode = head[5];
    const bool known = std::find(std::begin(kBlockSizesKiB), std::end(kBlockSizesKiB),
                                 static_cast<int>(blockCode)) != std::end(kBlockSizesKiB) ||
                       blockCode == 3;
    if (!known || headerSize == 0 || headerSize % PagedFile::kPageSize != 0 || headerSize > size)
        return {0, 0};
    const std::size_t blockSize = blockCode * 1024;
    const std::size_t frameSize = std::min<std::size_t>(64 * 1024, PagedFile::cacheLimit() / 64);
    return {headerSize, blockSize * std::max<std::size_t>(1, frameSize / blockSize)};
}

}  // namespace

bool isWritableType(FieldType t) {
    switch (t) {
        case FieldType::Blob:
        case FieldType::FmtMemo:
        case FieldType::Ole:
        case FieldType::Graphic:
        case FieldType::Bcd:
            return false;
        default:
            return true;
    }
}

void TableFile::openFiles(const std::string& dbPath) {
    bool writable = false;
    FileHandle db = FileHandle::openExisting(dbPath, writable);
    if (!db.tryLockExclusive())
        throw ETableInUse("Table " + dbPath + " is in use by another program");
    const std::string px = findCaseInsensitive(withExtension(dbPath, ".px"));
    const std::string mb = findCaseInsensitive(withExtension(dbPath, ".mb"));

    // Recovery needs the companions open for writing before they are read.
    {
        bool w = false;
        FileHandle pxHandle = px.empty() ? FileHandle() : FileHandle::openExisting(px, w);
        FileHandle mbHandle = mb.empty() ? FileHandle() : FileHandle::openExisting(mb, w);
        const RecoveryFiles files = {&db, pxHandle.isOpen() ? &pxHandle : nullptr,
                                     mbHandle.isOpen() ? &mbHandle : nullptr};
        if (writable) Journal::recover(Journal::pathFor(dbPath), files);
    }
    const PagedFile::Frames frames = framesOf(db);
    db_ = std::make_unique<PagedFile>(std::move(db), writable, frames);
    px_ = loadCompanion(px, writable);
    mb_ = loadCompanion(mb, writable, true);
}

TableFile::TableFile(const std::string& dbPath)
    : dbPath_(dbPath), journal_(Journal::pathFor(dbPath)) {
    openFiles(dbPath);
    loadState();
}

// Pages written into a file that another program cut short or extended
// would leave it with holes or stale bytes: such a table takes no changes.
void TableFile::requireFilesUnchangedElsewhere() const {
    for (const PagedFile* file : {db_.get(), px_.get(), mb_.get()})
        if (file && file->resizedElsewhere())
            throw EDatabaseError("Table " + dbPath_ + ": " + file->path() +
                                 " was changed by another program while the table was open. "
                                 "Close the table and rebuild it.");
}

void TableFile::loadState() {
    db_->setFrameCheck(nullptr);
    const std::uint8_t* head =
        db_->framed() ? db_->read(0, std::min<std::size_t>(db_->size(), 0x78)) : db_->data();
    header_ = parseHeader(head, db_->size(), dbPath_, FileKind::Data);
    codec_ = RecordCodec::forHeader(header_, dbPath_);
    buildSchema();
    decideWritable();

    memo_.reset();
    if (codec_->hasMemoFields()) {
        if (!mb_) throwDamaged(withExtension(dbPath_, ".mb"), 0, "the memo file is missing");
        memo_ = std::make_unique<MemoFile>(*mb_, writable_);
    }
    // Every block read from the file from now on is checked before use.
    expected_.clear();
    expectedKeys_.clear();
    db_->setFrameCheck([this](std::size_t offset, const std::uint8_t* bytes, std::size_t n) {
        checkBlockFrame(offset, bytes, n);
    });
    index_.reset();
    if (header_.keyFields > 0) {
        if (!px_)
            throwDamaged(withExtension(dbPath_, ".px"), 0, "the primary index file is missing");
        const FileHeader pxHeader =
            parseHeader(px_->data(), px_->size(), px_->path(), FileKind::PrimaryIndex);
        index_ = std::make_unique<PrimaryIndex>(*px_, pxHeader, *codec_);
    }
    std::vector<std::uint8_t> firstKeys;
    const bool fromIndex = !fitsInCache() && index_ && chainFromIndex(firstKeys);
    if (!fromIndex) walkChain(firstKeys);
    if (index_ && !fromIndex) index_->verify(blocks_, firstKeys, header_);
    expectChain(std::move(firstKeys));
    readFreeList();
    rows_.reset(header_.numRecords);  // each row decoded when first read (see row())
    checkRecords();
}

void TableFile::buildSchema() {
    schema_ = codec_->schema();
    autoIncField_ = -1;
    for (std::size_t i = 0; i < schema_.fields.size() && autoIncField_ < 0; ++i)
        if (schema_.fields[i].type == FieldType::AutoInc) autoIncField_ = static_cast<int>(i);
}

void TableFile::decideWritable() {
    writable_ = false;
    auto refuse = [&](const std::string& why) { readOnlyReason_ = why; };
    if (!db_->writable() || (px_ && !px_->writable()) || (mb_ && !mb_->writable()))
        return refuse("its files are read-only");
    if (header_.sortOrder != kSortDbWinUs && header_.sortOrder != kSortAscii)
        return refuse("its sort order \"" + header_.sortOrderName +
                      "\" is not supported for writing");
    if (!CodePage::find(header_.codePage))
        return refuse("its code page " + std::to_string(header_.codePage) + " is not supported");
    if (header_.version < 5) return refuse("its format level is too old to be changed");
    if (header_.writeProtected) return refuse("it is write-protected");
    if (header_.needsRebuild) return refuse("it is marked as needing a rebuild");
    if (hasSecondaryIndexes(dbPath_)) return refuse("it has secondary indexes");
    for (const auto& f : codec_->fields())
        if (!isWritableType(f.type))
            return refuse(std::string("it has a ") + typeName(f.type) + " field (" + f.name + ")");
    writable_ = true;
    readOnlyReason_.clear();
}

bool TableFile::fitsInCache() const { return db_->size() <= PagedFile::cacheLimit(); }

// Reads each block's links, count and first key.  A table that fits in the
// block cache is read in whole (checkRecords reads all of it anyway); a
// larger one (without a usable index, see chainFromIndex) takes one small
// read a block, and its blocks are read when used.
void TableFile::walkChain(std::vector<std::uint8_t>& firstKeys) {
    blocks_.clear();
    firstKeys.clear();
    const std::size_t recordSize = header_.recordSize;
    const std::size_t keySize = header_.keyFields > 0 ? codec_->keySize() : 0;
    const bool wholeTable = fitsInCache();
    std::vector<std::uint8_t> head(6 + keySize);
    std::vector<bool> visited(header_.fileBlocks + 1u, false);
    std::uint16_t block = header_.firstBlock, previous = 0;
    std::size_t rows = 0;
    while (block != 0) {
        const std::size_t at = header_.blockOffset(block);
        if (block > header_.fileBlocks)
            throwDamaged(dbPath_, previous ? header_.blockOffset(previous) : 0x0E,
                         "a block link points past the end of the file");
        if (visited[block]) throwDamaged(dbPath_, at, "the block chain runs in a loop");
        visited[block] = true;
        const std::uint8_t* p = head.data();
        if (wholeTable)
            p = db_->read(at, head.size());
        else
            db_->copy(at, head.size(), head.data());
        firstKeys.insert(firstKeys.end(), p + 6, p + 6 + keySize);
        if (getU16(p + 2) != previous)
            throwDamaged(dbPath_, at + 2,
                         "the block links are broken (block " + std::to_string(block) +
                             " does not link back to block " + std::to_string(previous) + ")");
        const int ads = getS16(p + 4);
        std::uint32_t count = 0;
        if (ads >= 0) {
            if (ads % recordSize != 0 || 6 + ads + recordSize > header_.blockSize())
                throwDamaged(dbPath_, at + 4, "a block's record count is invalid");
            count = static_cast<std::uint32_t>(ads / recordSize + 1);
        } else if (ads != -static_cast<int>(recordSize)) {
            throwDamaged(dbPath_, at + 4, "a block's record count is invalid");
        }
        blocks_.push_back({block, count, rows});
        rows += count;
        previous = block;
        block = getU16(p);
    }
    if (previous != header_.lastBlock)
        throwDamaged(dbPath_, 0x10, "the header's last block is not the end of the block chain");
    if (blocks_.size() != header_.blocksInUse)
        throwDamaged(dbPath_, 0x0A,
                     "the header counts " + std::to_string(header_.blocksInUse) +
                         " blocks in use but the chain has " + std::to_string(blocks_.size()));
    if (rows != header_.numRecords)
        throwDamaged(dbPath_, 0x06,
                     "the header counts " + std::to_string(header_.numRecords) +
                         " records but the blocks hold " + std::to_string(rows));
}

// A table larger than the block cache takes its chain from the primary
// index, which lists every block that holds records, in chain order, with
// its record count and first key: walking the chain would read every block.
// Each block is checked against this chain when it is read (checkBlockFrame).
// An index that disagrees with the header (as for a chain with empty blocks)
// leaves the chain to walkChain(), whose checks then name the fault.
bool TableFile::chainFromIndex(std::vector<std::uint8_t>& firstKeys) {
    if (header_.numRecords == 0) return false;
    const std::vector<IndexLeaf> leaves = index_->leaves(header_);
    if (leaves.empty() || leaves.size() != header_.blocksInUse ||
        leaves.front().block != header_.firstBlock || leaves.back().block != header_.lastBlock)
        return false;
    const std::size_t keySize = codec_->keySize();
    std::vector<bool> listed(header_.fileBlocks + 1u, false);
    std::vector<DataBlockRef> blocks;
    blocks.reserve(leaves.size());
    firstKeys.clear();
    std::size_t rows = 0;
    for (const IndexLeaf& leaf : leaves) {
        if (leaf.block > header_.fileBlocks || listed[leaf.block] ||
            6 + leaf.count * header_.recordSize > header_.blockSize())
            return false;
        listed[leaf.block] = true;
        blocks.push_back({leaf.block, leaf.count, rows});
        rows += leaf.count;
        firstKeys.insert(firstKeys.end(), leaf.key, leaf.key + keySize);
    }
    if (rows != header_.numRecords) return false;
    blocks_ = std::move(blocks);
    return true;
}

// Records blocks_ (whose first keys are `firstKeys`, one after the other) as
// the chain the file holds.
void TableFile::expectChain(std::vector<std::uint8_t> firstKeys) {
    const std::size_t keySize = header_.keyFields > 0 ? codec_->keySize() : 0;
    expected_.assign(header_.fileBlocks + 1u, ExpectedBlock{});
    expectedKeys_.assign(expected_.size() * keySize, 0);
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const std::uint16_t number = blocks_[i].number;
        expected_[number] = {i + 1 < blocks_.size() ? blocks_[i + 1].number : std::uint16_t{0},
                             i > 0 ? blocks_[i - 1].number : std::uint16_t{0}, blocks_[i].count,
                             true};
        if (keySize > 0)  // an unkeyed table has no keys, and its key arrays no storage
            std::memcpy(expectedKeys_.data() + number * keySize, firstKeys.data() + i * keySize,
                        keySize);
    }
}

// The first keys of the chain as the pending change leaves it, for
// expectChain() once the change is written.  A block not in memory has not
// changed since the last commit, so its key is the one expected now.
std::vector<std::uint8_t> TableFile::pendingFirstKeys() const {
    const std::size_t keySize = header_.keyFields > 0 ? codec_->keySize() : 0;
    std::vector<std::uint8_t> keys(blocks_.size() * keySize);
    if (keySize == 0) return keys;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const std::uint16_t number = blocks_[i].number;
        const std::size_t at = header_.blockOffset(number) + 6;
        std::uint8_t* key = &keys[i * keySize];
        if (!db_->inMemory(at) && number < expected_.size() && expected_[number].inChain)
            std::memcpy(key, &expectedKeys_[number * keySize], keySize);
        else if (blocks_[i].count > 0)
            db_->copy(at, keySize, key);
    }
    return keys;
}

void TableFile::readFreeList() {
    freeList_.clear();
    std::vector<bool> inChain(header_.fileBlocks + 1u, false);
    for (const auto& b : blocks_) inChain[b.number] = true;
    for (std::uint16_t block = header_.firstFreeBlock; block != 0;) {
        if (block > header_.fileBlocks || inChain[block])
            throwDamaged(dbPath_, 0x4D, "the free block list is broken");
        inChain[block] = true;
        freeList_.push_back(block);
        std::uint8_t next[2];
        db_->copy(header_.blockOffset(block), 2, next);
        block = getU16(next);
    }
}

// The blocks of a frame are checked when the frame is read from the file.
// In a table that fits in the block cache, read whole at open, every memo
// pointer is followed too, so that a damaged memo file is refused at open.
// A larger table's memo pointers are checked as each is used (a search
// reads blocks whose memos it never needs; each check may read the memo
// file).  A block whose record count is invalid is either off the chain or
// refused by walkChain(); it holds no records here.
void TableFile::checkBlockFrame(std::size_t offset, const std::uint8_t* bytes,
                                std::size_t n) const {
    if (offset < header_.headerSize) return;
    const std::size_t rs = header_.recordSize, blockSize = header_.blockSize();
    const bool memos = codec_->hasMemoFields() && fitsInCache();
    std::size_t number = (offset - header_.headerSize) / blockSize + 1;
    for (std::size_t at = 0; at + blockSize <= n; at += blockSize, ++number) {
        if (number < expected_.size() && expected_[number].inChain)
            checkChainBlock(number, bytes + at);
        if (!memos) continue;
        const int ads = getS16(bytes + at + 4);
        if (ads < 0 || ads % rs != 0 || 6 + ads + rs > blockSize) continue;
        const std::uint8_t* p = bytes + at + 6;
        for (std::size_t i = 0; i <= ads / rs; ++i, p += rs)
            codec_->checkMemoPointers(p, memo_.get());
    }
}

// A block of the chain read from the file must be as the chain has it: a
// block changed behind the table's back (or a damaged one the index still
// lists) is refused before its records are used.
void TableFile::checkChainBlock(std::size_t number, const std::uint8_t* block) const {
    const ExpectedBlock& e = expected_[number];
    const std::size_t at = header_.blockOffset(number);
    auto refuse = [&](std::size_t offset, const std::string& what) {
        throwDamaged(dbPath_, offset, what + " (block " + std::to_string(number) + ")");
    };
    if (getU16(block) != e.next || getU16(block + 2) != e.previous)
        refuse(at, "the block links are broken: they are not the chain's");
    const int rs = static_cast<int>(header_.recordSize);
    if (getS16(block + 4) != (e.count == 0 ? -rs : (static_cast<int>(e.count) - 1) * rs))
        refuse(at + 4, "a block's record count is invalid: the chain counts " +
                           std::to_string(e.count) + " records");
    const std::size_t keySize = expectedKeys_.size() / expected_.size();
    if (e.count > 0 && keySize > 0 &&
        std::memcmp(block + 6, &expectedKeys_[number * keySize], keySize) != 0)
        refuse(at + 6, "a block's first key disagrees with the primary index");
}

// Opening a table that fits in the block cache reads all of it, so that its
// blocks are checked at once (see checkBlockFrame).  A larger one has its
// blocks checked as they are first read, except when it has an
// auto-increment field: the highest value stored is found by a pass over
// every record, since a header behind its own values would hand out
// duplicates.
void TableFile::checkRecords() {
    if (!fitsInCache() && autoIncField_ < 0) return;
    const FieldLayout* autoInc = autoIncField_ >= 0 ? &codec_->fields()[autoIncField_] : nullptr;
    std::int64_t highest = header_.autoInc;
    for (const DataBlockRef& block : blocks_) {
        const std::size_t rs = header_.recordSize;
        const std::uint8_t* p = db_->read(header_.blockOffset(block.number), 6 + block.count * rs);
        if (!autoInc) continue;
        p += 6;
        for (std::uint32_t i = 0; i < block.count; ++i, p += rs)
            if (const auto v = coding::getSortableInt(p + autoInc->offset, 4))
                highest = std::max<std::int64_t>(highest, *v);
    }
    if (autoInc) header_.autoInc = static_cast<std::int32_t>(highest);
}

}  // namespace paradox
