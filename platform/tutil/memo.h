#pragma once
// The .mb memo file: a checked reader of the values records point at, and a
// writer that packs values into a fresh file.

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tutil {

// Reads a whole file in one go; false when it cannot be opened.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

class MemoReader {
public:
    // Reads the whole memo file; a missing or unreadable file leaves the
    // reader empty, so that every pointer into it fails with a reason.
    explicit MemoReader(const std::string& mbPath);
    bool present() const { return present_; }

    // The value a record's pointer designates, or nullopt with `why` set
    // when the pointer, the block or the lengths disagree.
    std::optional<std::vector<std::uint8_t>> read(std::uint32_t pointer, std::uint32_t length,
                                                  std::uint16_t modification,
                                                  std::string& why) const;

private:
    std::vector<std::uint8_t> bytes_;
    bool present_ = false;
};

// Writes values into a new memo file: values over 2048 bytes as single-blob
// runs, smaller ones suballocated 64 to a block.  The file is built in
// memory and written in one go by finish().
class MemoWriter {
public:
    explicit MemoWriter(const std::string& mbPath);
    // Stores a value longer than its leader; returns the record's pointer.
    // Every value carries modification number 1.
    std::uint32_t store(const std::uint8_t* data, std::size_t length);
    // Writes the last suballocated block and the header; raises TableError
    // on a write failure.
    void finish();
    static constexpr std::uint16_t kModification = 1;

private:
    void flushSmallBlock();
    void writeBlock(std::uint32_t at, const std::vector<std::uint8_t>& block);

    std::string path_;
    std::vector<std::uint8_t> file_;
    std::uint32_t nextBlock_ = 1;  // block 0 is the header
    std::vector<std::uint8_t> small_;
    std::uint32_t smallBlock_ = 0;
    int nextSlot_ = 63;
    int nextChunk_ = 0x15;
};

}  // namespace tutil
