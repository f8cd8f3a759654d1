// TTable's cursor: the visible rows are the engine rows in [range_.begin,
// range_.end) that pass the filter.  The range is the whole table, or the
// rows of the master's key when linked.  The current row is remembered by
// engine position and by key; when the engine's change counter moved (a
// change through any handle), the range is searched again and the row found
// again by its key.
#include "platform/base/exception.h"
#include "platform/db/table.h"

std::vector<paradox::Value> TTable::keyOf(const paradox::Row& row) const {
    int count = table_->schema().keyFieldCount;
    return std::vector<paradox::Value>(row.begin(), row.begin() + count);
}

void TTable::computeRange() const {
    if (!linked_) {
        range_ = {0, table_->rowCount()};
        return;
    }
    for (const paradox::Value& value : linkValues_) {
        if (value.isNull()) {  // a master row without its key has no details
            range_ = {0, 0};
            return;
        }
    }
    range_ = {table_->lowerBound(linkValues_), table_->upperBound(linkValues_)};
}

void TTable::sync() const {
    if (!table_) return;
    std::uint64_t change = table_->changeCount();
    if (change == seenChange_) return;
    seenChange_ = change;
    countCache_ = -1;
    computeRange();
    if (!hasRow_) return;
    std::size_t position = position_;
    if (!currentKey_.empty()) position = table_->lowerBound(currentKey_);
    settleOn(position);
}

bool TTable::visible(std::size_t position) const {
    return position >= range_.begin && position < range_.end &&
           FilterAccepts(table_->row(position));
}

// The key is copied into the same vector each time (no allocation once its
// strings have grown to size), since every step of a walk lands here.
void TTable::setPosition(std::size_t position) const {
    position_ = position;
    hasRow_ = true;
    const std::size_t count = static_cast<std::size_t>(table_->schema().keyFieldCount);
    const paradox::Row& row = table_->row(position);
    currentKey_.resize(count);
    for (std::size_t i = 0; i < count; ++i) currentKey_[i] = row[i];
}

bool TTable::seekForward(std::size_t from) const {
    for (std::size_t p = std::max(from, range_.begin); p < range_.end; ++p) {
        if (FilterAccepts(table_->row(p))) {
            setPosition(p);
            return true;
        }
    }
    return false;
}

bool TTable::seekBackward(std::size_t from) const {
    if (range_.end == 0) return false;
    std::size_t p = std::min(from, range_.end - 1);
    for (;; --p) {
        if (p < range_.begin) return false;
        if (FilterAccepts(table_->row(p))) {
            setPosition(p);
            return true;
        }
        if (p == 0) return false;
    }
}

// The row at `position` if visible, else the next visible one, else the
// prior one, else none.
void TTable::settleOn(std::size_t position) const {
    if (seekForward(position)) return;
    if (position > 0 && seekBackward(position - 1)) return;
    hasRow_ = false;
}

bool TTable::InternalFirst() {
    sync();
    if (seekForward(range_.begin)) return true;
    hasRow_ = false;
    return false;
}

bool TTable::InternalLast() {
    sync();
    if (range_.end > range_.begin && seekBackward(range_.end - 1)) return true;
    hasRow_ = false;
    return false;
}

bool TTable::InternalNext() {
    sync();
    return hasRow_ && seekForward(position_ + 1);
}

bool TTable::InternalPrior() {
    sync();
    return hasRow_ && position_ > 0 && seekBackward(position_ - 1);
}

const paradox::Row* TTable::InternalCurrentRow() const {
    sync();
    return hasRow_ ? &table_->row(position_) : nullptr;
}

int TTable::InternalRecNo() const {
    sync();
    if (!hasRow_) return 0;
    if (!HasActiveFilter()) return static_cast<int>(position_ - range_.begin) + 1;
    int number = 0;
    for (std::size_t p = range_.begin; p <= position_; ++p)
        if (FilterAccepts(table_->row(p))) ++number;
    return number;
}

int TTable::InternalRecordCount() const {
    sync();
    if (countCache_ >= 0) return countCache_;
    if (!HasActiveFilter()) {
        countCache_ = static_cast<int>(range_.end - range_.begin);
    } else {
        int count = 0;
        for (std::size_t p = range_.begin; p < range_.end; ++p)
            if (FilterAccepts(table_->row(p))) ++count;
        countCache_ = count;
    }
    return countCache_;
}

const paradox::Row* TTable::InternalRowAt(int recNo) const {
    sync();
    if (recNo < 1) return nullptr;
    if (!HasActiveFilter()) {
        std::size_t p = range_.begin + static_cast<std::size_t>(recNo - 1);
        return p < range_.end ? &table_->row(p) : nullptr;
    }
    int number = 0;
    for (std::size_t p = range_.begin; p < range_.end; ++p)
        if (FilterAccepts(table_->row(p)) && ++number == recNo) return &table_->row(p);
    return nullptr;
}

bool TTable::InternalSetRecNo(int recNo) {
    sync();
    if (recNo < 1) return false;
    if (!HasActiveFilter()) {
        std::size_t p = range_.begin + static_cast<std::size_t>(recNo - 1);
        if (p >= range_.end) return false;
        setPosition(p);
        return true;
    }
    int number = 0;
    for (std::size_t p = range_.begin; p < range_.end; ++p) {
        if (FilterAccepts(table_->row(p)) && ++number == recNo) {
            setPosition(p);
            return true;
        }
    }
    return false;
}

void TTable::InternalInitRecord(paradox::Row& row) {
    if (!linked_) return;
    for (std::size_t i = 0; i < linkValues_.size() && i < row.size(); ++i) row[i] = linkValues_[i];
}

void TTable::InternalEdit() {
    sync();
    editKey_ = hasRow_ ? keyOf(table_->row(position_)) : std::vector<paradox::Value>{};
}

// After a change made here, the cursor settles on the written row (or, when
// that row is no longer visible, its nearest visible neighbour).
void TTable::InternalPost(const paradox::Row& row, bool inserting) {
    sync();
    std::size_t position;
    if (inserting) {
        position = table_->insert(row);
    } else {
        if (!hasRow_ ||
            (table_->schema().keyFieldCount > 0 && keyOf(table_->row(position_)) != editKey_))
            DatabaseError(QStringLiteral("The row being edited was deleted or changed elsewhere"));
        position = table_->update(position_, row);
    }
    seenChange_ = table_->changeCount();
    countCache_ = -1;
    computeRange();
    settleOn(position);
}

void TTable::InternalDelete() {
    sync();
    std::size_t position = position_;
    table_->erase(position);
    seenChange_ = table_->changeCount();
    countCache_ = -1;
    computeRange();
    settleOn(position);
}

void TTable::InternalRefresh() {
    seenChange_ = ~table_->changeCount();
    sync();
}

void TTable::InternalFilterChanged() { countCache_ = -1; }
