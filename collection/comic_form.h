#pragma once
// TComicForm: the collection window.  Two pages show the series table and
// the books of the current series; the tables are linked master and detail
// on ENTRY.  While the window is the active child of the frame it lends its
// tables to the frame's record navigators, its find command to SBFind and its
// current series to the Highlighted Item Reports menu.
//
// The class is split by concern:
//   comic_form_layout.cpp    components, pages and their placing
//   comic_form_series.cpp    series rules: defaults, post/cancel, cascade
//   comic_form_books.cpp     book rules: defaults, issue numbers, owned
//                            counts, grade slider and valuation
//   comic_form_commands.cpp  Edit menu, pop-up menu, clipboard, searches
//   comic_form_frame.cpp     create, activate, page change, close; wiring
//                            into the frame window
//   comic_form_runs.cpp      the current series' runs and gaps, and Add
//                            Missing Issues as Wanted
//   comic_form_extras.cpp    the Cover & Grade page, the grade column of
//                            the book grid and Find by Barcode
//
// Opening time.  The window opens within 50 ms at 100,000 books (median of
// ten, bench/collection prints the figures) with two things only: the book
// page is built the first time it is shown (EnsureBookPage), so an opening
// builds the series page alone, and the tables are opened by the engine's
// ordinary open in FormCreate, once the frame has put the window on screen.
// Everything else an opening costs is the toolkit's.  Should the budget be
// missed (ten times the books), the place to work is the engine's open path,
// not this window.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "platform/db/datasource.h"
#include "platform/db/table.h"
#include "platform/widgets/frame_services.h"
#include "store/book_extras.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;
class QSlider;
class QTabWidget;
class TDBCheckBox;
class TDBEdit;
class TDBGrid;
class TDBMemoUp;
class TDBNavigator;
class TDBText;
class TNavigatorLink;
class TSeriesRunsBox;

class TComicForm : public QWidget, public TCloseQuery {
    Q_OBJECT

public:
    explicit TComicForm(TFrameServices& frame, QWidget* parent = nullptr);
    ~TComicForm() override;
    QSize sizeHint() const override;

    // --- tables ------------------------------------------------------------
    TTable* TableSeries = nullptr;
    TDataSource* DataSeries = nullptr;
    TTable* TableBooks = nullptr;
    TDataSource* DataBooks = nullptr;

    // --- pages -------------------------------------------------------------
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;  // "&Series Information"
    QWidget* TabSheet2 = nullptr;  // "&Comic Book Details"

    TDBGrid* DBGridSeries = nullptr;
    TDBEdit* DBEditSeries = nullptr;
    TDBEdit* DBEditPublisher = nullptr;
    TDBMemoUp* DBMemoNotes = nullptr;
    TDBCheckBox* DBCheckFavSeries = nullptr;
    TDBCheckBox* DBCheckSerWanted = nullptr;
    TDBCheckBox* DBCheckSerForSale = nullptr;
    TDBText* DBTextOwned = nullptr;
    TSeriesRunsBox* SeriesRuns = nullptr;  // runs and gaps of the current series

    // The book page's controls exist once the page was first shown (or
    // EnsureBookPage() ran); until then they are null.
    TDBGrid* DBGridBooks = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet3 = nullptr;  // "Description"
    QWidget* TabSheet4 = nullptr;  // "Price/Status"
    QWidget* TabSheet5 = nullptr;  // "Cover & Grade"
    TDBEdit* DBEditComicNo = nullptr;
    TDBEdit* DBEditEdition = nullptr;
    TDBMemoUp* DBMemoTitle = nullptr;
    TDBMemoUp* DBMemoArtist = nullptr;
    TDBMemoUp* DBMemoWrter = nullptr;
    TDBMemoUp* DBMemoBookNote = nullptr;
    TDBEdit* DBEditQty = nullptr;
    TDBEdit* DBEditPaid = nullptr;
    TDBEdit* DBEdit1 = nullptr;  // HIGH
    QSlider* TrackBar1 = nullptr;
    QLabel* LabelCond = nullptr;
    TDBText* DBTextPerc = nullptr;
    TDBEdit* DBEditGraded = nullptr;
    TDBEdit* DBEditProfit = nullptr;
    TDBMemoUp* DBMemoLocation = nullptr;
    TDBCheckBox* DBCheckBookForSale = nullptr;
    TDBCheckBox* DBCheckBookWanted = nullptr;
    TDBCheckBox* DBCheckAutograph = nullptr;
    TDBNavigator* DBNavigator1 = nullptr;  // First, Prior of the series
    TDBText* DBText1 = nullptr;            // current SERIES
    TDBNavigator* DBNavigator2 = nullptr;  // Next, Last of the series
    // The Cover & Grade page: not data-aware, its values are the book's
    // extras, posted with the book (PendingExtras).
    QLabel* CoverView = nullptr;  // the cover, or a hint where to drop one
    QPushButton* ChooseCoverButton = nullptr;
    QPushButton* RemoveCoverButton = nullptr;
    QComboBox* GradeBox = nullptr;              // blank and the 25 standard grades
    QPushButton* ProposedPercButton = nullptr;  // takes the proposed per-cent grade
    QComboBox* GraderBox = nullptr;             // blank, CGC, CBCS, PGX or typed
    QLineEdit* CertEdit = nullptr;
    QLineEdit* BoughtEdit = nullptr;  // yyyy-mm-dd
    QLineEdit* SourceEdit = nullptr;
    QLineEdit* UpcEdit = nullptr;
    QLabel* ExtrasMessage = nullptr;  // what is wrong with the values typed

