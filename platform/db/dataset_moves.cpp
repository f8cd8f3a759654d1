// TDataSet: moving the cursor, counting rows, the filter, and reading other
// rows for grids.
#include <QVariant>

#include "platform/base/exception.h"
#include "platform/db/dataset.h"
#include "platform/db/filter.h"

namespace {

void raise(const TDataSet::TDataSetNotifyEvent& event, TDataSet* dataSet) {
    if (event) event(dataSet);
}

}  // namespace

void TDataSet::BeginScroll() {
    checkActive();
    CheckBrowseMode();
    raise(BeforeScroll, this);
}

void TDataSet::EndScroll() {
    bof_ = eof_ = false;
    calculateFields();
    DataEvent(TDataEvent::deDataSetScroll);
    raise(AfterScroll, this);
}

void TDataSet::RestartAtFirst() {
    if (!Active()) return;
    bool hasRow = InternalFirst();
    bof_ = true;
    eof_ = !hasRow;
    calculateFields();
    DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::First() {
    BeginScroll();
    bool hasRow = InternalFirst();
    calculateFields();
    bof_ = true;
    eof_ = !hasRow;
    DataEvent(TDataEvent::deDataSetChange);
    raise(AfterScroll, this);
}

void TDataSet::Last() {
    BeginScroll();
    bool hasRow = InternalLast();
    calculateFields();
    eof_ = true;
    bof_ = !hasRow;
    DataEvent(TDataEvent::deDataSetChange);
    raise(AfterScroll, this);
}

void TDataSet::afterMove(bool moved, bool forward) {
    if (moved) {
        EndScroll();
        return;
    }
    (forward ? eof_ : bof_) = true;
    raise(AfterScroll, this);
}

void TDataSet::Next() {
    BeginScroll();
    afterMove(InternalNext(), true);
}

void TDataSet::Prior() {
    BeginScroll();
    afterMove(InternalPrior(), false);
}

int TDataSet::MoveBy(int distance) {
    BeginScroll();
    int moved = 0;
    bool forward = distance > 0;
    while (moved < std::abs(distance) && (forward ? InternalNext() : InternalPrior())) ++moved;
    if (moved == 0 && distance != 0) {
        afterMove(false, forward);
        return 0;
    }
    if (moved < std::abs(distance)) {
        calculateFields();
        bof_ = !forward;
        eof_ = forward;
        DataEvent(TDataEvent::deDataSetScroll);
        raise(AfterScroll, this);
    } else {
        EndScroll();
    }
    return forward ? moved : -moved;
}

bool TDataSet::IsEmpty() const {
    if (!Active()) return true;
    if (state_ == TDataSetState::dsInsert) return false;
    return InternalCurrentRow() == nullptr;
}

int TDataSet::RecNo() const { return Active() ? InternalRecNo() : 0; }

void TDataSet::SetRecNo(int recNo) {
    BeginScroll();
    if (InternalSetRecNo(recNo)) {
        EndScroll();
    } else {
        raise(AfterScroll, this);
    }
}

int TDataSet::RecordCount() const { return Active() ? InternalRecordCount() : 0; }

// --- filter ----------------------------------------------------------------------

bool TDataSet::FilterAccepts(const paradox::Row& row) const {
    return !filtered_ || !filter_ || filter_->Accepts(row);
}

void TDataSet::SetFilter(const QString& expression) {
    std::unique_ptr<TFilterExpression> compiled;
    if (dataFieldCount_ > 0) {
        std::vector<TFilterField> columns;
        for (int i = 0; i < dataFieldCount_; ++i)
            columns.push_back({fields_[i]->FieldName(), fields_[i]->DataType(), i});
        compiled = TFilterExpression::Parse(expression, columns);
    }
    if (Active()) CheckBrowseMode();
    filterText_ = expression;
    filter_ = std::move(compiled);
    if (Active() && filtered_) {
        InternalFilterChanged();
        RestartAtFirst();
    }
}

void TDataSet::SetFiltered(bool filtered) {
    if (filtered == filtered_) return;
    if (Active()) CheckBrowseMode();
    filtered_ = filtered;
    if (Active()) {
        InternalFilterChanged();
        RestartAtFirst();
    }
}

// --- other rows --------------------------------------------------------------------

QVariant TDataSet::peek(int recNo, const TField* field, bool display) {
    auto read = [&] { return display ? QVariant(field->DisplayText()) : field->AsVariant(); };
    if (!Active()) return QVariant();
    // The row being edited answers from its edit buffer.  A row being
    // inserted is not stored yet: the stored row under the cursor is read
    // like any other, or it would show the new row's values.
    const bool current = recNo == RecNo() && state_ != TDataSetState::dsInsert;
    if (current && (buffered_ || InternalCurrentRow())) return read();
    const paradox::Row* row = InternalRowAt(recNo);
    if (!row) return QVariant();
    const paradox::Row* savedPeek = peekRow_;
    std::vector<paradox::Value> savedCalc = calcBuffer_;
    bool savedBuffered = buffered_;
    peekRow_ = row;
    buffered_ = false;
    struct Back {
        TDataSet* self;
        const paradox::Row* peek;
        std::vector<paradox::Value>& calc;
        std::vector<paradox::Value> saved;
        bool buffered;
        ~Back() {
            self->peekRow_ = peek;
            self->buffered_ = buffered;
            calc = std::move(saved);
        }
    } back{this, savedPeek, calcBuffer_, std::move(savedCalc), savedBuffered};
    if (field->Calculated()) calculateFields();
    return read();
}

QVariant TDataSet::ValueAt(int recNo, const TField* field) const {
    return const_cast<TDataSet*>(this)->peek(recNo, field, false);
}

QString TDataSet::DisplayTextAt(int recNo, const TField* field) const {
    return const_cast<TDataSet*>(this)->peek(recNo, field, true).toString();
}
