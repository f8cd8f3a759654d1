#pragma once
// TFieldDataLink: the bond between one data-aware control and one field of
// the dataset behind a data source.  The control hands over three callbacks
// (show the field, write pending text into the field, editing state changed)
// and asks the link to start an edit before the first keystroke changes
// anything, so the dataset's before-edit rules run before the change.

#include <QString>
#include <Qt>
#include <functional>

#include "platform/db/datasource.h"

class QWidget;

class TFieldDataLink : public TDataLink {
public:
    TFieldDataLink() = default;

    const QString& FieldName() const { return fieldName_; }
    void SetFieldName(const QString& name);
    // The field in the open dataset, null when inactive or not found.
    TField* Field() const { return field_; }

    // True while the dataset is in edit or insert state.
    bool Editing() const;
    bool CanModify() const;
    // Puts the dataset into edit state when it is browsing; true when the
    // control may now change the field.
    bool Edit();
    // The control's text differs from the field (written at UpdateData).
    bool IsModified() const { return modified_; }
    void Modified() { modified_ = true; }
    // Writes the control's pending text into the field now.
    void UpdateRecord();
    // Shows the field again, dropping the pending text.
    void Reset();
    // Writes the pending text as the control loses the focus.  Losing it to a
    // pop-up menu or to another window (a message box among them) writes
    // nothing: the control still holds its window's focus.  Text the field
    // refuses is reported once and the focus goes back to the control, the
    // text kept for the user to correct.  False when the text was refused.
    bool UpdateOnFocusOut(QWidget& control, Qt::FocusReason reason);

    std::function<void()> OnDataChange;     // show the field's value
    std::function<void()> OnUpdateData;     // write the control's value
    std::function<void()> OnEditingChange;  // Editing() changed

    void ActiveChanged() override;
    void StateChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void bindField();

    QString fieldName_;
    TField* field_ = nullptr;
    bool modified_ = false;
    bool editing_ = false;
};
