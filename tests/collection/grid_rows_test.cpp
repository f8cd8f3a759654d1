// What the two grids show while the user adds rows between existing ones:
// the new row sits where it was inserted, and every other row keeps its own
// values, on the real window driven by mouse and keyboard.
#include <QAbstractItemModel>
#include <QApplication>
#include <QTest>

#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "tests/collection/collection_fixture.h"

namespace {

// The texts of one column, top to bottom, separated by '|'.
std::string column(const TDBGrid* grid, int col) {
    const QAbstractItemModel* model = grid->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->data(model->index(row, col)).toString().trimmed();
    return texts.join('|').toStdString();
}

void clickRow(TDBGrid* grid, int row) {
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}

// SANDMAN with issues 1, 2 and 3, issue 2 clicked on the book page and a
// new book added with Ctrl+A (Edit, Add).
class GridRowsTest : public CollectionWindowTest {
protected:
    void addBookBelowIssueOne() {
        const int entry = seedSeries("SANDMAN", "DC", 3);
        for (const char* number : {"1", "2", "3"}) seedBook(entry, number, 1);
        openWindow();
        showBookPage();
        clickRow(form->DBGridBooks, 1);
        ASSERT_EQ(form->DBEditComicNo->text().trimmed(), "2");
        QTest::keyClick(form->DBGridBooks, Qt::Key_A, Qt::ControlModifier);
    }
};

}  // namespace

TEST_F(GridRowsTest, RowBelowANewBookKeepsItsOwnValues) {
    addBookBelowIssueOne();
    ASSERT_EQ(form->TableBooks->State(), TDataSetState::dsInsert);
    EXPECT_EQ(column(form->DBGridBooks, 0), "1||2|3");
    // A box writes its text into the row when the focus leaves it.
    typeInto(form->DBEditComicNo, "7");
    typeInto(form->DBEditEdition, "b");
    typeInto(form->DBMemoTitle, "a title");
    EXPECT_EQ(column(form->DBGridBooks, 0), "1|7|2|3");
    EXPECT_EQ(column(form->DBGridBooks, 1), "|B||");
    EXPECT_EQ(form->DBGridBooks->currentIndex().row(), 1);
    save();
    // Posted, the book takes its place in issue order; a new book owns none.
    EXPECT_EQ(column(form->DBGridBooks, 0), "1|2|3|7");
    EXPECT_EQ(form->DBGridBooks->currentIndex().row(), 3);
    EXPECT_EQ(storedBooks().size(), 4u);
    EXPECT_EQ(storedOwned("SANDMAN"), 3);
}

TEST_F(CollectionWindowTest, RowBelowANewSeriesKeepsItsOwnValues) {
    seedSeries("ALPHA", "P", 0);
    seedSeries("BRAVO", "Q", 0);
    openWindow();
    clickRow(form->DBGridSeries, 1);
    ASSERT_EQ(form->DBEditSeries->text(), "BRAVO");
    QTest::keyClick(form->DBGridSeries, Qt::Key_A, Qt::ControlModifier);
    typeInto(form->DBEditSeries, "aardvark");
    typeInto(form->DBEditPublisher, "r");
    EXPECT_EQ(column(form->DBGridSeries, 0), "ALPHA|AARDVARK|BRAVO");
    EXPECT_EQ(column(form->DBGridSeries, 1), "P||Q");
    undo();
    EXPECT_EQ(column(form->DBGridSeries, 0), "ALPHA|BRAVO");
    EXPECT_EQ(form->DBEditSeries->text(), "BRAVO");
}

// Clicking another row while a new one is typed posts the new row first; it
// takes its place in issue order, and the row clicked is still the one that
// becomes current.
TEST_F(GridRowsTest, ClickingAnotherRowAfterANewBookLandsOnThatRow) {
    addBookBelowIssueOne();
    typeInto(form->DBEditComicNo, "0");  // sorts before every other issue
    typeInto(form->DBEditEdition, "a");
    clickRow(form->DBGridBooks, 2);  // the row showing issue 2
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(storedBooks().size(), 4u);
    EXPECT_EQ(column(form->DBGridBooks, 0), "0|1|2|3");
    EXPECT_EQ(form->DBEditComicNo->text().trimmed(), "2");
    EXPECT_EQ(form->DBGridBooks->currentIndex().row(), 2);
}

// The same after an edit that moves the row: a series renamed so that it
// sorts last, then a click on the row below it.
TEST_F(CollectionWindowTest, ClickingAnotherRowAfterARenamedSeriesLandsOnThatRow) {
    for (const char* name : {"ALPHA", "BRAVO", "CHARLIE", "DELTA"}) seedSeries(name, "P", 0);
    openWindow();
    clickRow(form->DBGridSeries, 0);
    typeInto(form->DBEditSeries, "zulu");
    typeInto(form->DBEditPublisher, "q");
    clickRow(form->DBGridSeries, 2);  // the row showing CHARLIE
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(column(form->DBGridSeries, 0), "BRAVO|CHARLIE|DELTA|ZULU");
    EXPECT_EQ(form->DBEditSeries->text(), "CHARLIE");
}
