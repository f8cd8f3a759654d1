// The .px file: a header (see header.cpp; no field names, variable part at
// 0x58) and index blocks laid out like data blocks:
//
//   OFFSET SIZE DESCRIPTION
//     00    2   next block of the .px chain (0 = last)
//     02    2   previous block (0 = first)
//     04    2   (entries - 1) * entry size; -entry size when empty
//     06    -   entries, each: the key fields as stored in the records,
//               child block (unsigned sortable Short, coding.h), records
//               below the child (sortable Short), 0 (sortable Short)
//
// Level 1 holds one entry per data block, in chain order, with the block's
// first key and record count; each higher level one entry per block of the
// level below, with its first key and the sum of its counts; the top level is
// a single block, the root.  The root is written as block 1 and the chain
// runs root first, then each level downwards: the layout other readers
// expect (one of them only walks the chain and assumes the root comes first).
// The file holds exactly the blocks of the tree: when the table shrinks, the
// index file is cut short rather than keeping spare blocks.
//
// Learned while writing this (not in the reference notes):
//  - pxlib 0.6.8 does not follow the .px chain: it takes every block of the
//    file as an index block, so spare blocks on the .px free list (even with
//    the empty-block count) make it reject the index ("records covered by
//    index level 2 is unequal to level 1").  Hence no free list in the .px.
//  - The counts are sortable Shorts, so a count above 32767 cannot be
//    stored; it is clamped, since readers use the counts only as statistics.
//  - An empty keyed table gets an index of no blocks (root 0, 0 levels,
//    0 entries); pxlib reads such a table (without attaching its index).

#include "platform/paradox/primary_index.h"

#include <algorithm>
#include <cstring>

#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/paged_file.h"
#include "platform/paradox/record.h"

namespace paradox {

using coding::getBlockNumber;
using coding::getS16;
using coding::getSortableInt;
using coding::getU16;
using coding::putBlockNumber;
using coding::putSortableInt;
using coding::putU16;

namespace {

struct Entry {
    const std::uint8_t* key;
    std::uint16_t child;
    std::uint32_t count;
};

std::uint16_t clampCount(std::uint32_t count) {
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(count, 32767));
}

}  // namespace

std::uint8_t PrimaryIndex::blockCodeFor(int keySize) {
    for (std::uint8_t code : {4, 16, 32})
        if ((code * 1024 - 6) / (keySize + 6) >= 8) return code;
    return 32;
}

void IndexTree::describeIn(FileHeader& px) const {
    px.numRecords = entries;
    px.fileBlocks = blockCount;
    px.blocksInUse = blockCount;
    px.firstBlock = blockCount ? 1 : 0;
    px.lastBlock = blockCount;
    px.indexRoot = blockCount ? 1 : 0;
    px.indexLevels = levels;
    px.firstFreeBlock = 0;
}

IndexTree buildIndexTree(const std::vector<IndexLeaf>& leaves, std::size_t keySize,
                         std::size_t blockSize, const std::string& path) {
    const std::size_t entrySize = keySize + 6;
    const std::size_t perBlock = (blockSize - 6) / entrySize;

    // Levels bottom-up: level 0 here is the index's level 1.
    std::vector<std::vector<Entry>> levels(1);
    for (const auto& leaf : leaves)
        if (leaf.count > 0) levels[0].push_back({leaf.key, leaf.block, leaf.count});
    while (levels.back().size() > perBlock) {
        const auto& below = levels.back();
        std::vector<Entry> above;
        for (std::size_t i = 0; i < below.size(); i += perBlock) {
            std::uint32_t sum = 0;
            for (std::size_t k = i; k < std::min(i + perBlock, below.size()); ++k)
                sum += below[k].count;
            above.push_back({below[i].key, 0, sum});  // child numbered below
        }
        levels.push_back(std::move(above));
    }
    if (levels[0].empty()) levels.clear();

    // Number the blocks top-down: root = 1, then each level in order.
    std::vector<std::size_t> firstBlockOf(levels.size()), blocksOf(levels.size());
    std::size_t next = 1, entries = 0;
    for (std::size_t l = levels.size(); l-- > 0;) {
        firstBlockOf[l] = next;
        blocksOf[l] = (levels[l].size() + perBlock - 1) / perBlock;
        next += blocksOf[l];
        entries += levels[l].size();
    }
    const std::size_t used = next - 1;
    if (used > 0xFFFF) throw EDatabaseError("The primary index " + path + " is full");
    for (std::size_t l = 1; l < levels.size(); ++l)
        for (std::size_t i = 0; i < levels[l].size(); ++i)
            levels[l][i].child = static_cast<std::uint16_t>(firstBlockOf[l - 1] + i);

    IndexTree tree;
    tree.blocks.assign(used * blockSize, 0);
    for (std::size_t l = 0; l < levels.size(); ++l) {
        for (std::size_t b = 0; b < blocksOf[l]; ++b) {
            const std::size_t number = firstBlockOf[l] + b;
            std::uint8_t* p = tree.blocks.data() + (number - 1) * blockSize;
            putU16(p, static_cast<std::uint16_t>(number < used ? number + 1 : 0));
            putU16(p + 2, static_cast<std::uint16_t>(number - 1));
            const std::size_t from = b * perBlock, to = std::min(from + perBlock, levels[l].size());
            putU16(p + 4, static_cast<std::uint16_t>((to - from - 1) * entrySize));
            std::uint8_t* e = p + 6;
            for (std::size_t i = from; i < to; ++i, e += entrySize) {
                const Entry& entry = levels[l][i];
                std::memcpy(e, entry.key, keySize);
                putBlockNumber(e + keySize, entry.child);
                putSortableInt(e + keySize + 2, 2, clampCount(entry.count));
                putSortableInt(e + keySize + 4, 2, 0);
            }
        }
    }
    tree.entries = static_cast<std::uint32_t>(entries);
    tree.blockCount = static_cast<std::uint16_t>(used);
    tree.levels = static_cast<std::uint8_t>(levels.size());
    return tree;
}

