#pragma once
// TFrameServices: what the frame window lends the windows of the other
// folders (the collection window, the report previews, the rebuild dialog).
// The frame itself lives in app/, which builds on those folders; they know
// the frame only through this header and never include app/.
//
// - Child windows go into the frame's client area (AddChild, ChildArea).
// - The active collection window borrows the record navigators, SBFind, the
//   Highlighted Item Reports submenu and the Edit menu's place in the menu
//   bar, and disables File, Open, Comic Collection while it is open.
// - Report commands go into the submenus of Reports.
// - A window plugs itself into the frame's commands with the Plug calls.

#include <QList>
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QDialog;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QWidget;
class TDBNavigator;

// Implemented by a child window's content that may refuse to close.
class TCloseQuery {
public:
    virtual ~TCloseQuery() = default;
    virtual bool FormCloseQuery() = 0;  // true: the window may close
};

// The four submenus of Reports.
enum class TReportsSubmenu { Collection, Books, HighlightedItem, Series };

// The collection window as the frame runs it: File, Open, Comic Collection
// and SBOpen call Create (the window's content, parented to nothing; the
// frame puts it in a child window) and then Shown once that child window is
// on screen; SBFind calls Find on the open window.
struct TCollectionWindowHooks {
    std::function<QWidget*()> Create;
    std::function<void(QWidget&)> Shown;
    std::function<void(QWidget&)> Find;
};

class TFrameServices {
public:
    // The frame window: parent of dialogs, owner of helper objects.
    virtual QWidget& Window() = 0;

    // Puts a window's content into a new child window of the client area and
    // shows it; the child is destroyed when it closes.  A top-left corner
    // given is set before the child is shown.
    virtual QMdiSubWindow* AddChild(QWidget* content,
                                    std::optional<QPoint> topLeft = std::nullopt) = 0;
    // The client area, whose subWindowActivated signal tells a child that it
    // became active or stopped being so.
    virtual QMdiArea& ChildArea() = 0;
    // Shows a dialog modally, centred over the frame, and returns its result.
    virtual int ShowCentred(QDialog& dialog) = 0;

    virtual QMenu& ReportsSubmenu(TReportsSubmenu which) = 0;
    // The active child's Edit menu takes the place of the frame's one.
    virtual void MergeEditMenu(QMenu* menu) = 0;
    virtual void UnmergeEditMenu() = 0;

    // Insert, Delete, Post, Cancel and First, Prior, Next, Last.
    virtual TDBNavigator& NavigatorCtrl() = 0;
    virtual TDBNavigator& NavigatorMove() = 0;
    // Both navigators, SBFind and Highlighted Item Reports.
    virtual void EnableRecordCommands(bool enabled) = 0;
    // File, Open, Comic Collection and SBOpen.
    virtual void EnableOpenCollection(bool enabled) = 0;

    virtual void PlugCollectionWindow(TCollectionWindowHooks hooks) = 0;
    // Runs `change` to the tables with the collection window closed, so that
    // no window holds them while they change underneath it, and opens the
    // window again afterwards (after a failure too) if it was open.  False,
    // without running `change`, when the window stays open because the user
    // kept changes not yet saved.
    virtual bool WithCollectionWindowClosed(const std::function<void()>& change) = 0;
    // File, Re-Build Files shows the dialog made here, centred over the frame.
    virtual void PlugRebuildWindow(std::function<std::unique_ptr<QDialog>()> create) = 0;
    // Puts commands into the File menu, just above Re-Build Files.
    virtual void AddFileCommands(const QList<QAction*>& commands) = 0;

protected:
    ~TFrameServices() = default;
};
