// The collection window inside the frame: the frame's controls it enables
// and connects, the Edit menu it brings, the page it acts on, and the close
// questions with each answer.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "collection/highlighted_item.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/speed_button.h"
#include "reports/catalogue.h"
#include "reports/preview_form.h"
#include "tests/collection/collection_fixture.h"

namespace {

bool menuBarHas(QMenuBar* bar, QMenu* menu) {
    for (QAction* action : bar->actions())
        if (action == menu->menuAction() && action->isVisible()) return true;
    return false;
}

}  // namespace

TEST_F(CollectionWindowTest, OpeningAndClosingWiresTheFrame) {
    EXPECT_FALSE(frame->SBFind->isEnabled());
    openWindow();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), "Comic Collection");
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet1);
    EXPECT_FALSE(frame->ComicCollection->isEnabled());
    EXPECT_FALSE(frame->SBOpen->isEnabled());
    EXPECT_TRUE(frame->SBFind->isEnabled());
    EXPECT_TRUE(frame->DBNavigatorCtrl->isEnabled());
    EXPECT_TRUE(frame->DBNavigatorMove->isEnabled());
    EXPECT_TRUE(frame->HighlightedItemReports->menuAction()->isEnabled());
    EXPECT_TRUE(menuBarHas(frame->MainMenu, form->Edit1));
    EXPECT_NE(frame->DBNavigatorCtrl->DataSource(), nullptr);
    EXPECT_EQ(ComicForm, form);

    // The child window stands near the client area's top-left corner, at the
    // size that holds both pages.
    auto* child = qobject_cast<QMdiSubWindow*>(form->parentWidget());
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->geometry(), QRect(3, 3, 593, 390));

    frame->CloseWindowClick();
    QApplication::processEvents();
    EXPECT_EQ(ComicForm, nullptr);
    EXPECT_TRUE(frame->ComicCollection->isEnabled());
    EXPECT_TRUE(frame->SBOpen->isEnabled());
    EXPECT_FALSE(frame->SBFind->isEnabled());
    EXPECT_FALSE(frame->DBNavigatorCtrl->isEnabled());
    EXPECT_EQ(frame->DBNavigatorCtrl->DataSource(), nullptr);
    EXPECT_EQ(frame->DBNavigatorMove->DataSource(), nullptr);
    EXPECT_FALSE(frame->HighlightedItemReports->menuAction()->isEnabled());
    EXPECT_FALSE(frame->ClientArea->subWindowList().size());
    EXPECT_TRUE(asked.isEmpty());  // nothing pending, nothing asked
}

// A key the user types before the window was ever painted finds it fully
// open: both tables read and lent to the navigators.
TEST_F(CollectionWindowTest, AKeyTypedAheadOfTheFirstPaintFindsBothTablesOpen) {
    const int entry = seedSeries("ALPHA", "P", 0);
    seedSeries("BRAVO", "P", 0);
    seedBook(entry, "1", 1);
    frame->ComicCollectionClick();
    form = ComicForm;
    ASSERT_NE(form, nullptr);
    form->DBGridSeries->setFocus();
    QTest::keyClick(form->DBGridSeries, Qt::Key_Down);
    EXPECT_TRUE(form->TableBooks->Active());
    EXPECT_EQ(form->CurrentSeries, "BRAVO");
    EXPECT_EQ(form->TableBooks->RecordCount(), 0);  // the books follow the series
    EXPECT_FALSE(frame->SBOpen->isEnabled());
    frame->DBNavigatorMove->BtnClick(TNavigateBtn::nbPrior);  // lent the series table
    EXPECT_EQ(form->CurrentSeries, "ALPHA");
}

// Closed before it was ever painted: the frame offers the collection again.
TEST_F(CollectionWindowTest, AWindowClosedBeforeItsFirstPaintLeavesTheFrameAsItWas) {
    seedSeries("ALPHA", "P", 0);
    frame->ComicCollectionClick();
    ASSERT_NE(ComicForm, nullptr);
    frame->CloseWindowClick();
    QTest::qWait(100);
    EXPECT_EQ(ComicForm, nullptr);
    EXPECT_EQ(frame->ChildCount(), 0);
    EXPECT_TRUE(frame->SBOpen->isEnabled());
    EXPECT_TRUE(frame->ComicCollection->isEnabled());
}

