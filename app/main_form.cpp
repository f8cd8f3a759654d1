// TMainForm: construction and layout of the frame window, the child window
// hooks and closing.  Menus are built in main_form_menus.cpp, the command
// handlers live in main_form_commands.cpp.
#include "app/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

#include "app/centring.h"
#include "app/placement.h"
#include "app/previous_instance.h"
#include "app/speed_glyphs.h"
#include "platform/widgets/application.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/hints.h"
#include "platform/widgets/speed_button.h"
#include "platform/widgets/status_line.h"

TMainForm* MainForm = nullptr;

namespace {

const QString kTitle = QStringLiteral("Panel-Keep v2.0b");
constexpr int kSpeedBarHeight = 32;
constexpr int kButtonTop = 4;
constexpr int kNavigatorWidth = 104;
constexpr int kNavigatorHeight = 25;

// A thin coloured strip: the frame's lines and bevels.
QFrame* line(QWidget* parent, const QColor& colour, const char* name) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, colour);
    frame->setPalette(palette);
    return frame;
}

TSpeedButton* speedButton(QWidget* bar, int left, const QPixmap& glyph, const QString& hint,
                          const char* name) {
    auto* button = new TSpeedButton(bar);
    button->setObjectName(QLatin1String(name));
    button->move(left, kButtonTop);
    button->SetGlyph(glyph, TSpeedButton::DisabledImage(glyph));
    SetHint(button, hint);
    return button;
}

TDBNavigator* navigator(QWidget* bar, int left, std::initializer_list<TNavigateBtn> buttons,
                        const QStringList& hints, const char* name) {
    auto* nav = new TDBNavigator(bar);
    nav->setObjectName(QLatin1String(name));
    nav->setGeometry(left, kButtonTop, kNavigatorWidth, kNavigatorHeight);
    nav->SetVisibleButtons(buttons);
    nav->SetHints(hints);
    nav->setEnabled(false);
    return nav;
}

// The speed bar: buttons at fixed places, its top bevel and bottom line
// stretched across the whole width.
class TSpeedBarPanel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        for (QFrame* strip : findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly))
            strip->resize(width(), strip->height());
    }
};

}  // namespace

TMainForm::TMainForm(const TPreviousInstance* previousInstance, QWidget* parent)
    : QMainWindow(parent) {
    MainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    // The window frame goes to the screen's corner: placing the client area
    // there would put the title bar above the screen.
    resize(640, 480);
    move(0, 0);

    MainMenu = menuBar();
    buildMenus();
    StatusLine = new TStatusLine(this);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    buildSpeedBar();
    Placement = new TPlacement(this);
    Placement->IniFileName = QStringLiteral("pkeep20.ini");
    Placement->Section = QStringLiteral("MainForm");
    buildClientLayout();
    if (previousInstance) JustOne321 = new TJustOne32(this, *previousInstance);

    try {
        FormCreate();
    } catch (const std::exception& error) {
        TApplication::ShowException(error);  // the window is created all the same
    }
}

TMainForm::~TMainForm() {
    try {
        FormDestroy();
    } catch (const std::exception& error) {
        TApplication::ShowException(error);
    }
    if (auto* app = TApplication::Instance()) app->OnHint = nullptr;
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::buildSpeedBar() {
    SpeedBar = new TSpeedBarPanel(this);
    SpeedBar->setObjectName(QStringLiteral("SpeedBar"));
    SpeedBar->setFixedHeight(kSpeedBarHeight);
    Bevel1 = new QFrame(SpeedBar);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 0, 2);
    Panel5 = line(SpeedBar, QColor(128, 128, 128), "Panel5");
    Panel5->setGeometry(0, kSpeedBarHeight - 1, 0, 1);

    SBOpen =
        speedButton(SpeedBar, 8, OpenGlyph(), QStringLiteral("Open Comic Collection|"), "SBOpen");
    DBNavigatorCtrl =
        navigator(SpeedBar, 47,
                  {TNavigateBtn::nbInsert, TNavigateBtn::nbDelete, TNavigateBtn::nbPost,
                   TNavigateBtn::nbCancel},
                  {QStringLiteral("Add New Entry|"), QStringLiteral("Delete Selected Entry|"),
                   QStringLiteral("Save Changes|"), QStringLiteral("Undo/Cancel Changes|")},
                  "DBNavigatorCtrl");
    DBNavigatorMove = navigator(
        SpeedBar, 166,
        {TNavigateBtn::nbFirst, TNavigateBtn::nbPrior, TNavigateBtn::nbNext, TNavigateBtn::nbLast},
        {QStringLiteral("First Entry|"), QStringLiteral("Prior Entry|"),
         QStringLiteral("Next Entry|"), QStringLiteral("Last Entry|")},
        "DBNavigatorMove");
    SBFind = speedButton(SpeedBar, 288, FindGlyph(), QStringLiteral("Find an Entry|"), "SBFind");
    SBFind->setEnabled(false);
    SBHelp = speedButton(SpeedBar, 332, HelpGlyph(), QStringLiteral("Help Contents|"), "SBHelp");

    connect(SBOpen, &TSpeedButton::clicked, this, &TMainForm::ComicCollectionClick);
    connect(SBFind, &TSpeedButton::clicked, this, &TMainForm::SBFindClick);
    connect(SBHelp, &TSpeedButton::clicked, this, &TMainForm::HelpContents);
}

