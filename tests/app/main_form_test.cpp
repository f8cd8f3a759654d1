// The frame window: menus, speed bar, status-line hints, child windows and
// the top-level handler reached from a real click.
#include <QEnterEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QTimer>

#include "platform/base/exception.h"
#include "platform/graphics/printers.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/hints.h"
#include "platform/widgets/speed_button.h"
#include "platform/widgets/status_line.h"
#include "tests/app/frame_fixture.h"

namespace {

QStringList captions(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

void enter(QWidget* widget) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &event);
}

// Chooses the item as a user does: the menu dropped down, the item
// highlighted, Enter pressed; the command runs from the event loop.
void chooseFromMenu(QMenu* menu, QAction* item) {
    menu->popup(QPoint(0, 20));
    menu->setActiveAction(item);
    QTest::keyClick(menu, Qt::Key_Return);
}

// A child window content that answers the frame's close question.
class Refusing : public QLabel, public TCloseQuery {
public:
    explicit Refusing(bool agree) : QLabel("child"), agree_(agree) {}
    bool FormCloseQuery() override { return agree_; }

private:
    bool agree_;
};

}  // namespace

TEST_F(FrameTest, MenuBarAndItemsCarryTheirCaptionsHintsAndStates) {
    EXPECT_EQ(form->windowTitle(), "Panel-Keep v2.0b");
    EXPECT_EQ(captions(form->MainMenu->actions()),
              QStringList({"&File", "&Edit", "&Reports", "&Window", "&Help"}));
    EXPECT_EQ(captions(form->FileMenu->actions()),
              QStringList({"&Open", "&Close Window", "-", "P&rint Setup...", "-", "&Rebuild Files",
                           "-", "E&xit"}));
    EXPECT_EQ(captions(form->FileOpenItem->actions()), QStringList({"&Comic Collection"}));
    EXPECT_EQ(captions(form->Reports1->actions()),
              QStringList({"&Collection Reports", "&Book Reports", "&Highlighted Item Reports",
                           "&Series Reports"}));
    EXPECT_EQ(captions(form->WindowMenu->actions()),
              QStringList({"&Tile", "&Cascade", "&Arrange All"}));
    EXPECT_EQ(
        captions(form->HelpMenu->actions()),
        QStringList({"&Contents", "&Search for Help On...", "&How to Use Help", "-", "&About..."}));
    EXPECT_TRUE(form->EditMenu->actions().isEmpty());
    EXPECT_FALSE(form->EditMenu->menuAction()->isEnabled());

    struct Item {
        QAction* action;
        const char* hint;
        bool enabled;
    } items[] = {
        {form->FileOpenItem->menuAction(), "Open an existing file", true},
        {form->ComicCollection, "Open the Comic Collection", true},
        {form->CloseWindow, "Close the Active Window", false},
        {form->FilePrintSetupItem, "Change printer setup", true},
        {form->RebuildFiles, "Open the File Rebuild Utility", true},
        {form->FileExitItem, "Exit this application", true},
        {form->CollectionReports1->menuAction(), "Reports about entire collection", true},
        {form->BookReports1->menuAction(), "Reports about books", true},
        {form->HighlightedItemReports->menuAction(), "Reports about the currently highlighted item",
         false},
        {form->SeriesReports1->menuAction(), "Reports about Comic Series", true},
        {form->WindowTileItem, "Tile all windows", true},
        {form->WindowCascadeItem, "Cascade all windows", true},
        {form->WindowArrangeItem, "Arrange minimized windows", true},
        {form->HelpContentsItem, "Display the help contents screen", true},
        {form->HelpSearchItem, "Search help file for a topic", true},
        {form->HelpHowToUseItem, "Help on using the help system", true},
        {form->HelpAboutItem, "Show program information", true},
    };
    for (const Item& item : items) {
        EXPECT_EQ(HintOf(item.action), item.hint) << item.hint;
        EXPECT_EQ(item.action->isEnabled(), item.enabled) << item.hint;
        EXPECT_TRUE(item.action->shortcut().isEmpty()) << item.hint;
    }
    for (QMenu* reports : {form->CollectionReports1, form->BookReports1,
                           form->HighlightedItemReports, form->SeriesReports1})
        EXPECT_TRUE(reports->actions().isEmpty());
}

