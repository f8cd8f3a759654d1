#pragma once
// The .px primary index: a B-tree over the data blocks of a keyed table,
// rebuilt from the block chain after every change and checked against the
// chain when a table is opened.  The layout is described in primary_index.cpp.

#include <cstddef>
#include <cstdint>
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

class PrimaryIndex {
public:
    PrimaryIndex(PagedFile& px, const FileHeader& pxHeader, const RecordCodec& codec)
        : px_(px), header_(pxHeader), codec_(codec) {}

    const FileHeader& header() const { return header_; }

    // Checks that the index describes exactly `blocks` of `db`; throws
    // ETableDamaged naming the .px file otherwise.
    void verify(const std::vector<DataBlockRef>& blocks, const PagedFile& db,
                const FileHeader& dbHeader) const;

    // Rewrites the index for `blocks` into the .px image (only pages whose
    // bytes change are touched).
    void rebuild(const std::vector<DataBlockRef>& blocks, const PagedFile& db,
                 const FileHeader& dbHeader);

    // Picks the .px block size code for a key of `keySize` bytes.
    static std::uint8_t blockCodeFor(int keySize);

private:
    PagedFile& px_;
    FileHeader header_;
    const RecordCodec& codec_;
};

}  // namespace paradox
