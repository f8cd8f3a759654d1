// Book listings grouped by series, across the whole collection: a shaded
// heading bar per series, then one boxed row per book.  The report command
// filters and links the tables; these handlers walk the series table in key
// order and, for each series taken, its linked books.
//
// A series whose books do not fit on the rest of a page carries over: the
// next page repeats its heading with "  (Continued)" and lists the books
// not yet printed (the context's seriesContinued holds the break).  A
// heading is never left alone at the bottom of a page: when no book line
// fits below it, the heading moves to the next page with the series.

#include <span>

#include "platform/db/field.h"
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reports/layouts/layout_common.h"
#include "reports/layouts/page_layouts.h"

namespace {

using layout::Cell;
using layout::Column;
using layout::ReportContext;

struct GroupedListing {
    std::span<const Column> headingColumns;
    std::span<const Column> rowColumns;
    const char* columnHeadingText;
    std::span<const Cell> cells;
    // Collection listing: every series with an owned count above 0; the
    // others: every series whose filtered books are not empty.
    bool takesSeriesByOwnedCount;
};

bool SeriesTaken(const ReportContext& context, const GroupedListing& listing) {
    if (listing.takesSeriesByOwnedCount) return context.series.OWNED->AsInteger() > 0;
    return !context.booksTable->Eof();
}

// Prints the series' books while lines remain; seriesContinued tells
// whether some are left for the next page.
void PrintSeriesBooks(ReportContext& context, TBaseReport& report, const GroupedListing& listing) {
    layout::SetColumns(report, listing.rowColumns);
    while (report.LinesRemaining() >= 1 && !context.booksTable->Eof()) {
        layout::ProcessPendingMessages();
        layout::PrintBookRow(report, context, listing.cells);
        context.booksTable->Next();
        context.seriesContinued = !context.booksTable->Eof();
    }
}

bool PrintGroupedPage(ReportContext& context, TBaseReport& report, const GroupedListing& listing) {
    layout::PrintPageHeadings(report, listing.headingColumns, listing.columnHeadingText);
    report.SelectFont(layout::kFont, 10);
    report.SetBold(false);

    bool firstOnPage = true;
    while (report.LinesRemaining() >= 1 && !context.seriesTable->Eof()) {
        if (SeriesTaken(context, listing)) {
            const bool hasBooks = !context.booksTable->Eof();
            if (!context.seriesContinued &&
                !layout::SeriesHeadingFits(report, hasBooks, firstOnPage))
                break;
            layout::PrintSeriesHeading(report, context,
                                       context.seriesContinued ? "  (Continued)" : "");
            firstOnPage = false;
            PrintSeriesBooks(context, report, listing);
        }
        if (context.seriesContinued) continue;  // the page is full inside this series
        context.stepProgress();
        context.seriesTable->Next();
    }
    return !context.seriesTable->Eof();
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

bool layout::PrintCollectionPage(ReportContext& context, TBaseReport& report) {
    return PrintGroupedPage(context, report, kCollectionListing);
}

bool layout::PrintAutographedBooksPage(ReportContext& context, TBaseReport& report) {
    return PrintGroupedPage(context, report, kAutographListing);
}

bool layout::PrintForSaleBooksPage(ReportContext& context, TBaseReport& report) {
    return PrintGroupedPage(context, report, kForSaleListing);
}

bool layout::PrintWantedBooksPage(ReportContext& context, TBaseReport& report) {
    return PrintGroupedPage(context, report, kWantedListing);
}
