// Inserting, updating and deleting rows; committing a change through the
// journal; saving.  Every value is checked before anything is touched, so a
// refused row (key violation, bad value, a character outside the code page)
// changes nothing.

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/paradox/codepage.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/table_file.h"

namespace paradox {

namespace {

ChangeObserver& changeObserver() {
    static ChangeObserver observer;
    return observer;
}

std::string describe(const Value& v) {
    if (v.isNull()) return "blank";
    if (v.isBool()) return v.asBool() ? "true" : "false";
    if (v.isInt()) return std::to_string(v.asInt());
    if (v.isDouble()) {
        std::ostringstream s;
        s << v.asDouble();
        return s.str();
    }
    if (v.isText()) return "\"" + v.asText() + "\"";
    return "bytes";
}

}  // namespace

void SetChangeObserver(ChangeObserver observer) { changeObserver() = std::move(observer); }

void TableFile::requireWritable() const {
    if (broken_)
        throw EDatabaseError(
            "Table " + dbPath_ +
            " could not be written and must be opened again before it can be changed");
    if (!writable_)
        throw EDatabaseError("Table " + dbPath_ + " cannot be changed: " + readOnlyReason_);
}

void TableFile::keyViolation(const Row& row) const {
    std::string key;
    for (int i = 0; i < header_.keyFields; ++i)
        key += (i ? ", " : "") + schema_.fields[i].name + " = " + describe(row[i]);
    throw EKeyViolation("Key violation: table " + dbPath_ + " already holds a row with the key " +
                        key);
}

// Runs one change, committed at once unless in a batch.  A change refused
// before it touched anything (bad value, key violation) leaves everything as
// it was, a batch included; a failure after that undoes the images and the
// decoded state back to the last commit.
template <typename Change>
auto TableFile::change(Change&& body) {
    requireWritable();
    mutating_ = false;
    try {
        auto result = body();
        ++changeCount_;
        if (batchDepth_ == 0) commit();
        return result;
    } catch (...) {
        if (mutating_ || batchDepth_ == 0) abandonPending();
        throw;
    }
}

bool TableFile::discardPendingImages() noexcept {
    const bool pending = db_->hasPendingChanges() || (px_ && px_->hasPendingChanges()) ||
                         (mb_ && mb_->hasPendingChanges());
    batchDepth_ = 0;
    indexStale_ = false;
    if (!pending) return false;
    db_->rollbackPending();
    if (px_) px_->rollbackPending();
    if (mb_) mb_->rollbackPending();
    return true;
}

void TableFile::abandonPending() noexcept {
    if (!discardPendingImages() || broken_) return;
    try {
        loadState();
    } catch (const std::exception&) {
        broken_ = true;
    }
}

std::vector<std::uint8_t> TableFile::prepareRecord(const Row& row,
                                                   std::vector<std::string>& memoTexts) const {
    if (row.size() != schema_.fields.size())
        throw EDatabaseError("Table " + dbPath_ + ": a row of " + std::to_string(row.size()) +
                             " values was given for " + std::to_string(schema_.fields.size()) +
                             " fields");
    return codec_->encode(row, memoTexts);
}

void TableFile::storeMemos(std::vector<std::uint8_t>& record,
                           const std::vector<std::string>& memoTexts,
                           const std::uint8_t* oldRecord) {
    for (const auto& f : codec_->fields()) {
        if (f.type != FieldType::Memo) continue;
        const std::size_t index = static_cast<std::size_t>(&f - codec_->fields().data());
        const std::string& text = memoTexts[index];
        if (oldRecord) {
            // An unchanged memo keeps its stored value.
            const MemoRef old = RecordCodec::getMemoTail(oldRecord, f);
            const bool same =
                old.length == text.size() &&
                std::memcmp(oldRecord + f.offset, record.data() + f.offset, f.leader) == 0 &&
                (old.pointer == 0 || std::memcmp(memo_->read(old), text.data(), text.size()) == 0);
            if (same) {
                RecordCodec::putMemoTail(record.data(), f, old);
                continue;
            }
            memo_->release(old);
        }
        MemoRef ref{0, static_cast<std::uint32_t>(text.size()), 0};
        if (text.size() > static_cast<std::size_t>(f.leader)) ref = memo_->write(text);
        RecordCodec::putMemoTail(record.data(), f, ref);
    }
}

void TableFile::releaseMemos(const std::uint8_t* record) {
    for (const auto& f : codec_->fields())
        if (f.type == FieldType::Memo) memo_->release(RecordCodec::getMemoTail(record, f));
}

// Rows loaded in key order go after the last one: one comparison instead of
// a search.
std::size_t TableFile::insertPosition(const std::uint8_t* record) const {
    const std::size_t count = rows_.size();
    if (count > 0 && codec_->compareKeys(recordAt(count - 1), record, header_.keyFields) < 0)
        return count;
    return searchKey(record, header_.keyFields, false);
}

std::size_t TableFile::insert(const Row& given) {
    return change([&] {
        std::int32_t assigned = 0;
        Row numbered;  // a copy of the row only when it needs its counter value
        if (autoIncField_ >= 0 && given.size() == schema_.fields.size() &&
            given[autoIncField_].isNull()) {
            if (header_.autoInc == 2147483647)
                throw EDatabaseError("Table " + dbPath_ +
                                     ": the auto-increment counter is exhausted");
            assigned = header_.autoInc + 1;
            numbered = given;
            numbered[autoIncField_] = Value::integer(assigned);
        }
        const Row& row = numbered.empty() ? given : numbered;
        std::vector<std::string> memoTexts;
        std::vector<std::uint8_t> record = prepareRecord(row, memoTexts);
        std::size_t position = rows_.size();
        if (header_.keyFields > 0) {
            position = insertPosition(record.data());
            if (position < rows_.size() &&
                codec_->compareKeys(recordAt(position), record.data(), header_.keyFields) == 0)
                keyViolation(row);
        }
        mutating_ = true;
        storeMemos(record, memoTexts, nullptr);
        placeRecord(position, record);
        if (assigned) header_.autoInc = assigned;
        if (autoIncField_ >= 0 && row[autoIncField_].isInt())
            header_.autoInc = std::max<std::int32_t>(
                header_.autoInc, static_cast<std::int32_t>(row[autoIncField_].asInt()));
        rows_.insert(position, Row());  // decoded when first read, as after an open
        return position;
    });
}

std::size_t TableFile::update(std::size_t position, Row row) {
    checkPosition(position);
    return change([&] {
        // The auto-increment value is the row's identity: blank keeps it.
        if (autoIncField_ >= 0 && row.size() == schema_.fields.size() &&
            row[autoIncField_].isNull())
            row[autoIncField_] = this->row(position)[autoIncField_];
        std::vector<std::string> memoTexts;
        std::vector<std::uint8_t> record = prepareRecord(row, memoTexts);
        const std::vector<std::uint8_t> old(recordAt(position),
                                            recordAt(position) + header_.recordSize);
        const bool keyChanged =
            header_.keyFields > 0 && std::memcmp(old.data(), record.data(), codec_->keySize()) != 0;
        std::size_t target = position;
        if (keyChanged) {
            target = searchKey(record.data(), header_.keyFields, false);
            if (target < rows_.size() && target != position &&
                codec_->compareKeys(recordAt(target), record.data(), header_.keyFields) == 0)
                keyViolation(row);
        }
        mutating_ = true;
        storeMemos(record, memoTexts, old.data());
        Row decoded;
        codec_->decode(record.data(), memo_.get(), decoded);
        if (!keyChanged) {
            db_->store(recordOffset(position), record.data(), record.size());
            rows_.at(position) = std::move(decoded);
            return position;
        }
        removeRecord(position);
        rows_.erase(position);
        target = searchKey(record.data(), header_.keyFields, false);
        placeRecord(target, record);
        rows_.insert(target, std::move(decoded));
        if (autoIncField_ >= 0 && row[autoIncField_].isInt())
            header_.autoInc = std::max<std::int32_t>(
                header_.autoInc, static_cast<std::int32_t>(row[autoIncField_].asInt()));
        return target;
    });
}

void TableFile::erase(std::size_t position) {
    checkPosition(position);
    change([&] {
        mutating_ = true;
        releaseMemos(recordAt(position));
        removeRecord(position);
        rows_.erase(position);
        return 0;
    });
}

void TableFile::commit() {
    if (index_ && indexStale_) index_->rebuild(blocks_, *db_, header_);
    indexStale_ = false;
    storeCounters(*db_, header_, FileKind::Data);
    const bool pending = db_->hasPendingChanges() || (px_ && px_->hasPendingChanges()) ||
                         (mb_ && mb_->hasPendingChanges());
    if (!pending) return;
    requireFilesUnchangedElsewhere();
    journal_.record({db_.get(), px_.get(), mb_.get()});
    // Taken while the changed blocks are sure to be in memory.
    std::vector<std::uint8_t> firstKeys = pendingFirstKeys();
    try {
        db_->writePending();
        expectChain(std::move(firstKeys));
        if (px_) px_->writePending();
        if (mb_) mb_->writePending();
    } catch (...) {
        // Put back what can be put back; the journal undoes the rest when the
        // table is opened again, and until then it takes no more changes.
        db_->restoreFileFromOriginals();
        if (px_) px_->restoreFileFromOriginals();
        if (mb_) mb_->restoreFileFromOriginals();
        broken_ = true;
        throw;
    }
    unsaved_ = true;
    if (changeObserver()) changeObserver()(dbPath_);
}

void TableFile::saveChanges() {
    if (!writable_ || broken_) return;
    if (batchDepth_ > 0) {  // commits the batch so far
        try {
            commit();
        } catch (...) {
            abandonPending();
            throw;
        }
    }
    if (!unsaved_) return;
    startWriteback();
    db_->syncIfWritten();
    if (px_) px_->syncIfWritten();
    if (mb_) mb_->syncIfWritten();
    journal_.reset();
    unsaved_ = false;
}

// Asks the system to start writing the files' changed pages to the disk
// without waiting, so that the three files travel together and a batch's
// tens of megabytes are under way while the caller goes on; the syncs of
// saveChanges() still wait for them.  A hint: its failure changes nothing.
void TableFile::startWriteback() const {
    for (const PagedFile* f : {db_.get(), px_.get(), mb_.get()})
        if (f) ::sync_file_range(f->handle().fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void TableFile::beginBatch() {
    requireWritable();
    ++batchDepth_;
}

void TableFile::commitBatch() {
    if (batchDepth_ == 0) return;
    if (--batchDepth_ > 0) return;
    try {
        commit();
    } catch (...) {
        abandonPending();
        throw;
    }
    startWriteback();
}

}  // namespace paradox
