// TComicForm: its life inside the frame window.  Creation opens the tables
// and lends them to the frame's navigators; activation enables the frame's
// navigators, SBFind and Highlighted Item Reports and swaps the Edit menu in;
// a page change points the navigators at that page's table; closing asks
// whether to save a pending change and gives everything back.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>

#include "collection/comic_form.h"
#include "collection/dbmemo_up.h"
#include "platform/system/beep.h"
#include "platform/widgets/application.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/db_navigator_link.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/font_warmer.h"
#include "platform/widgets/speed_button.h"
#include "platform/widgets/step_after_paint.h"

TComicForm* ComicForm = nullptr;

namespace {

// 593 x 370 holds the pages with the classic toolkit's thin tabs and title
// bar; Qt's taller ones need 20 pixels more for the book page's bottom strip.
constexpr QSize kWindowSize(593, 390);
constexpr QPoint kQuestionOffset(150, 200);

// The window's font; labels of totals and the bottom strip use its bold cut.
// Its strategy is set, so that it is not taken from the child window's font.
QFont windowFont() {
    QFont font("Arial", 9);
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

// The child window's caption, "Comic Collection", has no pair of letters
// that the font kerns or joins: drawn unshaped it looks the same, and the
// title bar, which shortens it to fit some hundred times as the window
// opens, does so several times quicker.
QFont titleFont() {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// Labels of totals and active title bars are drawn in the bold cut.
QFont boldCut(QFont font) {
    font.setBold(true);
    return font;
}

bool editing(const TDataSet* set) { return set->State() == TDataSetState::dsEdit; }
bool inserting(const TDataSet* set) { return set->State() == TDataSetState::dsInsert; }

}  // namespace

TComicForm::TComicForm(TMainForm& frame, QWidget* parent) : QWidget(parent), frame_(&frame) {
    setObjectName("ComicForm");
    setWindowTitle("Comic Collection");
    setFont(windowFont());
    setAttribute(Qt::WA_DeleteOnClose);
    createTables();

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    TabSheet1 = new QWidget;
    TabSheet2 = new QWidget;
    PageControl1->addTab(TabSheet1, "&Series Information");
    PageControl1->addTab(TabSheet2, "&Comic Book Details");
    auto* fill = new QHBoxLayout(this);
    fill->setContentsMargins(2, 2, 2, 2);
    fill->addWidget(PageControl1);
    buildSeriesPage();
    buildMenus();
    buildRunsCommands();
    bindSeriesControls();
    attachSeriesRules();
    attachBookRules();
    watchTypingIn(TabSheet1);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
    connect(DBGridSeries, &TDBGrid::dblClick, this, [this] { DBGridSeriesDblClick(); });
    offerPopupMenu(DBGridSeries);
    connect(frame.ClientArea, &QMdiArea::subWindowActivated, this,
            [this] { onSubWindowActivated(); });

    ctrlLink_ = std::make_unique<TNavigatorLink>(frame.DBNavigatorCtrl);
    moveLink_ = std::make_unique<TNavigatorLink>(frame.DBNavigatorMove);
}

// Tens of thousands of books take a while to read: that happens while the
// frame puts the window on screen and paints it.  The series go first, as
// the first page needs them at once.
void TComicForm::BeginOpening() {
    ComicForm = this;
    TableSeries->Preload();
    TableBooks->Preload();
}

// The book page is built the first time it is shown or a book rule needs
// its controls, so that opening the window builds only the page it shows.
void TComicForm::EnsureBookPage() {
    if (DBGridBooks) return;
    buildBookPage();
    bindBookControls();
    watchTypingIn(TabSheet2);
    connect(DBText1, &TDBText::doubleClicked, this, [this] { DBGridSeriesDblClick(); });
    connect(DBGridBooks, &TDBGrid::dblClick, this, [this] { DBGridBooksDblClick(); });
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
    offerPopupMenu(DBGridBooks);
    priorLink_ = std::make_unique<TNavigatorLink>(DBNavigator1);
    nextLink_ = std::make_unique<TNavigatorLink>(DBNavigator2);
    if (created_) {
        priorLink_->Connect(DataSeries);
        nextLink_->Connect(DataSeries);
    }
    followGradeOfRecord();
    // Children added to a page already on screen are not shown with it.
    if (TabSheet2->isVisible())
        for (QWidget* child : TabSheet2->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->show();
}

// Typed keys that are also menu shortcuts go to the menu (see eventFilter).
void TComicForm::watchTypingIn(QWidget* page) {
    for (QWidget* control : page->findChildren<QWidget*>())
        if (qobject_cast<TDBEdit*>(control) || qobject_cast<TDBMemo*>(control))
            control->installEventFilter(this);
}

TComicForm::~TComicForm() {
    if (ComicForm == this) ComicForm = nullptr;
    // The frame may be going down itself: only the links, which watch their
    // navigators, are handed back here.
    for (auto* link : {ctrlLink_.get(), moveLink_.get(), priorLink_.get(), nextLink_.get()})
        if (link) link->Connect(nullptr);
    // Without its window no rule may run: a pending change is dropped as the
    // tables close, and the controls go before the tables they show.
    detachRules();
    if (TableBooks->Active()) TableBooks->Cancel();
    if (TableSeries->Active()) TableSeries->Cancel();
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

// Opens the series table; the books table, whose reading overlaps putting
// the window on screen, is collected once the window is painted (see
// finishOpening).  A failure stops here with the steps before it done; the
// caller shows it and the window opens all the same.
void TComicForm::FormCreate() {
    TableSeries->Open();
    DataSeriesDataChange();
    opening_ = std::make_unique<TStepAfterPaint>(*this, [this] { finishOpening(); });
}

bool TComicForm::StillOpening() const { return opening_ && opening_->Pending(); }

// Collects the books table and lends the tables to the navigators.  Runs
// after the first paint, or before the first key or click should the user
// be quicker; a failure is shown and leaves the window without its tables.
void TComicForm::finishOpening() {
    if (closed_) return;
    try {
        TableBooks->Open();
    } catch (const std::exception& error) {
        TApplication::ShowException(error);
        return;
    }
    connectNavigators(SeriesPageShown() ? DataSeries : DataBooks);
    if (priorLink_) priorLink_->Connect(DataSeries);
    if (nextLink_) nextLink_->Connect(DataSeries);
    if (frame_) {
        frame_->ComicCollection->setEnabled(false);
        frame_->SBOpen->setEnabled(false);
    }
    created_ = true;
    followGradeOfRecord();
    ShowSeriesRuns();
}

void TComicForm::FormActivate() {
    if (!frame_) return;
    for (QWidget* control :
         {static_cast<QWidget*>(frame_->DBNavigatorCtrl),
          static_cast<QWidget*>(frame_->DBNavigatorMove), static_cast<QWidget*>(frame_->SBFind)})
        control->setEnabled(true);
    frame_->HighlightedItemReports->menuAction()->setEnabled(true);
    frame_->MergeEditMenu(Edit1);
}

void TComicForm::FormDeactivate() {
    if (!frame_) return;
    for (QWidget* control :
         {static_cast<QWidget*>(frame_->DBNavigatorCtrl),
          static_cast<QWidget*>(frame_->DBNavigatorMove), static_cast<QWidget*>(frame_->SBFind)})
        control->setEnabled(false);
    frame_->HighlightedItemReports->menuAction()->setEnabled(false);
    frame_->UnmergeEditMenu();
}

void TComicForm::onSubWindowActivated() {
    if (!frame_ || closed_) return;
    QMdiSubWindow* activeChild = frame_->ClientArea->activeSubWindow();
    const bool nowActive = activeChild && activeChild->widget() == this;
    if (nowActive == active_) return;
    active_ = nowActive;
    nowActive ? FormActivate() : FormDeactivate();
}

bool TComicForm::SeriesPageShown() const { return PageControl1->currentWidget() == TabSheet1; }
bool TComicForm::BookPageShown() const { return PageControl1->currentWidget() == TabSheet2; }

void TComicForm::PageControl1Change() {
    if (BookPageShown()) EnsureBookPage();
    if (!created_) return;
    connectNavigators(SeriesPageShown() ? DataSeries : DataBooks);
}

void TComicForm::connectNavigators(TDataSource* source) {
    moveLink_->Connect(source);
    ctrlLink_->Connect(source);
}

// The question about a pending change, series table first.  Yes posts it
// (a refused post keeps the window open), No drops it with the tables,
// Cancel keeps the window open.
bool TComicForm::askToClose() {
    if (!TableSeries->Active() && !TableBooks->Active()) return true;
    QString question;
    TDataSet* pending = nullptr;
    if (TableSeries->Active() && editing(TableSeries)) {
        question = "Do you wish to save your Series Changes?";
        pending = TableSeries;
    } else if (TableSeries->Active() && inserting(TableSeries)) {
        question = "Do you wish save your new series entry?";
        pending = TableSeries;
    } else if (TableBooks->Active() && inserting(TableBooks)) {
        question = "Do you wish save your new comic book entry?";
        pending = TableBooks;
    } else if (TableBooks->Active() && editing(TableBooks)) {
        question = "Do you wish to save your Comic Book Changes?";
        pending = TableBooks;
    } else {
        return true;
    }
    MessageBeep(TBeepType::Question);
    QCoreApplication::processEvents();
    const QPoint frameTopLeft = frame_ ? frame_->frameGeometry().topLeft() : QPoint();
    const int answer = MessageDlgPos(question, TMsgDlgType::mtConfirmation, mbYesNoCancel,
                                     frameTopLeft + kQuestionOffset);
    if (answer == mrCancel) return false;
    if (answer == mrYes) pending->Post();
    return true;
}

bool TComicForm::FormCloseQuery() {
    if (cascading_) return false;  // not in the middle of deleting a series
    try {
        return askToClose();
    } catch (const std::exception& error) {
        TApplication::ShowException(error);  // a refused post: the change stays pending
        return false;
    }
}

void TComicForm::FormClose() {
    closed_ = true;
    disconnectFromFrame();
    // A change still pending was answered No: drop it before closing, since
    // closing the master would have the detail post its pending row.
    if (TableBooks->Active()) TableBooks->Cancel();
    if (TableSeries->Active()) TableSeries->Cancel();
    TableSeries->Close();
    TableBooks->Close();
    if (!frame_) return;
    frame_->ComicCollection->setEnabled(true);
    frame_->SBOpen->setEnabled(true);
    frame_->HighlightedItemReports->menuAction()->setEnabled(false);
    frame_->SBFind->setEnabled(false);
}

// Gives the frame's navigators and Edit menu back.
void TComicForm::disconnectFromFrame() {
    if (frame_) {
        frame_->DBNavigatorCtrl->setEnabled(false);
        frame_->DBNavigatorMove->setEnabled(false);
        if (active_) frame_->UnmergeEditMenu();
    }
    active_ = false;
    for (auto* link : {ctrlLink_.get(), moveLink_.get(), priorLink_.get(), nextLink_.get()})
        if (link) link->Connect(nullptr);
}

void TComicForm::closeEvent(QCloseEvent* event) {
    if (closed_) return event->accept();
    if (!FormCloseQuery()) return event->ignore();
    FormClose();
    event->accept();
}

// The child window that takes this window in draws its caption in the
// title-bar font, unshaped (see titleFont).
bool TComicForm::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange)
        if (auto* child = qobject_cast<QMdiSubWindow*>(parentWidget())) child->setFont(titleFont());
    return QWidget::event(event);
}

// The child window that takes this window in asks for its size before it is
// first shown: the window's size less the child's frame and title bar.
QSize TComicForm::sizeHint() const {
    auto* child = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!child) return QWidget::sizeHint();
    const QMargins frame = child->contentsMargins();
    return kWindowSize.shrunkBy(frame);
}

// Should the child window have come up at another size, it is set right here
// (a resize on screen lays it out again).
void TComicForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (sized_) return;
    sized_ = true;
    auto* child = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (child && child->size() != kWindowSize) child->resize(kWindowSize);
}

