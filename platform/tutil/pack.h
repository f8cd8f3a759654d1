#pragma once
// Writes a packed table: records appended in the order given into full
// blocks, a fresh primary index for a keyed table and a fresh memo file
// holding only the values the records point at.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/tutil/file_bytes.h"
#include "platform/tutil/header.h"
#include "platform/tutil/memo.h"

namespace tutil {

// The value of one memo field of a row, as bytes someone else owns.  Held
// as a pointer and a length, as a table may hold millions.
struct MemoValue {
    MemoValue() = default;
    MemoValue(std::span<const std::uint8_t> bytes, bool isLost = false)
        : data(bytes.data()), size(static_cast<std::uint32_t>(bytes.size())), lost(isLost) {}
    std::span<const std::uint8_t> text() const { return {data, size}; }  // empty: blank

    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    // The stored text could not be read; the text is what the record's
    // leader still shows.
    bool lost = false;
};

class TablePacker {
public:
    // `base` is the path without extension; the files are base.DB, base.PX
    // (keyed tables) and base.MB (tables with memo fields).  The header
    // takes its code page, sort order, version and table name from `model`.
    TablePacker(std::string base, const TableHeader& model, std::vector<FieldInfo> fields,
                int keyFieldCount);
    ~TablePacker();

    // Appends a record; `memos` holds the value of each memo field in field
    // order (an empty value, or a missing one, is blank; a lost one is blank
    // unless `keepLostText`).  Keyed records must come in key order.
    void add(const std::uint8_t* record, std::span<const MemoValue> memos,
             bool keepLostText = false);

    // Writes the header, the index and what is left of the memo file; with
    // `durable`, returns only once every file reached the disk.  Raises
    // TableError on a write error.
    void finish(std::uint32_t autoIncrement, bool durable);

    std::uint32_t recordCount() const { return records_; }
    // The files written, in the order .DB, .PX, .MB (those that exist).
    std::vector<std::string> files() const;

    // A field list plus one alpha field, for the problem table.
    static std::vector<FieldInfo> withTextField(std::vector<FieldInfo> fields,
                                                const std::string& name, int size);

private:
    void flushBlock(bool anotherFollows);
    void writeIndex(bool durable);

    std::string base_;
    std::string tableName_;
    std::vector<FieldInfo> fields_;
    int keyFieldCount_;
    int recordSize_;
    int blockSizeCode_;
    int blockSize_;
    int perBlock_;
    paradox::FileHeader header_;  // without the counts
    FileWriter db_;
    std::unique_ptr<MemoWriter> memo_;
    std::uint8_t* block_ = nullptr;  // the block being filled, in place in db_'s buffer
    int inBlock_ = 0;
    int blocks_ = 0;
    std::uint32_t records_ = 0;
    struct BlockEntry {
        std::vector<std::uint8_t> firstKey;
        int count;
    };
    std::vector<BlockEntry> blockIndex_;
};

}  // namespace tutil
