// The series listing: a two-column list of series names and publishers, one
// series per line, with the column heading repeated on every page.  It
// serves the all, favourite, for-sale and wanted series reports, which
// differ only in the series table's filter and the title.
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reports/layouts/layout_common.h"
#include "reports/layouts/page_layouts.h"

namespace {

// The two columns span the body from layout::kLeft, as the book tables do.
constexpr double kSeriesColumnWidth = 5.0;
constexpr double kPublisherColumnWidth = 2.5;

void SetHeadingStops(TBaseReport& report) {
    report.ClearTabStops();
    report.AddTabStop(layout::kLeft, tjCenter, kSeriesColumnWidth, layout::kCellMargin, BoxLineAll,
                      layout::kHeadingShade);
    report.AddTabStop(layout::kFollowing, tjCenter, kPublisherColumnWidth, layout::kCellMargin,
                      BoxLineAll, layout::kHeadingShade);
}

void SetDataStops(TBaseReport& report) {
    report.ClearTabStops();
    report.AddTabStop(layout::kLeft, tjLeft, kSeriesColumnWidth, layout::kCellMargin, 0, 0);
    report.AddTabStop(layout::kFollowing, tjLeft, kPublisherColumnWidth, layout::kCellMargin, 0, 0);
}

}  // namespace

bool layout::PrintSeriesListPage(ReportContext& context, TBaseReport& report) {
    report.SelectFont(layout::kFont, 11);
    report.SetBold(true);
    report.HomePosition();
    SetHeadingStops(report);
    report.PrintTextLine("\tSeries\tPublisher");

    report.SelectFont(layout::kFont, 10);
    report.SetBold(false);
    SetDataStops(report);
    while (report.LinesRemaining() >= 1 && !context.seriesTable->Eof()) {
        layout::ProcessPendingMessages();
        layout::PrintCell(report, 0, context.series.SERIES->AsString(), false);
        layout::PrintCell(report, 1, context.series.PUBLISHER->AsString(), true);
        context.seriesTable->Next();
        context.stepProgress();
    }
    return !context.seriesTable->Eof();
}
