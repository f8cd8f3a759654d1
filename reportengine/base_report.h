#pragma once
// TBaseReport: the page model.  It holds the units, margins and section, the
// text cursor (Y is a baseline), the line metrics, the tab stops with their
// boxed and shaded cells, the run state and the page counter, and turns every
// request into one of the abstract output operations that TCanvasReport
// draws and TReportFiler records.
//
// Positions are kept in inches from the paper's top-left corner; callers use
// report units (UnitsFactor units per inch).  The device conversion is
//   pixel = nearest(((x + Origin) * Scale * Zoom / 10000 - Unprintable) * PPI)
//           + DeviceOffset
// with nearest() rounding halves to even.

#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <list>
#include <memory>
#include <optional>
#include <span>

#include "platform/graphics/canvas.h"
#include "platform/graphics/graphic.h"
#include "reportengine/report_types.h"

class TMemoBuf;

class TBaseReport {
public:
    explicit TBaseReport(QObject* owner = nullptr);
    virtual ~TBaseReport();
    TBaseReport(const TBaseReport&) = delete;
    TBaseReport& operator=(const TBaseReport&) = delete;

    QObject* Owner() const { return owner_; }
    QString Version() const { return "1.1e (32 bit)"; }
    void SetVersion(const QString&) {}  // read-only

    // ---- units, margins, section -------------------------------------
    TPrintUnits Units() const { return units_; }
    void SetUnits(TPrintUnits units);
    double UnitsFactor() const { return unitsFactor_; }
    virtual void SetUnitsFactor(double factor);
    double MarginLeft() const { return marginLeft_; }
    double MarginRight() const { return marginRight_; }
    double MarginTop() const { return marginTop_; }
    double MarginBottom() const { return marginBottom_; }
    void SetMarginLeft(double value);
    void SetMarginRight(double value);
    void SetMarginTop(double value);
    void SetMarginBottom(double value);
    // Section edges, in report units.
    double SectionLeft() const { return Out(sectionLeft_); }
    double SectionRight() const { return Out(sectionRight_); }
    double SectionTop() const { return Out(sectionTop_); }
    double SectionBottom() const { return Out(sectionBottom_); }
    void SetSectionLeft(double value);
    void SetSectionRight(double value);
    void SetSectionTop(double value);
    void SetSectionBottom(double value);
    double PageWidth() const;   // report units
    double PageHeight() const;  // report units

    // ---- device -----------------------------------------------------------
    double UnprintableLeft = 0, UnprintableRight = 0, UnprintableTop = 0, UnprintableBottom = 0;
    int PixelsPerInchX = 300, PixelsPerInchY = 300;
    int DeviceOffsetX = 0, DeviceOffsetY = 0;
    double ScaleX() const { return scaleX_; }
    double ScaleY() const { return scaleY_; }
    virtual void SetScaleX(double value) { scaleX_ = value; }
    virtual void SetScaleY(double value) { scaleY_ = value; }
    double ZoomFactor() const { return zoomFactor_; }
    virtual void SetZoomFactor(double value) { zoomFactor_ = value; }
    // Inches to device pixels and back.
    int XI2D(double inches) const;
    int YI2D(double inches) const;
    double XD2I(int pixel) const;
    double YD2I(int pixel) const;
    // Report units to device pixels.
    int XU2D(double units) const { return XI2D(units / unitsFactor_); }
    int YU2D(double units) const { return YI2D(units / unitsFactor_); }

    // ---- cursor and lines ----------------------------------------------------
    double CursorX() const { return Out(CursorXInches()); }
    double CursorY() const { return Out(cursorY_); }
    void SetCursorX(double value);
    void SetCursorY(double value);
    void PositionAt(double x, double y);
    double OriginX() const { return Out(originX_); }
    double OriginY() const { return Out(originY_); }
    void SetOriginX(double value) { originX_ = In(value); }
    void SetOriginY(double value) { originY_ = In(value); }
    int LineNumber() const { return lineNumber_; }
    void SetLineNumber(int n);
    int ColumnNumber() const { return columnNumber_; }
    void SetColumnNumber(int n);
    int ColumnCount() const { return columnCount_; }
    double ColumnWidth() const { return Out(columnWidth_); }
    void HomePosition();
    void ReturnToColumnStart();
    void FeedLine();
    void EndLine();
    int LinesRemaining() const;
    double LineHeight() const { return Out(lineHeight_); }
    double FontDescent() const { return Out(fontDescent_); }
    double FontLineHeight() const { return fontLineHeight_; }
    TLineHeightMethod LineHeightMethod() const { return lineHeightMethod_; }
    void SetLineHeightMethod(TLineHeightMethod method) { lineHeightMethod_ = method; }
    int LinesPerInch() const { return linesPerInch_; }
    void SetLinesPerInch(int value);
    TBKMode TextBKMode() const { return textBKMode_; }
    virtual void SetTextBKMode(TBKMode mode) { textBKMode_ = mode; }

