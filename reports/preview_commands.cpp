// The preview window's commands: page navigation, the zoom and page boxes,
// printing, Cancel, and running a report.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

#include "platform/base/scope_guard.h"
#include "platform/graphics/printers.h"
#include "platform/widgets/cursor_guard.h"
#include "reportengine/file_preview.h"
#include "reportengine/report_filer.h"
#include "reports/preview_form.h"

namespace {

// The number in a zoom or page box; nothing for an empty or unreadable text.
std::optional<int> BoxNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    if (!ok) return std::nullopt;
    return value;
}

// Restores the progress panel however printing ends.
struct HideWhenDone {
    QWidget* panel;
    ~HideWhenDone() { panel->hide(); }
};

}  // namespace

// ---- navigation and zoom -----------------------------------------------------

void TPreviewForm::SBCloseClick() { ClosePreviewWindow(); }
void TPreviewForm::SBFirstClick() { RPPreview->ShowPage(1); }
void TPreviewForm::SBPreviousClick() { RPPreview->PreviousPage(); }
void TPreviewForm::SBNextClick() { RPPreview->NextPage(); }
void TPreviewForm::SBLastClick() { RPPreview->ShowPage(RPPreview->PageCount()); }
void TPreviewForm::SBZoomInClick() { RPPreview->ZoomIn(); }
void TPreviewForm::SBZoomOutClick() { RPPreview->ZoomOut(); }
void TPreviewForm::SBZoomWidthClick() { RPPreview->SetZoomFactor(RPPreview->PageWidthZoom()); }
void TPreviewForm::SBZoomPageClick() { RPPreview->SetZoomFactor(RPPreview->WholePageZoom()); }

void TPreviewForm::EditZoomChange() {
    zoomTypingPause_.stop();
    const std::optional<int> value = BoxNumber(EditZoom->text());
    if (!value || *value <= 0) return;
    RPPreview->SetZoomFactor(*value >= 400 ? 400 : *value);
}

void TPreviewForm::RPPreviewZoomChange(TBaseReport*) {
    const QString text = QString::number(std::nearbyint(RPPreview->ZoomFactor()), 'f', 0).left(3);
    // The text put in the box goes through the zoom box rule at once, so a
    // computed factor settles at the whole number shown.
    if (EditZoom->text() != text) {
        EditZoom->setText(text);
        EditZoomChange();
    }
    RPPreview->RedrawPage();
}

void TPreviewForm::EditPageChange() {
    const std::optional<int> value = BoxNumber(EditPage->text());
    if (!value || *value < 1) return;
    const int last = RPPreview->PageCount();
    RPPreview->ShowPage(*value < last ? *value : last);
}

void TPreviewForm::RPPreviewPageChange(TBaseReport*) {
    const QString page = QString::number(RPPreview->CurrentPage());
    if (EditPage->text() != page) EditPage->setText(page);
    LabelTotalPages->setText(QString::number(RPPreview->PageCount()));
    LabelTotalPages->adjustSize();  // as wide as the count
}

// ---- running, printing, cancelling ---------------------------------------------------

void TPreviewForm::RunReport() {
    if (!TablesOpen()) {
        // The create step has shown why; there is nothing to record.
        SetHourglass(false);
        ClosePreviewWindow();
        return;
    }
    // No stale pages after a failed recording: the window goes, then the
    // error is shown by whoever called the command.
    const TUndoOnError closeOnError([this] {
        if (RPPreview->Printing()) RPPreview->EndPreview();
        ProgressPanel->hide();
        SetHourglass(false);
        ClosePreviewWindow();
    });
    try {
        RPReport->Run();
    } catch (const EAbort&) {
        // Cancelled: the after-print step has closed the window.
    }
}

void TPreviewForm::BtnCancelClick() {
    if (RPReport->Printing()) {
        RPReport->AbortReport();
    } else if (RPPrinter->Printing()) {
        RPPrinter->AbortReport();
    }
}

void TPreviewForm::SBPrintClick() {
    TPrinterListHold oneListPerJob;
    PreviewBox->horizontalScrollBar()->setValue(0);
    PreviewBox->verticalScrollBar()->setValue(0);
    const int pages = std::max(RPPreview->PageCount(), 1);
    PrintDialog.FromPage = 1;
    PrintDialog.MinPage = 1;
    PrintDialog.ToPage = pages;
    PrintDialog.MaxPage = pages;

    // The dialog is reset for next time however this print ends.
    struct ResetDialog {
        TPrintDialogState& state;
        ~ResetDialog() {
            state.PageRange = false;
            state.Copies = 1;
            if (QPrinter* printer = Printer().QtPrinter()) printer->setCopyCount(1);
        }
    } reset{PrintDialog};

    QPrinter* printer = Printer().QtPrinter();
    if (!printer) {
        // No printer to run the dialog on: the printer replay says so.
        RPPrinter->PrintRange(0, 0, 0);
        return;
    }
    printer->setCopyCount(PrintDialog.Copies);
    QPrintDialog dialog(printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(PrintDialog.MinPage, PrintDialog.MaxPage);
    dialog.setFromTo(PrintDialog.FromPage, PrintDialog.ToPage);
    dialog.setPrintRange(PrintDialog.PageRange ? QAbstractPrintDialog::PageRange
                                               : QAbstractPrintDialog::AllPages);
    if (!ExecPrintDialog(dialog)) return;
    PrintDialog.PageRange = dialog.printRange() == QAbstractPrintDialog::PageRange;
    PrintDialog.FromPage = dialog.fromPage();
    PrintDialog.ToPage = dialog.toPage();
    PrintDialog.Copies = printer->copyCount();

    TCursorGuard hourglass;
    RPPrinter->StatusLabel = StatusLabel;
    RPPrinter->StatusFormat = "Printing Page %p\r%0\r%1";
    RPPrinter->UpdateStatus();
    RPPrinter->RefreshPrinterSetup();
    ProgressBar->hide();
    ProgressPanel->show();
    ProgressPanel->raise();  // over the page, which came after it
    QApplication::processEvents();
    HideWhenDone hide{ProgressPanel};
    try {
        // All pages keep the copies chosen in the dialog too, rather than the
        // count the recording carries.
        if (PrintDialog.PageRange) {
            RPPrinter->PrintRange(PrintDialog.FromPage, PrintDialog.ToPage, PrintDialog.Copies);
        } else {
            RPPrinter->PrintRange(0, 0, PrintDialog.Copies);
        }
    } catch (const EAbort&) {
        // Cancelled by the user: the print job is gone, nothing to say.
    }
}
