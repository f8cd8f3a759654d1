// TBaseReport: units, margins, section, device conversion, cursor and line
// metrics, run state and printer setup.  Text, tab stops and status are in
// base_report_text.cpp.
#include "reportengine/base_report.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cmath>

#include "platform/graphics/printers.h"
#include "reportengine/report_geometry.h"

namespace {
bool HasPrinters() { return Printer().HasPrinters(); }

}  // namespace

TBaseReport::TBaseReport(QObject* owner) : owner_(owner) { RefreshPrinterSetup(); }

TBaseReport::~TBaseReport() {
    if (printing_ && HasPrinters() && Printer().Printing()) Printer().Abort();
}

void TBaseReport::ShowError(const QString& message) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), message);
}

// ---- run-state checks -------------------------------------------------------------

bool TBaseReport::CheckOutput() const {
    if (!printing_) throw EFolioscribe(ReportMessages::NotPrinting);
    if (aborted_) throw EAbort();
    return !pageSkipped_;
}

void TBaseReport::CheckNotPrinting() const {
    if (printing_) throw EFolioscribe(ReportMessages::AlreadyPrinting);
}

// ---- units -------------------------------------------------------------------------

void TBaseReport::SetUnits(TPrintUnits units) {
    // Through the factor's setter, so that a reader's fixed factor holds.
    switch (units) {
        case unInch:
            SetUnitsFactor(1.0);
            break;
        case unMM:
            SetUnitsFactor(25.4);
            break;
        case unCM:
            SetUnitsFactor(2.54);
            break;
        case unPoint:
            SetUnitsFactor(72.0);
            break;
        case unUser:
            units_ = unUser;
            break;  // the factor stays
    }
}

void TBaseReport::SetUnitsFactor(double factor) {
    if (factor <= 0) return;
    unitsFactor_ = factor;
    if (factor == 1.0) {
        units_ = unInch;
    } else if (factor == 25.4) {
        units_ = unMM;
    } else if (factor == 2.54) {
        units_ = unCM;
    } else if (factor == 72.0) {
        units_ = unPoint;
    } else {
        units_ = unUser;
    }
}

// ---- margins and section -------------------------------------------------------------

double TBaseReport::PaperWidthInches() const { return paperWidth_; }
double TBaseReport::PaperHeightInches() const { return paperHeight_; }
double TBaseReport::PageWidth() const { return Out(paperWidth_); }
double TBaseReport::PageHeight() const { return Out(paperHeight_); }

void TBaseReport::SetMarginLeft(double value) {
    marginLeft_ = value;
    SetSectionLeft(Out(MarginPosLeft()));
}

void TBaseReport::SetMarginRight(double value) {
    marginRight_ = value;
    SetSectionRight(Out(MarginPosRight()));
}

void TBaseReport::SetMarginTop(double value) {
    marginTop_ = value;
    SetSectionTop(Out(MarginPosTop()));
}

void TBaseReport::SetMarginBottom(double value) {
    marginBottom_ = value;
    SetSectionBottom(Out(MarginPosBottom()));
}

void TBaseReport::SetSectionLeft(double value) {
    sectionLeft_ = In(value);
    if (CursorXInches() < sectionLeft_) SetCursorXInches(sectionLeft_);
}

void TBaseReport::SetSectionRight(double value) {
    sectionRight_ = In(value);
    if (CursorXInches() > sectionRight_) SetCursorXInches(sectionRight_);
}

void TBaseReport::SetSectionTop(double value) {
    sectionTop_ = In(value);
    if (cursorY_ < sectionTop_) cursorY_ = sectionTop_;
}

void TBaseReport::SetSectionBottom(double value) {
    sectionBottom_ = In(value);
    if (cursorY_ > sectionBottom_) cursorY_ = sectionBottom_;
}

void TBaseReport::CopyMarginsToSection() {
    sectionLeft_ = MarginPosLeft();
    sectionRight_ = MarginPosRight();
    sectionTop_ = MarginPosTop();
    sectionBottom_ = MarginPosBottom();
}

// ---- device conversion -------------------------------------------------------------------

