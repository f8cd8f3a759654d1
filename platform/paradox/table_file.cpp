// Reading and changing an open table.
//
// Rows are held decoded, in key order, beside the byte images of the files;
// blocks_ maps positions to data blocks (each block holds a run of
// consecutive rows).  A change edits the images, then commit() rebuilds the
// primary index, stores the header counters, records the touched pages in
// the journal (fsynced) and writes them to the files.  A change that fails
// half-way is undone in memory and on disk, and the table is reloaded.
//
// Placement in a keyed table: a row goes into the block of its predecessor
// (or the next block when that one is full and the next has room).  A full
// last block gets a new block after it when the row goes at its end;
// otherwise a full block is split in half.  Deleting compacts the block; an
// emptied block goes to the free list, except the first block, which takes
// over the records of the second so that the chain keeps starting there.
//
// Learned while writing this (not in the reference notes): pxlib 0.6.8 reads
// a block's record count unsigned, so the empty first block of a table
// emptied by deletions (count -recordSize, as the format wants) makes it warn
// on stderr that the block holds (65536 - recordSize) / recordSize + 1
// records; it still returns the header's 0 records.

#include "platform/paradox/table_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/table_swap.h"

namespace paradox {

using coding::getU16;
using coding::putU16;

namespace {

using FileId = std::pair<dev_t, ino_t>;

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::map<FileId, std::weak_ptr<TableFile>>& registry() {
    static std::map<FileId, std::weak_ptr<TableFile>> r;
    return r;
}

bool fileIdOf(const std::string& path, FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

}  // namespace

// ---------------------------------------------------------------- registry

std::shared_ptr<TableFile> TableFile::acquire(const std::string& dbPath) {
    const std::string path = findCaseInsensitive(dbPath);
    if (path.empty()) throw EDatabaseError("Table " + dbPath + " does not exist");
    // A rebuild that a crash cut short in the middle of its swap is finished
    // or undone before anything reads the files.
    recoverTableSwap(path);
    FileId id;
    if (!fileIdOf(path, id)) throw EDatabaseError("Table " + dbPath + " does not exist");
    std::lock_guard<std::mutex> lock(registryMutex());
    std::weak_ptr<TableFile>& slot = registry()[id];
    if (auto existing = slot.lock()) return existing;
    std::shared_ptr<TableFile> file(new TableFile(path));
    slot = file;
    return file;
}

bool TableFile::isOpenInProcess(const std::string& dbPath) {
    FileId id;
    if (!fileIdOf(dbPath, id)) return false;
    std::lock_guard<std::mutex> lock(registryMutex());
    const auto it = registry().find(id);
    return it != registry().end() && !it->second.expired();
}

TableFile::~TableFile() {
    try {
        if (writable_ && !broken_) {
            // A batch still open here was never committed, most likely
            // because an error is unwinding through its caller: it must
            // leave the table as it was before the batch.
            if (batchDepth_ > 0) discardPendingImages();
            saveChanges();
            journal_.remove();
        }
    } catch (const std::exception&) {
        // The journal stays; the next open recovers from it.
    }
}

// ------------------------------------------------------------------ reading

const Row& TableFile::row(std::size_t position) const {
    checkPosition(position);
    Row& cached = rows_.at(position);
    if (cached.empty()) {
        // Decoded apart, so that a row refused half-way (a damaged memo
        // pointer) is not kept as read.
        Row decoded;
        codec_->decode(recordAt(position), memo_.get(), decoded);
        cached = std::move(decoded);
        rows_.dropUnusedChunks();  // the chunk just used stays
    }
    return cached;
}

void TableFile::checkPosition(std::size_t position) const {
    if (position >= rows_.size())
        throw EDatabaseError("Table " + dbPath_ + ": row " + std::to_string(position) +
                             " does not exist (the table has " + std::to_string(rows_.size()) +
                             " rows)");
}

std::size_t TableFile::blockIndexOfRow(std::size_t position) const {
    const auto it =
        std::upper_bound(blocks_.begin(), blocks_.end(), position,
                         [](std::size_t p, const DataBlockRef& b) { return p < b.startRow; });
    // Skip empty blocks that share the start row of the next one.
    std::size_t index = static_cast<std::size_t>(it - blocks_.begin()) - 1;
    while (blocks_[index].count == 0 && index + 1 < blocks_.size()) ++index;
    return index;
}

std::size_t TableFile::recordOffset(std::size_t position) const {
    const DataBlockRef& b = blocks_[blockIndexOfRow(position)];
    return header_.blockOffset(b.number) + 6 + (position - b.startRow) * header_.recordSize;
}

const std::uint8_t* TableFile::recordAt(std::size_t position) const {
    return db_->read(recordOffset(position), header_.recordSize);
}

std::size_t TableFile::searchKey(const std::uint8_t* key, int fieldCount, bool upper) const {
    std::size_t low = 0, high = rows_.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const int c = codec_->compareKeys(recordAt(mid), key, fieldCount);
        if (c < 0 || (upper && c == 0))
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

std::size_t TableFile::lowerBound(const std::vector<Value>& key) const {
    if (header_.keyFields == 0)
        throw EDatabaseError("Table " + dbPath_ + " has no primary key to search");
    int fields = 0;
    const auto bytes = codec_->encodeKey(key, fields);
    return searchKey(bytes.data(), fields, false);
}

std::size_t TableFile::upperBound(const std::vector<Value>& key) const {
    if (header_.keyFields == 0)
        throw EDatabaseError("Table " + dbPath_ + " has no primary key to search");
    int fields = 0;
    const auto bytes = codec_->encodeKey(key, fields);
    return searchKey(bytes.data(), fields, true);
}

std::size_t TableFile::find(const std::vector<Value>& key) const {
    if (static_cast<int>(key.size()) != header_.keyFields || key.empty())
        throw EDatabaseError("Table " + dbPath_ + ": a search by the full key needs " +
                             std::to_string(header_.keyFields) + " values");
    int fields = 0;
    const auto bytes = codec_->encodeKey(key, fields);
    const std::size_t p = searchKey(bytes.data(), fields, false);
    if (p < rows_.size() && codec_->compareKeys(recordAt(p), bytes.data(), fields) == 0) return p;
    return Table::npos;
}

// ------------------------------------------------------------ block placing

std::size_t TableFile::capacity() const { return (header_.blockSize() - 6) / header_.recordSize; }

void TableFile::renumberFrom(std::size_t blockIndex) {
    std::size_t start =
        blockIndex == 0 ? 0 : blocks_[blockIndex - 1].startRow + blocks_[blockIndex - 1].count;
    for (std::size_t i = blockIndex; i < blocks_.size(); ++i) {
        blocks_[i].startRow = start;
        start += blocks_[i].count;
    }
}

void TableFile::setLinks(std::uint16_t block, std::uint16_t next, std::uint16_t prev) {
    std::uint8_t links[4];
    putU16(links, next);
    putU16(links + 2, prev);
    db_->store(header_.blockOffset(block), links, 4);
}

void TableFile::setRecordCount(std::size_t blockIndex, std::uint32_t count) {
    blocks_[blockIndex].count = count;
    const int ads = (static_cast<int>(count) - 1) * header_.recordSize;
    std::uint8_t bytes[2];
    putU16(bytes, static_cast<std::uint16_t>(static_cast<std::int16_t>(ads)));
    db_->store(header_.blockOffset(blocks_[blockIndex].number) + 4, bytes, 2);
}

std::uint16_t TableFile::allocateBlock() {
    std::uint16_t number;
    if (!freeList_.empty()) {
        number = freeList_.front();
        freeList_.erase(freeList_.begin());
        header_.firstFreeBlock = freeList_.empty() ? 0 : freeList_.front();
    } else {
        if (header_.fileBlocks == 0xFFFF) throw ETableFull(dbPath_, header_.blockCode);
        number = ++header_.fileBlocks;
        db_->grow(header_.blockOffset(number) + header_.blockSize());
    }
    std::uint8_t* p = db_->modify(header_.blockOffset(number), header_.blockSize());
    std::memset(p, 0, header_.blockSize());
    putU16(p + 4, static_cast<std::uint16_t>(-static_cast<int>(header_.recordSize)));
    ++header_.blocksInUse;
    return number;
}

void TableFile::freeBlock(std::uint16_t number) {
    // Wiped, so deleted records cannot be read back from the slack.
    std::uint8_t* p = db_->modify(header_.blockOffset(number), header_.blockSize());
    std::memset(p, 0, header_.blockSize());
    putU16(p, header_.firstFreeBlock);
    putU16(p + 4, static_cast<std::uint16_t>(-static_cast<int>(header_.recordSize)));
    freeList_.insert(freeList_.begin(), number);
    header_.firstFreeBlock = number;
    --header_.blocksInUse;
}

// Links a new block after blocks_[blockIndex] and returns its index.
static std::size_t linkNewBlockAfter(std::vector<DataBlockRef>& blocks, std::size_t blockIndex,
                                     std::uint16_t number) {
    blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(blockIndex) + 1,
                  DataBlockRef{number, 0, blocks[blockIndex].startRow + blocks[blockIndex].count});
    return blockIndex + 1;
}

void TableFile::splitBlock(std::size_t i) {
    const std::uint16_t number = allocateBlock();
    const std::uint16_t old = blocks_[i].number;
    const std::uint16_t after = i + 1 < blocks_.size() ? blocks_[i + 1].number : 0;
    const std::uint32_t count = blocks_[i].count, keep = count / 2;
    const std::size_t rs = header_.recordSize;
    const std::size_t from = header_.blockOffset(old) + 6 + keep * rs;
    std::memcpy(db_->modify(header_.blockOffset(number) + 6, (count - keep) * rs),
                db_->read(from, (count - keep) * rs), (count - keep) * rs);
    std::memset(db_->modify(from, (count - keep) * rs), 0, (count - keep) * rs);
    setLinks(number, after, old);
    setLinks(old, number, i == 0 ? 0 : blocks_[i - 1].number);
    if (after)
        setLinks(after, getU16(db_->read(header_.blockOffset(after), 2)), number);
    else
        header_.lastBlock = number;
    linkNewBlockAfter(blocks_, i, number);
    setRecordCount(i, keep);
    setRecordCount(i + 1, count - keep);
    renumberFrom(i);
}

void TableFile::placeRecord(std::size_t position, const std::vector<std::uint8_t>& record) {
    if (blocks_.empty()) {
        const std::uint16_t number = allocateBlock();
        blocks_.push_back({number, 0, 0});
        header_.firstBlock = header_.lastBlock = number;
    }
    std::size_t i = position == 0 ? 0 : blockIndexOfRow(position - 1);
    std::size_t slot = position - blocks_[i].startRow;
    const std::size_t cap = capacity();
    if (blocks_[i].count == cap && slot == blocks_[i].count && i + 1 < blocks_.size() &&
        blocks_[i + 1].count < cap) {
        ++i;  // at the start of the next block, which has room
        slot = 0;
    }
    if (blocks_[i].count == cap) {
        // A row after the end of a full block gets a new block of its own
        // when the block is the last one, or holds a single row (splitting
        // that would leave the row no room).
        if (slot == blocks_[i].count && (i + 1 == blocks_.size() || cap == 1)) {
            const std::uint16_t number = allocateBlock();
            const std::uint16_t next = i + 1 < blocks_.size() ? blocks_[i + 1].number : 0;
            setLinks(number, next, blocks_[i].number);
            setLinks(blocks_[i].number, number, i == 0 ? 0 : blocks_[i - 1].number);
            if (next)
                setLinks(next, getU16(db_->read(header_.blockOffset(next), 2)), number);
            else
                header_.lastBlock = number;
            i = linkNewBlockAfter(blocks_, i, number);
            slot = 0;
        } else {
            splitBlock(i);
            if (slot > blocks_[i].count) {
                slot -= blocks_[i].count;
                ++i;
            }
        }
    }
    const std::size_t rs = header_.recordSize;
    const std::size_t base = header_.blockOffset(blocks_[i].number) + 6;
    const std::size_t count = blocks_[i].count;
    std::uint8_t* p = db_->modify(base + slot * rs, (count - slot + 1) * rs);
    std::memmove(p + rs, p, (count - slot) * rs);
    std::memcpy(p, record.data(), rs);
    setRecordCount(i, static_cast<std::uint32_t>(count + 1));
    renumberFrom(i);
    ++header_.numRecords;
    indexStale_ = true;
}

void TableFile::unlinkEmptyBlock(std::size_t i) {
    const std::uint16_t number = blocks_[i].number;
    const std::uint16_t prev = i > 0 ? blocks_[i - 1].number : 0;
    const std::uint16_t next = i + 1 < blocks_.size() ? blocks_[i + 1].number : 0;
    if (prev) setLinks(prev, next, i >= 2 ? blocks_[i - 2].number : 0);
    if (next) setLinks(next, getU16(db_->read(header_.blockOffset(next), 2)), prev);
    if (header_.firstBlock == number) header_.firstBlock = next;
    if (header_.lastBlock == number) header_.lastBlock = prev;
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(i));
    freeBlock(number);
}

void TableFile::removeRecord(std::size_t position) {
    const std::size_t i = blockIndexOfRow(position);
    const std::size_t slot = position - blocks_[i].startRow;
    const std::size_t rs = header_.recordSize;
    const std::size_t count = blocks_[i].count;
    const std::size_t base = header_.blockOffset(blocks_[i].number) + 6;
    std::uint8_t* p = db_->modify(base + slot * rs, (count - slot) * rs);
    std::memmove(p, p + rs, (count - slot - 1) * rs);
    std::memset(p + (count - slot - 1) * rs, 0, rs);
    setRecordCount(i, static_cast<std::uint32_t>(count - 1));
    --header_.numRecords;
    if (count == 1 && blocks_.size() > 1) {
        if (i == 0) {
            // The first block stays first: it takes the second block's records.
            const std::size_t moved = blocks_[1].count;
            const std::size_t from = header_.blockOffset(blocks_[1].number) + 6;
            std::memcpy(db_->modify(base, moved * rs), db_->read(from, moved * rs), moved * rs);
            setRecordCount(0, static_cast<std::uint32_t>(moved));
            setRecordCount(1, 0);
            unlinkEmptyBlock(1);
        } else {
            unlinkEmptyBlock(i);
        }
    }
    renumberFrom(i == 0 ? 0 : i - 1);
    indexStale_ = true;
}

}  // namespace paradox
