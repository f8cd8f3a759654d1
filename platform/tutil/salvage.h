#pragma once
// Reads every record of a possibly damaged table that can be reached: the
// block chain first, then blocks that no chain or free list names.  Nothing
// is trusted: each block's links and record count, each field and each memo
// pointer are checked, and what fails is reported with the row.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/tutil/file_bytes.h"
#include "platform/tutil/header.h"
#include "platform/tutil/memo.h"
#include "platform/tutil/pack.h"

namespace tutil {

// A row found in the file.  Its bytes stay where they were read (the
// Salvage owns them), so that salvaging copies nothing per row; the row
// itself is kept small, as a table may hold millions.
struct SalvagedRow {
    // The record with its memo tails as read; writers replace the tails.  A
    // record whose fields hold bytes past their value points at a cleaned
    // copy (Salvage::cleanedRecords) instead of the file.
    const std::uint8_t* record = nullptr;
    // Why the row is not intact: 1 + its index in Salvage::problems; 0 for
    // an intact row.
    std::uint32_t problem = 0;
    int block = 0;  // where it was found
    std::uint16_t slot = 0;
    // The record itself is unusable (only its readable parts survive); the
    // row then belongs in the problem table only.
    bool unreadable = false;
    // Its key equals that of the readable row found before it.
    bool repeatsKey = false;

    bool intact() const { return problem == 0; }
};

struct Salvage {
    TableHeader header;
    FileBytes db;     // the .db as read; rows point into it
    MemoReader memo;  // the .mb as read; memo values point into it
    std::vector<std::vector<std::uint8_t>> cleanedRecords;
    std::vector<SalvagedRow, LargeAllocator<SalvagedRow>> rows;  // chain order, then stray blocks
    // memoFields per row, in field order.  A memo whose stored text could
    // not be read is marked lost: the rebuilt row gets a blank memo, the
    // problem row the text of the record's leader.
    std::vector<MemoValue, LargeAllocator<MemoValue>> memos;
    std::vector<std::string> problems;  // what SalvagedRow::problem names
    std::size_t memoFields = 0;
    std::vector<std::string> notes;  // damage found outside the rows
    // The readable rows, in the order found, never fall in key order.
    bool inKeyOrder = true;
    std::uint32_t largestAutoIncrement = 0;
    std::size_t fileBlocksFound = 0;
    bool damaged() const;  // rows or blocks could not be read
    // Lets go of the file pages read so far, so that a pass over the rows
    // holds only the pages it is working on.
    void releaseResident() const {
        db.releaseResident();
        memo.releaseResident();
    }
    // Of a row of `rows`.
    std::span<const MemoValue> memosOf(const SalvagedRow& row) const {
        return {memos.data() + std::size_t(&row - rows.data()) * memoFields, memoFields};
    }
    const std::string& problemOf(const SalvagedRow& row) const {
        static const std::string none;
        return row.intact() ? none : problems[row.problem - 1];
    }
};

// Called with a percent of the reading done; returns false to stop.
using ProgressFn = std::function<bool(int percent)>;
// Called once the rows of a block are judged, with the index of the block's
// first row in Salvage::rows (its last is the last row so far), while the
// block's bytes are still at hand.
using BlockRowsFn = std::function<void(const Salvage& salvage, std::size_t firstRow)>;

// Reads the table at `dbPath` with its memo file `mbPath` (may be empty or
// missing).  Raises TableError when the header is unusable.  With `known`,
// the field descriptor comes from the known structure (see readHeader).
// `onBlockRows`, if given, sees each block's rows as they are read.
Salvage salvageTable(const std::string& dbPath, const std::string& mbPath,
                     const ProgressFn& progress = {}, const KnownStructure* known = nullptr,
                     const BlockRowsFn& onBlockRows = {});

// The values of the key fields, compared as stored bytes.
bool keyLess(const TableHeader& header, const std::uint8_t* a, const std::uint8_t* b);
bool keyEqual(const TableHeader& header, const std::uint8_t* a, const std::uint8_t* b);

}  // namespace tutil
