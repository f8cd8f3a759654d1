#pragma once
// TReportFiler: runs a report's page events and records every output
// request, page by page, into a report stream (format: report_stream.h).

#include <QByteArray>
#include <QElapsedTimer>
#include <QIODevice>
#include <QPointer>
#include <memory>

#include "reportengine/base_report.h"
#include "reportengine/report_stream.h"

class TReportFiler : public TBaseReport {
public:
    explicit TReportFiler(QObject* owner = nullptr);
    ~TReportFiler() override;

    QString FileName;
    TStreamMode StreamMode = smMemory;
    TAccuracyMethod AccuracyMethod = amAppearance;
    // The stream of smUser; the filer never frees it.
    QPointer<QIODevice> UserStream;

    TOutputKind OutputKind() const override { return okFile; }
    TCanvas& Canvas() override { return canvas_; }
    void Run() override;
    void NewPage() override;
    void DiscardPage() override;

    void SetScaleX(double value) override;
    void SetScaleY(double value) override;
    void SetTextBKMode(TBKMode mode) override;
    void SetBackgroundColor(TColor color) override;

    void PrintCenteredAt(const QString& text, double x) override;
    void PrintLeftAt(const QString& text, double x) override;
    void PrintRightAt(const QString& text, double x) override;
    void ShadeRect(double x1, double y1, double x2, double y2) override;
    void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
             double y4) override;
    void BrushCopy(const QRect& dest, const TBitmap& bitmap, const QRect& source,
                   TColor color) override;
    void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
               double y4) override;
    void CopyRect(const QRect& dest, TCanvas& source, const QRect& sourceRect) override;
    void Draw(double x, double y, const TGraphic& graphic) override;
    void DrawFocusRect(const QRect& rect) override;
    void Ellipse(double x1, double y1, double x2, double y2) override;
    void FillRect(const QRect& rect) override;
    void FloodFill(double x, double y, TColor color, TFillStyle style) override;
    void FrameRect(const QRect& rect) override;
    void LineTo(double x, double y) override;
    void MoveTo(double x, double y) override;
    void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
             double y4) override;
    void Polygon(std::span<const QPoint> points, int lastIndex) override;
    void Polyline(std::span<const QPoint> points, int lastIndex) override;
    void DrawBitmapScaled(double x, double y, double scaleX, double scaleY,
                          const TBitmap& bitmap) override;
    void DrawBitmapRect(double x1, double y1, double x2, double y2, const TBitmap& bitmap) override;
    void Rectangle(double x1, double y1, double x2, double y2) override;
    void RoundRect(double x1, double y1, double x2, double y2, double x3, double y3) override;
    void StretchDraw(const QRect& rect, const TGraphic& graphic) override;
    void TextRect(const QRect& rect, double x, double y, const QString& text) override;
    void PassThrough(const QByteArray& data) override;

    // Number of page records written by the last run.
    int PagesWritten() const { return pagesWritten_; }

private:
    bool Recording() const;
    bool BeginCommand(TStreamCode code);  // output check + code; false when skipped
    void CommandDone();                   // lets pending window messages run
    void WritePoint(double xUnits, double yUnits);
    void WritePixelPoint(const QPoint& p);
    void WritePixelRect(const QRect& rect);
    void WriteGraphic(const TGraphic& graphic);
    void WriteArc(TStreamCode code, const double (&c)[8]);
    void WriteTwoPoints(TStreamCode code, double x1, double y1, double x2, double y2);
    void WritePolyPoints(TStreamCode code, std::span<const QPoint> points, int lastIndex);
    void RecordText(const QString& text, double x, TTextJustify justify);
    void RecordBrush();
    void RecordFont();
    void RecordPen();
    void InstallNotifications();
    void OpenStream();
    void SetUpMeasuringDevice();
    void BeginPage();
    void EndPage(bool pageFollows);
    void RunPages();
    void FinishRun();
    void CloseStream();

    TCanvas canvas_;
    std::function<void(TGraphicsObject*)> previousFontChange_, previousPenChange_,
        previousBrushChange_;
    TStreamWriter out_;
    QElapsedTimer sinceMessages_;
    int commandsSinceClock_ = 0;
    std::unique_ptr<QIODevice> ownStream_;
    // Last recorded attributes.
    QString lastFontName_;
    TColor lastFontColor_ = 0;
    TFontPitch lastFontPitch_ = fpDefault;
    float lastFontHeight_ = 0;
    TFontStyles lastFontStyle_ = 0;
    TColor lastPenColor_ = 0;
    TPenMode lastPenMode_ = pmCopy;
    TPenStyle lastPenStyle_ = psSolid;
    float lastPenWidth_ = 0;
    TColor lastBrushColor_ = 0;
    TBrushStyle lastBrushStyle_ = bsSolid;
    const TBitmap* lastBrushBitmap_ = nullptr;
    bool brushBitmapRecorded_ = false;
    bool recordAll_ = false;
    bool recordingSuspended_ = true;
    qint64 pageHeaderPos_ = 0;      // header of the open page, or of the last kept one
    qint64 nextFieldPos_ = 0;       // its next-page field; 0 before the first page
    qint64 previousHeaderPos_ = 0;  // header of the page before the open one
    qint64 pageCountPos_ = 0;
    int pagesWritten_ = 0;
    bool pageOpen_ = false;
};
