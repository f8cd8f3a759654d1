// Recording a 1,000-page listing (50 lines of 6 boxed tab cells per page)
// against the work that cannot be avoided, measuring the same strings with
// the same font; and replaying one such page onto a bitmap at 100 % zoom.
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>

#include "platform/graphics/printers.h"
#include "reportengine/file_printer.h"
#include "reportengine/report_filer.h"

namespace {

constexpr int kPages = 1000;
constexpr int kLines = 50;
constexpr int kCells = 6;

QString Cell(int page, int line, int cell) {
    switch (cell) {
        case 0:
            return QString("Series %1 #%2").arg(page).arg(line);
        case 1:
            return "Marvel Comics";
        case 2:
            return QString::number(line % 7 + 1);
        case 3:
            return QString("$%1.50").arg(line * 3 + page % 10);
        case 4:
            return QString("$%1.25").arg(line * 5);
        default:
            return QString("$%1.00").arg(page % 100 + line);
    }
}

void SetListingStops(TBaseReport* r) {
    r->ClearTabStops();
    const double widths[kCells] = {2.5, 1.5, 0.5, 1.0, 1.0, 1.0};
    r->AddTabStop(0.5, tjLeft, widths[0], 2, BoxLineAll, 0);
    for (int c = 1; c < kCells; ++c) r->AddTabStop(-32768, tjCenter, widths[c], 2, BoxLineAll, 0);
}

bool PrintListingPage(TBaseReport* r, int page) {
    r->SelectFont("Arial", 10);
    SetListingStops(r);
    r->HomePosition();
    for (int line = 0; line < kLines; ++line) {
        for (int c = 0; c < kCells - 1; ++c) r->PrintText("\t" + Cell(page, line, c));
        r->PrintTextLine("\t" + Cell(page, line, kCells - 1));
    }
    return page < kPages;
}

class BitmapReplayer : public TFilePrinter {
public:
    BitmapReplayer() : image_(816, 1056, QImage::Format_RGB32), canvas_(&image_) {
        PixelsPerInchX = PixelsPerInchY = 96;
        canvas_.Font().SetPixelsPerInch(96);
    }
    TCanvas& Canvas() override { return canvas_; }
    TOutputKind OutputKind() const override { return okPreview; }
    void Start() {
        OpenInput();
        ReadHeader();
        BeginRun();
        InitPage();
    }
    void Show(int page) {
        image_.fill(Qt::white);
        ShowPage(page);
    }

private:
    QImage image_;
    TCanvas canvas_;
};

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    QTemporaryDir dir;
    QWidget form;
    TReportFiler filer(&form);
    filer.FileName = dir.filePath("pkeep.rpt");
    filer.SetMarginLeft(0.5);
    filer.SetMarginTop(0.5);
    filer.OnPrintPage = [](TBaseReport* r, int& page) { return PrintListingPage(r, page); };

    QElapsedTimer timer;
    timer.start();
    filer.Run();
    double recordMs = timer.nsecsElapsed() / 1e6;

    // The unavoidable part: every cell's width, measured once with the font.
    TCanvas measure;
    measure.Font().SetPixelsPerInch(96);
    measure.Font().SetName("Arial");
    measure.Font().SetSize(10);
    timer.restart();
    long long sum = 0;
    for (int page = 1; page <= kPages; ++page) {
        for (int line = 0; line < kLines; ++line) {
            for (int c = 0; c < kCells; ++c) sum += measure.TextWidth(Cell(page, line, c));
        }
    }
    double measureMs = timer.nsecsElapsed() / 1e6;

    BitmapReplayer replayer;
    replayer.FileName = filer.FileName;
    replayer.Start();
    replayer.Show(1);  // warm the glyph caches
    constexpr int kReplays = 20;
    timer.restart();
    for (int i = 0; i < kReplays; ++i) replayer.Show(500 + i);
    double replayMs = timer.nsecsElapsed() / 1e6 / kReplays;

    std::printf("record %d pages (%d text cells): %.1f ms, %.0f bytes\n", kPages,
                kPages * kLines * kCells, recordMs, double(QFileInfo(filer.FileName).size()));
    std::printf("measure the same strings alone:  %.1f ms (checksum %lld)\n", measureMs, sum);
    std::printf("recording / measuring:           %.2fx (target at most 2x)\n",
                recordMs / measureMs);
    std::printf("replay one page at 100%% zoom:    %.2f ms (target well under 16 ms)\n", replayMs);
    return 0;
}
