// Book listings grouped by series, across the whole collection: a shaded
// heading bar per series, then one boxed row per book.  The report command
// filters and links the tables; these handlers walk the series table in key
// order and, for each series taken, its linked books.
//
// A series whose books do not fit on the rest of a page carries over: the
// next page repeats its heading with "  (Continued)" and lists the books
// not yet printed (SeriesContinued holds the break).  A heading is never
// left alone at the bottom of a page: when no book line fits below it, the
// heading moves to the next page with the series.

#include <span>

#include "platform/db/field.h"
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reports/layouts/layout_common.h"
#include "reports/preview_form.h"

namespace {

using layout::Cell;
using layout::Column;

struct GroupedListing {
    std::span<const Column> headingColumns;
    std::span<const Column> rowColumns;
    const char* columnHeadingText;
    std::span<const Cell> cells;
    // Collection listing: every series with an owned count above 0; the
    // others: every series whose filtered books are not empty.
    bool takesSeriesByOwnedCount;
};

bool SeriesTaken(const TPreviewForm& form, const GroupedListing& listing) {
    if (listing.takesSeriesByOwnedCount) return form.TableSeriesOWNED->AsInteger() > 0;
    return !form.TableBooks->Eof();
}

// Prints the series' books while lines remain; SeriesContinued tells
// whether some are left for the next page.
void PrintSeriesBooks(TPreviewForm& form, TBaseReport& report, const GroupedListing& listing) {
    layout::SetColumns(report, listing.rowColumns);
    while (report.LinesRemaining() >= 1 && !form.TableBooks->Eof()) {
        layout::ProcessPendingMessages();
        layout::PrintBookRow(report, form, listing.cells);
        form.TableBooks->Next();
        form.SeriesContinued = !form.TableBooks->Eof();
    }
}

bool PrintGroupedPage(TPreviewForm& form, TBaseReport& report, const GroupedListing& listing) {
    layout::PrintPageHeadings(report, listing.headingColumns, listing.columnHeadingText);
    report.SelectFont(layout::kFont, 10);
    report.SetBold(false);

    bool firstOnPage = true;
    while (report.LinesRemaining() >= 1 && !form.TableSeries->Eof()) {
        if (SeriesTaken(form, listing)) {
            const bool hasBooks = !form.TableBooks->Eof();
            if (!form.SeriesContinued && !layout::SeriesHeadingFits(report, hasBooks, firstOnPage))
                break;
            layout::PrintSeriesHeading(report, form, form.SeriesContinued ? "  (Continued)" : "");
            firstOnPage = false;
            PrintSeriesBooks(form, report, listing);
        }
        if (form.SeriesContinued) continue;  // the page is full inside this series
        form.StepProgress();
        form.TableSeries->Next();
    }
    return !form.TableSeries->Eof();
}

const GroupedListing kCollectionListing{layout::kOwnedColumns, layout::kOwnedColumns,
                                        layout::kOwnedHeadingText, layout::kOwnedCells, true};
const GroupedListing kAutographListing{layout::kTitleValueHeadings, layout::kTitleValueRows,
                                       layout::kTitleValueHeadingText, layout::kTitleValueCells,
                                       false};
const GroupedListing kForSaleListing{layout::kForSaleHeadings, layout::kForSaleRows,
                                     layout::kForSaleHeadingText, layout::kForSaleCells, false};
const GroupedListing kWantedListing{layout::kWantedHeadings, layout::kWantedRows,
                                    layout::kWantedHeadingText, layout::kWantedCells, false};

}  // namespace

bool TPreviewForm::RPCollectionReportPrintPage(TBaseReport* Sender, int&) {
    return PrintGroupedPage(*this, *Sender, kCollectionListing);
}

bool TPreviewForm::RPAutographBookReportPrintPage(TBaseReport* Sender, int&) {
    return PrintGroupedPage(*this, *Sender, kAutographListing);
}

bool TPreviewForm::RPForSaleBookReportPrintPage(TBaseReport* Sender, int&) {
    return PrintGroupedPage(*this, *Sender, kForSaleListing);
}

bool TPreviewForm::RPWantedBookReportPrintPage(TBaseReport* Sender, int&) {
    return PrintGroupedPage(*this, *Sender, kWantedListing);
}