    // --- menus -------------------------------------------------------------
    QMenu* Edit1 = nullptr;  // ComicFormMenu's one menu
    QAction *Save1 = nullptr, *Undo1 = nullptr, *Cut1 = nullptr, *Copy1 = nullptr,
            *Paste1 = nullptr, *Add1 = nullptr, *Delete1 = nullptr, *Find1 = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction *Save2 = nullptr, *Undo2 = nullptr, *Add2 = nullptr, *Delete2 = nullptr,
            *Find2 = nullptr;
    QAction* AddMissing1 = nullptr;  // Add Missing Issues as Wanted..., in both menus
    QAction* AddMissing2 = nullptr;
    QAction* FindBarcode1 = nullptr;  // Edit, Find by Barcode...
    QAction* GradeColumn2 = nullptr;  // pop-up menu: the book grid's grade column

    // --- state kept outside the tables ---------------------------------------
    int CurrentEntry = 0;
    QString CurrentSeries;
    QString CurrentPublisher;
    int SavedQty = 0;
    int SavedOwned = 0;
    int NewOwned = 0;

    // --- frame wiring (comic_form_frame.cpp) ---------------------------------
    void FormCreate();
    // Tells the user of a table whose blocks are nearly all in use, with the
    // command that rebuilds it into larger blocks.
    void WarnOfTablesNearlyFull();
    void FormActivate();
    void FormDeactivate();
    void PageControl1Change();
    bool FormCloseQuery() override;  // TCloseQuery: asked before the frame closes
    void FormClose();
    bool SeriesPageShown() const;
    bool BookPageShown() const;
    void EnsureBookPage();

    // --- series rules (comic_form_series.cpp) --------------------------------
    void TableSeriesBeforeInsert();
    void TableSeriesAfterInsert();
    void TableSeriesAfterPost();
    void TableSeriesBeforeCancel();
    void TableSeriesBeforeDelete();
    void TableSeriesAfterDelete();
    void DataSeriesDataChange();

    // --- book rules (comic_form_books.cpp) -----------------------------------
    void TableBooksBeforeInsert();
    void TableBooksAfterInsert();
    void TableBooksBeforeEdit();
    void TableBooksBeforePost();
    void TableBooksAfterPost();
    void TableBooksBeforeCancel();
    void TableBooksBeforeDelete();
    void TableBooksCalcFields();
    void DataBooksDataChange();
    void TrackBar1Change();

    // --- book extras (comic_form_books.cpp) -----------------------------------
    // The extras table and covers of the open collection; null until
    // FormCreate opened the tables.
    store::BookExtrasStore* Extras() const { return extras_.get(); }
    // The stored key of the current books row (before any edit of it).
    store::BookKey CurrentBookKey() const;
    // What the book page changed in the current book's extras while it is
    // edited: stored with the book when it is posted (extras first, so that
    // a kill never leaves the book without them), dropped when the edit is
    // cancelled.
    store::PendingExtras PendingExtras;

