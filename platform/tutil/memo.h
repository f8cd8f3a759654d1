#pragma once
// The .mb memo file: the values records point at, found by the engine's
// checks in the file's bytes, and a writer that packs values into a fresh
// file.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/tutil/file_bytes.h"

namespace tutil {

class MemoReader {
public:
    // Maps the whole memo file; a missing or unreadable file leaves the
    // reader empty, so that every pointer into it fails with a reason.
    MemoReader() = default;
    explicit MemoReader(const std::string& mbPath);
    bool present() const { return present_; }

    // The value a record's pointer designates (inside the reader's bytes,
    // valid while the reader lives), or nullopt with `why` set when the
    // pointer, the block or the lengths disagree (the engine's checks:
    // modification numbers are not compared, they do not change the value).
    std::optional<std::span<const std::uint8_t>> read(std::uint32_t pointer, std::uint32_t length,
                                                      std::string& why) const;
    // See FileBytes::releaseResident.
    void releaseResident() const { bytes_.releaseResident(); }

private:
    FileBytes bytes_;
    bool present_ = false;
};

// Writes values into a new memo file: values over 2048 bytes as single-blob
// runs, smaller ones suballocated 64 to a block.  Blocks are numbered in the
// order they are taken and go out in large writes, so memory stays bounded
// whatever the file's size.
class MemoWriter {
public:
    explicit MemoWriter(const std::string& mbPath);
    // Stores a value longer than its leader; returns the record's pointer.
    // Every value carries modification number 1.
    std::uint32_t store(const std::uint8_t* data, std::size_t length);
    // Writes what is left; with `durable`, waits until the file reached the
    // disk.  Raises TableError on a write failure.
    void finish(bool durable);
    static constexpr std::uint16_t kModification = 1;

private:
    void checkRoom(std::size_t blocks) const;
    void put(const std::uint8_t* data, std::size_t n);
    void putZeros(std::size_t n);
    void openSmallBlock();
    void flushWindow();

    FileWriter out_;
    // The last blocks taken, not yet written.
    paradox::ImageBuffer window_;
    std::size_t used_ = 0;
    std::uint32_t nextBlock_ = 0;
    // The suballocated block being filled, if any: its number and where it
    // is in the window.
    bool smallOpen_ = false;
    std::uint32_t smallBlock_ = 0;
    std::size_t smallAt_ = 0;
    int nextSlot_ = 0;
    int nextChunk_ = 0;
};

}  // namespace tutil