void PrimaryIndex::rebuild(const std::vector<DataBlockRef>& blocks, const PagedFile& db,
                           const FileHeader& dbHeader) {
    // The first keys are copied out, so the data blocks need not stay in
    // memory.  A block that is not in memory has not changed since the last
    // commit, which left its first key in the index as it stands.
    const std::size_t keySize = static_cast<std::size_t>(codec_.keySize());
    const std::vector<const std::uint8_t*> indexed = leafKeysByBlock(dbHeader.fileBlocks);
    std::vector<IndexLeaf> leaves;
    for (const auto& b : blocks)
        if (b.count > 0) leaves.push_back({nullptr, b.number, b.count});
    std::vector<std::uint8_t> keys(leaves.size() * keySize);
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        const std::size_t at = dbHeader.blockOffset(leaves[i].block) + 6;
        std::uint8_t* key = &keys[i * keySize];
        if (!db.inMemory(at) && indexed[leaves[i].block])
            std::memcpy(key, indexed[leaves[i].block], keySize);
        else
            db.copy(at, keySize, key);
        leaves[i].key = key;
    }
    const IndexTree tree = buildIndexTree(leaves, keySize, header_.blockSize(), px_.path());
    const std::size_t size = header_.headerSize + tree.blocks.size();
    if (px_.size() < size) px_.grow(size);
    if (px_.size() > size) px_.shrink(size);
    px_.store(header_.headerSize, tree.blocks.data(), tree.blocks.size());
    tree.describeIn(header_);
    if (px_.hasPendingChanges()) {
        header_.indexChangeCounter = static_cast<std::uint8_t>(header_.indexChangeCounter + 1);
        if (header_.indexChangeCounter == 0) header_.indexChangeCounter = 1;
    }
    storeCounters(px_, header_, FileKind::PrimaryIndex);
}

// The keys the index's lowest level lists, by data block number (null for
// a block it does not list).  Links out of range are passed over.
std::vector<const std::uint8_t*> PrimaryIndex::leafKeysByBlock(std::size_t dataBlocks) const {
    std::vector<const std::uint8_t*> keys(dataBlocks + 1, nullptr);
    const std::size_t keySize = codec_.keySize(), entrySize = keySize + 6;
    std::vector<bool> seen(header_.fileBlocks + 1u, false);
    auto visit = [&](auto& self, std::uint16_t block, int level) -> void {
        if (block < 1 || block > header_.fileBlocks || seen[block]) return;
        seen[block] = true;
        const std::size_t at = header_.blockOffset(block);
        if (at + header_.blockSize() > px_.size()) return;
        const std::uint8_t* p = px_.data() + at;
        const int ads = getS16(p + 4);
        if (ads < 0 || 6 + ads + entrySize > header_.blockSize()) return;
        for (std::size_t i = 0; i <= static_cast<std::size_t>(ads) / entrySize; ++i) {
            const std::uint8_t* e = p + 6 + i * entrySize;
            const std::uint16_t child = getBlockNumber(e + keySize);
            if (level > 1)
                self(self, child, level - 1);
            else if (child <= dataBlocks)
                keys[child] = e;
        }
    };
    if (header_.indexLevels > 0) visit(visit, header_.indexRoot, header_.indexLevels);
    return keys;
}