TEST_F(FrameTest, SpeedBarLayoutAndStartingState) {
    form->show();
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint(0, 0));  // no saved placement yet
    EXPECT_EQ(form->size(), QSize(640, 480));
    EXPECT_EQ(form->SpeedBar->height(), 32);
    EXPECT_EQ(form->StatusLine->height(), 23);
    EXPECT_EQ(form->SBOpen->geometry(), QRect(8, 4, 25, 25));
    EXPECT_EQ(form->DBNavigatorCtrl->geometry(), QRect(47, 4, 104, 25));
    EXPECT_EQ(form->DBNavigatorMove->geometry(), QRect(166, 4, 104, 25));
    EXPECT_EQ(form->SBFind->geometry(), QRect(288, 4, 25, 25));
    EXPECT_EQ(form->SBHelp->geometry(), QRect(332, 4, 25, 25));
    // Top to bottom: speed bar, client area, status line at the very bottom.
    const QPoint clientTop = form->ClientArea->mapTo(form.get(), QPoint(0, 0));
    EXPECT_GT(clientTop.y(), form->SpeedBar->mapTo(form.get(), QPoint(0, 31)).y());
    EXPECT_EQ(form->StatusLine->mapTo(form.get(), QPoint(0, 23)).y(), form->height());

    EXPECT_TRUE(form->SBOpen->isEnabled());
    EXPECT_FALSE(form->SBFind->isEnabled());
    EXPECT_TRUE(form->SBHelp->isEnabled());
    for (TDBNavigator* nav : {form->DBNavigatorCtrl, form->DBNavigatorMove}) {
        EXPECT_FALSE(nav->isEnabled());
        EXPECT_EQ(nav->DataSource(), nullptr);
    }
    EXPECT_TRUE(form->DBNavigatorCtrl->IsButtonVisible(TNavigateBtn::nbInsert));
    EXPECT_FALSE(form->DBNavigatorCtrl->IsButtonVisible(TNavigateBtn::nbFirst));
    EXPECT_TRUE(form->DBNavigatorMove->IsButtonVisible(TNavigateBtn::nbLast));
    EXPECT_FALSE(form->DBNavigatorMove->IsButtonVisible(TNavigateBtn::nbPost));
    EXPECT_EQ(form->DBNavigatorCtrl->Button(TNavigateBtn::nbPost)->toolTip(), "Save Changes");
    EXPECT_EQ(form->DBNavigatorMove->Button(TNavigateBtn::nbPrior)->toolTip(), "Prior Entry");
    EXPECT_EQ(form->SBFind->toolTip(), "Find an Entry");
    EXPECT_EQ(form->SBHelp->toolTip(), "Help Contents");
}

TEST_F(FrameTest, StatusLineShowsMenuHintsWholeAndSpeedBarHintsBlank) {
    form->show();
    form->FileMenu->popup(form->mapToGlobal(QPoint(0, 20)));
    form->FileMenu->setActiveAction(form->FileOpenItem->menuAction());
    EXPECT_EQ(form->StatusLine->SimpleText(), "Open an existing file");
    form->FileMenu->setActiveAction(form->FilePrintSetupItem);
    EXPECT_EQ(form->StatusLine->SimpleText(), "Change printer setup");
    // A disabled item shows its hint too (no child window: Close Window is off).
    ASSERT_FALSE(form->CloseWindow->isEnabled());
    form->FileMenu->setActiveAction(form->CloseWindow);
    EXPECT_EQ(form->StatusLine->SimpleText(), "Close the Active Window");
    form->FileMenu->hide();
    EXPECT_EQ(form->StatusLine->SimpleText(), "");

    form->HelpMenu->popup(form->mapToGlobal(QPoint(0, 20)));
    form->HelpMenu->setActiveAction(form->HelpAboutItem);
    EXPECT_EQ(form->StatusLine->SimpleText(), "Show program information");
    form->HelpMenu->hide();

    TApplication::Instance()->SetHint("something");
    EXPECT_EQ(form->StatusLine->SimpleText(), "something");
    enter(form->SBOpen);
    EXPECT_EQ(form->SBOpen->toolTip(), "Open Comic Collection");
    EXPECT_EQ(form->StatusLine->SimpleText(), "");

    // A hint of two lines is shown on the one line there is.
    auto* grid = new QLabel("grid", form->ClientArea);
    SetHint(grid, "Doule Click to Search or\nRight Click for More Options");
    enter(grid);
    EXPECT_EQ(form->StatusLine->SimpleText(),
              "Doule Click to Search or Right Click for More Options");
}