TEST_F(CollectionWindowTest, AnotherActiveChildDisablesTheFrameControls) {
    openWindow();
    auto* other = new QWidget;
    other->setWindowTitle("Preview");
    QMdiSubWindow* child = frame->AddChild(other);
    frame->ClientArea->setActiveSubWindow(child);
    QApplication::processEvents();
    EXPECT_FALSE(frame->SBFind->isEnabled());
    EXPECT_FALSE(frame->DBNavigatorCtrl->isEnabled());
    EXPECT_FALSE(frame->DBNavigatorMove->isEnabled());
    EXPECT_FALSE(frame->HighlightedItemReports->menuAction()->isEnabled());
    EXPECT_FALSE(menuBarHas(frame->MainMenu, form->Edit1));
    EXPECT_NE(frame->DBNavigatorCtrl->DataSource(), nullptr);  // still connected
    frame->ClientArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
    QApplication::processEvents();
    EXPECT_TRUE(frame->SBFind->isEnabled());
    EXPECT_TRUE(frame->DBNavigatorCtrl->isEnabled());
    EXPECT_TRUE(menuBarHas(frame->MainMenu, form->Edit1));
}

TEST_F(CollectionWindowTest, FrameButtonsActOnThePageShown) {
    const int entry = seedSeries("ALPHA", "P", 0);
    seedSeries("BRAVO", "P", 0);
    seedBook(entry, "1", 1);
    seedBook(entry, "2", 1);
    openWindow();
    frame->DBNavigatorMove->BtnClick(TNavigateBtn::nbNext);
    EXPECT_EQ(form->CurrentSeries, "BRAVO");
    frame->DBNavigatorMove->BtnClick(TNavigateBtn::nbFirst);
    showBookPage();
    frame->DBNavigatorMove->BtnClick(TNavigateBtn::nbNext);
    EXPECT_EQ(form->CurrentSeries, "ALPHA");  // the books moved, not the series
    EXPECT_EQ(form->TableBooks->RecNo(), 2);
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    EXPECT_EQ(form->TableBooks->State(), TDataSetState::dsInsert);  // a book, not a series
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsBrowse);
    typeInto(form->DBEditComicNo, "3");
    inputs = {"3"};
    frame->SBFind->click();  // a search posts the pending book first
    EXPECT_EQ(storedBooks().size(), 3u);
}

TEST_F(CollectionWindowTest, CloseQuestionCancelKeepsTheWindowAndTheEdit) {
    seedSeries("ALPHA", "P", 0);
    openWindow();
    typeInto(form->DBEditPublisher, "q");
    answers = {mrCancel};
    frame->CloseWindowClick();
    QApplication::processEvents();
    ASSERT_EQ(asked, QStringList{"Do you wish to save your Series Changes?"});
    EXPECT_EQ(requests[0].buttons, mbYesNoCancel);
    ASSERT_TRUE(requests[0].position.has_value());
    EXPECT_EQ(*requests[0].position, frame->frameGeometry().topLeft() + QPoint(150, 200));
    ASSERT_EQ(ComicForm, form);
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsEdit);
    EXPECT_FALSE(frame->SBOpen->isEnabled());
    EXPECT_TRUE(frame->SBFind->isEnabled());
}

TEST_F(CollectionWindowTest, CloseQuestionYesPostsTheNewSeries) {
    openWindow();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    typeInto(form->DBEditSeries, "bone");
    answers = {mrYes};
    frame->CloseWindowClick();
    QApplication::processEvents();
    EXPECT_EQ(asked, QStringList{"Do you wish save your new series entry?"});
    EXPECT_EQ(ComicForm, nullptr);
    EXPECT_FALSE(storedSeries("BONE").empty());
}

