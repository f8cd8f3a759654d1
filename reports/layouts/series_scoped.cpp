// Listings of the books of one series: the series highlighted in the
// collection window.  The report command has positioned the series table on
// it and linked and filtered the books table, so the handlers walk the books
// table from its first book.  Every page repeats the two heading rows and
// the series line; the members differ only in their columns.

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

// The column sets of this family serve the heading row and the book rows
// alike.
struct SeriesListing {
    std::span<const Column> columns;
    const char* columnHeadingText;
    std::span<const Cell> cells;
};

inline constexpr Column kAllCentredForSale[] = {{1.5, tjCenter}, {1.5, tjCenter}, {0.5, tjCenter},
                                                {1.0, tjCenter}, {1.0, tjCenter}, {1.0, tjCenter},
                                                {1.0, tjCenter}};

const SeriesListing kAllBooks{layout::kTitleValueHeadings, layout::kTitleValueHeadingText,
                              layout::kTitleValueCells};
const SeriesListing kOwnedBooks{layout::kOwnedColumns, layout::kOwnedHeadingText,
                                layout::kOwnedCells};
const SeriesListing kForSaleBooks{kAllCentredForSale, layout::kForSaleHeadingText,
                                  layout::kForSaleCells};
const SeriesListing kWantedBooks{layout::kWantedHeadings, layout::kWantedHeadingText,
                                 layout::kWantedCells};

QString SeriesLine(const ReportContext& context) {
    return context.currentSeries.CurrentSeries + " - " + context.currentSeries.CurrentPublisher;
}

bool PrintSeriesPage(ReportContext& context, TBaseReport& report, const SeriesListing& listing) {
    layout::PrintPageHeadings(report, listing.columns, listing.columnHeadingText);
    layout::SetHeadingBar(report);
    layout::PrintCell(report, 0, SeriesLine(context), true);
    report.SelectFont(layout::kFont, 10);
    report.SetBold(false);
    layout::SetColumns(report, listing.columns);

    while (report.LinesRemaining() >= 1 && !context.booksTable->Eof()) {
        layout::ProcessPendingMessages();
        layout::PrintBookRow(report, context, listing.cells);
        context.stepProgress();
        context.booksTable->Next();
    }
    return !context.booksTable->Eof();
}

}  // namespace

bool layout::PrintBooksInSeriesPage(ReportContext& context, TBaseReport& report) {
    return PrintSeriesPage(context, report, kAllBooks);
}

bool layout::PrintAutographedInSeriesPage(ReportContext& context, TBaseReport& report) {
    return PrintSeriesPage(context, report, kOwnedBooks);
}

bool layout::PrintForSaleInSeriesPage(ReportContext& context, TBaseReport& report) {
    return PrintSeriesPage(context, report, kForSaleBooks);
}

bool layout::PrintOwnedInSeriesPage(ReportContext& context, TBaseReport& report) {
    return PrintSeriesPage(context, report, kOwnedBooks);
}

bool layout::PrintWantedInSeriesPage(ReportContext& context, TBaseReport& report) {
    return PrintSeriesPage(context, report, kWantedBooks);
}
