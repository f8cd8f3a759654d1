// TComicForm: the rules of the series table.  New series start with every
// flag cleared and no books owned; every post and cancel is forced to disk;
// deleting a series first deletes its books one by one, each through the
// book rules, so the owned count follows them down to 0.
#include <QCoreApplication>
#include <QEventLoop>
#include <QScopedValueRollback>

#include "collection/comic_form.h"
#include "platform/widgets/cursor_guard.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"

void TComicForm::attachSeriesRules() {
    TableSeries->BeforeInsert = [this](TDataSet*) { TableSeriesBeforeInsert(); };
    TableSeries->BeforeEdit = [this](TDataSet*) { TableSeriesBeforeInsert(); };
    TableSeries->AfterInsert = [this](TDataSet*) { TableSeriesAfterInsert(); };
    TableSeries->AfterPost = [this](TDataSet*) { TableSeriesAfterPost(); };
    TableSeries->BeforeCancel = [this](TDataSet*) { TableSeriesBeforeCancel(); };
    TableSeries->AfterCancel = [this](TDataSet*) { TableSeriesAfterPost(); };
    TableSeries->BeforeDelete = [this](TDataSet*) { TableSeriesBeforeDelete(); };
    TableSeries->AfterDelete = [this](TDataSet*) { TableSeriesAfterDelete(); };
    DataSeries->OnDataChange = [this](TDataSource*, TField*) { DataSeriesDataChange(); };
}

void TComicForm::TableSeriesBeforeInsert() { SetEditCommands(true); }

void TComicForm::TableSeriesAfterInsert() {
    TableSeries->FieldByName("FAVORITE")->SetAsBoolean(false);
    TableSeries->FieldByName("WANTED")->SetAsBoolean(false);
    TableSeries->FieldByName("FORSALE")->SetAsBoolean(false);
    TableSeries->FieldByName("OWNED")->SetAsInteger(0);
    DBEditSeries->setFocus();
}

// Also the books table's after-cancel handler.
void TComicForm::TableSeriesAfterPost() {
    SetEditCommands(false);
    // A book dropped while the window closes finds the series table closed.
    if (TableSeries->Active()) TableSeries->SaveChanges();
    if (SeriesPageShown()) DBGridSeries->setFocus();
}

void TComicForm::TableSeriesBeforeCancel() {
    if (SeriesPageShown()) DBGridSeries->setFocus();
}

// The books go one by one, each through TableBooksBeforeDelete, which takes
// its quantity off OWNED.  The books table is started from its first row, so
// a cursor left past the end cannot leave books behind.  Pending window
// messages are processed between books so the window keeps repainting; the
// user's input waits until the cascade is over, and commands or a close that
// reach the window meanwhile are refused, so nothing runs inside it.  The
// hourglass is set back however the cascade ends: a refused deletion stops
// it, keeps the series row and reaches the top-level handler.
void TComicForm::TableSeriesBeforeDelete() {
    const TCursorGuard hourglass;
    const QScopedValueRollback busy(cascading_, true);
    TableBooks->First();
    while (!TableBooks->IsEmpty()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        TableBooks->Delete();
    }
}

// The cursor guard of the cascade has already set the cursor back.
void TComicForm::TableSeriesAfterDelete() {}

void TComicForm::DataSeriesDataChange() {
    if (!TableSeries->Active()) return;
    CurrentEntry = TableSeries->FieldByName("ENTRY")->AsInteger();
    CurrentSeries = TableSeries->FieldByName("SERIES")->AsString();
    CurrentPublisher = TableSeries->FieldByName("PUBLISHER")->AsString();
    ShowSeriesRuns();
}
