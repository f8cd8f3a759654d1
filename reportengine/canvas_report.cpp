// TCanvasReport: each output operation drawn on Canvas() in device pixels.
#include "reportengine/canvas_report.h"

#include <cmath>
#include <vector>

#include "reportengine/report_geometry.h"

// ---- text ------------------------------------------------------------------------------

void TCanvasReport::PrintAligned(const QString& text, double x, TTextJustify justify) {
    if (!CheckOutput()) return;
    TCanvas& canvas = Canvas();
    TBkMode savedMode = canvas.BkMode();
    canvas.SetBkMode(TextBKMode());
    unsigned align = justify == tjCenter ? TA_CENTER : justify == tjRight ? TA_RIGHT : TA_LEFT;
    canvas.SetTextAlign(TA_BASELINE | align);
    int w = canvas.TextOut(XI2D(x), YI2D(CursorYInches()), text);
    canvas.SetBkMode(savedMode);
    SetCursorXInches(CursorAfterText(x, w, justify));
}

void TCanvasReport::PrintCenteredAt(const QString& text, double x) {
    PrintAligned(text, x, tjCenter);
}

void TCanvasReport::PrintLeftAt(const QString& text, double x) { PrintAligned(text, x, tjLeft); }

void TCanvasReport::PrintRightAt(const QString& text, double x) { PrintAligned(text, x, tjRight); }

void TCanvasReport::TextRect(const QRect& rect, double x, double y, const QString& text) {
    if (!CheckOutput()) return;
    TCanvas& canvas = Canvas();
    // Like every text, over the page or an opaque background as TextBKMode says.
    const TBkMode savedMode = canvas.BkMode();
    canvas.SetBkMode(TextBKMode());
    canvas.SetTextAlign(TA_BASELINE | TA_LEFT);
    canvas.TextRect(rect, XU2D(x), YU2D(y), text);
    canvas.SetBkMode(savedMode);
}

// ---- shapes ---------------------------------------------------------------------------------

void TCanvasReport::ShadeRect(double x1, double y1, double x2, double y2) {
    if (!CheckOutput()) return;
    Canvas().Rectangle(XU2D(x1) - 1, YU2D(y1) - 1, XU2D(x2) + 1, YU2D(y2) + 1);
}

void TCanvasReport::Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                        double y4) {
    if (!CheckOutput()) return;
    Canvas().Arc(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2), XU2D(x3), YU2D(y3), XU2D(x4), YU2D(y4));
}

void TCanvasReport::Chord(double x1, double y1, double x2, double y2, double x3, double y3,
                          double x4, double y4) {
    if (!CheckOutput()) return;
    Canvas().Chord(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2), XU2D(x3), YU2D(y3), XU2D(x4), YU2D(y4));
}

void TCanvasReport::Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                        double y4) {
    if (!CheckOutput()) return;
    Canvas().Pie(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2), XU2D(x3), YU2D(y3), XU2D(x4), YU2D(y4));
}

void TCanvasReport::Ellipse(double x1, double y1, double x2, double y2) {
    if (!CheckOutput()) return;
    Canvas().Ellipse(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2));
}

void TCanvasReport::Rectangle(double x1, double y1, double x2, double y2) {
    if (!CheckOutput()) return;
    Canvas().Rectangle(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2));
}

void TCanvasReport::RoundRect(double x1, double y1, double x2, double y2, double x3, double y3) {
    if (!CheckOutput()) return;
    int w = NearestPixel(In(x3) * ScaleX() * ZoomFactor() / 10000 * PixelsPerInchX);
    int h = NearestPixel(In(y3) * ScaleY() * ZoomFactor() / 10000 * PixelsPerInchY);
    Canvas().RoundRect(XU2D(x1), YU2D(y1), XU2D(x2), YU2D(y2), w, h);
}

void TCanvasReport::LineTo(double x, double y) {
    if (!CheckOutput()) return;
    Canvas().LineTo(XU2D(x), YU2D(y));
}

void TCanvasReport::MoveTo(double x, double y) {
    if (!CheckOutput()) return;
    Canvas().MoveTo(XU2D(x), YU2D(y));
}

void TCanvasReport::FloodFill(double x, double y, TColor color, TFillStyle style) {
    if (!CheckOutput()) return;
    Canvas().FloodFill(XU2D(x), YU2D(y), color, style);
}

// ---- pixel operations --------------------------------------------------------------------------

void TCanvasReport::BrushCopy(const QRect& dest, const TBitmap& bitmap, const QRect& source,
                              TColor color) {
    if (!CheckOutput()) return;
    Canvas().BrushCopy(dest, bitmap, source, color);
}

void TCanvasReport::CopyRect(const QRect& dest, TCanvas& source, const QRect& sourceRect) {
    if (!CheckOutput()) return;
    Canvas().CopyRect(dest, source, sourceRect);
}

void TCanvasReport::DrawFocusRect(const QRect& rect) {
    if (!CheckOutput()) return;
    Canvas().DrawFocusRect(rect);
}

void TCanvasReport::FillRect(const QRect& rect) {
    if (!CheckOutput()) return;
    Canvas().FillRect(rect);
}

void TCanvasReport::FrameRect(const QRect& rect) {
    if (!CheckOutput()) return;
    Canvas().FrameRect(rect);
}

void TCanvasReport::Polygon(std::span<const QPoint> points, int lastIndex) {
    if (!CheckOutput()) return;
    if (lastIndex < 0) return;
    Canvas().Polygon(points.first(std::min<size_t>(points.size(), size_t(lastIndex) + 1)));
}

void TCanvasReport::Polyline(std::span<const QPoint> points, int lastIndex) {
    if (!CheckOutput()) return;
    if (lastIndex < 0) return;
    Canvas().Polyline(points.first(std::min<size_t>(points.size(), size_t(lastIndex) + 1)));
}

void TCanvasReport::StretchDraw(const QRect& rect, const TGraphic& graphic) {
    if (!CheckOutput()) return;
    Canvas().StretchDraw(rect, graphic);
}

// ---- pictures at report positions --------------------------------------------------------------

void TCanvasReport::Draw(double x, double y, const TGraphic& graphic) {
    if (!CheckOutput()) return;
    Canvas().Draw(XU2D(x), YU2D(y), graphic);
}

void TCanvasReport::DrawBitmapScaled(double x, double y, double scaleX, double scaleY,
                                     const TBitmap& bitmap) {
    if (!CheckOutput()) return;
    QRect dest(XU2D(x), YU2D(y), NearestPixel(bitmap.Width() * scaleX),
               NearestPixel(bitmap.Height() * scaleY));
    Canvas().StretchImage(dest, bitmap.Image());
}

void TCanvasReport::DrawBitmapRect(double x1, double y1, double x2, double y2,
                                   const TBitmap& bitmap) {
    if (!CheckOutput()) return;
    int left = XU2D(x1), top = YU2D(y1);
    Canvas().StretchImage(QRect(left, top, XU2D(x2) - left, YU2D(y2) - top), bitmap.Image());
}

void TCanvasReport::PassThrough(const QByteArray& data) {
    if (!CheckOutput()) return;
    // Qt's printers take no raw device bytes: the escape has nowhere to go,
    // so the bytes are dropped (no report of the program sends any).
    (void)data;
}
