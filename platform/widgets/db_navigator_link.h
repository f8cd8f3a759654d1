#pragma once
// TNavigatorLink: connects a TDBNavigator to the dataset behind a data
// source.  It answers the navigator's questions (position, state) from the
// dataset, runs the buttons' actions on it, and tells the navigator of every
// change of position or state so the buttons enable themselves.

#include <QPointer>

#include "platform/db/datasource.h"
#include "platform/widgets/db_navigator.h"

class TNavigatorLink : public TNavigatorSource, public TDataLink {
public:
    explicit TNavigatorLink(TDBNavigator* navigator);
    ~TNavigatorLink() override;

    // Connects the navigator to `source` (null: disconnects it).
    void Connect(TDataSource* source);

    bool Active() const override;
    bool Bof() const override;
    bool Eof() const override;
    bool Editing() const override;
    bool CanModify() const override;

    void First() override;
    void Prior() override;
    void Next() override;
    void Last() override;
    void Insert() override;
    void Delete() override;
    void Edit() override;
    void Post() override;
    void Cancel() override;
    void Refresh() override;

    void ActiveChanged() override { notify(); }
    void StateChanged() override { notify(); }
    void RecordChanged(TField*) override { notify(); }
    void DataSetChanged() override { notify(); }
    void DataSetScrolled() override { notify(); }

private:
    void notify();
    TDataSet* set() const { return TDataLink::DataSet(); }

    QPointer<TDBNavigator> navigator_;
};
