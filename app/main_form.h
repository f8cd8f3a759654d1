#pragma once
// TMainForm: the multiple-document frame window.  It carries the menu bar,
// the speed bar (SBOpen, the record navigators DBNavigatorCtrl and
// DBNavigatorMove, SBFind, SBHelp), the client area holding the child
// windows, and the status line that shows the long hint of whatever the
// mouse or the menu selection is on.
//
// Plugging in the windows of other folders (they only add code):
// - The collection window: assign CreateComicForm (build the window's
//   content, parented to nothing; the frame puts it in a child window),
//   ComicFormShown (run once that child window is shown) and ComicFormFind
//   (the find command SBFind runs).  The window enables and
//   connects DBNavigatorCtrl, DBNavigatorMove, SBFind, SBOpen, ComicCollection
//   and HighlightedItemReports itself, follows activation through
//   ClientArea's subWindowActivated signal, and swaps its Edit menu in with
//   MergeEditMenu / UnmergeEditMenu.
// - Report windows: add the commands to the submenus CollectionReports1,
//   BookReports1, HighlightedItemReports and SeriesReports1, and show each
//   preview window with AddChild.
// - The rebuild window: assign CreateRebuildForm; RebuildFilesClick shows
//   the dialog modally, centred over the frame.
// A child window whose content implements TCloseQuery is asked before the
// frame closes; a refusal keeps the program running.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QDialog;
class QFrame;
class QMdiArea;
class QMdiSubWindow;
class QMenuBar;
class QMenu;
class TDBNavigator;
class TJustOne32;
class TPlacement;
class TPreviousInstance;
class TSpeedButton;
class TStatusLine;

// Implemented by a child window's content that may refuse to close.
class TCloseQuery {
public:
    virtual ~TCloseQuery() = default;
    virtual bool FormCloseQuery() = 0;  // true: the window may close
};

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // previousInstance is the single-instance guard's first half; without it
    // the frame runs as a first copy and listens for no second one.
    explicit TMainForm(const TPreviousInstance* previousInstance = nullptr,
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    // Components, in the order the frame declares them.
    QMenuBar* MainMenu = nullptr;
    QMenu* FileMenu = nullptr;
    QMenu* FileOpenItem = nullptr;  // submenu holding ComicCollection
    QAction* FilePrintSetupItem = nullptr;
    QAction* FileExitItem = nullptr;
    QMenu* EditMenu = nullptr;
    QMenu* WindowMenu = nullptr;
    QAction* WindowTileItem = nullptr;
    QAction* WindowCascadeItem = nullptr;
    QAction* WindowArrangeItem = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* HelpContentsItem = nullptr;
    QAction* HelpSearchItem = nullptr;
    QAction* HelpHowToUseItem = nullptr;
    QAction* HelpAboutItem = nullptr;
    TStatusLine* StatusLine = nullptr;
    QWidget* SpeedBar = nullptr;
    TSpeedButton* SBOpen = nullptr;
    TSpeedButton* SBHelp = nullptr;
    TPlacement* Placement = nullptr;
    QAction* ComicCollection = nullptr;
    TDBNavigator* DBNavigatorMove = nullptr;
    TDBNavigator* DBNavigatorCtrl = nullptr;
    QAction* CloseWindow = nullptr;
    QAction* N5 = nullptr;
    QAction* RebuildFiles = nullptr;
    QMenu* Reports1 = nullptr;
    QMenu* CollectionReports1 = nullptr;
    QMenu* BookReports1 = nullptr;
    QMenu* HighlightedItemReports = nullptr;
    QMenu* SeriesReports1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QFrame* Panel3 = nullptr;
    QFrame* Panel4 = nullptr;
    QFrame* Panel5 = nullptr;
    TSpeedButton* SBFind = nullptr;
    TJustOne32* JustOne321 = nullptr;
    QMdiArea* ClientArea = nullptr;

    // The collection window most recently opened, null when none is open.
    QPointer<QWidget> ComicForm;

    // Hooks for the windows of other folders (see the top of this file).
    std::function<QWidget*(TMainForm&)> CreateComicForm;
    std::function<void(QWidget&)> ComicFormShown;
    std::function<void(QWidget&)> ComicFormFind;
    std::function<std::unique_ptr<QDialog>(TMainForm&)> CreateRebuildForm;

    // Puts a window's content into a new child window of the client area and
    // shows it; the child is destroyed when it closes.  A top-left corner
    // given is set before the child is shown, so that it is laid out and
    // painted once, in its place.
    QMdiSubWindow* AddChild(QWidget* content, std::optional<QPoint> topLeft = std::nullopt);
    int ChildCount() const;
    QWidget* ActiveChild() const;

    // The active child's Edit menu takes the place of the frame's one.
    void MergeEditMenu(QMenu* menu);
    void UnmergeEditMenu();

    // Shows a dialog modally, centred over the frame, and returns its result.
    int ShowCentred(QDialog& dialog);

    // Handlers.
    void FormCreate();
    void FormDestroy();
    void ShowHint();
    void ComicCollectionClick();
    void CloseWindowClick();
    void FileMenuClick();
    void FilePrintSetup();
    void RebuildFilesClick();
    void FileExit();
    void WindowTile();
    void WindowCascade();
    void WindowArrange();
    void HelpContents();
    void HelpSearch();
    void HelpHowToUse();
    void HelpAbout();
    void SBFindClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildFileMenu();
    void buildReportsMenu();
    void buildWindowMenu();
    void buildHelpMenu();
    void buildSpeedBar();
    void buildClientLayout();
    void fillWindowList();
    bool childrenAgreeToClose();
    void sendHelpCommand(unsigned command, const QString& data);
    void savePlacementOnce();

    QAction* editMenuAction_ = nullptr;  // the frame's Edit menu in the menu bar
    QAction* mergedEditAction_ = nullptr;
    std::vector<QAction*> windowListActions_;  // the child window list in WindowMenu
    bool placementSaved_ = false;
};

// The one frame window of the program, null before it is built and after it
// is destroyed.
extern TMainForm* MainForm;
