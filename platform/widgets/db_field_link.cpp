#include "platform/widgets/db_field_link.h"

#include <QWidget>

#include "platform/widgets/application.h"

void TFieldDataLink::SetFieldName(const QString& name) {
    fieldName_ = name;
    bindField();
}

bool TFieldDataLink::Editing() const {
    const TDataSet* set = DataSet();
    if (!set || !Active()) return false;
    return set->State() == TDataSetState::dsEdit || set->State() == TDataSetState::dsInsert;
}

bool TFieldDataLink::CanModify() const {
    return field_ && !field_->Calculated() && !field_->ReadOnly() && DataSet()->CanModify();
}

bool TFieldDataLink::Edit() {
    if (!CanModify()) return false;
    if (!Editing()) DataSource()->Edit();
    return Editing();
}

void TFieldDataLink::UpdateRecord() {
    if (!modified_ || !field_) return;
    if (OnUpdateData) OnUpdateData();
    modified_ = false;
}

void TFieldDataLink::Reset() {
    modified_ = false;
    if (OnDataChange) OnDataChange();
}

bool TFieldDataLink::UpdateOnFocusOut(QWidget& control, Qt::FocusReason reason) {
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) return true;
    try {
        UpdateRecord();
        return true;
    } catch (const std::exception& error) {
        TApplication::ShowException(error);
        control.setFocus(Qt::OtherFocusReason);
        return false;
    }
}

void TFieldDataLink::ActiveChanged() {
    bindField();
    StateChanged();
}

void TFieldDataLink::StateChanged() {
    const bool editing = Editing();
    if (editing == editing_) return;
    editing_ = editing;
    if (!editing) modified_ = false;
    if (OnEditingChange) OnEditingChange();
}

void TFieldDataLink::RecordChanged(TField* field) {
    // Calculated fields follow every change of the row they are computed from.
    if (field && field != field_ && !(field_ && field_->Calculated())) return;
    // A whole-record change (scroll, post, cancel, edit begun) drops pending
    // text; a change of this field alone shows the new value.
    modified_ = false;
    if (OnDataChange) OnDataChange();
}

void TFieldDataLink::UpdateData() { UpdateRecord(); }

void TFieldDataLink::bindField() {
    TDataSet* set = DataSet();
    field_ = (set && Active() && !fieldName_.isEmpty()) ? set->FindField(fieldName_) : nullptr;
    modified_ = false;
    if (OnDataChange) OnDataChange();
}
