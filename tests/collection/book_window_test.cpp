// The book page: new books, issue numbers, owned counts through add, edit
// and delete, the grade slider and the valuation, all through the window.
#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include "collection/valuation.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_memo.h"
#include "platform/widgets/group_box.h"
#include "store/collection.h"
#include "tests/collection/collection_fixture.h"

namespace {

QString padded(int spaces, const char* digits) { return QString(spaces, ' ') + digits; }

}  // namespace

TEST_F(CollectionWindowTest, NewBookAddsItsQuantityToTheSeries) {
    const int entry = seedSeries("CONAN", "MARVEL", 7);
    openWindow();
    showBookPage();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    // The defaults of a new book, shown before anything is typed.
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsInsert);
    EXPECT_EQ(form->DBTextPerc->text(), "100");
    EXPECT_EQ(form->TrackBar1->value(), 20);
    EXPECT_EQ(form->LabelCond->text(), "Mint");
    EXPECT_DOUBLE_EQ(form->TableBooks->FieldByName("GradedValue")->AsFloat(), 0);
    EXPECT_DOUBLE_EQ(form->TableBooks->FieldByName("Profitability")->AsFloat(), 0);
    EXPECT_TRUE(form->DBEditComicNo->hasFocus());
    EXPECT_TRUE(form->Undo1->isEnabled());
    typeInto(form->DBEditComicNo, "12");
    typeInto(form->DBEditQty, "3");
    save();
    EXPECT_EQ(storedOwned("CONAN"), 10);
    const auto books = storedBooks();
    ASSERT_EQ(books.size(), 1u);
    EXPECT_EQ(books[0][col::B_ENTRY].asInt(), entry);
    EXPECT_EQ(QString::fromStdString(books[0][col::COMIC_NO].asText()), padded(13, "12"));
    EXPECT_EQ(books[0][col::PERC].asInt(), 100);
    EXPECT_EQ(books[0][col::QTY].asInt(), 3);
    EXPECT_FALSE(books[0][col::AUTOGRAPH].asBool());
    EXPECT_TRUE(form->DBGridBooks->hasFocus());
    EXPECT_TRUE(form->Add1->isEnabled());
    EXPECT_FALSE(form->Save1->isEnabled());
}

TEST_F(CollectionWindowTest, EditingAndDeletingBooksKeepOwnedRight) {
    const int entry = seedSeries("FLASH", "DC", 10);
    seedBook(entry, "1", 2);
    seedBook(entry, "2", 4);
    seedBook(entry, "3", 4);
    openWindow();
    showBookPage();
    form->TableBooks->First();  // issue 1, quantity 2
    typeInto(form->DBEditQty, "5");
    save();
    EXPECT_EQ(storedOwned("FLASH"), 13);  // 2 -> 5
    typeInto(form->DBEditQty, "0");
    save();
    EXPECT_EQ(storedOwned("FLASH"), 8);  // 5 -> 0
    form->TableBooks->Next();            // issue 2, quantity 4
    answers = {mrOk};
    form->Delete1Click();
    EXPECT_EQ(asked.last(), "Delete record?");
    EXPECT_EQ(storedOwned("FLASH"), 4);
    EXPECT_EQ(storedBooks().size(), 2u);
    // A cancelled edit changes no count.
    typeInto(form->DBEditQty, "9");
    undo();
    EXPECT_EQ(storedOwned("FLASH"), 4);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
}

TEST_F(CollectionWindowTest, IssueNumbersAreStoredRightAlignedAndListInValueOrder) {
    seedSeries("THOR", "MARVEL", 0);
    openWindow();
    addBook("100", 1);
    addBook("2", 1);
    addBook("10", 1);
    const auto books = storedBooks();
    ASSERT_EQ(books.size(), 3u);
    EXPECT_EQ(QString::fromStdString(books[0][col::COMIC_NO].asText()), padded(14, "2"));
    EXPECT_EQ(QString::fromStdString(books[1][col::COMIC_NO].asText()), padded(13, "10"));
    EXPECT_EQ(QString::fromStdString(books[2][col::COMIC_NO].asText()), padded(12, "100"));
    QAbstractItemModel* grid = form->DBGridBooks->model();
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->data(grid->index(0, 0)).toString().trimmed(), "2");
    EXPECT_EQ(grid->data(grid->index(2, 0)).toString().trimmed(), "100");
    EXPECT_EQ(storedOwned("THOR"), 3);
}

