#pragma once
// TDataSet: a cursor over rows with states (browse, edit, insert), typed
// fields, a filter, and the before/after notifications callers hook into.
//
// The state machine and the order of notifications live here; where the
// rows come from (and which of them are visible) is left to the subclass
// (TTable) through the Internal* members.
//
// Order of notifications, as callers rely on it:
//   Insert/Append: BeforeInsert, BeforeScroll, state -> insert, OnNewRecord,
//                  data change, AfterInsert, AfterScroll
//   Edit:          BeforeEdit, state -> edit, data change, AfterEdit
//                  (Edit of an empty dataset is an Insert)
//   Post:          update record, BeforePost, write, state -> browse,
//                  data change, AfterPost   (nothing in browse state)
//   Cancel:        BeforeCancel, state -> browse, data change, AfterCancel
//   Delete:        BeforeDelete, BeforeScroll, remove, state -> browse,
//                  data change, AfterDelete, AfterScroll
//   Moves:         return to browse, BeforeScroll, move, data change,
//                  AfterScroll
// OnCalcFields runs whenever a row becomes current and after every change of
// a field of the row being edited.  A write the engine refuses raises its
// EDatabaseError and leaves the dataset in edit or insert state with the
// typed values intact.  Handlers may re-enter other datasets freely, and this
// one too outside of its own post and delete.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/db/field.h"
#include "platform/paradox/table.h"

class TDataSource;
class TFilterExpression;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

// What a dataset tells its data sources.
enum class TDataEvent {
    deFieldChange,      // one field of the current row changed (field given)
    deRecordChange,     // the current row changed as a whole (edit began)
    deDataSetChange,    // the rows changed (post, cancel, delete, refresh)
    deDataSetScroll,    // another row became current
    deUpdateRecord,     // controls: write pending text into the fields
    deUpdateState,      // the state changed
    deCheckBrowseMode,  // the dataset is about to leave its current row
    deActiveChange,     // opened or closed
};

class TDataSet {
public:
    using TDataSetNotifyEvent = std::function<void(TDataSet*)>;

    TDataSet();
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    // --- opening -----------------------------------------------------------
    void Open();
    void Close();
    bool Active() const { return state_ != TDataSetState::dsInactive; }
    void SetActive(bool active) { active ? Open() : Close(); }
    TDataSetState State() const { return state_; }
    QString Name() const { return name_; }
    void SetName(const QString& name) { name_ = name; }

    // --- fields ------------------------------------------------------------
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Fields(int index) const { return fields_.at(index).get(); }
    TField* FindField(const QString& name) const;    // case-insensitive; null if none
    TField* FieldByName(const QString& name) const;  // raises EDatabaseError if none
    // Declares a calculated field (before Open); its value is set by
    // OnCalcFields.  Calculated fields survive Close and Open.
    TField* AddCalcField(const QString& name, TFieldType type, int size = 0);

    // --- moving ------------------------------------------------------------
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);  // returns the distance actually moved
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool IsEmpty() const;
    // 1-based number of the current row among the visible rows (0 if none).
    int RecNo() const;
    void SetRecNo(int recNo);
    // Number of visible rows (filter and master link applied).
    int RecordCount() const;

    // --- editing -----------------------------------------------------------
    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void Refresh();
    // Leaves edit or insert state: posts a modified row, cancels another.
    void CheckBrowseMode();
    // Asks the controls to write their pending text into the fields.
    void UpdateRecord();
    bool Modified() const { return modified_; }
    bool CanModify() const;

    // --- filter ------------------------------------------------------------
    const QString& Filter() const { return filterText_; }
    // Parses the expression at once: an invalid one raises EDatabaseError and
    // the previous filter stays.  On an open, filtered dataset the first
    // visible row becomes current.
    void SetFilter(const QString& expression);
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool filtered);

    // --- controls ----------------------------------------------------------
    // While disabled, data sources hear nothing (detail links still follow).
    void DisableControls() { ++disableCount_; }
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // Values of another visible row without moving the cursor (grids).
    // Calculated fields are computed for that row.  Blank when out of range.
    QVariant ValueAt(int recNo, const TField* field) const;
    QString DisplayTextAt(int recNo, const TField* field) const;

    // --- notifications -----------------------------------------------------
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;

    // --- for TField and TDataSource ----------------------------------------
    const paradox::Value& FieldValue(const TField* field) const;
    void SetFieldValue(TField* field, paradox::Value value);
    void AttachDataSource(TDataSource* source);
    void DetachDataSource(TDataSource* source);

protected:
    // A subclass opens its rows and returns their columns; the dataset
    // builds (or keeps, when unchanged) its data fields from them.
    virtual paradox::TableSchema InternalOpen() = 0;
    virtual void InternalClose() = 0;
    // Cursor moves among the visible rows; false when there is no such row.
    virtual bool InternalFirst() = 0;
    virtual bool InternalLast() = 0;
    virtual bool InternalNext() = 0;
    virtual bool InternalPrior() = 0;
    // The current visible row, or null when there is none.
    virtual const paradox::Row* InternalCurrentRow() const = 0;
    virtual const paradox::Row* InternalRowAt(int recNo) const = 0;
    virtual int InternalRecNo() const = 0;
    virtual bool InternalSetRecNo(int recNo) = 0;
    virtual int InternalRecordCount() const = 0;
    // Fills a new row's defaults (e.g. a detail's link fields).
    virtual void InternalInitRecord(paradox::Row& row) = 0;
    // The current row is about to be edited.
    virtual void InternalEdit() = 0;
    // Stores the edit buffer; the written row becomes current.
    virtual void InternalPost(const paradox::Row& row, bool inserting) = 0;
    // Removes the current row; the next visible one (else the prior) becomes
    // current.
    virtual void InternalDelete() = 0;
    virtual void InternalRefresh() = 0;
    virtual bool InternalCanModify() const = 0;
    // The filter in force changed (or was switched on or off).
    virtual void InternalFilterChanged() = 0;

    // Whether a row passes the filter in force (true when unfiltered).
    bool FilterAccepts(const paradox::Row& row) const;
    bool HasActiveFilter() const { return filtered_ && filter_ != nullptr; }
    void DataEvent(TDataEvent event, TField* field = nullptr);
    // A move decided by the subclass (key search): BeginScroll returns to
    // browse state and raises BeforeScroll; EndScroll reads the new row and
    // tells the data sources.
    void BeginScroll();
    void EndScroll();
    // The visible rows changed from outside (a master move): the first of
    // them becomes current.
    void RestartAtFirst();
    [[noreturn]] void DatabaseError(const QString& message) const;

private:
    void buildFields(const paradox::TableSchema& schema);
    void setState(TDataSetState state);
    void calculateFields();
    void afterMove(bool moved, bool forward);
    void beginInsert();
    void finishInsert();
    void checkActive() const;
    void clearEditBuffer();
    QVariant peek(int recNo, const TField* field, bool display);

    QString name_;
    TDataSetState state_ = TDataSetState::dsInactive;
    std::vector<std::unique_ptr<TField>> fields_;
    int dataFieldCount_ = 0;
    paradox::Row editBuffer_;
    std::vector<paradox::Value> calcBuffer_;
    const paradox::Row* peekRow_ = nullptr;  // row read by ValueAt
    bool buffered_ = false;                  // fields read editBuffer_
    bool eof_ = true;
    bool bof_ = true;
    bool modified_ = false;
    bool calculating_ = false;
    int disableCount_ = 0;
    QString filterText_;
    bool filtered_ = false;
    std::unique_ptr<TFilterExpression> filter_;
    std::vector<TDataSource*> sources_;
};
