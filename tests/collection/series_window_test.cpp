// The series page: adding, cancelling and deleting series through the real
// window, with the stored rows read back from the engine.
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "collection/dbmemo_up.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_memo.h"
#include "tests/collection/collection_fixture.h"

TEST_F(CollectionWindowTest, NewSeriesIsStoredInUpperCaseWithItsDefaults) {
    openWindow();
    ASSERT_NE(form, nullptr);
    addSeries("spider-man", "marvel");
    const paradox::Row row = storedSeries("SPIDER-MAN");
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row[col::PUBLISHER].asText(), "MARVEL");
    EXPECT_GT(row[col::ENTRY].asInt(), 0);  // assigned by the engine at the post
    EXPECT_EQ(row[col::OWNED].asInt(), 0);
    for (int flag : {col::FAVORITE, col::WANTED, col::FORSALE})
        EXPECT_FALSE(row[flag].asBool()) << flag;
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(form->DBGridSeries->hasFocus());  // the focus is back in the grid
    EXPECT_EQ(form->CurrentSeries, "SPIDER-MAN");
    EXPECT_EQ(form->CurrentEntry, row[col::ENTRY].asInt());
}

TEST_F(CollectionWindowTest, TypedTextIsUpperCaseAndLimitedToTheFieldSize) {
    openWindow();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    EXPECT_TRUE(form->DBEditSeries->hasFocus());  // the name is typed at once
    EXPECT_EQ(form->DBEditSeries->maxLength(), 60);
    EXPECT_EQ(form->DBEditPublisher->maxLength(), 30);
    typeInto(form->DBEditSeries, QString(70, 'x'));
    EXPECT_EQ(form->DBEditSeries->text(), QString(60, 'X'));
    typeInto(form->DBMemoNotes, "first issue signed");
    EXPECT_EQ(form->DBMemoNotes->toPlainText(), "FIRST ISSUE SIGNED");
    EXPECT_EQ(form->DBMemoNotes->CharCase(), TEditCharCase::ecUpperCase);
    QTest::mouseClick(form->DBCheckFavSeries, Qt::LeftButton, {}, QPoint(5, 8));
    save();
    const paradox::Row row = storedSeries(QString(60, 'X'));
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row[col::SERNOTE].asText(), "FIRST ISSUE SIGNED");
    EXPECT_TRUE(row[col::FAVORITE].asBool());
}

TEST_F(CollectionWindowTest, InsertingAndCancellingAtOnceLeavesNothing) {
    openWindow();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    EXPECT_TRUE(form->Save1->isEnabled());
    EXPECT_FALSE(form->Add1->isEnabled());
    undo();
    EXPECT_EQ(engineTable("series.db")->rowCount(), 0u);
    EXPECT_FALSE(form->Save1->isEnabled());
    EXPECT_FALSE(form->Undo1->isEnabled());
    EXPECT_TRUE(form->Add1->isEnabled());
    EXPECT_TRUE(form->Find1->isEnabled());
}

TEST_F(CollectionWindowTest, TickingABoxStartsAnEditAndStoresTrue) {
    seedSeries("X-MEN", "MARVEL", 0);
    openWindow();
    QTest::mouseClick(form->DBCheckSerWanted, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsEdit);
    EXPECT_TRUE(form->Save2->isEnabled());
    save();
    EXPECT_TRUE(storedSeries("X-MEN")[col::WANTED].asBool());
    EXPECT_FALSE(storedSeries("X-MEN")[col::FORSALE].asBool());
}

