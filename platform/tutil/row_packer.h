#pragma once
// Writes a table's rows in one pass: rows given as values, in any order,
// encoded as the engine encodes them, sorted by the table's key as the
// engine compares it, and packed as a rebuild packs them, with the
// structure, code page and sort order of an existing table.  For filling an
// empty table with many rows at once; the engine would insert them one at a
// time, each through its pages and its journal.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/paradox/record.h"
#include "platform/paradox/table.h"
#include "platform/tutil/file_bytes.h"
#include "platform/tutil/header.h"
#include "platform/tutil/pack.h"

namespace tutil {

class RowPacker {
public:
    // The rows will have the structure of the table at `modelDb`; the files
    // go to `workBase` + .DB, .PX and .MB (those the structure needs).
    // `expectedRows` sizes the store of encoded records.  Raises TableError
    // when the model cannot be read.
    RowPacker(const std::string& modelDb, const std::string& workBase, std::size_t expectedRows);
    ~RowPacker();
    RowPacker(const RowPacker&) = delete;
    RowPacker& operator=(const RowPacker&) = delete;

    // Encodes a row and keeps it.  A blank auto-increment value is numbered
    // from the table's counter, in the order the rows are added, as the
    // engine numbers inserted rows.  Raises EDatabaseError naming the field
    // for a value the table cannot hold.
    void add(const paradox::Row& row);

    // Writes the rows in key order and makes every file durable.  Returns
    // false, having written nothing durable, when two rows of a keyed table
    // have the same key.  Raises TableError on a write failure.
    [[nodiscard]] bool finish();

    // The files being written, .DB first.
    std::vector<std::string> files() const { return packer_.files(); }

private:
    struct Text {  // a memo value in memoBytes_
        std::uint32_t offset = 0, size = 0;
    };
    const std::uint8_t* record(std::size_t row) const {
        return records_.data() + row * std::size_t(codec_->recordSize());
    }
    std::vector<std::uint32_t> keyOrder() const;
    const paradox::Row& numbered(const paradox::Row& row);

    TableHeader model_;
    std::unique_ptr<paradox::RecordCodec> codec_;
    TablePacker packer_;
    std::vector<std::size_t> memoFields_;  // in field order
    std::vector<std::uint8_t, LargeAllocator<std::uint8_t>> records_;
    std::vector<std::uint8_t> keys_;  // each row's key bytes, side by side
    std::vector<Text> memos_;         // memoFields_.size() per row
    std::vector<std::uint8_t> memoBytes_;
    std::vector<std::string> memoTexts_;  // of the row being encoded
    paradox::Row numbered_;               // a row given without its counter value
    std::size_t rows_ = 0;
    int autoIncField_ = -1;
    std::uint32_t autoIncrement_ = 0;
};

}  // namespace tutil