void PrimaryIndex::checkKeyFields(const FileHeader& dbHeader) const {
    const std::string& path = px_.path();
    if (header_.fields.size() != static_cast<std::size_t>(dbHeader.keyFields))
        throwDamaged(path, 0x21,
                     "the index has " + std::to_string(header_.fields.size()) +
                         " key fields but the table " + std::to_string(dbHeader.keyFields));
    for (std::size_t i = 0; i < header_.fields.size(); ++i)
        if (header_.fields[i].code != dbHeader.fields[i].code ||
            header_.fields[i].size != dbHeader.fields[i].size)
            throwDamaged(path, 0x58 + 2 * i,
                         "key field " + std::to_string(i + 1) + " differs from the table's");
}

std::vector<IndexLeaf> PrimaryIndex::leaves(const FileHeader& dbHeader) const {
    const std::string& path = px_.path();
    checkKeyFields(dbHeader);
    if (header_.indexRoot < 1 || header_.indexRoot > header_.fileBlocks || header_.indexLevels < 1)
        throwDamaged(path, 0x1E, "the index root or level count is invalid");

    const std::size_t keySize = codec_.keySize(), entrySize = keySize + 6;
    std::vector<IndexLeaf> found;
    std::size_t entries = 0;
    std::vector<bool> seen(header_.fileBlocks + 1u, false);
    // Returns the record count below `block`, checking its entries.
    auto visit = [&](auto& self, std::uint16_t block, int level,
                     const std::uint8_t* expectKey) -> std::uint32_t {
        const std::size_t at = header_.blockOffset(block);
        if (block < 1 || block > header_.fileBlocks || seen[block])
            throwDamaged(path, at, "an index link is out of range or repeated");
        seen[block] = true;
        const std::uint8_t* p = px_.data() + at;
        const int ads = getS16(p + 4);
        if (ads < 0 || ads % static_cast<int>(entrySize) != 0 ||
            6 + ads + entrySize > header_.blockSize())
            throwDamaged(path, at + 4, "an index block has an invalid entry count");
        const std::size_t n = static_cast<std::size_t>(ads) / entrySize + 1;
        std::uint32_t total = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* e = p + 6 + i * entrySize;
            const std::uint16_t child = getBlockNumber(e + keySize);
            const auto count = getSortableInt(e + keySize + 2, 2);
            if (child == 0 || !count) throwDamaged(path, at, "an index entry is blank");
            if (i == 0 && expectKey && std::memcmp(e, expectKey, keySize) != 0)
                throwDamaged(path, at + 6, "an index block's first key disagrees with its parent");
            ++entries;
            std::uint32_t below = static_cast<std::uint32_t>(*count);
            if (level == 1) {
                found.push_back({e, child, below});
            } else {
                below = self(self, child, level - 1, e);
                if (*count != clampCount(below))
                    throwDamaged(path, at + 6 + i * entrySize,
                                 "an index record count disagrees with the table");
            }
            total += below;
        }
        return total;
    };
    visit(visit, header_.indexRoot, header_.indexLevels, nullptr);
    if (entries != header_.numRecords)
        throwDamaged(path, 0x06,
                     "the index header counts " + std::to_string(header_.numRecords) +
                         " entries but the index holds " + std::to_string(entries));
    return found;
}

void PrimaryIndex::verify(const std::vector<DataBlockRef>& blocks,
                          const std::vector<std::uint8_t>& firstKeys,
                          const FileHeader& dbHeader) const {
    checkKeyFields(dbHeader);
    const std::size_t keySize = codec_.keySize();
    std::vector<const DataBlockRef*> dataBlocks;
    std::vector<const std::uint8_t*> dataKeys;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].count == 0) continue;
        dataBlocks.push_back(&blocks[i]);
        dataKeys.push_back(&firstKeys[i * keySize]);
    }
    if (dataBlocks.empty()) return;  // an empty table needs no entries
    const std::vector<IndexLeaf> listed = leaves(dbHeader);
    const std::string& path = px_.path();
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::size_t at = static_cast<std::size_t>(listed[i].key - px_.data());
        if (i >= dataBlocks.size() || dataBlocks[i]->number != listed[i].block)
            throwDamaged(path, at, "the index does not list the table's blocks in order");
        if (std::memcmp(listed[i].key, dataKeys[i], keySize) != 0)
            throwDamaged(path, at, "an index key disagrees with its data block");
        if (listed[i].count != clampCount(dataBlocks[i]->count))
            throwDamaged(path, at, "an index record count disagrees with the table");
    }
    if (listed.size() != dataBlocks.size())
        throwDamaged(path, header_.blockOffset(header_.indexRoot),
                     "the index misses some of the table's blocks");
}

}  // namespace paradox
