#pragma once
// TCanvasReport: draws every output operation of the page model on a device
// canvas (the printer's, or a bitmap's in derived classes).

#include "reportengine/base_report.h"

class TCanvasReport : public TBaseReport {
public:
    using TBaseReport::TBaseReport;

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

private:
    void PrintAligned(const QString& text, double x, TTextJustify justify);
};
