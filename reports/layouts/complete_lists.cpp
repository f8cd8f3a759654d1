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
#include "reports/preview_form.h"

namespace {

using layout::Cell;
using layout::Column;

struct CompleteList {
    TField* TPreviewForm::*seriesFlag;
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
const char* StartSeries(TPreviewForm& form, const CompleteList& list) {
    if ((form.*list.seriesFlag)->AsBoolean()) {
        form.TableBooks->SetFilter(list.wholeSeriesFilter);
        return list.wholeSeriesSuffix;
    }
    form.TableBooks->SetFilter(list.specificBooksFilter);
    return form.TableBooks->Eof() ? nullptr : list.specificBooksSuffix;
}

void PrintSeriesBooks(TPreviewForm& form, TBaseReport& report, const CompleteList& list) {
    layout::SetColumns(report, list.rowColumns);
    while (report.LinesRemaining() >= 1 && !form.TableBooks->Eof()) {
        layout::ProcessPendingMessages();
        layout::PrintBookRow(report, form, list.cells);
        form.TableBooks->Next();
        form.SeriesContinued = !form.TableBooks->Eof();
    }
}

bool PrintCompletePage(TPreviewForm& form, TBaseReport& report, const CompleteList& list) {
    layout::PrintPageHeadings(report, list.headingColumns, list.columnHeadingText);
    report.SelectFont(layout::kFont, 10);
    report.SetBold(false);

    bool firstOnPage = true;
    while (report.LinesRemaining() >= 1 && !form.TableSeries->Eof()) {
        form.SeriesListed = false;
        if (form.SeriesContinued) {
            layout::PrintSeriesHeading(report, form, "  (Continued)");
            form.SeriesListed = true;
        } else if (const char* suffix = StartSeries(form, list)) {
            if (!layout::SeriesHeadingFits(report, !form.TableBooks->Eof(), firstOnPage)) break;
            layout::PrintSeriesHeading(report, form, suffix);
            form.SeriesListed = true;
        }
        if (form.SeriesListed) {
            firstOnPage = false;
            PrintSeriesBooks(form, report, list);
        }
        if (form.SeriesContinued) continue;  // the page is full inside this series
        form.StepProgress();
        form.TableSeries->Next();
    }
    return !form.TableSeries->Eof();
}

const CompleteList kWantList{&TPreviewForm::TableSeriesWANTED,
                             "",
                             " (Entire Series Marked as Wanted)",
                             "Wanted",
                             " (Specific Books Marked as Wanted)",
                             layout::kWantedHeadings,
                             layout::kWantedRows,
                             layout::kWantedHeadingText,
                             layout::kWantedCells};

const CompleteList kForSaleList{&TPreviewForm::TableSeriesFORSALE,
                                "Qty > 0",
                                " (Entire Series Marked For Sale)",
                                "ForSale AND Qty > 0",
                                " (Specific Books Marked For Sale)",
                                layout::kForSaleHeadings,
                                layout::kForSaleRows,
                                layout::kForSaleHeadingText,
                                layout::kForSaleCells};

}  // namespace

bool TPreviewForm::RPCompleteWantReportPrintPage(TBaseReport* Sender, int&) {
    return PrintCompletePage(*this, *Sender, kWantList);
}

bool TPreviewForm::RPCompleteForSaleReportPrintPage(TBaseReport* Sender, int&) {
    return PrintCompletePage(*this, *Sender, kForSaleList);
}
