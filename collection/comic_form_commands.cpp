// TComicForm: the Edit menu that takes the place of the frame's one while
// the window is active, the pop-up menu of both grids, the clipboard
// commands and the two searches.  Add, Delete, Save and Undo/Cancel are the
// frame's DBNavigatorCtrl buttons, which follow the page shown.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTabWidget>

#include "collection/comic_form.h"
#include "collection/dbmemo_up.h"
#include "collection/valuation.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/dialogs.h"

namespace {

constexpr int kSeriesSearchMaxLength = 255;

QAction* item(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(shortcut);
    return action;
}

}  // namespace

void TComicForm::buildMenus() {
    Edit1 = new QMenu("&Edit", this);
    Edit1->setObjectName("Edit1");
    Save1 = item(Edit1, "&Save", QKeySequence("Ctrl+S"));
    Undo1 = item(Edit1, "&Undo/Cancel", QKeySequence("Ctrl+Z"));
    Edit1->addSeparator();
    Cut1 = item(Edit1, "Cu&t", QKeySequence("Ctrl+X"));
    Copy1 = item(Edit1, "&Copy", QKeySequence("Ctrl+C"));
    Paste1 = item(Edit1, "&Paste", QKeySequence("Ctrl+V"));
    Edit1->addSeparator();
    Add1 = item(Edit1, "&Add", QKeySequence("Ctrl+A"));
    Delete1 = item(Edit1, "&Delete", QKeySequence("Ctrl+D"));
    Edit1->addSeparator();
    Find1 = item(Edit1, "&Find...", QKeySequence("Ctrl+F"));
    Save1->setEnabled(false);
    Undo1->setEnabled(false);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName("PopupMenu");
    Save2 = item(PopupMenu, "Save");
    Undo2 = item(PopupMenu, "Undo/Cancel");
    PopupMenu->addSeparator();
    Add2 = item(PopupMenu, "&Add");
    Delete2 = item(PopupMenu, "&Delete");
    PopupMenu->addSeparator();
    Find2 = item(PopupMenu, "&Find...");

    connect(Edit1, &QMenu::aboutToShow, this, [this] { Edit1Click(); });
    const auto handle = [this](QAction* action, void (TComicForm::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    handle(Save1, &TComicForm::Save1Click);
    handle(Save2, &TComicForm::Save1Click);
    handle(Undo1, &TComicForm::Undo1Click);
    handle(Undo2, &TComicForm::Undo1Click);
    handle(Cut1, &TComicForm::Cut1Click);
    handle(Copy1, &TComicForm::Copy1Click);
    handle(Paste1, &TComicForm::Paste1Click);
    handle(Add1, &TComicForm::Add1Click);
    handle(Add2, &TComicForm::Add1Click);
    handle(Delete1, &TComicForm::Delete1Click);
    handle(Delete2, &TComicForm::Delete1Click);
    handle(Find1, &TComicForm::Find1Click);
    handle(Find2, &TComicForm::Find1Click);
}

void TComicForm::offerPopupMenu(TDBGrid* grid) {
    connect(grid, &QWidget::customContextMenuRequested, this, [this, grid](const QPoint& at) {
        PopupMenu->popup(grid->viewport()->mapToGlobal(at));
    });
}

void TComicForm::SetEditCommands(bool editing) {
    for (QAction* action : {Save1, Save2, Undo1, Undo2}) action->setEnabled(editing);
    for (QAction* action : {Add1, Add2, Delete1, Delete2, Find1, Find2, FindBarcode1})
        action->setEnabled(!editing);
}

namespace {

// The focused control of the window when it is a data-aware edit or memo box.
QWidget* focusedTextControl(const QWidget* window) {
    QWidget* focused = window->focusWidget();
    if (!focused || !window->isAncestorOf(focused)) return nullptr;
    if (qobject_cast<TDBEdit*>(focused) || qobject_cast<TDBMemo*>(focused)) return focused;
    return nullptr;
}

}  // namespace

void TComicForm::Edit1Click() {
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    Paste1->setEnabled(
        !QApplication::clipboard()->text().isEmpty() ||
        (pastesCover() && clipboard && (clipboard->hasImage() || clipboard->hasUrls())));
    bool selection = false;
    if (auto* edit = qobject_cast<TDBEdit*>(focusedTextControl(this)))
        selection = edit->hasSelectedText();
    else if (auto* memo = qobject_cast<TDBMemo*>(focusedTextControl(this)))
        selection = memo->HasSelection();
    Cut1->setEnabled(selection);
    Copy1->setEnabled(selection);
}

void TComicForm::Save1Click() {
    if (LiveFrame() && !cascading_) LiveFrame()->NavigatorCtrl().BtnClick(TNavigateBtn::nbPost);
}

void TComicForm::Undo1Click() {
    if (LiveFrame() && !cascading_) LiveFrame()->NavigatorCtrl().BtnClick(TNavigateBtn::nbCancel);
}

void TComicForm::Add1Click() {
    if (LiveFrame() && !cascading_) LiveFrame()->NavigatorCtrl().BtnClick(TNavigateBtn::nbInsert);
}

void TComicForm::Delete1Click() {
    if (LiveFrame() && !cascading_) LiveFrame()->NavigatorCtrl().BtnClick(TNavigateBtn::nbDelete);
}

void TComicForm::Cut1Click() {
    QWidget* control = focusedTextControl(this);
    if (auto* edit = qobject_cast<TDBEdit*>(control)) edit->CutToClipboard();
    if (auto* memo = qobject_cast<TDBMemo*>(control)) memo->CutToClipboard();
}

void TComicForm::Copy1Click() {
    QWidget* control = focusedTextControl(this);
    if (auto* edit = qobject_cast<TDBEdit*>(control)) edit->CopyToClipboard();
    if (auto* memo = qobject_cast<TDBMemo*>(control)) memo->CopyToClipboard();
}

void TComicForm::Paste1Click() {
    if (pastesCover()) {
        if (const QMimeData* clipboard = QApplication::clipboard()->mimeData())
            TakeCoverFrom(*clipboard);
        return;
    }
    QWidget* control = focusedTextControl(this);
    if (auto* edit = qobject_cast<TDBEdit*>(control)) edit->PasteFromClipboard();
    if (auto* memo = qobject_cast<TDBMemo*>(control)) memo->PasteFromClipboard();
}

void TComicForm::Find1Click() {
    if (cascading_) return;
    if (SeriesPageShown())
        DBGridSeriesDblClick();
    else
        DBGridBooksDblClick();
}

void TComicForm::DBGridSeriesDblClick() {
    if (cascading_) return;
    QString text;
    if (!InputQuery("Series Search", "Please enter the Series to search for:", text)) return;
    TableSeries->FindNearest({text.left(kSeriesSearchMaxLength).toUpper()});
}

void TComicForm::DBGridBooksDblClick() {
    if (cascading_) return;
    QString text;
    if (!InputQuery("Comic Book Search", "Please enter the Comic # to search for:", text)) return;
    const int entry = TableSeries->FieldByName("ENTRY")->AsInteger();
    TableBooks->FindNearest({entry, valuation::comicNoSearchKey(text)});
}

// The window's menu shortcuts come before the edit boxes' own use of the
// same keys (Ctrl+Z undoes the record, Ctrl+A adds one), as in the menus of
// the classic toolkit.
bool TComicForm::eventFilter(QObject* watched, QEvent* event) {
    if (TabSheet5 && watched == TabSheet5 && coverDropEvent(event)) return true;
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction* action : {Save1, Undo1, Add1, Delete1, Find1})
            if (action->shortcut() == pressed) {
                event->ignore();
                return true;  // not taken by the edit box: the menu's shortcut runs
            }
    }
    return QWidget::eventFilter(watched, event);
}
