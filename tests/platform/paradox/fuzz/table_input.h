#pragma once
// One fuzz input as the three files of a table, shared by the table
// fuzzers and by the tests that replay their inputs.
//
// Input layout (integers little-endian):
//   4 bytes   length D of the .db part
//   4 bytes   length P of the .px part
//   D bytes   t.db
//   P bytes   t.px
//   the rest  t.mb
// A length past the end of the input takes what is left; a short prefix
// reads as zeros.  A part of length 0 is a missing file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tablefuzz {

struct TableParts {
    std::span<const std::uint8_t> db, px, mb;
};

TableParts splitInput(std::span<const std::uint8_t> input);
std::vector<std::uint8_t> joinParts(const TableParts& parts);

// A folder of this process's own under $TMPDIR (or /tmp), removed at exit.
// Fuzzing is much quicker with TMPDIR=/dev/shm: the engine syncs its files.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // Empties the folder and writes the parts as t.db, t.px and t.mb;
    // returns the path of t.db.
    std::string writeTable(const TableParts& parts) const;
    // Removes every file but those named in `keep`.
    void clear(const std::vector<std::string>& keep = {}) const;

private:
    std::string path_;
};

// Opens the table and reads every row with its memos, and finds the first
// and the last row by key.  Returns the rows read; a clear error
// (EDatabaseError) ends the reading and returns -1.
long readWholeTable(const std::string& dbPath);

// The bytes of one saved input, and the inputs of a folder in name order
// (its README aside; none when the folder does not exist).
std::vector<std::uint8_t> readInput(const std::filesystem::path& path);
std::vector<std::filesystem::path> inputsIn(const char* folder);

}  // namespace tablefuzz
