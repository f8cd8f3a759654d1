// The complete want and for-sale lists: across the whole collection,
// everything the user wants to acquire or to sell.  A series marked as a
// whole is listed with all its books (for sale: its owned books) and says
// so in its heading; any other series is listed only with its marked books,
// and not at all when it has none.  The books filter is chosen here, series
// by series, and stays in force until the series is finished, also across a
// page break.
//
// Page structure, fonts, cells and the "  (Continued)" carry-over are those
// of the grouped listings; a heading that would end a page without a book
// line below it moves to the next page with its series.

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

struct CompleteList {
    TField* layout::SeriesFields::*seriesFlag;
    const char* wholeSeriesFilter;
    const char* wholeSeriesSuffix;
    const char* specificBooksFilter;
    const char* specificBooksSuffix;
    std::span<const Column> headingColumns;
    std::span<const Column> rowColumns;
    const char* columnHeadingText;
    std::span<const Cell> cells;
};

// Chooses the books of the current series and returns the suffix of its
// heading, or nullptr when the series has nothing to list.
const char* StartSeries(ReportContext& context, const CompleteList& list) {
    if ((context.series.*list.seriesFlag)->AsBoolean()) {
        context.booksTable->SetFilter(list.wholeSeriesFilter);
        return list.wholeSeriesSuffix;
    }
    context.booksTable->SetFilter(list.specificBooksFilter);
    return context.booksTable->Eof() ? nullptr : list.specificBooksSuffix;
}

void PrintSeriesBooks(ReportContext& context, TBaseReport& report, const CompleteList& list) {
    layout::SetColumns(report, list.rowColumns);
    while (report.LinesRemaining() >= 1 && !context.booksTable->Eof()) {
        layout::ProcessPendingMessages();
        layout::PrintBookRow(report, context, list.cells);
        context.booksTable->Next();
        context.seriesContinued = !context.booksTable->Eof();
    }
}

bool PrintCompletePage(ReportContext& context, TBaseReport& report, const CompleteList& list) {
    layout::PrintPageHeadings(report, list.headingColumns, list.columnHeadingText);
    report.SelectFont(layout::kFont, 10);
    report.SetBold(false);

    bool firstOnPage = true;
    while (report.LinesRemaining() >= 1 && !context.seriesTable->Eof()) {
        context.seriesListed = false;
        if (context.seriesContinued) {
            layout::PrintSeriesHeading(report, context, "  (Continued)");
            context.seriesListed = true;
        } else if (const char* suffix = StartSeries(context, list)) {
            if (!layout::SeriesHeadingFits(report, !context.booksTable->Eof(), firstOnPage)) break;
            layout::PrintSeriesHeading(report, context, suffix);
            context.seriesListed = true;
        }
        if (context.seriesListed) {
            firstOnPage = false;
            PrintSeriesBooks(context, report, list);
        }
        if (context.seriesContinued) continue;  // the page is full inside this series
        context.stepProgress();
        context.seriesTable->Next();
    }
    return !context.seriesTable->Eof();
}

const CompleteList kWantList{&layout::SeriesFields::WANTED,
                             "",
                             " (Entire Series Marked as Wanted)",
                             "Wanted",
                             " (Specific Books Marked as Wanted)",
                             layout::kWantedHeadings,
                             layout::kWantedRows,
                             layout::kWantedHeadingText,
                             layout::kWantedCells};

const CompleteList kForSaleList{&layout::SeriesFields::FORSALE,
                                "Qty > 0",
                                " (Entire Series Marked For Sale)",
                                "ForSale AND Qty > 0",
                                " (Specific Books Marked For Sale)",
                                layout::kForSaleHeadings,
                                layout::kForSaleRows,
                                layout::kForSaleHeadingText,
                                layout::kForSaleCells};

}  // namespace

bool layout::PrintCompleteWantPage(ReportContext& context, TBaseReport& report) {
    return PrintCompletePage(context, report, kWantList);
}

bool layout::PrintCompleteForSalePage(ReportContext& context, TBaseReport& report) {
    return PrintCompletePage(context, report, kForSaleList);
}
