#include "reports/catalogue.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QMenu>
#include <QVariantList>
#include <array>
#include <cstring>

#include "platform/base/exception.h"
#include "platform/base/scope_guard.h"
#include "platform/db/field.h"
#include "platform/db/table.h"
#include "platform/widgets/frame_services.h"
#include "platform/widgets/hints.h"
#include "reportengine/report_filer.h"
#include "reports/layouts/page_layouts.h"
#include "reports/preview_form.h"
#include "reports/preview_launch.h"

namespace {

// Menu order.  Columns: submenu, item name, caption, hint, separator
// before; title, series filter, books filter, linked, current series,
// books-driven, no header/footer, page layout.
constexpr std::array<TReportCommand, 21> kCommands{{
    {"CollectionReports1", "CollectionBySereis", "&Collection By Series",
     "Lists your entire collection", false, "Comic Collection Listing", "Owned > 0", "Qty > 0",
     true, false, false, false, &layout::PrintCollectionPage},
    {"CollectionReports1", "CompleteWantList", "Complete &Want List",
     "Lists both wanted books and wanted series", false, "Complete Want List", nullptr, nullptr,
     true, false, false, false, &layout::PrintCompleteWantPage},
    {"CollectionReports1", "CompleteForSaleList", "Complete &For Sale List",
     "Lists both for sale books and for sale series", false, "Complete For Sale List", nullptr,
     nullptr, true, false, false, false, &layout::PrintCompleteForSalePage},
    {"CollectionReports1", "ProfitInvestmentSummary", "&Profit/Investment Summary",
     "Calculates a profit/investment summary of your collection", false,
     "Collection Profit/Investment Summary", nullptr, nullptr, false, false, true, false,
     &layout::PrintSummaryPage},
    {"CollectionReports1", "MissingIssues", "&Missing Issues",
     "Lists the issues missing between the first and last owned issue of each series", false,
     "Missing Issues", nullptr, nullptr, true, false, false, false,
     &layout::PrintMissingIssuesPage},
    {"BookReports1", "AutographedBooks", "&Autographed Books",
     "Lists books that are marked as autographed", false, "Listing of Autographed Books",
     "Owned > 0", "Autograph AND Qty > 0", true, false, false, false,
     &layout::PrintAutographedBooksPage},
    {"BookReports1", "BooksforSale", "&Books for Sale", "Lists books that are marked for sale",
     false, "Listing of All Books for Sale", "Owned > 0", "Forsale AND Qty > 0", true, false, false,
     false, &layout::PrintForSaleBooksPage},
    {"BookReports1", "WantedBooks1", "&Wanted Books", "Lists books that are marked as wanted",
     false, "Listing of All Wanted Books", nullptr, "Wanted", true, false, false, false,
     &layout::PrintWantedBooksPage},
    {"HighlightedItemReports", "AllComicBooksinSeries", "&All Comic Books in Series",
     "Listing of all books in currently highlighted series", false,
     "Listing of All Books in a Series", nullptr, nullptr, true, true, true, false,
     &layout::PrintBooksInSeriesPage},
    {"HighlightedItemReports", "AutographedBooksinSeries", "Auto&graphed Books in Series",
     "Listing of autographed books in currently highlighted series", false,
     "Listing of Autographed Books in a Series", nullptr, "Autograph AND Qty > 0", true, true, true,
     false, &layout::PrintAutographedInSeriesPage},
    {"HighlightedItemReports", "ForSaleBooksinSeries", "&For Sale Books in Series",
     "Listing of books for sale in currently highlighted series", false,
     "Listing of Books For Sale in a Series", nullptr, "ForSale AND Qty > 0", true, true, true,
     false, &layout::PrintForSaleInSeriesPage},
    {"HighlightedItemReports", "OwnedBooksinSeries", "&Owned Books in Series",
     "Listing of owned books in currently highlighted series", false,
     "Listing of Books Owned in Series", nullptr, "Qty > 0", true, true, true, false,
     &layout::PrintOwnedInSeriesPage},
    {"HighlightedItemReports", "WantedBooksinSeries", "&Wanted Books in Series",
     "Listing of wanted books in currently highlighted series", false,
     "Listing of Wanted Books in Series", nullptr, "Wanted", true, true, true, false,
     &layout::PrintWantedInSeriesPage},
    {"HighlightedItemReports", "MissingIssuesinSeries", "&Missing Issues in Series",
     "Owned runs and missing issues of the currently highlighted series", false,
     "Missing Issues in Series", nullptr, nullptr, true, true, true, false,
     &layout::PrintMissingInSeriesPage},
    {"HighlightedItemReports", "DetailedPrintoutofComicBook1", "Detailed &Printout of Comic Book",
     "Detail page of the currently highlighted comic book", true,
     "Printout of Individual Comic Book", nullptr, nullptr, true, true, true, false,
     &layout::PrintBookDetailPage},
    {"HighlightedItemReports", "LabelsforOwnedBooksinSeries1", "La&bels for Owned Books in Series",
     "Print labels for all owned books in the currently highlighted series", true,
     "Labels for Owned Books in Series", nullptr, "Qty > 0", true, true, true, true,
     &layout::PrintOwnedLabelsPage},
    {"HighlightedItemReports", "LabelsforForSaleBooksinSeries1",
     "Labels for For &Sale Books in Series",
     "Print labels for all books marked for sale in the currently highlighted series", false,
     "Labels of For Sale Books in Series", nullptr, "ForSale AND Qty > 0", true, true, true, true,
     &layout::PrintForSaleLabelsPage},
    {"SeriesReports1", "AllSeries", "&All Series", "Listing of all series", false,
     "Listing of All Series", nullptr, nullptr, false, false, false, false, nullptr},
    {"SeriesReports1", "FavoriteSeries", "Fa&vorite Series", "Listing of series marked as favorite",
     false, "Listing of Favorite Series", "Favorite", nullptr, false, false, false, false, nullptr},
    {"SeriesReports1", "SeriesForSale", "&Series For Sale", "Listing of series marked for sale",
     false, "Listing of Series For Sale", "ForSale", nullptr, false, false, false, false, nullptr},
    {"SeriesReports1", "WantedSeries", "&Wanted Series", "Listing of series marked as wanted",
     false, "Listing of Wanted Series", "Wanted", nullptr, false, false, false, false, nullptr},
}};

struct MenuHandler {
    const char* name;
    void (TReportsMenu::*click)();
};

constexpr std::array<MenuHandler, 21> kHandlers{{
    {"CollectionBySereis", &TReportsMenu::CollectionBySereisClick},
    {"CompleteWantList", &TReportsMenu::CompleteWantListClick},
    {"CompleteForSaleList", &TReportsMenu::CompleteForSaleListClick},
    {"ProfitInvestmentSummary", &TReportsMenu::ProfitInvestmentSummaryClick},
    {"MissingIssues", &TReportsMenu::MissingIssuesClick},
    {"AutographedBooks", &TReportsMenu::AutographedBooksClick},
    {"BooksforSale", &TReportsMenu::BooksforSaleClick},
    {"WantedBooks1", &TReportsMenu::WantedBooks1Click},
    {"AllComicBooksinSeries", &TReportsMenu::AllComicBooksinSeriesClick},
    {"AutographedBooksinSeries", &TReportsMenu::AutographedBooksinSeriesClick},
    {"ForSaleBooksinSeries", &TReportsMenu::ForSaleBooksinSeriesClick},
    {"OwnedBooksinSeries", &TReportsMenu::OwnedBooksinSeriesClick},
    {"WantedBooksinSeries", &TReportsMenu::WantedBooksinSeriesClick},
    {"MissingIssuesinSeries", &TReportsMenu::MissingIssuesinSeriesClick},
    {"DetailedPrintoutofComicBook1", &TReportsMenu::DetailedPrintoutofComicBook1Click},
    {"LabelsforOwnedBooksinSeries1", &TReportsMenu::LabelsforOwnedBooksinSeries1Click},
    {"LabelsforForSaleBooksinSeries1", &TReportsMenu::LabelsforForSaleBooksinSeries1Click},
    {"AllSeries", &TReportsMenu::AllSeriesClick},
    {"FavoriteSeries", &TReportsMenu::FavoriteSeriesClick},
    {"SeriesForSale", &TReportsMenu::SeriesForSaleClick},
    {"WantedSeries", &TReportsMenu::WantedSeriesClick},
}};

QString WithoutAccelerator(const char* caption) { return QString(caption).remove('&'); }

// Finds the series by its full key, else by its entry number alone.
bool LocateSeries(TReportRun& run, const TCurrentSeriesKey& key) {
    TTable& series = *run.TableSeries;
    if (series.FindKey(QVariantList{key.CurrentSeries, key.CurrentPublisher, key.CurrentEntry}))
        return true;
    for (series.First(); !series.Eof(); series.Next())
        if (run.Report.series.ENTRY->AsInteger() == key.CurrentEntry) return true;
    return false;
}

void PositionOnCurrentSeries(TReportRun& run, const std::optional<TCurrentSeriesKey>& current) {
    if (!current)
        throw Exception("No series is highlighted: open the collection and choose a series first.");
    run.Report.currentSeries = *current;
    if (!LocateSeries(run, *current))
        throw Exception("The series \"" +
                        (current->CurrentSeries + " - " + current->CurrentPublisher).toStdString() +
                        "\" is not in the collection.  Save or cancel its changes in the "
                        "collection window and choose the report again.");
}

QMenu& Submenu(TFrameServices& frame, const QString& name) {
    if (name == "CollectionReports1") return frame.ReportsSubmenu(TReportsSubmenu::Collection);
    if (name == "BookReports1") return frame.ReportsSubmenu(TReportsSubmenu::Books);
    if (name == "HighlightedItemReports")
        return frame.ReportsSubmenu(TReportsSubmenu::HighlightedItem);
    return frame.ReportsSubmenu(TReportsSubmenu::Series);
}

void (TReportsMenu::*ClickHandler(const char* name))() {
    for (const MenuHandler& handler : kHandlers)
        if (std::strcmp(handler.name, name) == 0) return handler.click;
    return nullptr;
}

void CloseUnrecorded(TPreviewForm* form) {
    if (auto* child = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
        child->close();
    else
        form->close();
}

}  // namespace

std::span<const TReportCommand> ReportCommands() { return kCommands; }

const TReportCommand* FindReportCommand(const QString& titleOrName) {
    const QString wanted = titleOrName.trimmed();
    for (const TReportCommand& command : kCommands) {
        if (wanted.compare(command.Title, Qt::CaseInsensitive) == 0 ||
            wanted.compare(command.Name, Qt::CaseInsensitive) == 0 ||
            wanted.compare(WithoutAccelerator(command.Caption), Qt::CaseInsensitive) == 0)
            return &command;
    }
    return nullptr;
}

void PrepareReport(TReportRun& run, TBaseReport& recorder, const TReportCommand& command,
                   const std::optional<TCurrentSeriesKey>& current) {
    recorder.Title = command.Title;
    if (command.Linked) run.TableBooks->SetMasterFields("ENTRY");
    if (command.SeriesFilter) run.TableSeries->SetFilter(command.SeriesFilter);
    if (command.BooksFilter) run.TableBooks->SetFilter(command.BooksFilter);
    if (command.AtCurrentSeries) PositionOnCurrentSeries(run, current);
    if (command.BooksDriven) run.BooksDriven = true;
    if (command.WithoutHeaderFooter) {
        recorder.OnPrintHeader = nullptr;
        recorder.OnPrintFooter = nullptr;
    }
    if (command.PageLayout) run.SetPageLayout(recorder, command.PageLayout);
}

void PrepareReport(TPreviewForm& form, const TReportCommand& command,
                   const std::optional<TCurrentSeriesKey>& current) {
    // Tables that did not open have no fields to filter, link or search: the
    // window's create step has shown why, so the command ends silently.
    if (!form.TablesOpen()) throw EAbort();
    PrepareReport(form.Run, *form.RPReport, command, current);
}

TPreviewForm* RunReportCommand(TFrameServices& frame, const TReportCommand& command,
                               const TCurrentSeriesSource& currentSeries) {
    TPreviewForm* form = CreatePreviewWindow(frame);
    {
        const TUndoOnError closeOnError([form] { CloseUnrecorded(form); });
        std::optional<TCurrentSeriesKey> current;
        if (command.AtCurrentSeries && currentSeries) current = currentSeries();
        PrepareReport(*form, command, current);
    }
    form->RunReport();
    return form;
}

TReportsMenu::TReportsMenu(TFrameServices& frame, TCurrentSeriesSource currentSeries)
    : QObject(&frame.Window()), frame_(frame), currentSeries_(std::move(currentSeries)) {
    setObjectName("ReportsMenu");
}

void TReportsMenu::Launch(const char* name) {
    if (const TReportCommand* command = FindReportCommand(name))
        RunReportCommand(frame_, *command, currentSeries_);
}

void installReportsMenu(TFrameServices& frame, TCurrentSeriesSource currentSeries) {
    auto* handlers = new TReportsMenu(frame, std::move(currentSeries));
    for (const TReportCommand& command : kCommands) {
        QMenu& menu = Submenu(frame, command.Submenu);
        if (command.SeparatorBefore) menu.addSeparator();
        QAction* item = menu.addAction(command.Caption);
        item->setObjectName(command.Name);
        SetHint(item, command.Hint);
        QObject::connect(item, &QAction::triggered, handlers, ClickHandler(command.Name));
    }
}