int TBaseReport::XI2D(double inches) const {
    return NearestPixel(((inches + originX_) * scaleX_ * zoomFactor_ / 10000 - UnprintableLeft) *
                        PixelsPerInchX) +
           DeviceOffsetX;
}

int TBaseReport::YI2D(double inches) const {
    return NearestPixel(((inches + originY_) * scaleY_ * zoomFactor_ / 10000 - UnprintableTop) *
                        PixelsPerInchY) +
           DeviceOffsetY;
}

double TBaseReport::XD2I(int pixel) const {
    return ((double(pixel) - DeviceOffsetX) / PixelsPerInchX + UnprintableLeft) * 10000 /
               (scaleX_ * zoomFactor_) -
           originX_;
}

double TBaseReport::YD2I(int pixel) const {
    return ((double(pixel) - DeviceOffsetY) / PixelsPerInchY + UnprintableTop) * 10000 /
               (scaleY_ * zoomFactor_) -
           originY_;
}

double TBaseReport::PixelsToInchesX(int pixels) const {
    return pixels * 10000.0 / PixelsPerPageInchX();
}

namespace {

double Advance(double x, int w, TTextJustify justify, double pixelsPerPageInch) {
    switch (justify) {
        case tjCenter:
            return x + (w + 1) / 2 * 10000.0 / pixelsPerPageInch;
        case tjLeft:
            return x + w * 10000.0 / pixelsPerPageInch;
        case tjRight:
            return x;
    }
    return x;
}

}  // namespace

double TBaseReport::CursorAfterText(double x, int w, TTextJustify justify) const {
    return Advance(x, w, justify, PixelsPerPageInchX());
}

void TBaseReport::SetCursorAfterTextUnmeasured(double x, const QString& text, TTextJustify justify,
                                               const QFontMetrics& metrics) {
    if (justify == tjRight) {  // the cursor stays where the text ends
        SetCursorXInches(x);
        return;
    }
    deferred_.emplace(UnmeasuredText{x, text, justify, metrics, PixelsPerPageInchX()});
}

void TBaseReport::MeasureDeferredText() const {
    const UnmeasuredText& t = *deferred_;
    cursorX_ = Advance(t.x, t.metrics.horizontalAdvance(t.text), t.justify, t.pixelsPerPageInch);
    deferred_.reset();
}

// ---- cursor and lines ----------------------------------------------------------------------

void TBaseReport::UpdateLineMetrics() {
    if (!printing_) return;
    TTextMetric tm = Canvas().TextMetrics();
    fontDescent_ = tm.Descent * 10000.0 / (PixelsPerInchY * scaleY_ * zoomFactor_);
    lineHeight_ = lineHeightMethod_ == lhmLinesPerInch ? 1.0 / linesPerInch_ : fontLineHeight_;
}

void TBaseReport::SetLinesPerInch(int value) {
    if (value <= 0) return;
    linesPerInch_ = value;
    UpdateLineMetrics();
}

void TBaseReport::SetCursorX(double value) { SetCursorXInches(In(value)); }

void TBaseReport::SetCursorY(double value) {
    UpdateLineMetrics();
    cursorY_ = In(value);
}

void TBaseReport::PositionAt(double x, double y) {
    SetCursorX(x);
    SetCursorY(y);
}

void TBaseReport::SetLineNumber(int n) {
    lineNumber_ = n;
    UpdateLineMetrics();
    RestartTabs();
    ReturnToColumnStart();
    cursorY_ = sectionTop_ + n * lineHeight_ - fontDescent_;
}

void TBaseReport::SetColumnNumber(int n) {
    columnNumber_ = n;
    ReturnToColumnStart();
    RestartTabs();
}

void TBaseReport::HomePosition() {
    columnNumber_ = 1;
    SetLineNumber(1);
}

void TBaseReport::ReturnToColumnStart() {
    SetCursorXInches(sectionLeft_ + (columnNumber_ - 1) * columnWidth_);
}

void TBaseReport::FeedLine() {
    UpdateLineMetrics();
    ++lineNumber_;
    cursorY_ += lineHeight_;
}

void TBaseReport::EndLine() {
    ReturnToColumnStart();
    FeedLine();
    RestartTabs();
}

