// TComicForm: the rules of the books table.  A new book starts at grade 100
// with nothing owned; its issue number is stored right-aligned; every post
// and deletion of a book moves the series' OWNED by the change in quantity;
// the grade slider and the record follow each other; the graded value and
// the profitability are computed for every row read.  A book's extras
// follow its key: stored before the book at a post, moved with a changed
// key, deleted after the book.
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>

#include "collection/comic_form.h"
#include "collection/valuation.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "store/collection.h"

namespace {
constexpr long long kMostOwned = 32767;  // OWNED is a short integer
}

void TComicForm::attachBookRules() {
    TableBooks->BeforeInsert = [this](TDataSet*) { TableBooksBeforeInsert(); };
    TableBooks->AfterInsert = [this](TDataSet*) { TableBooksAfterInsert(); };
    TableBooks->BeforeEdit = [this](TDataSet*) { TableBooksBeforeEdit(); };
    TableBooks->BeforePost = [this](TDataSet*) { TableBooksBeforePost(); };
    TableBooks->AfterPost = [this](TDataSet*) { TableBooksAfterPost(); };
    TableBooks->BeforeCancel = [this](TDataSet*) { TableBooksBeforeCancel(); };
    TableBooks->AfterCancel = [this](TDataSet*) {
        TableSeriesAfterPost();
        ShowBookExtras();
    };
    TableBooks->BeforeDelete = [this](TDataSet*) { TableBooksBeforeDelete(); };
    TableBooks->AfterDelete = [this](TDataSet*) { TableBooksAfterDelete(); };
    TableBooks->OnCalcFields = [this](TDataSet*) { TableBooksCalcFields(); };
    DataBooks->OnDataChange = [this](TDataSource*, TField* field) {
        DataBooksDataChange();
        if (!field) ShowBookExtras();  // another book, or the same one stored or dropped
    };
}

// A book needs a stored series to belong to: a new series still being typed
// is posted first (its ENTRY is assigned then), and without any series there
// is nothing to add a book to.  The Description page comes to the front so
// the issue-number box can take the focus.
void TComicForm::TableBooksBeforeInsert() {
    if (TableSeries->State() == TDataSetState::dsInsert) TableSeries->Post();
    if (TableSeries->IsEmpty()) throw EDatabaseError("Add a series before adding books to it.");
    EnsureBookPage();
    PageControl2->setCurrentWidget(TabSheet3);
    TableSeriesBeforeInsert();
}

void TComicForm::TableBooksAfterInsert() {
    SavedQty = TableBooks->FieldByName("QTY")->AsInteger();
    SavedOwned = TableSeries->FieldByName("OWNED")->AsInteger();
    bookKeyBeforeEdit_.reset();
    TableBooks->FieldByName("ENTRY")->SetAsInteger(TableSeries->FieldByName("ENTRY")->AsInteger());
    TableBooks->FieldByName("PERC")->SetAsInteger(100);
    for (const char* flag : {"WANTED", "FORSALE", "AUTOGRAPH"})
        TableBooks->FieldByName(flag)->SetAsBoolean(false);
    for (const char* amount : {"QTY", "PAID", "LOW", "HIGH"})
        TableBooks->FieldByName(amount)->SetAsInteger(0);
    DBEditComicNo->setFocus();  // the page was built before the insert began
}

void TComicForm::TableBooksBeforeEdit() {
    bookKeyBeforeEdit_ = CurrentBookKey();
    SavedQty = TableBooks->FieldByName("QTY")->AsInteger();
    SavedOwned = TableSeries->FieldByName("OWNED")->AsInteger();
    TableSeriesBeforeInsert();
}

// The number typed in the issue-number box, right-aligned in 15 characters.
// The series' new owned count is checked first: a book stored with a count
// its series cannot hold would leave that count wrong for good.
void TComicForm::TableBooksBeforePost() {
    EnsureBookPage();
    refuseOwnedCountOutOfRange();
    TableBooks->FieldByName("COMIC_NO")->SetAsString(store::AlignComicNo(DBEditComicNo->text()));
    collectPageExtras();
    if (extras_) extras_->beforeBookPost(bookKeyBeforeEdit_, CurrentBookKey(), PendingExtras);
}