TEST_F(CollectionWindowTest, SliderStartsAnEditAndCancelRestoresTheGrade) {
    const int entry = seedSeries("HULK", "MARVEL", 1);
    seedBook(entry, "1", 1, 100);
    openWindow();
    showBookPage();
    form->PageControl2->setCurrentWidget(form->TabSheet4);
    EXPECT_EQ(form->TrackBar1->value(), 20);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
    form->TrackBar1->setFocus();
    for (int i = 0; i < 11; ++i) QTest::keyClick(form->TrackBar1, Qt::Key_Left);
    EXPECT_EQ(form->TrackBar1->value(), 9);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsEdit);
    EXPECT_EQ(form->TableBooks->FieldByName("PERC")->AsInteger(), 45);
    EXPECT_EQ(form->LabelCond->text(), "Very Good");
    EXPECT_EQ(form->DBTextPerc->text(), "45");
    undo();
    EXPECT_EQ(form->TableBooks->FieldByName("PERC")->AsInteger(), 100);
    EXPECT_EQ(form->TrackBar1->value(), 20);
    EXPECT_EQ(form->LabelCond->text(), "Mint");
    EXPECT_EQ(engineTable("books.db")->row(0)[col::PERC].asInt(), 100);
}

TEST_F(CollectionWindowTest, GradeOfAnotherProgramShowsOnTheNearestLowerMark) {
    const int entry = seedSeries("IRON MAN", "MARVEL", 1);
    seedBook(entry, "1", 1, 37, 40.00);
    openWindow();
    showBookPage();
    EXPECT_EQ(form->TrackBar1->value(), 7);
    EXPECT_EQ(form->LabelCond->text(), "Good");
    EXPECT_DOUBLE_EQ(form->TableBooks->FieldByName("GradedValue")->AsFloat(), 14.80);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);  // following starts no edit
}

TEST_F(CollectionWindowTest, GradedValueAndProfitabilityAreShownAsMoney) {
    const int entry = seedSeries("DAREDEVIL", "MARVEL", 2);
    seedBook(entry, "1", 2, 100, 40.00, 10.00);
    openWindow();
    showBookPage();
    form->PageControl2->setCurrentWidget(form->TabSheet4);
    form->TrackBar1->setFocus();
    for (int i = 0; i < 5; ++i) QTest::keyClick(form->TrackBar1, Qt::Key_Left);  // 20 -> 15
    EXPECT_EQ(form->TableBooks->FieldByName("PERC")->AsInteger(), 75);
    EXPECT_DOUBLE_EQ(form->TableBooks->FieldByName("GradedValue")->AsFloat(), 30.00);
    EXPECT_DOUBLE_EQ(form->TableBooks->FieldByName("Profitability")->AsFloat(), 40.00);
    EXPECT_EQ(form->DBEditGraded->text(), "$30.00");
    EXPECT_EQ(form->DBEditProfit->text(), "$40.00");
    EXPECT_EQ(form->DBEditPaid->text(), "$10.00");
    EXPECT_TRUE(form->DBEditGraded->isReadOnly());
    save();
    EXPECT_EQ(engineTable("books.db")->row(0)[col::PERC].asInt(), 75);
    EXPECT_EQ(storedOwned("DAREDEVIL"), 2);  // the quantity did not change
}

TEST_F(CollectionWindowTest, MoneyIsTypedAsAPlainNumber) {
    const int entry = seedSeries("DAREDEVIL", "MARVEL", 1);
    seedBook(entry, "1", 1);
    openWindow();
    showBookPage();
    form->PageControl2->setCurrentWidget(form->TabSheet4);
    typeInto(form->DBEdit1, "1234.5");
    form->DBEditQty->setFocus();
    EXPECT_EQ(form->DBEdit1->text(), "$1,234.50");
    EXPECT_EQ(form->DBEditGraded->text(), "$1,234.50");
    save();
    EXPECT_DOUBLE_EQ(engineTable("books.db")->row(0)[col::HIGH].asDouble(), 1234.5);
}

