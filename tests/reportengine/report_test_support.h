#pragma once
// Engine objects drawing on a bitmap, for tests: a direct canvas report and
// a stream replayer (what a preview adds to the reader: a bitmap device).

#include <QBuffer>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

#include "platform/graphics/printers.h"
#include "reportengine/file_printer.h"
#include "reportengine/report_filer.h"

// Letter paper at 96 pixels per inch.
inline QImage WhitePage(int ppi = 96) {
    QImage image(int(8.5 * ppi), 11 * ppi, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A text the engine printed, with its justification and X in inches.
struct PrintedText {
    QString text;
    char how;  // 'L', 'C', 'R'
    double x;
    double y;
};

// Draws straight onto a page bitmap.
class BitmapReport : public TCanvasReport {
public:
    explicit BitmapReport(int ppi = 96) : image_(WhitePage(ppi)), canvas_(&image_) {
        PixelsPerInchX = PixelsPerInchY = ppi;
        canvas_.Font().SetPixelsPerInch(ppi);
    }
    TCanvas& Canvas() override { return canvas_; }
    TOutputKind OutputKind() const override { return okPreview; }
    void Run() override { Begin(); }
    void Begin() {
        BeginRun();
        InitPage();
        StartFirstPage();
    }
    void End() { EndRun(); }
    void SetPage(int page) { SetCurrentPage(page); }
    const QImage& Image() {
        canvas_.SetDevice(nullptr);  // finish painting
        canvas_.SetDevice(&image_);
        return image_;
    }
    std::vector<PrintedText> printed;
    int shades = 0;
    int lines = 0;

    void PrintLeftAt(const QString& t, double x) override {
        Log(t, 'L', x);
        TCanvasReport::PrintLeftAt(t, x);
    }
    void PrintCenteredAt(const QString& t, double x) override {
        Log(t, 'C', x);
        TCanvasReport::PrintCenteredAt(t, x);
    }
    void PrintRightAt(const QString& t, double x) override {
        Log(t, 'R', x);
        TCanvasReport::PrintRightAt(t, x);
    }
    void ShadeRect(double x1, double y1, double x2, double y2) override {
        if (!PageSkipped()) ++shades;
        TCanvasReport::ShadeRect(x1, y1, x2, y2);
    }
    void LineTo(double x, double y) override {
        if (!PageSkipped()) ++lines;
        TCanvasReport::LineTo(x, y);
    }

private:
    void Log(const QString& t, char how, double x) {
        if (Printing() && !PageSkipped()) printed.push_back({t, how, x, CursorYInches()});
    }
    QImage image_;
    TCanvas canvas_;
};

// Replays recorded pages onto a page bitmap.
class BitmapReplayer : public TFilePrinter {
public:
    explicit BitmapReplayer(int ppi = 96) : image_(WhitePage(ppi)), canvas_(&image_) {
        PixelsPerInchX = PixelsPerInchY = ppi;
        canvas_.Font().SetPixelsPerInch(ppi);
    }
    TCanvas& Canvas() override { return canvas_; }
    TOutputKind OutputKind() const override { return okPreview; }
    void ShowError(const QString& message) override { errors << message; }

    // Opens the stream and stands before page 1.
    bool Start() {
        if (!OpenInput()) return false;
        ReadHeader();
        BeginRun();
        InitPage();
        return true;
    }
    void Stop() {
        EndRun();
        CloseInput();
    }
    // Replays page n onto a white page and returns the picture.
    QImage Render(int n) {
        image_.fill(Qt::white);
        printed.clear();
        ShowPage(n);
        canvas_.SetDevice(nullptr);
        canvas_.SetDevice(&image_);
        return image_;
    }
    void PrintLeftAt(const QString& t, double x) override {
        printed << t;
        TFilePrinter::PrintLeftAt(t, x);
    }
    void PrintCenteredAt(const QString& t, double x) override {
        printed << t;
        TFilePrinter::PrintCenteredAt(t, x);
    }
    void PrintRightAt(const QString& t, double x) override {
        printed << t;
        TFilePrinter::PrintRightAt(t, x);
    }
    QStringList errors;
    QStringList printed;

private:
    QImage image_;
    TCanvas canvas_;
};

// A filer recording into memory, measuring at the screen's 96 pixels per inch
// (no printer installed, owned by a form).
class MemoryFiler {
public:
    MemoryFiler() : form_(std::make_unique<QWidget>()), filer(form_.get()) {
        filer.StreamMode = smUser;
        buffer.open(QIODevice::ReadWrite);
        filer.UserStream = &buffer;
    }
    QByteArray Bytes() const { return buffer.data(); }

private:
    std::unique_ptr<QWidget> form_;

public:
    TReportFiler filer;
    QBuffer buffer;
};

// Every test works without the machine's printers.
inline void UseNoPrinters() { SetInstalledPrinters(std::make_unique<TNoPrinters>()); }