TEST_F(CollectionWindowTest, CloseQuestionNoDropsTheNewBook) {
    const int entry = seedSeries("ALPHA", "P", 4);
    seedBook(entry, "1", 4);
    openWindow();
    showBookPage();
    frame->DBNavigatorCtrl->BtnClick(TNavigateBtn::nbInsert);
    typeInto(form->DBEditComicNo, "2");
    typeInto(form->DBEditQty, "3");
    answers = {mrNo};
    frame->CloseWindowClick();
    QApplication::processEvents();
    EXPECT_EQ(asked, QStringList{"Do you wish save your new comic book entry?"});
    EXPECT_EQ(ComicForm, nullptr);
    EXPECT_EQ(storedBooks().size(), 1u);
    EXPECT_EQ(storedOwned("ALPHA"), 4);
}

TEST_F(CollectionWindowTest, CloseQuestionYesPostsTheBookEdit) {
    const int entry = seedSeries("ALPHA", "P", 4);
    seedBook(entry, "1", 4);
    openWindow();
    showBookPage();
    typeInto(form->DBEditQty, "6");
    answers = {mrYes};
    EXPECT_TRUE(form->FormCloseQuery());
    EXPECT_EQ(asked, QStringList{"Do you wish to save your Comic Book Changes?"});
    EXPECT_EQ(storedOwned("ALPHA"), 6);
}

TEST_F(CollectionWindowTest, ExitAnsweredCancelKeepsTheProgramRunning) {
    seedSeries("ALPHA", "P", 0);
    openWindow();
    typeInto(form->DBEditSeries, "beta");
    answers = {mrCancel};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(form->TableSeries->State(), TDataSetState::dsEdit);
}

// Tables held by another program: the window still opens, the error is
// shown once, and the collection can be opened again once they are free.
TEST_F(CollectionWindowTest, TablesInUseAreReportedAndTheWindowStaysUsable) {
    seedSeries("ALPHA", "P", 0);
    const std::string books = dir.str() + "/pkeep/books.db";
    const int other = ::open(books.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << books;
    openWindow();
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("in use")) << asked[0].toStdString();
    EXPECT_EQ(frame->ChildCount(), 1);
    EXPECT_TRUE(frame->SBOpen->isEnabled());  // the window never got its tables
    form->close();
    QApplication::processEvents();
    ::close(other);
    asked.clear();
    openWindow();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(form->TableBooks->Active());
    EXPECT_FALSE(frame->SBOpen->isEnabled());
}

// The Highlighted Item Reports take the window's current series and book:
// the detail printout shows the book highlighted, not the series' first.
TEST_F(CollectionWindowTest, DetailPrintoutIsOfTheHighlightedBook) {
    const int entry = seedSeries("HULK", "MARVEL", 3);
    seedBook(entry, "1", 1, 100, 5.00);
    seedBook(entry, "2", 1, 50, 75.07);  // graded 37.535: shown $37.54
    seedBook(entry, "3", 1, 100, 9.00);
    // Reports run in the collection folder, beside their logo.
    const QString folder = dir.path() + "/pkeep";
    QImage logo(16, 16, QImage::Format_RGB32);
    logo.fill(Qt::darkBlue);
    ASSERT_TRUE(logo.save(folder + "/PKEEP20.BMP", "BMP"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    installReportsMenu(*frame, HighlightedInCollectionWindow);
    openWindow();
    showBookPage();
    form->TableBooks->First();
    form->TableBooks->Next();
    frame->findChild<QAction*>("DetailedPrintoutofComicBook1")->trigger();
    ASSERT_TRUE(PreviewForm);
    QFile report(PreviewForm->ReportFile());
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray stream = report.readAll();
    EXPECT_TRUE(stream.contains("$75.07"));
    EXPECT_TRUE(stream.contains("$37.54"));
    EXPECT_FALSE(stream.contains("$5.00"));
    QDir::setCurrent(previous);
}
