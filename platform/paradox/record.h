#pragma once
// The record codec: where each field sits in a record, and the conversion
// between field bytes and Values (text through the table's code page).  Key
// comparison lives here too, because it depends on the field encodings and
// the table's sort order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/paradox/header.h"
#include "platform/paradox/table.h"

namespace paradox {

class CodePage;
class MemoFile;

struct FieldLayout {
    FieldType type;
    FieldDesc desc;
    int offset = 0;    // in the record
    int bytes = 0;     // in the record
    int leader = 0;    // memo/BLOb: bytes of the value held in the record
    std::string name;  // UTF-8
};

// How a memo tail points into the .mb file.
struct MemoRef {
    std::uint32_t pointer = 0;  // block offset | index; 0 = held in the record
    std::uint32_t length = 0;
    std::uint16_t modNumber = 0;
};

class RecordCodec {
public:
    RecordCodec(const FileHeader& header, const CodePage& codePage, bool byteOrderKeys,
                std::string dbPath);
    // The codec of the table with `header`: its texts in its code page
    // (Windows-1252 when the engine has no table for it), its keys compared
    // as its sort order says.
    static std::unique_ptr<RecordCodec> forHeader(const FileHeader& header, std::string dbPath);

    const std::vector<FieldLayout>& fields() const { return fields_; }
    int recordSize() const { return recordSize_; }
    int keyFields() const { return keyFields_; }
    int keySize() const { return keySize_; }  // bytes of the key fields
    bool keysCompareAsBytes() const { return byteOrderKeys_; }
    const CodePage& codePage() const { return codePage_; }
    bool hasMemoFields() const;
    // The field definitions as callers see them.
    TableSchema schema() const;

    // Decodes a record; memo values longer than their leader are read from
    // `memo` (which must be non-null when the table has blob fields).
    void decode(const std::uint8_t* record, const MemoFile* memo, Row& out) const;
    // Follows every memo pointer of a record as decode() would, raising the
    // same errors, without building the values.
    void checkMemoPointers(const std::uint8_t* record, const MemoFile* memo) const;

    // Encodes a row for writing.  Every value is checked (kind, range, length,
    // code page) and an EDatabaseError naming the field is raised for the
    // first bad one.  Memo fields get their leader only; their whole texts (in
    // the code page) are returned in `memoTexts`, indexed by field, so the
    // caller can store them and then call putMemoTail.
    std::vector<std::uint8_t> encode(const Row& row, std::vector<std::string>& memoTexts) const;
    static MemoRef getMemoTail(const std::uint8_t* record, const FieldLayout& field);
    static void putMemoTail(std::uint8_t* record, const FieldLayout& field, const MemoRef& ref);

    // Encodes 1..keyFields leading key values for searching; returns their
    // stored bytes (the first `result.size()` bytes of a record compare with it).
    std::vector<std::uint8_t> encodeKey(const std::vector<Value>& key, int& fieldCount) const;
    // Compares the first `fieldCount` key fields of two records (or encoded keys).
    int compareKeys(const std::uint8_t* a, const std::uint8_t* b, int fieldCount) const;

private:
    void encodeField(const FieldLayout& f, const Value& v, std::uint8_t* out, bool forKey,
                     std::string* memoText) const;
    [[noreturn]] void fieldError(const FieldLayout& f, const std::string& what) const;
    std::string toCodePage(const FieldLayout& f, const std::string& utf8) const;

    std::vector<FieldLayout> fields_;
    std::vector<std::size_t> blobFields_;  // indexes of the memo and BLOb fields
    int recordSize_ = 0;
    int keyFields_ = 0;
    int keySize_ = 0;
    const CodePage& codePage_;
    bool byteOrderKeys_;
    std::string dbPath_;
};

}  // namespace paradox
