// TComicForm: its life inside the frame window.  Creation opens the tables
// and lends them to the frame's navigators; activation enables the frame's
// navigators, SBFind and Highlighted Item Reports and swaps the Edit menu in;
// a page change points the navigators at that page's table; closing asks
// whether to save a pending change and gives everything back.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTabWidget>

#include "collection/comic_form.h"
#include "collection/dbmemo_up.h"
#include "platform/system/beep.h"
#include "platform/widgets/application.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/db_navigator_link.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/speed_button.h"
#include "store/table_room.h"

TComicForm* ComicForm = nullptr;

namespace {

// 593 x 370 holds the pages with the classic toolkit's thin tabs and title
// bar; Qt's taller ones need 20 pixels more for the book page's bottom strip.
constexpr QSize kWindowSize(593, 390);
constexpr QPoint kQuestionOffset(150, 200);

bool editing(const TDataSet* set) { return set->State() == TDataSetState::dsEdit; }
bool inserting(const TDataSet* set) { return set->State() == TDataSetState::dsInsert; }

}  // namespace

TComicForm::TComicForm(TFrameServices& frame, QWidget* parent)
    : QWidget(parent), frame_(&frame), frameWindow_(&frame.Window()) {
    setObjectName("ComicForm");
    setWindowTitle("Comic Collection");
    setFont(QFont("Arial", 9));  // labels of totals and the bottom strip use its bold cut
    setAttribute(Qt::WA_DeleteOnClose);
    ComicForm = this;
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
    buildExtrasCommands();
    bindSeriesControls();
    attachSeriesRules();
    attachBookRules();
    watchTypingIn(TabSheet1);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
    connect(DBGridSeries, &TDBGrid::dblClick, this, [this] { DBGridSeriesDblClick(); });
    offerPopupMenu(DBGridSeries);
    connect(&frame.ChildArea(), &QMdiArea::subWindowActivated, this,
            [this] { onSubWindowActivated(); });

    ctrlLink_ = std::make_unique<TNavigatorLink>(&frame.NavigatorCtrl());
    moveLink_ = std::make_unique<TNavigatorLink>(&frame.NavigatorMove());
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
    connectCoverPage();
    followGradeOfRecord();
    ShowBookExtras();
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

// Opens both tables and lends them to the navigators.  A failure stops here
// with the steps before it done; the caller shows it and the window stays
// open all the same, without its tables.
void TComicForm::FormCreate() {
    TableSeries->Open();
    TableBooks->Open();
    openExtras();
    connectNavigators(SeriesPageShown() ? DataSeries : DataBooks);
    if (priorLink_) priorLink_->Connect(DataSeries);
    if (nextLink_) nextLink_->Connect(DataSeries);
    if (TFrameServices* frame = LiveFrame()) frame->EnableOpenCollection(false);
    created_ = true;
    DataSeriesDataChange();  // the current series' fields and runs
    followGradeOfRecord();
    WarnOfTablesNearlyFull();
}

// The extras beside the books; a change to them that a kill cut short is
// put right now, before any book is shown.
void TComicForm::openExtras() {
    const paradox::Table* books = TableBooks->EngineTable();
    if (!books) return;
    extras_ = std::make_unique<store::BookExtrasStore>(
        QFileInfo(QString::fromStdString(books->path())).absolutePath());
    try {
        extras_->tidyIfInterrupted();
    } catch (const std::exception& error) {
        MessageDlg(QStringLiteral("The book extras could not be put in order after an "
                                  "interrupted change: %1")
                       .arg(QString::fromUtf8(error.what())),
                   TMsgDlgType::mtWarning, mbOK);
    }
}

void TComicForm::WarnOfTablesNearlyFull() {
    for (TTable* table : {TableSeries, TableBooks}) {
        const paradox::Table* engine = table->EngineTable();
        const QString warning = engine ? store::TableRoomWarning(*engine) : QString();
        if (!warning.isEmpty()) MessageDlg(warning, TMsgDlgType::mtWarning, mbOK);
    }
}

void TComicForm::FormActivate() {
    TFrameServices* frame = LiveFrame();
    if (!frame) return;
    frame->EnableRecordCommands(true);
    frame->MergeEditMenu(Edit1);
}

void TComicForm::FormDeactivate() {
    TFrameServices* frame = LiveFrame();
    if (!frame) return;
    frame->EnableRecordCommands(false);
    frame->UnmergeEditMenu();
}

void TComicForm::onSubWindowActivated() {
    TFrameServices* frame = LiveFrame();
    if (!frame || closed_) return;
    QMdiSubWindow* activeChild = frame->ChildArea().activeSubWindow();
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
    const QPoint frameTopLeft =
        LiveFrame() ? LiveFrame()->Window().frameGeometry().topLeft() : QPoint();
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
    extras_.reset();
    if (TFrameServices* frame = LiveFrame()) frame->EnableOpenCollection(true);
}

// Gives the frame's navigators, SBFind, Highlighted Item Reports and Edit
// menu back.
void TComicForm::disconnectFromFrame() {
    if (TFrameServices* frame = LiveFrame()) {
        frame->EnableRecordCommands(false);
        if (active_) frame->UnmergeEditMenu();
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

void installCollectionWindow(TFrameServices& frame) {
    TCollectionWindowHooks hooks;
    hooks.Create = [&frame]() -> QWidget* { return new TComicForm(frame); };
    // The tables are opened once the frame has put the window on screen, so
    // that a window whose tables do not open is there all the same.
    hooks.Shown = [](QWidget& window) {
        auto* form = qobject_cast<TComicForm*>(&window);
        if (!form) return;
        try {
            form->FormCreate();
        } catch (const std::exception& error) {
            TApplication::ShowException(error);
        }
    };
    hooks.Find = [](QWidget& window) {
        if (auto* form = qobject_cast<TComicForm*>(&window)) form->Find1Click();
    };
    frame.PlugCollectionWindow(std::move(hooks));
}