TEST_F(FrameTest, FileMenuEnablingFollowsTheChildWindows) {
    form->show();
    auto openFileMenu = [&] {
        form->FileMenu->popup(form->mapToGlobal(QPoint(0, 20)));
        form->FileMenu->hide();
    };
    openFileMenu();
    EXPECT_FALSE(form->CloseWindow->isEnabled());
    EXPECT_TRUE(form->RebuildFiles->isEnabled());

    form->AddChild(new QLabel("Preview"));  // any child window, as a report preview
    openFileMenu();
    EXPECT_TRUE(form->CloseWindow->isEnabled());
    EXPECT_FALSE(form->RebuildFiles->isEnabled());

    form->CloseWindow->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->ChildCount() == 0; }, 5000));
    openFileMenu();
    EXPECT_FALSE(form->CloseWindow->isEnabled());
    EXPECT_TRUE(form->RebuildFiles->isEnabled());
}

TEST_F(FrameTest, OpenComicCollectionPutsTheWindowAtThreeThreeAndResetsTheCursor) {
    form->show();
    int made = 0;
    QWidget* foundOn = nullptr;
    form->PlugCollectionWindow({[&]() -> QWidget* {
                                    ++made;
                                    // the hourglass while it is built
                                    EXPECT_NE(QApplication::overrideCursor(), nullptr);
                                    auto* w = new QLabel("collection");
                                    w->setWindowTitle("Comic Collection");
                                    return w;
                                },
                                nullptr, [&](QWidget& w) { foundOn = &w; }});
    QTest::mouseClick(form->SBOpen, Qt::LeftButton);
    EXPECT_EQ(made, 1);
    ASSERT_EQ(form->ChildCount(), 1);
    EXPECT_EQ(form->ComicForm.data(), form->ActiveChild());
    EXPECT_EQ(form->ClientArea->subWindowList().first()->pos(), QPoint(3, 3));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The find button runs the collection window's find command.
    form->SBFind->setEnabled(true);
    QTest::mouseClick(form->SBFind, Qt::LeftButton);
    EXPECT_EQ(foundOn, form->ComicForm.data());
}

// The window's own opening work runs once it is on screen, so that a window
// whose tables do not open is there all the same.
TEST_F(FrameTest, TheCollectionWindowIsToldOnceItIsShown) {
    form->show();
    int shown = 0;
    form->PlugCollectionWindow({[] { return new QLabel("collection"); },
                                [&](QWidget& w) {
                                    ++shown;
                                    EXPECT_EQ(&w, form->ComicForm.data());
                                    EXPECT_TRUE(w.isVisible());
                                    EXPECT_EQ(form->ChildCount(), 1);
                                },
                                nullptr});
    QTest::mouseClick(form->SBOpen, Qt::LeftButton);
    EXPECT_EQ(shown, 1);
}

