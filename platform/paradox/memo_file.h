#pragma once
// The .mb memo file: memo and BLOb values too long for their record leader.
// Reads check every pointer before following it and read the blocks through
// the file's frame cache; writes allocate and free space in the file's image
// (so the journal covers them).  The layout is
// described in memo_file.cpp.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/paradox/record.h"

namespace paradox {

class PagedFile;

class MemoFile {
public:
    static constexpr std::size_t kBlockSize = 4096;

    // Checks the header (a file open for writing gets its last run padded).
    // Throws ETableDamaged naming the file.
    MemoFile(PagedFile& file, bool forWriting);

    // The `ref.length` bytes of a value held in the file, valid until the
    // next read.
    const std::uint8_t* read(const MemoRef& ref) const;
    // Checks that `ref` designates a value, without reading the value.
    void check(const MemoRef& ref) const;
    // Stores a value longer than its leader; returns the record's tail.
    MemoRef write(const std::string& bytes);
    // Frees the space of a value held in the file (none for leader values).
    void release(const MemoRef& ref);

    // The header block of a new, empty memo file.
    static std::vector<std::uint8_t> emptyFile();

    // Checks of a memo file's bytes [file, file + size), for readers that
    // hold the bytes themselves: what is wrong with its header block, or
    // nullptr; where the value `ref` designates lies, or nullptr with
    // `fault` set.
    struct Fault {
        std::size_t offset = 0;
        const char* what = "";
    };
    static const char* headerFault(const std::uint8_t* file, std::size_t size);
    static const std::uint8_t* locate(const std::uint8_t* file, std::size_t size,
                                      const MemoRef& ref, Fault& fault);

private:
    static std::size_t valueOffset(const std::uint8_t* block, std::size_t size, const MemoRef& ref,
                                   Fault& fault);
    std::size_t find(const MemoRef& ref) const;
    void learnFreeSpace();
    std::uint16_t nextModNumber();
    std::size_t allocateBlocks(std::size_t count);  // returns the first block index
    void freeBlocks(std::size_t first, std::size_t count);
    MemoRef writeRun(const std::string& bytes, std::uint16_t mod);
    MemoRef writeSuballocated(const std::string& bytes, std::uint16_t mod);
    bool placeInBlock(std::size_t block, std::size_t chunks, int& slot, int& firstChunk) const;
    [[noreturn]] void damaged(std::size_t offset, const std::string& what) const;

    PagedFile& file_;
    std::map<std::size_t, std::size_t> freeRuns_;  // first block -> blocks
    struct SharedBlock {
        std::size_t block;
        // A value of this many chunks or more found no room in the block
        // (since the last value freed there).
        std::size_t noRoomFor = SIZE_MAX;
    };
    std::vector<SharedBlock> subBlocks_;          // type-3 blocks, oldest first
    bool freeSpaceKnown_ = false;                 // freeRuns_ and subBlocks_ learned
    mutable std::vector<std::uint8_t> gathered_;  // a value read across frames
};

}  // namespace paradox