TEST_F(CollectionWindowTest, DeletingASeriesWithoutBooksRemovesJustThatRow) {
    seedSeries("AQUAMAN", "DC", 0);
    const int other = seedSeries("BATMAN", "DC", 1);
    seedBook(other, "1", 1);
    openWindow();
    answers = {mrOk};
    form->Delete1Click();
    EXPECT_EQ(asked, QStringList{"Delete record?"});
    EXPECT_EQ(engineTable("series.db")->rowCount(), 1u);
    EXPECT_EQ(storedBooks().size(), 1u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CollectionWindowTest, CascadeDeletesEveryBookAndCountsOwnedDown) {
    const int entry = seedSeries("SANDMAN", "DC", 3);
    seedBook(entry, "1", 2);
    seedBook(entry, "2", 0);
    seedBook(entry, "3", 1);
    const int other = seedSeries("SWAMP THING", "DC", 5);
    seedBook(other, "1", 5);
    openWindow();
    std::vector<int> owned;
    const auto afterPost = form->TableSeries->AfterPost;
    form->TableSeries->AfterPost = [&](TDataSet* set) {
        owned.push_back(set->FieldByName("OWNED")->AsInteger());
        afterPost(set);
    };
    // Leave the books cursor past the end first: the cascade must not miss them.
    showBookPage();
    form->TableBooks->Last();
    form->TableBooks->Next();
    showSeriesPage();
    answers = {mrOk};
    form->Delete1Click();
    EXPECT_EQ(owned, (std::vector<int>{1, 1, 0}));  // from 3: minus 2, 0, 1
    EXPECT_EQ(engineTable("series.db")->rowCount(), 1u);
    const auto books = storedBooks();
    ASSERT_EQ(books.size(), 1u);
    EXPECT_EQ(books[0][col::B_ENTRY].asInt(), other);
    EXPECT_EQ(storedOwned("SWAMP THING"), 5);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CollectionWindowTest, DeleteAnsweredCancelKeepsTheSeries) {
    const int entry = seedSeries("HELLBOY", "DARK HORSE", 1);
    seedBook(entry, "1", 1);
    openWindow();
    answers = {mrCancel};
    form->DBGridSeries->setFocus();
    QTest::keyClick(form->DBGridSeries, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringList{"Delete record?"});
    EXPECT_EQ(engineTable("series.db")->rowCount(), 1u);
    EXPECT_EQ(storedBooks().size(), 1u);
}

// A failure in the middle of the cascade stops it: the books deleted so far
// stay deleted with OWNED reduced, the series stays, and the cursor is back.
TEST_F(CollectionWindowTest, FailedCascadeSetsTheCursorBack) {
    const int entry = seedSeries("SPAWN", "IMAGE", 5);
    seedBook(entry, "1", 2);
    seedBook(entry, "2", 3);
    openWindow();
    int deletions = 0;
    const auto beforeDelete = form->TableBooks->BeforeDelete;
    form->TableBooks->BeforeDelete = [&](TDataSet* set) {
        if (++deletions == 2) throw EDatabaseError("Record locked by another user.");
        beforeDelete(set);
    };
    answers = {mrOk};
    EXPECT_THROW(form->Delete1Click(), EDatabaseError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(engineTable("series.db")->rowCount(), 1u);
    EXPECT_EQ(storedBooks().size(), 1u);
    EXPECT_EQ(storedOwned("SPAWN"), 3);
}

TEST_F(CollectionWindowTest, SeriesGridFollowsAndMovesTheTable) {
    for (const char* name : {"AAA", "BBB", "CCC", "DDD"}) seedSeries(name, "P", 0);
    openWindow();
    TDBGrid* grid = form->DBGridSeries;
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(grid->model()->data(grid->model()->index(2, 0)).toString(), "CCC");
    form->TableSeries->Last();
    EXPECT_EQ(grid->currentIndex().row(), 3);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(form->CurrentSeries, "CCC");
    const QRect second = grid->visualRect(grid->model()->index(1, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(form->CurrentSeries, "BBB");
    EXPECT_EQ(form->DBEditSeries->text(), "BBB");
}

TEST_F(CollectionWindowTest, UnchangedNewRowIsDroppedWhenTheGridLosesFocus) {
    seedSeries("AAA", "P", 0);
    openWindow();
    form->DBGridSeries->setFocus();
    form->TableSeries->DisableControls();  // an insert that sets no field
    form->TableSeries->AfterInsert = nullptr;
    form->TableSeries->EnableControls();
    form->TableSeries->Insert();
    form->DBGridSeries->setFocus();
    EXPECT_EQ(form->DBGridSeries->model()->rowCount(), 2);
    form->DBEditPublisher->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(form->DBGridSeries->model()->rowCount(), 1);
    EXPECT_EQ(engineTable("series.db")->rowCount(), 1u);
}

// The cascade lets the window repaint between books; a close or a second
// deletion asked for meanwhile must not cut it short or run inside it.
TEST_F(CollectionWindowTest, CloseAndDeleteDuringTheCascadeWaitForIt) {
    const int entry = seedSeries("SANDMAN", "DC", 4);
    for (const char* number : {"1", "2", "3", "4"}) seedBook(entry, number, 1);
    seedSeries("SWAMP THING", "DC", 0);
    openWindow();
    QPointer<TComicForm> window(form);
    int closes = 0, deletes = 0;
    const auto beforeDelete = form->TableBooks->BeforeDelete;
    form->TableBooks->BeforeDelete = [&](TDataSet* set) {
        // Requests queued now are handled while the cascade repaints.
        QTimer::singleShot(0, form, [&] {
            ++closes;
            form->parentWidget()->close();
        });
        QTimer::singleShot(0, form, [&] {
            ++deletes;
            form->Delete1Click();
        });
        beforeDelete(set);
    };
    answers = {mrOk, mrOk, mrOk, mrOk, mrOk, mrOk};
    form->Delete1Click();
    EXPECT_GT(closes, 0);
    EXPECT_GT(deletes, 0);
    EXPECT_EQ(asked.count("Delete record?"), 1);
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(form->TableSeries->Active());
    EXPECT_EQ(storedBooks().size(), 0u);
    ASSERT_EQ(engineTable("series.db")->rowCount(), 1u);
    EXPECT_EQ(storedOwned("SWAMP THING"), 0);
    EXPECT_EQ(form->DBEditSeries->text(), "SWAMP THING");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