    // --- Cover & Grade page (comic_form_extras.cpp) --------------------------
    // Shows the current book's extras (or the ones typed for it so far).
    void ShowBookExtras();
    // Takes the image of a drop or a paste as the book's new cover: a file
    // dropped, encoded image bytes or a bare picture.  A refused image is
    // shown in a message and changes nothing.
    void TakeCoverFrom(const QMimeData& data);
    void ChooseCoverClick();
    void RemoveCoverClick();
    void AcceptProposedPercClick();
    // Asks for a barcode (a scanner types it and Return) and shows the book
    // that has it, or offers to add one to the current series.
    void FindByBarcodeClick();
    bool GradeColumnShown() const;
    void SetGradeColumnShown(bool shown);
    // The file chooser of Choose Cover: the file picked, "" for none.  A
    // test puts its own in place.
    std::function<QString(QWidget*)> ChooseCoverFile;

    // --- commands (comic_form_commands.cpp) ----------------------------------
    void Edit1Click();
    void Save1Click();
    void Undo1Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void Add1Click();
    void Delete1Click();
    void Find1Click();
    void DBGridSeriesDblClick();
    void DBGridBooksDblClick();
    // Edit commands to the editing (true) or browsing (false) state.
    void SetEditCommands(bool editing);

    // --- runs and gaps (comic_form_runs.cpp) ---------------------------------
    // Shows the current series' runs and gaps on the series page.
    void ShowSeriesRuns();
    // Asks for the issues (the gaps by default), shows how many books that
    // makes, and adds them as wanted books with quantity 0 in one step.
    void AddMissingIssuesClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // comic_form_layout.cpp
    void createTables();
    void buildSeriesPage();
    void buildBookPage();
    void buildDescriptionPage();
    void buildPricePage();
    void buildBottomStrip();
    void buildCoverPage();
    void connectCoverPage();
    void applyBookGridColumns();
    void buildExtrasCommands();
    bool pastesCover() const;
    void bindSeriesControls();
    void bindBookControls();
    // comic_form_commands.cpp
    void buildMenus();
    void buildRunsCommands();
    void offerPopupMenu(TDBGrid* grid);
    // comic_form_series.cpp / comic_form_books.cpp
    void attachSeriesRules();
    void attachBookRules();
    void followGradeOfRecord();
    void refuseOwnedCountOutOfRange() const;
    void TableBooksAfterDelete();
    void openExtras();
    void showConditionWord(int position);
    // comic_form_extras.cpp
    bool startBookEdit();
    void coverPageEdited();
    void gradeChosen();
    void showCover(const QImage& picture);
    void takeCover(const store::CoverImage& image);
    void collectPageExtras();
    void showExtrasProblems();
    std::optional<store::BookKey> bookWithUpc(const QString& digits) const;
    void showBook(const store::BookKey& key);
    void addBookWithUpc(const QString& digits);
    bool coverDropEvent(QEvent* event);
    QString gradeOfRow() const;
    // comic_form_frame.cpp
    void onSubWindowActivated();
    void watchTypingIn(QWidget* page);
    bool askToClose();
    void connectNavigators(TDataSource* source);
    void disconnectFromFrame();
    void detachRules();

    // The frame that lent its controls; null once its window is gone.
    TFrameServices* LiveFrame() const { return frameWindow_ ? frame_ : nullptr; }

    TFrameServices* frame_;
    QPointer<QWidget> frameWindow_;
    std::unique_ptr<TTable> seriesTable_;
    std::unique_ptr<TTable> booksTable_;
    std::unique_ptr<store::BookExtrasStore> extras_;
    std::optional<store::BookKey> bookKeyBeforeEdit_;  // nullopt while a new book is typed
    store::BookKey deletedBookKey_;
    std::unique_ptr<TNavigatorLink> ctrlLink_;
    std::unique_ptr<TNavigatorLink> moveLink_;
    std::unique_ptr<TNavigatorLink> priorLink_;
    std::unique_ptr<TNavigatorLink> nextLink_;
    bool active_ = false;
    bool created_ = false;  // FormCreate went through
    bool closed_ = false;   // FormClose ran
    bool sized_ = false;
    bool cascading_ = false;        // a series' books are being deleted
    bool coverPageEdited_ = false;  // the Cover & Grade page changed the edited book
    bool gradeColumn_ = false;      // the book grid shows the standard grade
};

// The collection window from its creation until it is gone, null otherwise.
extern TComicForm* ComicForm;

// Plugs the collection window into the frame: File, Open, Comic Collection
// and SBOpen create it, SBFind runs its find command.
void installCollectionWindow(TFrameServices& frame);