store::BookKey TComicForm::CurrentBookKey() const {
    return {TableBooks->FieldByName("ENTRY")->AsInteger(),
            TableBooks->FieldByName("COMIC_NO")->AsString(),
            TableBooks->FieldByName("EDITION")->AsString()};
}

void TComicForm::refuseOwnedCountOutOfRange() const {
    const long long owned =
        static_cast<long long>(TableBooks->FieldByName("QTY")->AsInteger()) + SavedOwned - SavedQty;
    if (owned >= -kMostOwned && owned <= kMostOwned) return;
    throw EDatabaseError(QStringLiteral("The series' count of books owned would become %1, "
                                        "outside the range it can hold (%2 to %3).  Correct "
                                        "the quantity.")
                             .arg(owned)
                             .arg(-kMostOwned)
                             .arg(kMostOwned)
                             .toStdString());
}

void TComicForm::TableBooksAfterPost() {
    if (extras_) extras_->afterBookPost(bookKeyBeforeEdit_, CurrentBookKey());
    PendingExtras = {};
    coverPageEdited_ = false;
    ShowBookExtras();
    NewOwned = TableBooks->FieldByName("QTY")->AsInteger() + SavedOwned - SavedQty;
    TableSeries->Edit();
    TableSeries->FieldByName("OWNED")->SetAsInteger(NewOwned);
    TableSeries->Post();
    if (BookPageShown()) DBGridBooks->setFocus();
    TableSeries->SaveChanges();
    TableBooks->SaveChanges();
}

void TComicForm::TableBooksBeforeCancel() {
    PendingExtras = {};
    coverPageEdited_ = false;
    if (BookPageShown()) DBGridBooks->setFocus();
}

void TComicForm::TableBooksAfterDelete() {
    if (extras_) extras_->afterBookDelete(deletedBookKey_);
    TableBooksBeforeCancel();
}

void TComicForm::TableBooksBeforeDelete() {
    deletedBookKey_ = CurrentBookKey();
    if (extras_) extras_->beforeBookDelete(deletedBookKey_);
    TField* owned = TableSeries->FieldByName("OWNED");
    const int remaining = owned->AsInteger() - TableBooks->FieldByName("QTY")->AsInteger();
    TableSeries->Edit();
    owned->SetAsInteger(remaining);
    TableSeries->Post();
}

void TComicForm::TableBooksCalcFields() {
    const double graded = valuation::gradedValue(TableBooks->FieldByName("HIGH")->AsFloat(),
                                                 TableBooks->FieldByName("PERC")->AsInteger());
    TableBooks->FieldByName("GradedValue")->SetAsFloat(graded);
    TableBooks->FieldByName("Profitability")
        ->SetAsFloat(valuation::profitability(graded, TableBooks->FieldByName("PAID")->AsFloat(),
                                              TableBooks->FieldByName("QTY")->AsInteger()));
    TableBooks->FieldByName("Grade")->SetAsString(gradeOfRow());
}

// The slider shows the grade of the current book; setting it here is not a
// user's move and starts no edit.
void TComicForm::DataBooksDataChange() {
    followGradeOfRecord();
    ShowSeriesRuns();  // a book stored or deleted changes them
}

void TComicForm::followGradeOfRecord() {
    if (!TrackBar1) return;  // the book page is not built yet
    const int perc = TableBooks->Active() ? TableBooks->FieldByName("PERC")->AsInteger() : 0;
    const int position = valuation::sliderPosition(perc);
    {
        const QSignalBlocker quiet(TrackBar1);
        TrackBar1->setValue(position);
    }
    showConditionWord(position);
}

void TComicForm::showConditionWord(int position) {
    if (position > 0) LabelCond->setText(valuation::conditionWord(position));
}

// A series without books has no grade to set: the slider goes back and
// nothing is inserted or stored.
void TComicForm::TrackBar1Change() {
    if (!TableBooks->Active()) return;
    // Read first: starting the edit makes the slider follow the stored grade.
    const int position = TrackBar1->value();
    const TDataSetState state = TableBooks->State();
    if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert) {
        if (TableBooks->IsEmpty()) {
            followGradeOfRecord();
            return;
        }
        TableBooks->Edit();
    }
    TableBooks->FieldByName("PERC")->SetAsInteger(valuation::kPercPerPosition * position);
    showConditionWord(position);
}
