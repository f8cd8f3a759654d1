#pragma once
// TDBGrid: a grid of the rows of the dataset behind a data source, one
// column per chosen field, with a row indicator.  The grid follows the
// dataset's current row and moves it when the user picks another row.
//
// The grid reads only the rows it paints: TDBGridModel answers each cell
// from the dataset's row at that number (TDataSet::ValueAt), so opening or
// scrolling a table of 100,000 rows costs the same as one of ten.  While a
// new row is being inserted it shows in the grid at the place it was
// inserted, with the values typed so far; the row being edited shows its
// edit buffer.
//
// Options kept from the classic grid: whole-row selection always shown,
// column and row lines, a row indicator, no in-grid editing.  Ctrl+Delete
// asks "Delete record?" and deletes the row on OK.  A new row left
// unchanged is dropped when the grid loses the focus.

#include <QAbstractTableModel>
#include <QTableView>
#include <vector>

#include "platform/db/datasource.h"

struct TColumn {
    QString FieldName;
    QString Title;  // empty: the field's name
    int Width = 64;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::Alignment TitleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
};

class TDBGridModel : public QAbstractTableModel, public TDataLink {
    Q_OBJECT

public:
    explicit TDBGridModel(QObject* parent = nullptr);
    ~TDBGridModel() override;

    void SetColumns(std::vector<TColumn> columns);
    const std::vector<TColumn>& Columns() const { return columns_; }

    // The grid row that stands for the dataset's current record (-1: none).
    int CurrentRow() const;
    // Moves the dataset to the record shown in a grid row.
    void MoveTo(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void ActiveChanged() override;
    void StateChanged() override;
    void RecordChanged(TField* field) override;
    void DataSetChanged() override;
    void DataSetScrolled() override;

signals:
    // The dataset's current row moved (to CurrentRow()).
    void currentRowChanged();

private:
    bool inserting() const;
    bool editing() const;
    // Dataset record number of a grid row (0 for the row being inserted).
    int recNoOf(int row) const;
    // The stored values of a record (calculated fields left out).
    std::vector<QVariant> storedValues(int recNo) const;
    // The record near recNo (at most one away) holding these values, else
    // recNo itself.
    int findNear(int recNo, const std::vector<QVariant>& values) const;
    QString cellText(int row, const TField* field) const;
    void rebind();
    void reset();
    void refreshCurrentRow();

    std::vector<TColumn> columns_;
    std::vector<TField*> fields_;  // per column, null when not found
    int rows_ = 0;                 // rows as last told to the view
    int insertRow_ = -1;           // grid row of the row being inserted
    int browseRecNo_ = 0;          // record number before the insert began
    int shownRow_ = -1;            // current row as last told to the view
};

class TDBGrid : public QTableView {
    Q_OBJECT

public:
    explicit TDBGrid(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return model_->DataSource(); }
    void SetDataSource(TDataSource* source);
    void SetColumns(std::vector<TColumn> columns);
    TDBGridModel* Model() const { return model_; }

signals:
    void dblClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void followDataSet();
    void applyColumnWidths();
    void deleteWithConfirmation();

    TDBGridModel* model_;
    bool following_ = false;
};