TEST_F(CollectionWindowTest, MoneyIsTakenTypedAsItIsShown) {
    const int entry = seedSeries("DAREDEVIL", "MARVEL", 1);
    seedBook(entry, "1", 1);
    openWindow();
    showBookPage();
    form->PageControl2->setCurrentWidget(form->TabSheet4);
    typeInto(form->DBEditPaid, "$12.50");
    typeInto(form->DBEdit1, "1,234.50");
    form->DBEditQty->setFocus();
    EXPECT_TRUE(asked.isEmpty()) << asked.join(" | ").toStdString();
    EXPECT_EQ(form->DBEditPaid->text(), "$12.50");
    EXPECT_EQ(form->DBEdit1->text(), "$1,234.50");
    save();
    EXPECT_DOUBLE_EQ(engineTable("books.db")->row(0)[col::PAID].asDouble(), 12.5);
    EXPECT_DOUBLE_EQ(engineTable("books.db")->row(0)[col::HIGH].asDouble(), 1234.5);
    // Grouping in the wrong places is no amount.
    typeInto(form->DBEditPaid, "1,23.4");
    form->DBEditQty->setFocus();
    EXPECT_EQ(asked.size(), 1);
}

// Half cents round away from zero, and the profitability follows the
// graded value as shown.  No amount shows as minus zero.
TEST_F(CollectionWindowTest, GradedValuesRoundHalfCentsUp) {
    const int entry = seedSeries("HULK", "MARVEL", 2);
    seedBook(entry, "1", 2, 50, 75.07, 10.00);  // 37.535
    seedBook(entry, "2", 0, 75, 93.10, 80.00);  // 69.825, none owned
    openWindow();
    showBookPage();
    form->PageControl2->setCurrentWidget(form->TabSheet4);
    form->TableBooks->First();
    EXPECT_EQ(form->DBEditGraded->text(), "$37.54");
    EXPECT_EQ(form->DBEditProfit->text(), "$55.08");  // (37.54 - 10.00) x 2
    form->TableBooks->Next();
    EXPECT_EQ(form->DBEditGraded->text(), "$69.83");
    EXPECT_EQ(form->DBEditProfit->text(), "$0.00");  // (69.83 - 80.00) x 0
}

TEST_F(CollectionWindowTest, SeriesNavigatorsOnTheBookPageStepThroughSeries) {
    const int a = seedSeries("ALPHA", "P", 1);
    const int b = seedSeries("BRAVO", "P", 2);
    seedBook(a, "1", 1);
    seedBook(b, "7", 1);
    seedBook(b, "8", 1);
    openWindow();
    showBookPage();
    EXPECT_EQ(form->DBText1->text(), "ALPHA");
    EXPECT_FALSE(form->DBNavigator1->Button(TNavigateBtn::nbPrior)->isEnabled());
    form->DBNavigator2->BtnClick(TNavigateBtn::nbNext);
    EXPECT_EQ(form->DBText1->text(), "BRAVO");
    EXPECT_EQ(form->DBGridBooks->model()->rowCount(), 2);
    EXPECT_EQ(form->DBGridBooks->model()
                  ->data(form->DBGridBooks->model()->index(1, 0))
                  .toString()
                  .trimmed(),
              "8");
    EXPECT_FALSE(form->DBNavigator2->Button(TNavigateBtn::nbNext)->isEnabled());
    EXPECT_TRUE(form->DBNavigator1->Button(TNavigateBtn::nbFirst)->isEnabled());
}

// A book added while its series is a new row: the series is posted first, so
// the book carries the series' ENTRY.
TEST_F(CollectionWindowTest, BookOfAnUnpostedSeriesPostsTheSeriesFirst) {
    openWindow();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    typeInto(form->DBEditSeries, "watchmen");
    showBookPage();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    const paradox::Row series = storedSeries("WATCHMEN");
    ASSERT_FALSE(series.empty());
    typeInto(form->DBEditComicNo, "1");
    typeInto(form->DBEditQty, "2");
    save();
    const auto books = storedBooks();
    ASSERT_EQ(books.size(), 1u);
    EXPECT_EQ(books[0][col::B_ENTRY].asInt(), series[col::ENTRY].asInt());
    EXPECT_GT(books[0][col::B_ENTRY].asInt(), 0);
    EXPECT_EQ(storedOwned("WATCHMEN"), 2);
}

TEST_F(CollectionWindowTest, NoBookIsAddedWhenThePendingSeriesCannotBePosted) {
    openWindow();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    // Characters the table's code page cannot hold: the series post is refused.
    form->DBEditSeries->setFocus();
    QTest::sendKeyEvent(QTest::Click, form->DBEditSeries, Qt::Key_unknown,
                        QString::fromUtf8("\u6F2B"), Qt::NoModifier);
    ASSERT_EQ(form->DBEditSeries->text(), QString::fromUtf8("\u6F2B"));
    showBookPage();
    EXPECT_THROW(form->Add1Click(), EDatabaseError);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsInsert);
    EXPECT_EQ(storedBooks().size(), 0u);
    EXPECT_EQ(engineTable("series.db")->rowCount(), 0u);
}