int TBaseReport::LinesRemaining() const {
    // A line whose descent ends on the bottom edge still fits; the small
    // allowance keeps sums of line heights from missing it by a rounding.
    constexpr double kEpsilon = 1e-9;
    double c = cursorY_ + fontDescent_;
    if (c > sectionBottom_ + kEpsilon) return 0;
    return static_cast<int>(std::trunc((sectionBottom_ - c) / lineHeight_ + kEpsilon)) + 1;
}

// ---- run state -----------------------------------------------------------------------------

void TBaseReport::BeginRun() {
    printing_ = true;
    aborted_ = false;
    pageSkipped_ = false;
}

void TBaseReport::EndRun() { printing_ = false; }

void TBaseReport::InitPage() {
    SelectBrush(clBlack, bsClear, nullptr);
    SelectPen(clBlack, psSolid, 1, pmCopy);
    originX_ = originY_ = 0;
    columnWidth_ = sectionRight_ - sectionLeft_;
    columnCount_ = 1;
    columnNumber_ = 1;
    ClearTabStops();
    CopyMarginsToSection();
    HomePosition();
}

void TBaseReport::StartFirstPage() {
    currentPage_ = 1;
    pageSkipped_ = currentPage_ < FirstPage || currentPage_ > LastPage;
    UpdateStatus();
}

void TBaseReport::AbortReport() {
    aborted_ = true;
    pageSkipped_ = true;
}

void TBaseReport::NewPage() {
    if (!printing_) throw EFolioscribe(ReportMessages::NotPrinting);
    if (aborted_) throw EAbort();
    ++currentPage_;
    UpdateStatus();
    pageSkipped_ = currentPage_ < FirstPage || currentPage_ > LastPage || aborted_;
    originX_ = originY_ = 0;
    RestartTabs();
    CopyMarginsToSection();
    HomePosition();
}

void TBaseReport::DiscardPage() {
    if (!printing_) throw EFolioscribe(ReportMessages::NotPrinting);
    if (aborted_) throw EAbort();
    if (pageSkipped_) return;
    pageSkipped_ = true;
    --currentPage_;
}

// ---- printer -------------------------------------------------------------------------------

void TBaseReport::RefreshPrinterSetup() {
    UnprintableLeft = UnprintableRight = UnprintableTop = UnprintableBottom = 0;
    paperWidth_ = 8.5;
    paperHeight_ = 11;
    if (!HasPrinters()) {
        PixelsPerInchX = PixelsPerInchY = 96;
    } else {
        CheckNotPrinting();
        QString port;
        Printer().GetPrinter(DeviceName, DriverName, port);
        if (PrinterSelection.isEmpty()) PortName = port;
        TDeviceCaps caps = Printer().Caps();
        paperWidth_ = double(caps.PhysicalWidth) / caps.PixelsPerInchX;
        paperHeight_ = double(caps.PhysicalHeight) / caps.PixelsPerInchY;
        if (OutputKind() != okPreview) {
            PixelsPerInchX = caps.PixelsPerInchX;
            PixelsPerInchY = caps.PixelsPerInchY;
            UnprintableLeft = double(caps.OffsetX) / caps.PixelsPerInchX;
            UnprintableRight = double(caps.PhysicalWidth - caps.OffsetX - caps.PrintableWidth) /
                               caps.PixelsPerInchX;
            UnprintableTop = double(caps.OffsetY) / caps.PixelsPerInchY;
            UnprintableBottom = double(caps.PhysicalHeight - caps.OffsetY - caps.PrintableHeight) /
                                caps.PixelsPerInchY;
        }
    }
    SetMarginLeft(marginLeft_);
    SetMarginRight(marginRight_);
    SetMarginTop(marginTop_);
    SetMarginBottom(marginBottom_);
    CopyMarginsToSection();
}

TBaseReport::DeviceModeInfo TBaseReport::HeldDeviceMode() const {
    DeviceModeInfo info;
    if (!HasPrinters()) return info;
    TDeviceMode mode = Printer().DeviceMode();
    info.Copies = mode.Copies;
    info.PaperSize = mode.PaperSize;
    info.PaperWidth = mode.PaperWidth;
    info.PaperLength = mode.PaperLength;
    return info;
}