    // ---- text, tabs, status -----------------------------------------------
    void PrintText(const QString& text);
    void PrintTextLine(const QString& text);
    void PrintAtBottom(const QString& text, TTextJustify justify);
    void PrintMemo(TMemoBuf& memo, int lines, bool withTabs);
    void AddTabStop(double pos, TTextJustify justify, double width, double margin, int lines,
                    int shade);
    void ClearTabStops();
    void RestartTabs();
    virtual void NextTab(int leftLine = TabDefault, int rightLine = TabDefault,
                         int topLine = TabDefault, int bottomLine = TabDefault,
                         int shade = TabDefault);
    const std::list<TTabStop>& TabStops() const { return tabs_; }
    int TabShade() const { return tabShade_; }
    void SetTabShade(int value);
    void UpdateStatus();
    QPointer<QLabel> StatusLabel;
    QString StatusFormat = "Printing page %p";
    QStringList StatusText;
    QString Title = "Folioscribe Report";

    // ---- run state ------------------------------------------------------------
    int FirstPage = 1;
    int LastPage = 9999;
    int CurrentPage() const { return currentPage_; }
    bool PageSkipped() const { return pageSkipped_; }
    bool Printing() const { return printing_; }
    bool Aborted() const { return aborted_; }
    void AbortReport();
    virtual void NewPage();
    virtual void DiscardPage();
    virtual void Run() = 0;

    // ---- events ----------------------------------------------------------------
    TNotifyEvent OnPrint, OnBeforePrint, OnAfterPrint, OnNewPage, OnNewColumn, OnPrintHeader,
        OnPrintFooter;
    TPrintPageEvent OnPrintPage;

    // ---- printer ------------------------------------------------------------------
    TOrientation Orientation() const { return orientation_; }
    void SetOrientation(TOrientation value);
    int Copies() const { return copies_; }
    void SetCopies(int value);
    QString DeviceName, DriverName, PortName;
    QString PrinterSelection;
    void SelectPrinter(const QString& port);
    virtual void RefreshPrinterSetup();

    // ---- canvas, font, brush, pen -------------------------------------------------
    virtual TOutputKind OutputKind() const { return okPrinter; }
    virtual TCanvas& Canvas();
    bool Bold();
    void SetBold(bool on);
    bool Italic();
    void SetItalic(bool on);
    bool Underline();
    void SetUnderline(bool on);
    bool StrikeOut();
    void SetStrikeOut(bool on);
    TColor BackgroundColor();
    virtual void SetBackgroundColor(TColor color);
    virtual void SelectFont(const QString& name, int size);
    virtual void SelectBrush(TColor color, TBrushStyle style,
                             std::shared_ptr<TBitmap> bitmap = nullptr);
    virtual void SelectPen(TColor color, TPenStyle style, int width, TPenMode mode);
    std::unique_ptr<TPen> MakePen(TColor color, TPenStyle style, int width, TPenMode mode);

    // ---- output operations ---------------------------------------------------------
    // X in inches, at CursorY.
    virtual void PrintCenteredAt(const QString& text, double x) = 0;
    virtual void PrintLeftAt(const QString& text, double x) = 0;
    virtual void PrintRightAt(const QString& text, double x) = 0;
    // Report units.
    virtual void ShadeRect(double x1, double y1, double x2, double y2) = 0;
    virtual void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                     double y4) = 0;
    virtual void BrushCopy(const QRect& dest, const TBitmap& bitmap, const QRect& source,
                           TColor color) = 0;
    virtual void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                       double y4) = 0;
    virtual void CopyRect(const QRect& dest, TCanvas& source, const QRect& sourceRect) = 0;
    virtual void Draw(double x, double y, const TGraphic& graphic) = 0;
    virtual void DrawFocusRect(const QRect& rect) = 0;
    virtual void Ellipse(double x1, double y1, double x2, double y2) = 0;
    virtual void FillRect(const QRect& rect) = 0;
    virtual void FloodFill(double x, double y, TColor color, TFillStyle style) = 0;
    virtual void FrameRect(const QRect& rect) = 0;
    virtual void LineTo(double x, double y) = 0;
    virtual void MoveTo(double x, double y) = 0;
    virtual void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                     double y4) = 0;
    // Pixel points; lastIndex is the index of the last point used.
    virtual void Polygon(std::span<const QPoint> points, int lastIndex) = 0;
    virtual void Polyline(std::span<const QPoint> points, int lastIndex) = 0;
    virtual void DrawBitmapScaled(double x, double y, double scaleX, double scaleY,
                                  const TBitmap& bitmap) = 0;
    virtual void DrawBitmapRect(double x1, double y1, double x2, double y2,
                                const TBitmap& bitmap) = 0;
    virtual void Rectangle(double x1, double y1, double x2, double y2) = 0;
    virtual void RoundRect(double x1, double y1, double x2, double y2, double x3, double y3) = 0;
    virtual void StretchDraw(const QRect& rect, const TGraphic& graphic) = 0;
    virtual void TextRect(const QRect& rect, double x, double y, const QString& text) = 0;
    virtual void PassThrough(const QByteArray& data) = 0;

