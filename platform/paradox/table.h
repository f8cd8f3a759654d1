#pragma once
// Public interface of the Paradox table engine: one keyed (or unkeyed) table
// of .db data, .px primary index and .mb memo files.
//
// Every Table handle opened on the same file inside one process shares one
// in-memory state, so a change made through one handle is seen at once by
// every other.  Rows are held in primary-key order (physical order for an
// unkeyed table) and addressed by their position in that order; positions
// shift when rows are inserted or deleted, so a caller that keeps a position
// across changes compares changeCount() and seeks again by key.
//
// Every change is written through to the files before the call returns;
// saveChanges() returns only after the table's files reached the disk.
// Failures are EDatabaseError exceptions with a message naming the file
// (subclasses in errors.h: ETableDamaged, EKeyViolation, ETableInUse).
//
// Values by field type: Alpha and Memo give text (UTF-8); Short, Long,
// AutoInc, Date (day number, 1 = 0001-01-01) and Time (milliseconds) give
// integers; Money, Number, Timestamp (milliseconds) and BCD give doubles;
// Logical gives a boolean; Bytes, Blob, FmtMemo, Ole and Graphic give raw
// bytes.  Writes accept an integer or a whole double for integer fields and
// either for Money/Number.  The file format cannot tell empty text from
// blank: an empty text is stored, and read back, as blank (null).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/exception.h"
#include "platform/paradox/value.h"

namespace paradox {

enum class FieldType {
    Alpha,      // A: text of 1..255 bytes
    Date,       // D: days (read-only support)
    Short,      // S: 16-bit signed
    Long,       // I: 32-bit signed
    Money,      // $: double
    Number,     // N: double (read-only support)
    Logical,    // L
    Memo,       // M: text, `size` bytes held in the record
    Blob,       // B (read-only support)
    FmtMemo,    // F (read-only support)
    Ole,        // O (read-only support)
    Graphic,    // G (read-only support)
    Time,       // T: milliseconds since midnight (read-only support)
    Timestamp,  // @: milliseconds (read-only support)
    AutoInc,    // +: 32-bit signed, assigned on insert
    Bcd,        // #: `size` = decimal places (read-only support)
    Bytes,      // Y: 1..255 raw bytes
};

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Alpha;
    // Alpha and Bytes: length; Memo/Blob family: bytes held in the record
    // (the leader, 1..240); BCD: decimal places; other types: 0.
    int size = 0;
};

struct TableSchema {
    std::vector<FieldDef> fields;
    int keyFieldCount = 0;  // the primary key is made of the leading fields

    // Index of the field named `name` (case-insensitive), or -1.
    int fieldIndex(const std::string& name) const;
};

using Row = std::vector<Value>;

class TableFile;  // the shared per-file state (internal)

// The block sizes, in KiB, the engine writes (older files may also have
// blocks of 3 KiB, which it reads).
inline constexpr int kBlockSizesKiB[] = {1, 2, 4, 16, 32};

// How the data blocks of a new table are sized.  By default the engine picks
// a small block that still holds several rows; `roomForRows` asks for the
// smallest block size whose Table::kMaxBlocks blocks hold that many rows,
// `blockSizeKiB` (1, 2, 4, 16 or 32) for one size outright.
struct TableLayout {
    std::size_t roomForRows = 0;
    int blockSizeKiB = 0;
};

class Table {
public:
    // A data file has at most this many blocks (block numbers are 16-bit).
    static constexpr std::size_t kMaxBlocks = 0xFFFF;

    // Creates a new table (.db, .px when keyed, .mb when it has a memo field)
    // at `dbPath`.  Refuses to overwrite an existing table.
    static void create(const std::string& dbPath, const TableSchema& schema,
                       const TableLayout& layout = {});

    // Opens an existing table.  A table held by another process raises a
    // "table is in use" error.  A rebuild's swap of the files that a crash
    // cut short is finished or undone first (table_swap.h).  A table whose sort order or field
    // types the engine cannot write opens read-only (writable() is false).
    static std::shared_ptr<Table> open(const std::string& dbPath);

    // True when a table exists at dbPath (its .db file, any case of ".db").
    static bool exists(const std::string& dbPath);
    // Deletes a table's files (.db, .px, .mb); the table must not be open.
    static void remove(const std::string& dbPath);

    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const std::string& path() const;
    const TableSchema& schema() const;
    bool writable() const;

    std::size_t rowCount() const;
    // The row at `position`.  The reference stays valid until the table
    // changes or rows of many other parts of it have been read (the engine
    // keeps only the rows read last decoded).
    const Row& row(std::size_t position) const;

    // Incremented by every insert, update and delete through any handle.
    std::uint64_t changeCount() const;

    // Key searches on the primary key, in O(log n).  `key` holds values for
    // the leading key fields (1..keyFieldCount of them); Alpha values compare
    // as stored (the table's sort order).
    std::size_t lowerBound(const std::vector<Value>& key) const;  // first row >= key
    std::size_t upperBound(const std::vector<Value>& key) const;  // first row > key
    // Position of the row with exactly this full key, or npos.
    std::size_t find(const std::vector<Value>& key) const;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Inserts a row; a null AutoInc field gets the next counter value.  A row
    // whose key already exists raises a key-violation error and changes
    // nothing.  Returns the position of the new row.
    std::size_t insert(const Row& row);
    // Replaces the row at `position`; the key may change.  Returns the row's
    // new position.
    std::size_t update(std::size_t position, Row row);
    void erase(std::size_t position);

    // Returns after every change so far reached the disk (fsync).
    void saveChanges();

    // Last auto-increment value assigned (0 for a new table).
    std::int32_t lastAutoIncrement() const;

    // The data blocks' size in KiB and how many of them hold rows; an
    // insert that needs a block past kMaxBlocks raises ETableFull.
    int blockSizeKiB() const;
    std::size_t usedBlocks() const;

    // Why the table opened read-only ("" when writable()).
    std::string readOnlyReason() const;

    // Groups every change through any handle up to commitBatch() into one
    // change, written to the files at commitBatch() (a bulk load then costs
    // one journal write instead of one per row).  If a change inside the
    // batch fails, the whole batch is undone.  Batches nest.
    void beginBatch();
    void commitBatch();

private:
    explicit Table(std::shared_ptr<TableFile> file);
    std::shared_ptr<TableFile> file_;
};

// Called after every change that reaches a table's files in this process (an
// insert, update or delete, or a whole batch), with the table's .db path, so
// that the program can act once the collection changed (its automatic
// backups).  Replaces the observer set before; an empty one removes it.
using ChangeObserver = std::function<void(const std::string& dbPath)>;
void SetChangeObserver(ChangeObserver observer);

}  // namespace paradox