void TComicForm::detachRules() {
    using Event = TDataSet::TDataSetNotifyEvent TDataSet::*;
    for (TDataSet* table :
         {static_cast<TDataSet*>(TableSeries), static_cast<TDataSet*>(TableBooks)})
        for (Event event : {&TDataSet::BeforeInsert, &TDataSet::AfterInsert, &TDataSet::BeforeEdit,
                            &TDataSet::BeforePost, &TDataSet::AfterPost, &TDataSet::BeforeCancel,
                            &TDataSet::AfterCancel, &TDataSet::BeforeDelete, &TDataSet::AfterDelete,
                            &TDataSet::OnCalcFields})
            table->*event = nullptr;
    DataSeries->OnDataChange = nullptr;
    DataBooks->OnDataChange = nullptr;
}

namespace {

// A collection window is built while the frame waits for the user, so that
// opening it only starts the reading of the tables and shows it.  One is
// kept ready while no collection window is open; it reads no table and is
// never shown until it is opened.
class TSpareComicForm : public QObject {
public:
    explicit TSpareComicForm(TMainForm& frame) : QObject(&frame), frame_(frame) { buildWhenIdle(); }

    // The window built ahead, or a new one if there is none.
    TComicForm* Take() {
        TComicForm* form = spare_ ? spare_.data() : new TComicForm(frame_);
        spare_.clear();
        connect(form, &QObject::destroyed, this, [this] { buildWhenIdle(); });
        return form;
    }

private:
    void buildWhenIdle() {
        QTimer::singleShot(0, this, [this] {
            if (spare_ || ComicForm) return;
            spare_ = new TComicForm(frame_);
            // Owned by the frame and hidden; its child window takes it in.
            spare_->setParent(&frame_, Qt::Window);
            rehearsePaint(*spare_);
        });
    }