TEST_F(CollectionWindowTest, NoBookWithoutAnySeries) {
    openWindow();
    showBookPage();
    EXPECT_THROW(form->Add1Click(), EDatabaseError);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(storedBooks().size(), 0u);
}

// Adding a book from the Price/Status page shows the Description page, so the
// issue-number box takes the focus.
TEST_F(CollectionWindowTest, AddingFromThePricePageShowsTheDescription) {
    seedSeries("ROBIN", "DC", 0);
    openWindow();
    showBookPage();
    form->PageControl2->setCurrentWidget(form->TabSheet4);
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    EXPECT_EQ(form->PageControl2->currentWidget(), form->TabSheet3);
    EXPECT_TRUE(form->DBEditComicNo->hasFocus());
    typeInto(form->DBEditComicNo, "4");
    save();
    EXPECT_EQ(storedBooks().size(), 1u);
}

TEST_F(CollectionWindowTest, SliderOnASeriesWithoutBooksStoresNothing) {
    seedSeries("ROBIN", "DC", 0);
    openWindow();
    showBookPage();
    form->PageControl2->setCurrentWidget(form->TabSheet4);
    form->TrackBar1->setFocus();
    QTest::keyClick(form->TrackBar1, Qt::Key_Right);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(form->TrackBar1->value(), 0);
    EXPECT_FALSE(form->Save1->isEnabled());
    EXPECT_EQ(storedBooks().size(), 0u);
}

// The book page is built when it is first shown: it must come up showing
// the series the user moved to on the series page, with its books, its
// grade on the slider, and every control and navigator live.
TEST_F(CollectionWindowTest, BookPageFirstShownLaterFollowsTheCurrentSeries) {
    const int a = seedSeries("ALPHA", "P", 1);
    const int b = seedSeries("BRAVO", "P", 2);
    seedBook(a, "1", 1);
    seedBook(b, "7", 1, 35);
    seedBook(b, "8", 1);
    openWindow();
    EXPECT_EQ(form->DBGridBooks, nullptr) << "built before it was shown";
    frame->DBNavigatorMove->BtnClick(TNavigateBtn::nbNext);  // BRAVO, on the series page
    showBookPage();
    ASSERT_NE(form->DBGridBooks, nullptr);
    EXPECT_TRUE(form->DBGridBooks->isVisible());
    EXPECT_TRUE(form->DBEditComicNo->isVisible());
    EXPECT_EQ(form->DBText1->text(), "BRAVO");
    EXPECT_EQ(form->DBGridBooks->model()->rowCount(), 2);
    EXPECT_EQ(form->DBEditComicNo->text().trimmed(), "7");
    EXPECT_EQ(form->TrackBar1->value(), 7);  // 35 % is position 7
    EXPECT_EQ(form->LabelCond->text(), valuation::conditionWord(7));
    EXPECT_TRUE(form->DBNavigator1->Button(TNavigateBtn::nbPrior)->isEnabled());
    form->DBNavigator1->BtnClick(TNavigateBtn::nbPrior);
    EXPECT_EQ(form->DBText1->text(), "ALPHA");
    // Typing into a control built late still starts an edit of the book.
    typeInto(form->DBEditQty, "4");
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsEdit);
    save();
    EXPECT_EQ(storedOwned("ALPHA"), 4);
}

// OWNED is a short integer: a quantity that would take the series' count
// past 32767 is refused before the book is stored, so the count stays right.
TEST_F(CollectionWindowTest, QuantityTheSeriesCountCannotHoldIsRefusedBeforeAnythingIsStored) {
    const int entry = seedSeries("HULK", "MARVEL", 5);
    seedBook(entry, "1", 1);
    seedBook(entry, "2", 4);
    openWindow();
    showBookPage();
    form->TableBooks->First();  // issue 1, quantity 1
    typeInto(form->DBEditQty, "32767");
    try {
        save();
        ADD_FAILURE() << "the post was not refused";
    } catch (const EDatabaseError& error) {
        const QString message = QString::fromUtf8(error.what());
        EXPECT_TRUE(message.contains("32771") && message.contains("32767")) << error.what();
    }
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsEdit);
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(storedBooks()[0][col::QTY].asInt(), 1);
    EXPECT_EQ(storedOwned("HULK"), 5);
    // The user corrects the quantity and the count follows.
    typeInto(form->DBEditQty, "32762");  // 32762 + 4 = 32766
    save();
    EXPECT_EQ(storedBooks()[0][col::QTY].asInt(), 32762);
    EXPECT_EQ(storedOwned("HULK"), 32766);
    EXPECT_EQ(form->DBTextOwned->text(), "32766");
}

