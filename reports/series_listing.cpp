// The series listing: a two-column list of series names and publishers, one
// series per line, with the column heading repeated on every page.  It
// serves the all, favourite, for-sale and wanted series reports, which
// differ only in the series table's filter and the title.
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reports/layouts/layout_common.h"
#include "reports/preview_form.h"

namespace {

constexpr double SeriesColumnX = 0.5;
constexpr double SeriesColumnWidth = 5.0;
constexpr double PublisherColumnWidth = 2.5;
constexpr double CellMargin = 2;  // hundredths of an inch
constexpr int HeadingShade = 10;  // per cent grey

void SetHeadingStops(TBaseReport& report) {
    report.ClearTabStops();
    report.AddTabStop(SeriesColumnX, tjCenter, SeriesColumnWidth, CellMargin, BoxLineAll,
                      HeadingShade);
    report.AddTabStop(TabDefault, tjCenter, PublisherColumnWidth, CellMargin, BoxLineAll,
                      HeadingShade);
}

void SetDataStops(TBaseReport& report) {
    report.ClearTabStops();
    report.AddTabStop(SeriesColumnX, tjLeft, SeriesColumnWidth, CellMargin, 0, 0);
    report.AddTabStop(TabDefault, tjLeft, PublisherColumnWidth, CellMargin, 0, 0);
}

}  // namespace

bool TPreviewForm::RPSeriesReportPrintPage(TBaseReport* Sender, int&) {
    TBaseReport& report = *Sender;
    report.SelectFont("Arial", 11);
    report.SetBold(true);
    report.HomePosition();
    SetHeadingStops(report);
    report.PrintTextLine("\tSeries\tPublisher");

    report.SelectFont("Arial", 10);
    report.SetBold(false);
    SetDataStops(report);
    while (report.LinesRemaining() >= 1 && !TableSeries->Eof()) {
        layout::ProcessPendingMessages();
        layout::PrintCell(report, 0, TableSeriesSERIES->AsString(), false);
        layout::PrintCell(report, 1, TableSeriesPUBLISHER->AsString(), true);
        TableSeries->Next();
        StepProgress();
    }
    return !TableSeries->Eof();
}
