#pragma once
// The report catalogue: the twenty-one commands of the frame's Reports menu,
// each with its caption and hint, its report title, the filters and master
// link it puts on the report's tables, whether it starts at the
// collection window's current series, whether its progress counts books,
// whether it drops the page header and footer, and its page layout.
//
// Launching a command, in this order: a new preview window (made by the
// caller, so the frame can hold it); the title; the master link; the series
// filter, then the books filter; the current series; BooksDriven; header
// and footer removal; the page layout; the recording.  Without a window, a
// report run and a recorder take the window's place.
//
// The current series is found by its key (name, publisher, entry) and, when
// the key search fails (for instance after the name was edited and not yet
// saved), by its entry number alone, which never changes.  A series found by
// neither is reported as an error and nothing is recorded, so a report never
// lists one series' books under another's heading.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <span>

#include "reports/report_run.h"

class TBaseReport;
class TFrameServices;
class TPreviewForm;

struct TReportCommand {
    const char* Submenu;  // the frame's submenu that holds the command
    const char* Name;     // menu item name; the handler is Name + "Click"
    const char* Caption;
    const char* Hint;
    bool SeparatorBefore;
    const char* Title;
    const char* SeriesFilter;  // nullptr: none
    const char* BooksFilter;   // nullptr: none
    bool Linked;               // books follow the current series row
    bool AtCurrentSeries;      // starts at the collection window's series
    bool BooksDriven;
    bool WithoutHeaderFooter;  // labels use the whole sheet
    TPageLayout PageLayout;    // nullptr: the listing of series
};

// The commands in the order of the menu.
std::span<const TReportCommand> ReportCommands();

// The command whose report title or menu item name is `titleOrName` (case
// and accelerator marks do not matter; "Collection By Series" also finds
// CollectionBySereis by its caption), or nullptr.
const TReportCommand* FindReportCommand(const QString& titleOrName);

// Steps 2 to 8 of the launching sequence on a run whose tables are open and
// the recorder it is attached to.  Raises Exception when a current-series
// command gets no series or the series is not in the collection any more.
void PrepareReport(TReportRun& run, TBaseReport& recorder, const TReportCommand& command,
                   const std::optional<TCurrentSeriesKey>& current);
// The same on a newly created window; raises EAbort when the window's
// tables did not open (its create step has shown why).
void PrepareReport(TPreviewForm& form, const TReportCommand& command,
                   const std::optional<TCurrentSeriesKey>& current);

// Where the highlighted-item commands learn the collection window's current
// series; nullopt while no collection window is open.
using TCurrentSeriesSource = std::function<std::optional<TCurrentSeriesKey>()>;

// Runs one command as the menu does: a new preview window in the frame
// (stored in PreviewForm), prepared and recorded.  A failure before the
// recording closes the window again and propagates to the caller.
TPreviewForm* RunReportCommand(TFrameServices& frame, const TReportCommand& command,
                               const TCurrentSeriesSource& currentSeries);

// The handlers of the menu items; each runs its command.  Owned by
// the frame (a child QObject), made by installReportsMenu.
class TReportsMenu : public QObject {
public:
    TReportsMenu(TFrameServices& frame, TCurrentSeriesSource currentSeries);

    void CollectionBySereisClick() { Launch("CollectionBySereis"); }
    void CompleteWantListClick() { Launch("CompleteWantList"); }
    void CompleteForSaleListClick() { Launch("CompleteForSaleList"); }
    void ProfitInvestmentSummaryClick() { Launch("ProfitInvestmentSummary"); }
    void MissingIssuesClick() { Launch("MissingIssues"); }
    void AutographedBooksClick() { Launch("AutographedBooks"); }
    void BooksforSaleClick() { Launch("BooksforSale"); }
    void WantedBooks1Click() { Launch("WantedBooks1"); }
    void AllComicBooksinSeriesClick() { Launch("AllComicBooksinSeries"); }
    void AutographedBooksinSeriesClick() { Launch("AutographedBooksinSeries"); }
    void ForSaleBooksinSeriesClick() { Launch("ForSaleBooksinSeries"); }
    void OwnedBooksinSeriesClick() { Launch("OwnedBooksinSeries"); }
    void WantedBooksinSeriesClick() { Launch("WantedBooksinSeries"); }
    void MissingIssuesinSeriesClick() { Launch("MissingIssuesinSeries"); }
    void DetailedPrintoutofComicBook1Click() { Launch("DetailedPrintoutofComicBook1"); }
    void LabelsforOwnedBooksinSeries1Click() { Launch("LabelsforOwnedBooksinSeries1"); }
    void LabelsforForSaleBooksinSeries1Click() { Launch("LabelsforForSaleBooksinSeries1"); }
    void AllSeriesClick() { Launch("AllSeries"); }
    void FavoriteSeriesClick() { Launch("FavoriteSeries"); }
    void SeriesForSaleClick() { Launch("SeriesForSale"); }
    void WantedSeriesClick() { Launch("WantedSeries"); }

private:
    void Launch(const char* name);
    TFrameServices& frame_;
    TCurrentSeriesSource currentSeries_;
};

// Fills the frame's four report submenus with the commands, their captions,
// hints and handlers.
void installReportsMenu(TFrameServices& frame, TCurrentSeriesSource currentSeries);