// From top to bottom: speed bar, a black line, the client area between a
// black line on the left and a white one on the right, a lowered strip, and
// the status line.
void TMainForm::buildClientLayout() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(SpeedBar);

    Panel1 = line(central, Qt::black, "Panel1");
    Panel1->setFixedHeight(1);
    column->addWidget(Panel1);

    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    Panel2 = line(central, Qt::black, "Panel2");
    Panel2->setFixedWidth(1);
    ClientArea = new QMdiArea(central);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    ClientArea->setBackground(palette().brush(QPalette::Dark));
    ClientArea->setFrameShape(QFrame::NoFrame);
    Panel3 = line(central, Qt::white, "Panel3");
    Panel3->setFixedWidth(1);
    row->addWidget(Panel2);
    row->addWidget(ClientArea, 1);
    row->addWidget(Panel3);
    column->addLayout(row, 1);

    Panel4 = new QFrame(central);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel4->setLineWidth(1);
    Panel4->setFixedHeight(2);
    column->addWidget(Panel4);
    column->addWidget(StatusLine);
    setCentralWidget(central);
}

void TMainForm::FormCreate() {
    if (auto* app = TApplication::Instance()) app->OnHint = [this] { ShowHint(); };
    Placement->Restore();
    setWindowTitle(kTitle);
}

// The placement is saved as the frame closes, while its window still exists
// (closing destroys it); a frame destroyed without closing saves it here.
void TMainForm::FormDestroy() { savePlacementOnce(); }

void TMainForm::savePlacementOnce() {
    if (placementSaved_) return;
    placementSaved_ = true;
    Placement->Save();
}

void TMainForm::ShowHint() {
    if (auto* app = TApplication::Instance()) StatusLine->SetSimpleText(app->Hint());
}

QMdiSubWindow* TMainForm::AddChild(QWidget* content, std::optional<QPoint> topLeft) {
    QMdiSubWindow* child = ClientArea->addSubWindow(content);
    child->setAttribute(Qt::WA_DeleteOnClose);
    if (topLeft) child->move(*topLeft);
    child->show();
    return child;
}

QMenu& TMainForm::ReportsSubmenu(TReportsSubmenu which) {
    switch (which) {
        case TReportsSubmenu::Collection:
            return *CollectionReports1;
        case TReportsSubmenu::Books:
            return *BookReports1;
        case TReportsSubmenu::HighlightedItem:
            return *HighlightedItemReports;
        case TReportsSubmenu::Series:
            break;
    }
    return *SeriesReports1;
}

void TMainForm::EnableRecordCommands(bool enabled) {
    DBNavigatorCtrl->setEnabled(enabled);
    DBNavigatorMove->setEnabled(enabled);
    SBFind->setEnabled(enabled);
    HighlightedItemReports->menuAction()->setEnabled(enabled);
}

void TMainForm::EnableOpenCollection(bool enabled) {
    ComicCollection->setEnabled(enabled);
    SBOpen->setEnabled(enabled);
}

void TMainForm::PlugCollectionWindow(TCollectionWindowHooks hooks) {
    collectionWindow_ = std::move(hooks);
}

bool TMainForm::WithCollectionWindowClosed(const std::function<void()>& change) {
    bool wasOpen = false;
    for (QMdiSubWindow* child : ClientArea->subWindowList()) {
        if (!ComicForm || child->widget() != ComicForm) continue;
        if (!child->close()) return false;  // its close query kept it open
        // Deleted now rather than later: a closed window deleted after its
        // successor opened would take the frame's navigators from it.
        delete child;
        wasOpen = true;
        break;
    }
    try {
        change();
    } catch (...) {
        if (wasOpen) ComicCollectionClick();
        throw;
    }
    if (wasOpen) ComicCollectionClick();
    return true;
}

void TMainForm::PlugRebuildWindow(std::function<std::unique_ptr<QDialog>()> create) {
    createRebuildForm_ = std::move(create);
}

void TMainForm::AddFileCommands(const QList<QAction*>& commands) {
    FileMenu->insertActions(RebuildFiles, commands);
}

int TMainForm::ChildCount() const { return static_cast<int>(ClientArea->subWindowList().size()); }

QWidget* TMainForm::ActiveChild() const {
    QMdiSubWindow* child = ClientArea->activeSubWindow();
    return child ? child->widget() : nullptr;
}

void TMainForm::MergeEditMenu(QMenu* menu) {
    UnmergeEditMenu();
    mergedEditAction_ = menu->menuAction();
    MainMenu->insertAction(editMenuAction_, mergedEditAction_);
    editMenuAction_->setVisible(false);
}

void TMainForm::UnmergeEditMenu() {
    if (mergedEditAction_) MainMenu->removeAction(mergedEditAction_);
    mergedEditAction_ = nullptr;
    editMenuAction_->setVisible(true);
}

int TMainForm::ShowCentred(QDialog& dialog) {
    dialog.ensurePolished();
    const QSize size = dialog.frameGeometry().size();
    dialog.move(
        KeptOnScreen(CentredTopLeft(frameGeometry(), size), size, screen()->availableGeometry()));
    return dialog.exec();
}

bool TMainForm::childrenAgreeToClose() {
    for (QMdiSubWindow* child : ClientArea->subWindowList()) {
        auto* query = dynamic_cast<TCloseQuery*>(child->widget());
        if (query && !query->FormCloseQuery()) return false;
    }
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!childrenAgreeToClose()) {
        event->ignore();
        return;
    }
    event->accept();
    try {
        savePlacementOnce();
    } catch (const std::exception& error) {
        TApplication::ShowException(error);  // the frame closes all the same
    }
}
