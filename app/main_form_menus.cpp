// TMainForm: the menu bar.  No item has a shortcut key; every item carries
// its hint for the status line.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "app/main_form.h"
#include "platform/widgets/hints.h"

namespace {

QAction* item(QMenu* menu, const QString& caption, const QString& hint, const char* name) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    SetHint(action, hint);
    return action;
}

QMenu* submenu(QWidget* parent, const QString& caption, const QString& hint, const char* name) {
    auto* menu = new QMenu(caption, parent);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    SetHint(menu->menuAction(), hint);
    return menu;
}

void addSeparator(QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(QLatin1String(name));
}

}  // namespace

void TMainForm::buildMenus() {
    buildFileMenu();
    EditMenu = submenu(this, QStringLiteral("&Edit"), QString(), "EditMenu");
    editMenuAction_ = MainMenu->addMenu(EditMenu);
    editMenuAction_->setEnabled(false);
    buildReportsMenu();
    buildWindowMenu();
    buildHelpMenu();
}

void TMainForm::buildFileMenu() {
    FileMenu = submenu(this, QStringLiteral("&File"), QString(), "FileMenu");
    MainMenu->addMenu(FileMenu);
    FileOpenItem = submenu(FileMenu, QStringLiteral("&Open"),
                           QStringLiteral("Open an existing file"), "FileOpenItem");
    FileMenu->addMenu(FileOpenItem);
    ComicCollection = item(FileOpenItem, QStringLiteral("&Comic Collection"),
                           QStringLiteral("Open the Comic Collection"), "ComicCollection");
    CloseWindow = item(FileMenu, QStringLiteral("&Close Window"),
                       QStringLiteral("Close the Active Window"), "CloseWindow");
    CloseWindow->setEnabled(false);
    addSeparator(FileMenu, "N1");
    FilePrintSetupItem = item(FileMenu, QStringLiteral("P&rint Setup..."),
                              QStringLiteral("Change printer setup"), "FilePrintSetupItem");
    N5 = FileMenu->addSeparator();
    N5->setObjectName(QStringLiteral("N5"));
    RebuildFiles = item(FileMenu, QStringLiteral("&Rebuild Files"),
                        QStringLiteral("Open the File Rebuild Utility"), "RebuildFiles");
    addSeparator(FileMenu, "N3");
    FileExitItem = item(FileMenu, QStringLiteral("E&xit"), QStringLiteral("Exit this application"),
                        "FileExitItem");

    connect(FileMenu, &QMenu::aboutToShow, this, &TMainForm::FileMenuClick);
    connect(ComicCollection, &QAction::triggered, this, &TMainForm::ComicCollectionClick);
    connect(CloseWindow, &QAction::triggered, this, &TMainForm::CloseWindowClick);
    connect(FilePrintSetupItem, &QAction::triggered, this, &TMainForm::FilePrintSetup);
    connect(RebuildFiles, &QAction::triggered, this, &TMainForm::RebuildFilesClick);
    connect(FileExitItem, &QAction::triggered, this, &TMainForm::FileExit);
}

// The four report submenus stay empty here; the report commands fill them.
void TMainForm::buildReportsMenu() {
    Reports1 = submenu(this, QStringLiteral("&Reports"), QString(), "Reports1");
    MainMenu->addMenu(Reports1);
    CollectionReports1 =
        submenu(Reports1, QStringLiteral("&Collection Reports"),
                QStringLiteral("Reports about entire collection"), "CollectionReports1");
    BookReports1 = submenu(Reports1, QStringLiteral("&Book Reports"),
                           QStringLiteral("Reports about books"), "BookReports1");
    HighlightedItemReports = submenu(Reports1, QStringLiteral("&Highlighted Item Reports"),
                                     QStringLiteral("Reports about the currently highlighted item"),
                                     "HighlightedItemReports");
    SeriesReports1 = submenu(Reports1, QStringLiteral("&Series Reports"),
                             QStringLiteral("Reports about Comic Series"), "SeriesReports1");
    for (QMenu* menu : {CollectionReports1, BookReports1, HighlightedItemReports, SeriesReports1})
        Reports1->addMenu(menu);
    HighlightedItemReports->menuAction()->setEnabled(false);
}

void TMainForm::buildWindowMenu() {
    WindowMenu = submenu(this, QStringLiteral("&Window"), QString(), "WindowMenu");
    MainMenu->addMenu(WindowMenu);
    WindowTileItem = item(WindowMenu, QStringLiteral("&Tile"), QStringLiteral("Tile all windows"),
                          "WindowTileItem");
    WindowCascadeItem = item(WindowMenu, QStringLiteral("&Cascade"),
                             QStringLiteral("Cascade all windows"), "WindowCascadeItem");
    WindowArrangeItem = item(WindowMenu, QStringLiteral("&Arrange All"),
                             QStringLiteral("Arrange minimized windows"), "WindowArrangeItem");
    connect(WindowTileItem, &QAction::triggered, this, &TMainForm::WindowTile);
    connect(WindowCascadeItem, &QAction::triggered, this, &TMainForm::WindowCascade);
    connect(WindowArrangeItem, &QAction::triggered, this, &TMainForm::WindowArrange);
    connect(WindowMenu, &QMenu::aboutToShow, this, &TMainForm::fillWindowList);
}

void TMainForm::buildHelpMenu() {
    HelpMenu = submenu(this, QStringLiteral("&Help"), QString(), "HelpMenu");
    MainMenu->addMenu(HelpMenu);
    HelpContentsItem = item(HelpMenu, QStringLiteral("&Contents"),
                            QStringLiteral("Display the help contents screen"), "HelpContentsItem");
    HelpSearchItem = item(HelpMenu, QStringLiteral("&Search for Help On..."),
                          QStringLiteral("Search help file for a topic"), "HelpSearchItem");
    HelpHowToUseItem = item(HelpMenu, QStringLiteral("&How to Use Help"),
                            QStringLiteral("Help on using the help system"), "HelpHowToUseItem");
    addSeparator(HelpMenu, "N4");
    HelpAboutItem = item(HelpMenu, QStringLiteral("&About..."),
                         QStringLiteral("Show program information"), "HelpAboutItem");
    connect(HelpContentsItem, &QAction::triggered, this, &TMainForm::HelpContents);
    connect(HelpSearchItem, &QAction::triggered, this, &TMainForm::HelpSearch);
    connect(HelpHowToUseItem, &QAction::triggered, this, &TMainForm::HelpHowToUse);
    connect(HelpAboutItem, &QAction::triggered, this, &TMainForm::HelpAbout);
}

// The list of open child windows under the Window menu's own items, the
// active one checked, numbered as the toolkit numbers them.
void TMainForm::fillWindowList() {
    for (QAction* old : windowListActions_) {
        WindowMenu->removeAction(old);
        old->deleteLater();
    }
    windowListActions_.clear();
    const QList<QMdiSubWindow*> children = ClientArea->subWindowList();
    if (children.isEmpty()) return;
    windowListActions_.push_back(WindowMenu->addSeparator());
    int number = 1;
    for (QMdiSubWindow* child : children) {
        const QString prefix =
            number < 10 ? QStringLiteral("&%1 ").arg(number) : QStringLiteral("%1 ").arg(number);
        QAction* action = WindowMenu->addAction(prefix + child->windowTitle());
        action->setCheckable(true);
        action->setChecked(child == ClientArea->activeSubWindow());
        connect(action, &QAction::triggered, this, [this, child = QPointer<QMdiSubWindow>(child)] {
            if (child) ClientArea->setActiveSubWindow(child);
        });
        windowListActions_.push_back(action);
        ++number;
    }
}
