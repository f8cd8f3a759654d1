#pragma once
// TMainForm: the multiple-document frame window.  It carries the menu bar,
// the speed bar (SBOpen, the record navigators DBNavigatorCtrl and
// DBNavigatorMove, SBFind, SBHelp), the client area holding the child
// windows, and the status line that shows the long hint of whatever the
// mouse or the menu selection is on.
//
// The windows of other folders reach the frame through TFrameServices
// (platform/widgets/frame_services.h), which it implements; a child window
// whose content implements TCloseQuery is asked before the frame closes, and
// a refusal keeps the program running.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/widgets/frame_services.h"

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

class TMainForm : public QMainWindow, public TFrameServices {
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

    // TFrameServices.
    QWidget& Window() override { return *this; }
    QMdiSubWindow* AddChild(QWidget* content,
                            std::optional<QPoint> topLeft = std::nullopt) override;
    QMdiArea& ChildArea() override { return *ClientArea; }
    int ShowCentred(QDialog& dialog) override;
    QMenu& ReportsSubmenu(TReportsSubmenu which) override;
    void MergeEditMenu(QMenu* menu) override;
    void UnmergeEditMenu() override;
    TDBNavigator& NavigatorCtrl() override { return *DBNavigatorCtrl; }
    TDBNavigator& NavigatorMove() override { return *DBNavigatorMove; }
    void EnableRecordCommands(bool enabled) override;
    void EnableOpenCollection(bool enabled) override;
    void PlugCollectionWindow(TCollectionWindowHooks hooks) override;
    bool WithCollectionWindowClosed(const std::function<void()>& change) override;
    void PlugRebuildWindow(std::function<std::unique_ptr<QDialog>()> create) override;
    void AddFileCommands(const QList<QAction*>& commands) override;

    int ChildCount() const;
    QWidget* ActiveChild() const;

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
    TCollectionWindowHooks collectionWindow_;
    std::function<std::unique_ptr<QDialog>()> createRebuildForm_;
};

// The one frame window of the program, null before it is built and after it
// is destroyed.
extern TMainForm* MainForm;