    // Painted once off screen, the window has the style draw and keep its
    // pictures and the glyphs of its captions before it is first shown.
    static void rehearsePaint(TComicForm& form) {
        form.resize(kWindowSize);
        QImage image(form.size(), QImage::Format_ARGB32_Premultiplied);
        form.render(&image);
    }

    TMainForm& frame_;
    QPointer<TComicForm> spare_;
};

}  // namespace

void installCollectionWindow(TMainForm& frame) {
    // Loaded while the frame waits for the user, they make the window's
    // first opening as quick as any later one.
    WarmFontsWhenIdle(frame,
                      {windowFont(), boldCut(windowFont()), titleFont(), boldCut(titleFont())},
                      TDBGrid::RowMarks());
    auto* spare = new TSpareComicForm(frame);
    frame.CreateComicForm = [spare](TMainForm&) -> QWidget* {
        TComicForm* form = spare->Take();
        form->BeginOpening();
        return form;
    };
    // The tables are collected once the frame has put the window on screen,
    // so that the frame's work overlaps their reading (see BeginOpening).
    frame.ComicFormShown = [](QWidget& window) {
        auto* form = qobject_cast<TComicForm*>(&window);
        if (!form) return;
        try {
            form->FormCreate();
        } catch (const std::exception& error) {
            TApplication::ShowException(error);  // the window stays open all the same
        }
    };
    frame.ComicFormFind = [](QWidget& window) {
        if (auto* form = qobject_cast<TComicForm*>(&window)) form->Find1Click();
    };
}
