// TDataSet: the editing states and their notifications (order in dataset.h).
#include "platform/base/exception.h"
#include "platform/db/dataset.h"

namespace {

void raise(const TDataSet::TDataSetNotifyEvent& event, TDataSet* dataSet) {
    if (event) event(dataSet);
}

bool editing(TDataSetState state) {
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

}  // namespace

bool TDataSet::CanModify() const { return Active() && InternalCanModify(); }

void TDataSet::CheckBrowseMode() {
    checkActive();
    DataEvent(TDataEvent::deCheckBrowseMode);
    if (!editing(state_)) return;
    UpdateRecord();
    if (modified_) {
        Post();
    } else {
        Cancel();
    }
}

void TDataSet::UpdateRecord() {
    if (editing(state_)) DataEvent(TDataEvent::deUpdateRecord);
}

void TDataSet::beginInsert() {
    checkActive();
    CheckBrowseMode();
    if (!CanModify()) DatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    raise(BeforeInsert, this);
    raise(BeforeScroll, this);
}

void TDataSet::finishInsert() {
    editBuffer_.assign(static_cast<std::size_t>(dataFieldCount_), paradox::Value());
    InternalInitRecord(editBuffer_);
    buffered_ = true;
    modified_ = false;
    bof_ = eof_ = false;
    setState(TDataSetState::dsInsert);
    raise(OnNewRecord, this);
    modified_ = false;
    calculateFields();
    DataEvent(TDataEvent::deDataSetChange);
    raise(AfterInsert, this);
    raise(AfterScroll, this);
}

// Rows of a keyed table take their place by key when posted, so inserting
// and appending differ only in the notifications' names.
void TDataSet::Insert() {
    beginInsert();
    finishInsert();
}

void TDataSet::Append() {
    beginInsert();
    finishInsert();
}

void TDataSet::Edit() {
    checkActive();
    if (editing(state_)) return;
    if (IsEmpty()) return Insert();
    CheckBrowseMode();
    if (!CanModify()) DatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    raise(BeforeEdit, this);
    const paradox::Row* row = InternalCurrentRow();
    if (!row) return Insert();  // the handler emptied the dataset
    InternalEdit();
    editBuffer_ = *row;
    buffered_ = true;
    modified_ = false;
    setState(TDataSetState::dsEdit);
    calculateFields();
    DataEvent(TDataEvent::deRecordChange);
    raise(AfterEdit, this);
}

// A write the engine refuses propagates before anything changes here, so the
// dataset stays in edit or insert state with the typed values.
void TDataSet::Post() {
    checkActive();
    UpdateRecord();
    if (!editing(state_)) return;
    DataEvent(TDataEvent::deCheckBrowseMode);
    raise(BeforePost, this);
    if (!editing(state_)) return;  // the handler cancelled
    InternalPost(editBuffer_, state_ == TDataSetState::dsInsert);
    clearEditBuffer();
    setState(TDataSetState::dsBrowse);
    bof_ = eof_ = InternalCurrentRow() == nullptr;
    calculateFields();
    DataEvent(TDataEvent::deDataSetChange);
    raise(AfterPost, this);
}

void TDataSet::Cancel() {
    checkActive();
    if (!editing(state_)) return;
    DataEvent(TDataEvent::deCheckBrowseMode);
    raise(BeforeCancel, this);
    if (!editing(state_)) return;
    clearEditBuffer();
    setState(TDataSetState::dsBrowse);
    bof_ = eof_ = InternalCurrentRow() == nullptr;
    calculateFields();
    DataEvent(TDataEvent::deDataSetChange);
    raise(AfterCancel, this);
}

void TDataSet::Delete() {
    checkActive();
    if (state_ == TDataSetState::dsInsert) return Cancel();
    if (!InternalCurrentRow())
        DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (!CanModify()) DatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    DataEvent(TDataEvent::deCheckBrowseMode);
    raise(BeforeDelete, this);
    raise(BeforeScroll, this);
    if (!InternalCurrentRow())
        DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    InternalDelete();
    clearEditBuffer();
    setState(TDataSetState::dsBrowse);
    bof_ = eof_ = InternalCurrentRow() == nullptr;
    calculateFields();
    DataEvent(TDataEvent::deDataSetChange);
    raise(AfterDelete, this);
    raise(AfterScroll, this);
}

void TDataSet::Refresh() {
    checkActive();
    CheckBrowseMode();
    InternalRefresh();
    bof_ = eof_ = InternalCurrentRow() == nullptr;
    calculateFields();
    DataEvent(TDataEvent::deDataSetChange);
}