TEST_F(FrameTest, ExceptionFromAHandlerIsShownAndTheProgramGoesOn) {
    form->show();
    form->PlugCollectionWindow(
        {[]() -> QWidget* { throw EDatabaseError("Table not found."); }, nullptr, nullptr});
    QTest::mouseClick(form->SBOpen, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Table not found.");
    EXPECT_EQ(boxes[0].type, TMsgDlgType::mtError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(form->ChildCount(), 0);

    // Still running: the next command works, and an abort shows nothing.
    form->PlugCollectionWindow({[]() -> QWidget* { throw EAbort(); }, nullptr, nullptr});
    QTest::mouseClick(form->SBOpen, Qt::LeftButton);
    EXPECT_EQ(boxes.size(), 1u);
    form->PlugCollectionWindow({[] { return new QLabel("collection"); }, nullptr, nullptr});
    QTest::mouseClick(form->SBOpen, Qt::LeftButton);
    EXPECT_EQ(form->ChildCount(), 1);
}

TEST_F(FrameTest, WindowMenuListsTheChildrenWithTheActiveOneChecked) {
    form->show();
    auto* first = new QLabel("a");
    first->setWindowTitle("Comic Collection");
    auto* second = new QLabel("b");
    second->setWindowTitle("Preview");
    form->AddChild(first);
    QMdiSubWindow* secondChild = form->AddChild(second);
    form->ClientArea->setActiveSubWindow(secondChild);
    form->WindowMenu->popup(form->mapToGlobal(QPoint(0, 20)));
    form->WindowMenu->hide();
    const QList<QAction*> actions = form->WindowMenu->actions();
    EXPECT_EQ(captions(actions), QStringList({"&Tile", "&Cascade", "&Arrange All", "-",
                                              "&1 Comic Collection", "&2 Preview"}));
    EXPECT_FALSE(actions[4]->isChecked());
    EXPECT_TRUE(actions[5]->isChecked());
    actions[4]->trigger();
    EXPECT_EQ(form->ActiveChild(), first);

    form->WindowTileItem->trigger();
    const QRect a = form->ClientArea->subWindowList()[0]->geometry();
    const QRect b = form->ClientArea->subWindowList()[1]->geometry();
    EXPECT_FALSE(a.intersects(b));
    form->WindowCascadeItem->trigger();
    EXPECT_NE(form->ClientArea->subWindowList()[0]->pos(),
              form->ClientArea->subWindowList()[1]->pos());
}

TEST_F(FrameTest, ClosingAsksEveryChildAndARefusalKeepsTheFrameOpen) {
    form->show();
    form->AddChild(new Refusing(true));
    form->AddChild(new Refusing(false));
    form->FileExitItem->trigger();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->ChildCount(), 2);
}

TEST_F(FrameTest, ExitClosesTheFrameWhenTheChildrenAgree) {
    form->show();
    form->AddChild(new Refusing(true));
    form->FileExitItem->trigger();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FrameTest, EditMenuOfTheActiveChildTakesThePlaceOfTheFramesOne) {
    QMenu childEdit("&Edit");
    childEdit.addAction("Cu&t");
    form->MergeEditMenu(&childEdit);
    QStringList visible;
    for (QAction* a : form->MainMenu->actions())
        if (a->isVisible()) visible << a->text();
    EXPECT_EQ(visible, QStringList({"&File", "&Edit", "&Reports", "&Window", "&Help"}));
    EXPECT_EQ(form->MainMenu->actions()[1], childEdit.menuAction());
    form->UnmergeEditMenu();
    EXPECT_EQ(form->MainMenu->actions()[1], form->EditMenu->menuAction());
    EXPECT_TRUE(form->EditMenu->menuAction()->isVisible());
}

TEST_F(FrameTest, PrintSetupChoosesTheProgramsPrinter) {
    form->show();
    // Without any printer the command says so and the program goes on.
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    chooseFromMenu(form->FileMenu, form->FilePrintSetupItem);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "There are no printers installed.");

    // With a printer, the dialog works on the program's printer object.
    SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(dir.path() + "/out.pdf"));
    QString title;
    QPrinter* shownFor = nullptr;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        shownFor = dialog->printer();
        dialog->reject();
    });
    chooseFromMenu(form->FileMenu, form->FilePrintSetupItem);
    EXPECT_EQ(title, "Print Setup");
    EXPECT_EQ(shownFor, Printer().QtPrinter());
    SetInstalledPrinters(std::make_unique<TSystemPrinters>());
}
