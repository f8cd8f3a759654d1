#pragma once
// The shared in-memory state of one open table: its files' images, the
// block chain, the decoded rows in key order, and the write path (block
// placement, memos, primary index, journal).  One TableFile exists per table
// file and process; every Table handle on that file points at it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/paradox/header.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/memo_file.h"
#include "platform/paradox/paged_file.h"
#include "platform/paradox/primary_index.h"
#include "platform/paradox/record.h"
#include "platform/paradox/row_cache.h"
#include "platform/paradox/table.h"

namespace paradox {

// Field types the engine can write; the others open read-only.
bool isWritableType(FieldType t);

class TableFile {
public:
    // The shared state of the table at `dbPath`, opening it when no handle
    // in this process has it open.
    static std::shared_ptr<TableFile> acquire(const std::string& dbPath);
    // True when a handle in this process has the table open.
    static bool isOpenInProcess(const std::string& dbPath);

    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const std::string& path() const { return dbPath_; }
    const TableSchema& schema() const { return schema_; }
    bool writable() const { return writable_; }
    const std::string& readOnlyReason() const { return readOnlyReason_; }
    const FileHeader& header() const { return header_; }

    std::size_t rowCount() const { return rows_.size(); }
    // The reference stays valid until the table changes or rows of
    // RowCache::kKeptChunks other chunks have been read.
    const Row& row(std::size_t position) const;
    std::uint64_t changeCount() const { return changeCount_; }
    std::int32_t lastAutoIncrement() const { return header_.autoInc; }
    std::size_t cachedBlockBytes() const { return db_->cachedBytes(); }
    std::size_t cachedMemoBytes() const { return mb_ ? mb_->cachedBytes() : 0; }

    std::size_t lowerBound(const std::vector<Value>& key) const;
    std::size_t upperBound(const std::vector<Value>& key) const;
    std::size_t find(const std::vector<Value>& key) const;

    std::size_t insert(const Row& row);
    std::size_t update(std::size_t position, Row row);
    void erase(std::size_t position);
    void saveChanges();

    void beginBatch();
    void commitBatch();

private:
    explicit TableFile(const std::string& dbPath);

    // Loading (table_load.cpp).
    void openFiles(const std::string& dbPath);
    void loadState();
    bool fitsInCache() const;
    void walkChain(std::vector<std::uint8_t>& firstKeys);
    bool chainFromIndex(std::vector<std::uint8_t>& firstKeys);
    void expectChain(std::vector<std::uint8_t> firstKeys);
    std::vector<std::uint8_t> pendingFirstKeys() const;
    void checkChainBlock(std::size_t number, const std::uint8_t* block) const;
    void readFreeList();
    void checkRecords();
    void checkBlockFrame(std::size_t offset, const std::uint8_t* bytes, std::size_t n) const;
    void decideWritable();
    void buildSchema();

    // Rows and blocks.
    const std::uint8_t* recordAt(std::size_t position) const;
    std::size_t recordOffset(std::size_t position) const;
    std::size_t blockIndexOfRow(std::size_t position) const;
    std::size_t searchKey(const std::uint8_t* key, int fieldCount, bool upper) const;
    std::size_t capacity() const;
    void renumberFrom(std::size_t blockIndex);
    std::uint16_t allocateBlock();
    void freeBlock(std::uint16_t number);
    void setLinks(std::uint16_t block, std::uint16_t next, std::uint16_t prev);
    void setRecordCount(std::size_t blockIndex, std::uint32_t count);
    void placeRecord(std::size_t position, const std::vector<std::uint8_t>& record);
    void removeRecord(std::size_t position);
    void splitBlock(std::size_t blockIndex);
    void unlinkEmptyBlock(std::size_t blockIndex);

    // Changes.
    void requireFilesUnchangedElsewhere() const;
    void requireWritable() const;
    void checkPosition(std::size_t position) const;
    std::vector<std::uint8_t> prepareRecord(const Row& row,
                                            std::vector<std::string>& memoTexts) const;
    void storeMemos(std::vector<std::uint8_t>& record, const std::vector<std::string>& memoTexts,
                    const std::uint8_t* oldRecord);
    void releaseMemos(const std::uint8_t* record);
    // Where a new record with this key goes (first row with a key >= its).
    std::size_t insertPosition(const std::uint8_t* record) const;
    [[noreturn]] void keyViolation(const Row& row) const;
    template <typename Change>
    auto change(Change&& body);
    void commit();
    void startWriteback() const;
    void abandonPending() noexcept;
    // Drops the changes not yet committed from the file images (without
    // reloading the decoded rows); true when there were any.
    bool discardPendingImages() noexcept;

    std::string dbPath_;
    std::unique_ptr<PagedFile> db_, px_, mb_;
    Journal journal_;
    FileHeader header_;
    TableSchema schema_;
    std::unique_ptr<RecordCodec> codec_;
    std::unique_ptr<MemoFile> memo_;
    std::unique_ptr<PrimaryIndex> index_;
    bool writable_ = false;
    std::string readOnlyReason_;
    int autoIncField_ = -1;

    mutable RowCache rows_;                // in file order
    std::vector<DataBlockRef> blocks_;     // the chain, in order
    std::vector<std::uint16_t> freeList_;  // head first
    // The chain as the file holds it (as of the last commit), by block
    // number, against which every block read from the file is checked.
    struct ExpectedBlock {
        std::uint16_t next = 0, previous = 0;
        std::uint32_t count = 0;
        bool inChain = false;
    };
    std::vector<ExpectedBlock> expected_;
    std::vector<std::uint8_t> expectedKeys_;  // first keys, by block number
    std::uint64_t changeCount_ = 0;
    int batchDepth_ = 0;
    bool indexStale_ = false;
    bool mutating_ = false;  // the current change has begun editing the images
    bool unsaved_ = false;
    bool broken_ = false;  // a failed write left the files to the journal
};

}  // namespace paradox
