// TComicForm: the tables and the components of both pages, placed at fixed
// positions in the window's 593 x 370 pixels.
#include <QFontMetrics>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>

#include "collection/collection_table.h"
#include "collection/comic_form.h"
#include "collection/dbmemo_up.h"
#include "collection/series_runs.h"
#include "platform/widgets/db_edit.h"
#include "platform/widgets/db_grid.h"
#include "platform/widgets/db_memo.h"
#include "platform/widgets/db_navigator.h"
#include "platform/widgets/group_box.h"
#include "platform/widgets/hints.h"
#include "store/collection.h"

namespace {

QFont boldFont(const QWidget* widget) {
    QFont font = widget->font();
    font.setBold(true);
    return font;
}

QLabel* label(QWidget* parent, const QString& text, const QRect& place,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter, bool bold = true) {
    auto* result = new QLabel(text, parent);
    if (bold) result->setFont(boldFont(parent));
    result->setAlignment(alignment);
    result->setGeometry(place);
    return result;
}

TGroupBox* group(QWidget* parent, const QString& title, const QRect& place) {
    auto* box = new TGroupBox(title, parent);
    box->setGeometry(place);
    return box;
}

template <typename Control>
Control* place(Control* control, const char* name, const QRect& where) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(where);
    return control;
}

TDBEdit* upperEdit(QWidget* parent, const char* name, const QRect& where) {
    auto* edit = place(new TDBEdit(parent), name, where);
    edit->SetCharCase(TEditCharCase::ecUpperCase);
    return edit;
}

TDBMemoUp* upperMemo(QWidget* parent, const char* name, const QRect& where) {
    auto* memo = place(new TDBMemoUp(parent), name, where);
    memo->SetCharCase(TEditCharCase::ecUpperCase);
    return memo;
}

}  // namespace

void TComicForm::createTables() {
    seriesTable_ = std::make_unique<TCollectionTable>();
    TableSeries = seriesTable_.get();
    TableSeries->SetName("TableSeries");
    TableSeries->SetDatabaseName(store::kAlias);
    TableSeries->SetTableName("series.db");
    DataSeries = new TDataSource(this);
    DataSeries->setObjectName("DataSeries");
    DataSeries->SetDataSet(TableSeries);

    booksTable_ = std::make_unique<TCollectionTable>();
    TableBooks = booksTable_.get();
    TableBooks->SetName("TableBooks");
    TableBooks->SetDatabaseName(store::kAlias);
    TableBooks->SetTableName("books.DB");
    // The index led by ENTRY; naming its second field lets the book search
    // look up the pair ENTRY, COMIC_NO.
    TableBooks->SetIndexFieldNames("ENTRY;COMIC_NO");
    TableBooks->SetMasterSource(DataSeries);
    TableBooks->SetMasterFields("ENTRY");
    TableBooks->AddCalcField("GradedValue", TFieldType::ftCurrency);
    TableBooks->AddCalcField("Profitability", TFieldType::ftCurrency);
    TableBooks->AddCalcField("Grade", TFieldType::ftString, 4);  // from the extras
    DataBooks = new TDataSource(this);
    DataBooks->setObjectName("DataBooks");
    DataBooks->SetDataSet(TableBooks);
}

void TComicForm::buildSeriesPage() {
    QWidget* page = TabSheet1;
    DBGridSeries = place(new TDBGrid(page), "DBGridSeries", {8, 8, 569, 126});
    DBGridSeries->SetColumns({{"SERIES", "SERIES", 375}, {"PUBLISHER", "PUBLISHER", 160}});
    DBGridSeries->setContextMenuPolicy(Qt::CustomContextMenu);
    SetHint(DBGridSeries, "Doule Click to Search or\nRight Click for More Options");

    TGroupBox* names = group(page, QString(), {8, 138, 365, 136});
    label(names, "Series Name", {10, 6, 200, 16});
    DBEditSeries = upperEdit(names, "DBEditSeries", {10, 22, 345, 22});
    label(names, "Publisher", {10, 46, 200, 16});
    DBEditPublisher = upperEdit(names, "DBEditPublisher", {10, 62, 230, 22});
    label(names, "Notes", {10, 86, 200, 16});
    DBMemoNotes = upperMemo(names, "DBMemoNotes", {10, 102, 345, 30});

    TGroupBox* flags = group(page, QString(), {381, 138, 196, 78});
    DBCheckFavSeries =
        place(new TDBCheckBox("Favorite Series", flags), "DBCheckFavSeries", {12, 6, 176, 22});
    DBCheckSerWanted =
        place(new TDBCheckBox("Wanted Series", flags), "DBCheckSerWanted", {12, 28, 176, 22});
    DBCheckSerForSale =
        place(new TDBCheckBox("Series For Sale", flags), "DBCheckSerForSale", {12, 50, 176, 22});

    TGroupBox* owned = group(page, QString(), {381, 220, 196, 54});
    label(owned, "# of Books Owned in This Series", {4, 6, 188, 18}, Qt::AlignCenter);
    DBTextOwned = place(new TDBText(owned), "DBTextOwned", {4, 26, 188, 22});
    DBTextOwned->setAlignment(Qt::AlignCenter);
    DBTextOwned->setFont(boldFont(owned));

    // The grid gave up two rows to the runs and gaps of the current series.
    SeriesRuns = place(new TSeriesRunsBox(page), "SeriesRuns", {8, 280, 569, 42});
}