// A books table in 1 KiB blocks, three books to a block, with all 65,535
// blocks in use: opening the window says so with the command that makes
// room, and a new book is refused with the same text, nothing stored.
TEST_F(CollectionWindowTest, AFullBooksTableIsToldOnOpeningAndRefusesANewBookCleanly) {
    const int entry = seedSeries("HULK", "MARVEL", 0);
    const std::string books = dir.str() + "/pkeep/books.db";
    paradox::Table::remove(books);
    paradox::Table::create(books, store::BooksSchema(), {0, 1});
    constexpr int kBooks = 3 * 65535;
    {
        auto table = engineTable("books.db");
        table->beginBatch();
        paradox::Row row(16);
        row[col::B_ENTRY] = paradox::Value::integer(entry);
        for (int i = 1; i <= kBooks; ++i) {
            row[col::COMIC_NO] =
                paradox::Value::text(store::AlignComicNo(QString::number(i)).toStdString());
            table->insert(row);
        }
        table->commitBatch();
        ASSERT_EQ(table->usedBlocks(), paradox::Table::kMaxBlocks);
    }
    const QString full =
        "The books table is 100 % full: 65,535 of its 65,535 blocks of 1 KiB are in use. "
        "Rebuild it into larger blocks before it fills: pkeep-admin rebuild --block-size 2 "
        "(or File, Rebuild Files with blocks of 2 KiB).";
    openWindow();
    EXPECT_EQ(asked, QStringList{full});
    try {
        addBook("999999", 1);
        ADD_FAILURE() << "the post was not refused";
    } catch (const EDatabaseError& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()), full);
    }
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsInsert);
    EXPECT_EQ(engineTable("books.db")->rowCount(), std::size_t(kBooks));
    EXPECT_EQ(storedOwned("HULK"), 0);
}

// The Price/Status page: numbers right-aligned, text left; the Status
// group's check boxes at their full size, apart from each other and inside
// the group's frame, below its caption.
TEST_F(CollectionWindowTest, PricePageAlignsNumbersAndSpacesTheStatusBoxes) {
    const int entry = seedSeries("DAREDEVIL", "MARVEL", 1);
    seedBook(entry, "1", 1);
    openWindow();
    showBookPage();
    form->PageControl2->setCurrentWidget(form->TabSheet4);
    for (TDBEdit* number :
         {form->DBEditQty, form->DBEditPaid, form->DBEdit1, form->DBEditGraded, form->DBEditProfit})
        EXPECT_TRUE(number->alignment() & Qt::AlignRight) << number->objectName().toStdString();
    EXPECT_TRUE(form->DBEditComicNo->alignment() & Qt::AlignLeft);

    const std::vector<TDBCheckBox*> boxes{form->DBCheckBookForSale, form->DBCheckBookWanted,
                                          form->DBCheckAutograph};
    auto* status = dynamic_cast<TGroupBox*>(boxes[0]->parentWidget());
    ASSERT_NE(status, nullptr);
    const QRect inside = status->rect().adjusted(2, status->CaptionRect().bottom() + 1, -2,
                                                 -2);  // the frame is 2 px
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const QRect box = boxes[i]->geometry();
        EXPECT_TRUE(inside.contains(box)) << i;
        EXPECT_GE(box.height(), boxes[i]->sizeHint().height()) << i;
        EXPECT_GE(box.width(), boxes[i]->sizeHint().width()) << i;
        for (std::size_t j = 0; j < i; ++j) {
            const QRect other = boxes[j]->geometry();
            const int gap = std::max(box.top() - other.bottom(), box.left() - other.right()) - 1;
            EXPECT_GE(gap, 2) << j << " and " << i;
        }
    }
    EXPECT_TRUE(form->TabSheet4->rect().contains(status->geometry()));
}
