// The standard page frame as the preview window runs it: the run's frame,
// the window's caption before the first page, and the hand-over from
// recording to previewing after the last.
#include <QApplication>
#include <QLabel>
#include <exception>

#include "reportengine/file_preview.h"
#include "reportengine/report_filer.h"
#include "reports/layouts/page_layouts.h"
#include "reports/preview_form.h"

void TPreviewForm::RPStandardReportBeforePrint(TBaseReport*) {
    setWindowTitle("Report Preview - " + RPReport->Title);
    Run.CountProgressTotal();
}

void TPreviewForm::RPStandardReportPrintHeader(TBaseReport* Sender) { Run.PrintHeader(*Sender); }

void TPreviewForm::RPStandardReportPrintFooter(TBaseReport* Sender) { Run.PrintFooter(*Sender); }

bool TPreviewForm::RPSeriesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintSeriesListPage(Run.Report, *Sender);
}

void TPreviewForm::RPStandardReportAfterPrint(TBaseReport*) {
    ProgressPanel->hide();
    StatusLabel->clear();
    QApplication::processEvents();
    SetHourglass(false);
    // An aborted recording, or one that is ending by an error, leaves nothing
    // to preview: the window closes instead of showing an older report.
    const bool failed = std::uncaught_exceptions() > 0 || std::current_exception() != nullptr;
    if (RPReport->Aborted() || failed) {
        ClosePreviewWindow();
        return;
    }
    KeepRecordedReport();
    RPPreview->StartPreview();
}