void TComicForm::buildBookPage() {
    QWidget* page = TabSheet2;
    DBGridBooks = place(new TDBGrid(page), "DBGridBooks", {8, 8, 188, 283});
    applyBookGridColumns();
    DBGridBooks->setContextMenuPolicy(Qt::CustomContextMenu);

    PageControl2 = place(new QTabWidget(page), "PageControl2", {204, 8, 373, 283});
    TabSheet3 = new QWidget;
    TabSheet4 = new QWidget;
    PageControl2->addTab(TabSheet3, "Description");
    PageControl2->addTab(TabSheet4, "Price/Status");
    buildDescriptionPage();
    buildPricePage();
    buildCoverPage();
    buildBottomStrip();
}

void TComicForm::buildDescriptionPage() {
    QWidget* page = TabSheet3;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    label(page, "Comic #:", {4, 8, 128, 22}, right);
    DBEditComicNo = upperEdit(page, "DBEditComicNo", {138, 8, 130, 22});
    label(page, "Comic Book Edition:", {4, 36, 128, 22}, right);
    DBEditEdition = upperEdit(page, "DBEditEdition", {138, 36, 100, 22});
    label(page, "Title:", {4, 64, 128, 22}, right);
    DBMemoTitle = upperMemo(page, "DBMemoTitle", {138, 64, 222, 36});
    label(page, "Artist:", {4, 106, 128, 22}, right);
    DBMemoArtist = upperMemo(page, "DBMemoArtist", {138, 106, 222, 36});
    label(page, "Writer:", {4, 148, 128, 22}, right);
    DBMemoWrter = upperMemo(page, "DBMemoWrter", {138, 148, 222, 36});
    label(page, "Notes:", {4, 190, 128, 22}, right);
    DBMemoBookNote = upperMemo(page, "DBMemoBookNote", {138, 190, 222, 56});
}

