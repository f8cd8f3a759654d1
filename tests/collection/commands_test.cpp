// The Edit menu and pop-up menu: command states, clipboard commands and the
// two searches with their dialogs.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>

#include "collection/dbmemo_up.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "tests/collection/collection_fixture.h"

TEST_F(CollectionWindowTest, SeriesSearchFindsTheFirstNameAtOrAfterTheText) {
    for (const char* name : {"BATMAN", "SPAWN", "SPIDER-MAN", "SUPERMAN", "X-MEN"})
        seedSeries(name, "P", 0);
    openWindow();
    inputs = {"spi"};
    form->Find1Click();
    EXPECT_EQ(asked, QStringList{"Series Search: Please enter the Series to search for:"});
    EXPECT_EQ(form->CurrentSeries, "SPIDER-MAN");
    // Cancel changes nothing.
    form->Find1Click();
    EXPECT_EQ(form->CurrentSeries, "SPIDER-MAN");
    // Double-clicking the grid searches too; a pending edit is posted first.
    typeInto(form->DBEditPublisher, "marvel");
    inputs = {"super"};
    QTest::mouseDClick(form->DBGridSeries->viewport(), Qt::LeftButton, {}, QPoint(40, 5));
    EXPECT_EQ(form->CurrentSeries, "SUPERMAN");
    EXPECT_EQ(storedSeries("SPIDER-MAN")[col::PUBLISHER].asText(), "MARVEL");
}

TEST_F(CollectionWindowTest, BookSearchFindsTheFirstIssueAtOrAfterTheNumber) {
    const int entry = seedSeries("GROO", "EPIC", 0);
    for (const char* number : {"5", "8", "12", "123456789012345", "999999999999999"})
        seedBook(entry, number, 0);
    const int other = seedSeries("HOWARD", "MARVEL", 0);
    seedBook(other, "7", 0);
    openWindow();
    showBookPage();
    inputs = {"7"};
    form->Find1Click();
    EXPECT_EQ(asked, QStringList{"Comic Book Search: Please enter the Comic # to search for:"});
    EXPECT_EQ(form->TableBooks->FieldByName("COMIC_NO")->AsString().trimmed(), "8");
    EXPECT_EQ(form->CurrentSeries, "GROO");  // books of the current series only
    // A long text is cut to 15 characters after alignment.
    inputs = {"1234567890123456789"};
    form->Find1Click();
    EXPECT_EQ(form->TableBooks->FieldByName("COMIC_NO")->AsString(), "123456789012345");
    form->Find1Click();  // Cancel
    EXPECT_EQ(form->TableBooks->FieldByName("COMIC_NO")->AsString(), "123456789012345");
}

TEST_F(CollectionWindowTest, CommandStatesFollowEditingAndBrowsing) {
    seedSeries("ASTRO CITY", "IMAGE", 0);
    openWindow();
    // At opening: Save and Undo of the Edit menu disabled, everything else enabled.
    EXPECT_FALSE(form->Save1->isEnabled());
    EXPECT_FALSE(form->Undo1->isEnabled());
    for (QAction* action :
         {form->Cut1, form->Copy1, form->Paste1, form->Add1, form->Delete1, form->Find1,
          form->Save2, form->Undo2, form->Add2, form->Delete2, form->Find2})
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    typeInto(form->DBEditPublisher, "wildstorm");
    for (QAction* action : {form->Save1, form->Save2, form->Undo1, form->Undo2})
        EXPECT_TRUE(action->isEnabled());
    for (QAction* action :
         {form->Add1, form->Add2, form->Delete1, form->Delete2, form->Find1, form->Find2})
        EXPECT_FALSE(action->isEnabled());
    EXPECT_TRUE(frame->SBFind->isEnabled());  // not part of the command states
    form->Save1->trigger();
    EXPECT_EQ(storedSeries("ASTRO CITY")[col::PUBLISHER].asText(), "WILDSTORM");
    EXPECT_FALSE(form->Save1->isEnabled());
    EXPECT_TRUE(form->Add2->isEnabled());
}

TEST_F(CollectionWindowTest, MenuShortcutsComeBeforeTheEditBoxes) {
    seedSeries("ASTRO CITY", "IMAGE", 0);
    openWindow();
    typeInto(form->DBEditPublisher, "dc");
    QTest::keyClick(form->DBEditPublisher, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsBrowse);  // Undo/Cancel
    EXPECT_EQ(form->DBEditPublisher->text(), "IMAGE");
    form->DBEditSeries->setFocus();
    QTest::keyClick(form->DBEditSeries, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsInsert);  // Add
    QTest::keyClicks(form->DBEditSeries, "bone");
    QTest::keyClick(form->DBEditSeries, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(engineTable("series.db")->rowCount(), 2u);
}

TEST_F(CollectionWindowTest, CutCopyAndPasteWorkOnTheFocusedEditBox) {
    seedSeries("ASTRO CITY", "IMAGE", 0);
    openWindow();
    QApplication::clipboard()->clear();
    form->DBGridSeries->setFocus();
    form->Edit1Click();
    EXPECT_FALSE(form->Cut1->isEnabled());  // the grid is no edit box
    EXPECT_FALSE(form->Copy1->isEnabled());
    EXPECT_FALSE(form->Paste1->isEnabled());  // nothing on the clipboard

    form->DBEditSeries->setFocus();
    form->DBEditSeries->setSelection(0, 5);
    form->Edit1Click();
    EXPECT_TRUE(form->Cut1->isEnabled());
    EXPECT_TRUE(form->Copy1->isEnabled());
    form->Copy1Click();
    EXPECT_EQ(QApplication::clipboard()->text(), "ASTRO");
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsBrowse);  // copying edits nothing
    form->Edit1Click();
    EXPECT_TRUE(form->Paste1->isEnabled());

    form->DBEditPublisher->setFocus();
    form->DBEditPublisher->selectAll();
    QApplication::clipboard()->setText("top cow");
    form->Paste1Click();
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsEdit);  // pasting starts an edit
    EXPECT_EQ(form->DBEditPublisher->text(), "TOP COW");
    form->DBEditSeries->setFocus();
    form->DBEditSeries->setSelection(5, 5);
    form->Cut1Click();
    EXPECT_EQ(QApplication::clipboard()->text(), " CITY");
    save();
    const paradox::Row row = storedSeries("ASTRO");
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row[col::PUBLISHER].asText(), "TOP COW");
}

TEST_F(CollectionWindowTest, PopupMenuOffersTheSameCommands) {
    seedSeries("ASTRO CITY", "IMAGE", 0);
    openWindow();
    answers = {mrCancel};
    form->Delete2->trigger();
    EXPECT_EQ(asked, QStringList{"Delete record?"});
    form->Add2->trigger();
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsInsert);
    form->Undo2->trigger();
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(engineTable("series.db")->rowCount(), 1u);
}