protected:
    // Report units <-> inches.
    double In(double units) const { return units / unitsFactor_; }
    double Out(double inches) const { return inches * unitsFactor_; }
    // The cursor in inches.
    double CursorXInches() const {
        SettleCursorX();
        return cursorX_;
    }
    double CursorYInches() const { return cursorY_; }
    void SetCursorXInches(double x) {
        deferred_.reset();
        cursorX_ = x;
    }
    // Puts the cursor after `text` printed at x as CursorAfterText does, but
    // measures the text only when the cursor is next read: a recorder need
    // not shape every cell's text to advance a cursor that the next tab or
    // line end moves anyway.  `metrics` are those of the font it printed in.
    void SetCursorAfterTextUnmeasured(double x, const QString& text, TTextJustify justify,
                                      const QFontMetrics& metrics);
    void SetCursorYInches(double y) { cursorY_ = y; }
    double OriginXInches() const { return originX_; }
    double OriginYInches() const { return originY_; }
    // Shows an error the engine reports itself (a message box with an error
    // sign and an OK button).
    virtual void ShowError(const QString& message);
    // Raises when not printing, aborts silently after AbortReport; returns
    // false when the page is skipped (nothing is to be output).
    bool CheckOutput() const;
    void CheckNotPrinting() const;
    // The run-state steps shared by every kind of run.
    void BeginRun();        // Printing := true, Aborted := false
    void EndRun();          // Printing := false
    void InitPage();        // brush, pen, origin, columns, tabs, section, home
    void StartFirstPage();  // CurrentPage := 1 and the skip state
    void SetCurrentPage(int page) { currentPage_ = page; }
    void SetPageSkipped(bool skipped) { pageSkipped_ = skipped; }
    void UpdateLineMetrics();
    void CopyMarginsToSection();
    double PaperWidthInches() const;
    double PaperHeightInches() const;
    // Width of text on the output canvas in inches (as the cursor advances).
    double PixelsToInchesX(int pixels) const;
    // Where the cursor stands after a text of pixel width w at x.
    double CursorAfterText(double x, int w, TTextJustify justify) const;
    // Pixels of the output per inch of the page, as PixelsToInchesX divides.
    double PixelsPerPageInchX() const { return PixelsPerInchX * scaleX_ * zoomFactor_; }
    // The printer settings a device mode holds (defaults without printers).
    struct DeviceModeInfo {
        int Copies = 1, PaperSize = 0, PaperWidth = 0, PaperLength = 0;
    };
    DeviceModeInfo HeldDeviceMode() const;

private:
    void PrintSegment(const QString& text);
    void DrawCellShade(double l, double t, double r, double b, int shade);
    void DrawCellLines(double l, double t, double r, double b, const TTabStop& stop,
                       const int overrides[4]);
    double MarginPosLeft() const { return In(marginLeft_); }
    double MarginPosTop() const { return In(marginTop_); }
    double MarginPosRight() const { return PaperWidthInches() - In(marginRight_); }
    double MarginPosBottom() const { return PaperHeightInches() - In(marginBottom_); }
    QString ExpandStatus() const;

    QPointer<QObject> owner_;
    TPrintUnits units_ = unInch;
    double unitsFactor_ = 1.0;
    double marginLeft_ = 0, marginRight_ = 0, marginTop_ = 0, marginBottom_ = 0;
    double sectionLeft_ = 0, sectionRight_ = 0, sectionTop_ = 0, sectionBottom_ = 0;
    double scaleX_ = 100, scaleY_ = 100, zoomFactor_ = 100;
    // A text printed but not yet measured (SetCursorAfterTextUnmeasured).
    struct UnmeasuredText {
        double x;
        QString text;
        TTextJustify justify;
        QFontMetrics metrics;
        double pixelsPerPageInch;
    };
    // Moves the cursor past an unmeasured text.
    void SettleCursorX() const {
        if (deferred_) MeasureDeferredText();
    }
    void MeasureDeferredText() const;
    // Everything but CursorXInches and SetCursorXInches goes through those two.
    mutable double cursorX_ = 0;
    mutable std::optional<UnmeasuredText> deferred_;
    double cursorY_ = 0;
    double originX_ = 0, originY_ = 0;
    int lineNumber_ = 1;
    int columnNumber_ = 1, columnCount_ = 1;
    double columnWidth_ = 0;
    double lineHeight_ = 1.0 / 6, fontDescent_ = 0, fontLineHeight_ = 1.0 / 6;
    TLineHeightMethod lineHeightMethod_ = lhmLinesPerInch;
    int linesPerInch_ = 6;
    int tabShade_ = 0;
    TBKMode textBKMode_ = bkTransparent;
    std::list<TTabStop> tabs_;
    std::list<TTabStop>::iterator currentTab_;
    bool tabActive_ = false;   // the next text goes into the current stop's cell
    bool tabRestart_ = false;  // the next tab goes to the first stop
    bool hasCurrentTab_ = false;
    int currentPage_ = 0;
    bool pageSkipped_ = false, printing_ = false, aborted_ = false;
    double paperWidth_ = 8.5, paperHeight_ = 11;  // inches
    TOrientation orientation_ = poPortrait;
    int copies_ = 1;
};