void TComicForm::buildPricePage() {
    QWidget* page = TabSheet4;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    TGroupBox* pricing = group(page, "Pricing Information", {4, 2, 357, 150});
    label(pricing, "Qty. Owned:", {6, 18, 76, 20}, right);
    DBEditQty = upperEdit(pricing, "DBEditQty", {86, 18, 50, 20});
    label(pricing, "Price Paid:", {140, 18, 110, 20}, right);
    DBEditPaid = upperEdit(pricing, "DBEditPaid", {254, 18, 94, 20});
    label(pricing, "Current Mint (Highest) Market Value:", {6, 42, 244, 20}, right);
    DBEdit1 = upperEdit(pricing, "DBEdit1", {254, 42, 94, 20});

    label(pricing, "1%", {6, 66, 30, 18}, Qt::AlignLeft | Qt::AlignVCenter, false);
    TrackBar1 = place(new QSlider(Qt::Horizontal, pricing), "TrackBar1", {36, 64, 280, 24});
    TrackBar1->setRange(0, 20);
    TrackBar1->setSingleStep(1);
    TrackBar1->setPageStep(2);
    TrackBar1->setTickInterval(1);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    label(pricing, "100%", {318, 66, 34, 18}, Qt::AlignRight | Qt::AlignVCenter, false);
    LabelCond = label(pricing, QString(), {36, 88, 280, 16}, Qt::AlignCenter);
    LabelCond->setObjectName("LabelCond");

    // "Graded Value(       %):" with the grade itself shown in the gap.
    const QString caption = "Graded Value(       %):";
    QLabel* graded = label(pricing, caption, {6, 106, 244, 20}, right);
    const QFontMetrics metrics(graded->font());
    const int captionLeft = 250 - metrics.horizontalAdvance(caption);
    const int gapLeft = captionLeft + metrics.horizontalAdvance("Graded Value(");
    DBTextPerc = place(new TDBText(pricing), "DBTextPerc",
                       {gapLeft, 106, metrics.horizontalAdvance("       "), 20});
    DBTextPerc->setAlignment(Qt::AlignCenter);
    DBTextPerc->setFont(graded->font());
    DBEditGraded = upperEdit(pricing, "DBEditGraded", {254, 106, 94, 20});
    label(pricing, "Total Profitability:", {6, 128, 244, 20}, right);
    DBEditProfit = upperEdit(pricing, "DBEditProfit", {254, 128, 94, 20});

    TGroupBox* location = group(page, "Location", {4, 152, 357, 42});
    DBMemoLocation = upperMemo(location, "DBMemoLocation", {8, 16, 341, 22});
    DBMemoLocation->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // Two rows of check boxes at their full height fit the space left, with
    // room between them and the frame.
    TGroupBox* status = group(page, "Status", {4, 194, 357, 60});
    DBCheckBookForSale = place(new TDBCheckBox("This Book is for Sale", status),
                               "DBCheckBookForSale", {8, 15, 164, 20});
    DBCheckBookWanted = place(new TDBCheckBox("This Comic Book is Wanted", status),
                              "DBCheckBookWanted", {176, 15, 172, 20});
    DBCheckAutograph =
        place(new TDBCheckBox("This Book has been Autographed by the Artist or Writer", status),
              "DBCheckAutograph", {8, 37, 340, 20});
}

void TComicForm::buildBottomStrip() {
    QWidget* page = TabSheet2;
    DBNavigator1 = place(new TDBNavigator(page), "DBNavigator1", {8, 296, 50, 24});
    DBNavigator1->SetVisibleButtons({TNavigateBtn::nbFirst, TNavigateBtn::nbPrior});
    DBText1 = place(new TDBText(page), "DBText1", {64, 296, 457, 24});
    DBText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    DBText1->setAlignment(Qt::AlignCenter);
    DBText1->setFont(boldFont(page));
    DBNavigator2 = place(new TDBNavigator(page), "DBNavigator2", {527, 296, 50, 24});
    DBNavigator2->SetVisibleButtons({TNavigateBtn::nbNext, TNavigateBtn::nbLast});
}

namespace {

template <typename Control>
void bind(Control* control, TDataSource* source, const char* field) {
    control->SetDataField(QLatin1String(field));
    control->SetDataSource(source);
}

}  // namespace

void TComicForm::bindSeriesControls() {
    DBGridSeries->SetDataSource(DataSeries);
    bind(DBEditSeries, DataSeries, "SERIES");
    bind(DBEditPublisher, DataSeries, "PUBLISHER");
    bind(DBMemoNotes, DataSeries, "SERNOTE");
    bind(DBCheckFavSeries, DataSeries, "FAVORITE");
    bind(DBCheckSerWanted, DataSeries, "WANTED");
    bind(DBCheckSerForSale, DataSeries, "FORSALE");
    bind(DBTextOwned, DataSeries, "OWNED");
}

void TComicForm::bindBookControls() {
    DBGridBooks->SetDataSource(DataBooks);
    bind(DBEditComicNo, DataBooks, "COMIC_NO");
    bind(DBEditEdition, DataBooks, "EDITION");
    bind(DBMemoTitle, DataBooks, "TITLE");
    bind(DBMemoArtist, DataBooks, "ARTIST");
    bind(DBMemoWrter, DataBooks, "WRITER");
    bind(DBMemoBookNote, DataBooks, "BOOKNOTE");
    bind(DBEditQty, DataBooks, "QTY");
    bind(DBEditPaid, DataBooks, "PAID");
    bind(DBEdit1, DataBooks, "HIGH");
    bind(DBTextPerc, DataBooks, "PERC");
    bind(DBEditGraded, DataBooks, "GradedValue");
    bind(DBEditProfit, DataBooks, "Profitability");
    bind(DBMemoLocation, DataBooks, "LOCATION");
    bind(DBCheckBookForSale, DataBooks, "FORSALE");
    bind(DBCheckBookWanted, DataBooks, "WANTED");
    bind(DBCheckAutograph, DataBooks, "AUTOGRAPH");
    bind(DBText1, DataSeries, "SERIES");
}
