#pragma once
// TDataSource connects a dataset to the things that show or follow it:
// data-aware controls (through Qt signals, or a TDataLink) and detail
// datasets (through their master link).  A window assigns OnDataChange,
// OnStateChange and OnUpdateData as handlers.

#include <QObject>
#include <functional>
#include <vector>

#include "platform/db/dataset.h"

class TDataSource;

// One listener of a data source.  Controls and master links derive from it.
class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return source_; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    bool Active() const;
    // True for links that must follow even while the dataset's controls are
    // disabled (master-detail links).
    virtual bool FollowsWhenDisabled() const { return false; }

    virtual void ActiveChanged() {}
    virtual void StateChanged() {}
    // field is null when the whole record changed.
    virtual void RecordChanged(TField* field) { (void)field; }
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled() { DataSetChanged(); }
    virtual void UpdateData() {}
    virtual void CheckBrowseMode() {}

private:
    friend class TDataSource;
    TDataSource* source_ = nullptr;
};

class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* parent = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* dataSet);
    TDataSetState State() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Puts the dataset into edit state when it is browsing (controls call
    // this before the first keystroke changes a field).
    void Edit();

    // Handlers, each given this data source; field is null when the whole
    // record changed.
    std::function<void(TDataSource*, TField*)> OnDataChange;
    std::function<void(TDataSource*)> OnStateChange;
    std::function<void(TDataSource*)> OnUpdateData;

    // Called by the dataset.
    void NotifyDataEvent(TDataEvent event, TField* field, bool controlsDisabled);
    void DataSetDestroyed();

signals:
    void dataChanged(TField* field);
    void stateChanged();
    void updateData();
    void activeChanged();

private:
    friend class TDataLink;
    void addLink(TDataLink* link);
    void removeLink(TDataLink* link);

    TDataSet* dataSet_ = nullptr;
    bool enabled_ = true;
    std::vector<TDataLink*> links_;
};
