#pragma once
// The .px primary index: a B-tree over the data blocks of a keyed table,
// rebuilt from the block chain after every change and checked against the
// chain when a table is opened.  The layout is described in primary_index.cpp.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/paradox/header.h"

namespace paradox {

class PagedFile;
class RecordCodec;

// One block of the .db chain, in chain order.
struct DataBlockRef {
    std::uint16_t number = 0;
    std::uint32_t count = 0;   // records in the block
    std::size_t startRow = 0;  // position of its first record in the table
};

// One entry of an index's lowest level: a data block, its first record's
// key and its record count.
struct IndexLeaf {
    const std::uint8_t* key = nullptr;
    std::uint16_t block = 0;
    std::uint32_t count = 0;
};

// The blocks of an index tree (block 1, the root, first) and the counts its
// header carries.
struct IndexTree {
    std::vector<std::uint8_t> blocks;
    std::uint32_t entries = 0;  // of all levels
    std::uint16_t blockCount = 0;
    std::uint8_t levels = 0;
    // Stores the counts in the index's header: entries, blocks, chain, root
    // and levels, no free blocks.
    void describeIn(FileHeader& pxHeader) const;
};

// Builds the tree over `leaves` (in chain order; keys of `keySize` bytes)
// in blocks of `blockSize` bytes; throws EDatabaseError naming `path` when
// it needs more blocks than an index can number.
IndexTree buildIndexTree(const std::vector<IndexLeaf>& leaves, std::size_t keySize,
                         std::size_t blockSize, const std::string& path);

class PrimaryIndex {
public:
    PrimaryIndex(PagedFile& px, const FileHeader& pxHeader, const RecordCodec& codec)
        : px_(px), header_(pxHeader), codec_(codec) {}

    const FileHeader& header() const { return header_; }

    // Checks that the index describes exactly `blocks`, whose first keys are
    // `firstKeys` (the key bytes of each block's first record, one after the
    // other, in the order of `blocks`); throws ETableDamaged naming the .px
    // file otherwise.
    void verify(const std::vector<DataBlockRef>& blocks, const std::vector<std::uint8_t>& firstKeys,
                const FileHeader& dbHeader) const;

    // The entries of the lowest level, in order (keys point into the index
    // image), after checking the tree: its links, first keys and counts
    // against each other and its key fields against the table's `dbHeader`.
    // Throws ETableDamaged naming the .px file.
    std::vector<IndexLeaf> leaves(const FileHeader& dbHeader) const;

    // Rewrites the index for `blocks` into the .px image (only pages whose
    // bytes change are touched).
    void rebuild(const std::vector<DataBlockRef>& blocks, const PagedFile& db,
                 const FileHeader& dbHeader);

    // Picks the .px block size code for a key of `keySize` bytes.
    static std::uint8_t blockCodeFor(int keySize);

private:
    void checkKeyFields(const FileHeader& dbHeader) const;
    std::vector<const std::uint8_t*> leafKeysByBlock(std::size_t dataBlocks) const;

    PagedFile& px_;
    FileHeader header_;
    const RecordCodec& codec_;
};

}  // namespace paradox