void TBaseReport::SetOrientation(TOrientation value) {
    CheckNotPrinting();
    if (HasPrinters() && value != poDefault) {
        Printer().SetOrientation(value == poLandScape ? TPrinterOrientation::Landscape
                                                      : TPrinterOrientation::Portrait);
        RefreshPrinterSetup();
    }
    orientation_ = value;
}

void TBaseReport::SetCopies(int value) {
    CheckNotPrinting();
    if (HasPrinters() && value > 0) Printer().SetCopies(value);
    copies_ = value;
}

void TBaseReport::SelectPrinter(const QString& port) {
    if (!HasPrinters()) return;
    CheckNotPrinting();
    PrinterSelection = port;
    PortName = port;
    Printer().SetPrinter(DeviceName, DriverName, PortName, Printer().DeviceMode());
}

// ---- canvas tools ----------------------------------------------------------------------------

TCanvas& TBaseReport::Canvas() {
    // An open printer document implies a printer: every drawing command comes
    // here, so it must not ask the system for its printers again.
    if (!Printer().Printing()) {
        throw EFolioscribe(ReportMessages::CanvasNotActive);
    }
    return *Printer().Canvas();
}

bool TBaseReport::Bold() { return Canvas().Font().HasStyle(fsBold); }
void TBaseReport::SetBold(bool on) { Canvas().Font().SetStyleBit(fsBold, on); }
bool TBaseReport::Italic() { return Canvas().Font().HasStyle(fsItalic); }
void TBaseReport::SetItalic(bool on) { Canvas().Font().SetStyleBit(fsItalic, on); }
bool TBaseReport::Underline() { return Canvas().Font().HasStyle(fsUnderline); }
void TBaseReport::SetUnderline(bool on) { Canvas().Font().SetStyleBit(fsUnderline, on); }
bool TBaseReport::StrikeOut() { return Canvas().Font().HasStyle(fsStrikeOut); }
void TBaseReport::SetStrikeOut(bool on) { Canvas().Font().SetStyleBit(fsStrikeOut, on); }

TColor TBaseReport::BackgroundColor() {
    if (!printing_) throw EFolioscribe(ReportMessages::NotPrinting);
    return Canvas().BkColor();
}

void TBaseReport::SetBackgroundColor(TColor color) {
    if (!printing_) throw EFolioscribe(ReportMessages::NotPrinting);
    if (aborted_) throw EAbort();
    Canvas().SetBkColor(color);
}

void TBaseReport::SelectFont(const QString& name, int size) {
    if (size <= 0) return;
    TFont& font = Canvas().Font();
    font.SetName(name.left(255));
    fontLineHeight_ = size / 60.0;
    font.SetSize(size);
    font.SetHeight(-NearestPixel(std::abs(font.Height()) * scaleY_ * zoomFactor_ / 10000));
    font.SetPitch(fpDefault);
    font.SetColor(clBlack);
    font.SetStyle(0);
}

void TBaseReport::SelectBrush(TColor color, TBrushStyle style, std::shared_ptr<TBitmap> bitmap) {
    TBrush& brush = Canvas().Brush();
    brush.SetColor(color);
    if (bitmap) brush.SetBitmap(std::move(bitmap));
    brush.SetStyle(style);
}

namespace {
int PenPixels(int width, int ppiX, double scaleX, double zoom) {
    if (width >= 0) return width;
    return std::max(1, NearestPixel(std::abs(width) * ppiX * scaleX * zoom / 1000000.0));
}
}  // namespace

void TBaseReport::SelectPen(TColor color, TPenStyle style, int width, TPenMode mode) {
    TPen& pen = Canvas().Pen();
    pen.SetColor(color);
    pen.SetMode(mode);
    pen.SetWidth(PenPixels(width, PixelsPerInchX, scaleX_, zoomFactor_));
    pen.SetStyle(style);
}

std::unique_ptr<TPen> TBaseReport::MakePen(TColor color, TPenStyle style, int width,
                                           TPenMode mode) {
    auto pen = std::make_unique<TPen>();
    pen->SetColor(color);
    pen->SetMode(mode);
    pen->SetWidth(PenPixels(width, PixelsPerInchX, scaleX_, zoomFactor_));
    pen->SetStyle(style);
    return pen;
}
