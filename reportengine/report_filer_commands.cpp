// TReportFiler: recording of the output operations as stream commands.
#include <QCoreApplication>

#include "reportengine/report_filer.h"

namespace {
// Pending window messages are let through at most this often while a report
// records, so that the Cancel button and repaints work without the message
// loop dominating the recording.
constexpr qint64 kMessageIntervalMs = 20;
}  // namespace

bool TReportFiler::BeginCommand(TStreamCode code) {
    if (!CheckOutput()) return false;
    out_.Byte(code);
    return true;
}

void TReportFiler::CommandDone() {
    // The clock is read every few commands only: a command costs far less.
    if (++commandsSinceClock_ < 32) return;
    commandsSinceClock_ = 0;
    if (!sinceMessages_.isValid() || sinceMessages_.elapsed() >= kMessageIntervalMs) {
        QCoreApplication::processEvents();
        sinceMessages_.start();
    }
}

void TReportFiler::WritePoint(double xUnits, double yUnits) {
    out_.Float(float(In(xUnits) + OriginXInches()));
    out_.Float(float(In(yUnits) + OriginYInches()));
}

void TReportFiler::WritePixelPoint(const QPoint& p) {
    out_.Float(float(XD2I(p.x()) + OriginXInches()));
    out_.Float(float(YD2I(p.y()) + OriginYInches()));
}

void TReportFiler::WritePixelRect(const QRect& rect) {
    WritePixelPoint(QPoint(rect.left(), rect.top()));
    WritePixelPoint(QPoint(rect.left() + rect.width(), rect.top() + rect.height()));
}

void TReportFiler::WriteGraphic(const TGraphic& graphic) {
    TGraphicKind kind = gkOther;
    if (dynamic_cast<const TBitmap*>(&graphic)) {
        kind = gkBitmap;
    } else if (dynamic_cast<const TMetafile*>(&graphic)) {
        kind = gkMetafile;
    } else if (dynamic_cast<const TIcon*>(&graphic)) {
        kind = gkIcon;
    }
    out_.Graphic(kind, graphic.SaveToBytes());
}

void TReportFiler::WriteArc(TStreamCode code, const double (&c)[8]) {
    if (!BeginCommand(code)) return;
    for (int i = 0; i < 8; i += 2) WritePoint(c[i], c[i + 1]);
    CommandDone();
}

void TReportFiler::WriteTwoPoints(TStreamCode code, double x1, double y1, double x2, double y2) {
    if (!BeginCommand(code)) return;
    WritePoint(x1, y1);
    WritePoint(x2, y2);
    CommandDone();
}

void TReportFiler::WritePolyPoints(TStreamCode code, std::span<const QPoint> points,
                                   int lastIndex) {
    if (!CheckOutput()) return;
    // Never more points than were given.
    lastIndex = std::min<int>(lastIndex, int(points.size()) - 1);
    if (lastIndex < 0) return;
    out_.Byte(code);
    out_.Int(lastIndex);
    for (int i = 0; i <= lastIndex; ++i) WritePixelPoint(points[i]);
    CommandDone();
}

// ---- text ---------------------------------------------------------------------------------

void TReportFiler::RecordText(const QString& text, double x, TTextJustify justify) {
    if (!CheckOutput()) return;
    if (AccuracyMethod == amAppearance) {
        static constexpr TStreamCode kCodes[] = {scCenterText, scLeftText, scRightText};
        out_.Byte(kCodes[justify]);
        out_.Float(float(CursorYInches() + OriginYInches()));
        out_.String(text);
        out_.Float(float(x + OriginXInches()));
        SetCursorAfterTextUnmeasured(x, text, justify, canvas_.FontMetrics());
    } else {
        const int w = canvas_.TextWidth(text);
        double runX = x;
        if (justify == tjCenter) runX = x - PixelsToInchesX(w / 2);
        if (justify == tjRight) runX = x - PixelsToInchesX(w);
        // One record per character (a surrogate pair stays one character).
        for (qsizetype i = 0; i < text.size();) {
            qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            QString ch = text.mid(i, n);
            out_.Byte(scLeftText);
            out_.Float(float(CursorYInches() + OriginYInches()));
            out_.String(ch);
            out_.Float(float(runX + OriginXInches()));
            runX += PixelsToInchesX(canvas_.TextWidth(ch));
            i += n;
        }
        SetCursorXInches(runX);
    }
    CommandDone();
}

void TReportFiler::PrintCenteredAt(const QString& text, double x) { RecordText(text, x, tjCenter); }

void TReportFiler::PrintLeftAt(const QString& text, double x) { RecordText(text, x, tjLeft); }

void TReportFiler::PrintRightAt(const QString& text, double x) { RecordText(text, x, tjRight); }

void TReportFiler::TextRect(const QRect& rect, double x, double y, const QString& text) {
    if (!BeginCommand(scTextRect)) return;
    WritePixelRect(rect);
    WritePoint(x, y);
    out_.String(text);
    CommandDone();
}

void TReportFiler::PassThrough(const QByteArray& data) {
    if (!BeginCommand(scPassThrough)) return;
    out_.RawString(data);
    CommandDone();
}

// ---- shapes -------------------------------------------------------------------------------

void TReportFiler::ShadeRect(double x1, double y1, double x2, double y2) {
    WriteTwoPoints(scShadeRect, x1, y1, x2, y2);
}

void TReportFiler::Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                       double y4) {
    WriteArc(scArc, {x1, y1, x2, y2, x3, y3, x4, y4});
}

void TReportFiler::Chord(double x1, double y1, double x2, double y2, double x3, double y3,
                         double x4, double y4) {
    WriteArc(scChord, {x1, y1, x2, y2, x3, y3, x4, y4});
}

void TReportFiler::Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                       double y4) {
    WriteArc(scPie, {x1, y1, x2, y2, x3, y3, x4, y4});
}

void TReportFiler::Ellipse(double x1, double y1, double x2, double y2) {
    WriteTwoPoints(scEllipse, x1, y1, x2, y2);
}

void TReportFiler::Rectangle(double x1, double y1, double x2, double y2) {
    WriteTwoPoints(scRectangle, x1, y1, x2, y2);
}

void TReportFiler::RoundRect(double x1, double y1, double x2, double y2, double x3, double y3) {
    if (!BeginCommand(scRoundRect)) return;
    WritePoint(x1, y1);
    WritePoint(x2, y2);
    out_.Float(float(In(x3)));
    out_.Float(float(In(y3)));
    CommandDone();
}

void TReportFiler::LineTo(double x, double y) {
    if (!BeginCommand(scLineTo)) return;
    WritePoint(x, y);
    CommandDone();
}

void TReportFiler::MoveTo(double x, double y) {
    if (!BeginCommand(scMoveTo)) return;
    WritePoint(x, y);
    CommandDone();
}

void TReportFiler::FloodFill(double x, double y, TColor color, TFillStyle style) {
    if (!BeginCommand(scFloodFill)) return;
    WritePoint(x, y);
    out_.Int(color);
    out_.Int(style);
    CommandDone();
}

void TReportFiler::Polygon(std::span<const QPoint> points, int lastIndex) {
    WritePolyPoints(scPolygon, points, lastIndex);
}

void TReportFiler::Polyline(std::span<const QPoint> points, int lastIndex) {
    WritePolyPoints(scPolyline, points, lastIndex);
}

// ---- pixel rectangles -----------------------------------------------------------------------

void TReportFiler::BrushCopy(const QRect& dest, const TBitmap& bitmap, const QRect& source,
                             TColor color) {
    if (!BeginCommand(scBrushCopy)) return;
    WriteGraphic(bitmap);
    WritePixelRect(dest);
    WritePixelRect(source);
    out_.Int(color);
    CommandDone();
}

void TReportFiler::CopyRect(const QRect&, TCanvas&, const QRect&) {
    throw EFolioscribe(ReportMessages::CopyRectNotSupported);
}

void TReportFiler::DrawFocusRect(const QRect& rect) {
    if (!BeginCommand(scDrawFocusRect)) return;
    WritePixelRect(rect);
    CommandDone();
}

void TReportFiler::FillRect(const QRect& rect) {
    if (!BeginCommand(scFillRect)) return;
    WritePixelRect(rect);
    CommandDone();
}

void TReportFiler::FrameRect(const QRect& rect) {
    if (!BeginCommand(scFrameRect)) return;
    WritePixelRect(rect);
    CommandDone();
}

// ---- pictures -------------------------------------------------------------------------------

void TReportFiler::Draw(double x, double y, const TGraphic& graphic) {
    if (!BeginCommand(scDraw)) return;
    WriteGraphic(graphic);
    WritePoint(x, y);
    CommandDone();
}

void TReportFiler::StretchDraw(const QRect& rect, const TGraphic& graphic) {
    if (!BeginCommand(scStretchDraw)) return;
    WriteGraphic(graphic);
    WritePixelRect(rect);
    CommandDone();
}

void TReportFiler::DrawBitmapScaled(double x, double y, double scaleX, double scaleY,
                                    const TBitmap& bitmap) {
    if (!BeginCommand(scDrawBitmapScaled)) return;
    WriteGraphic(bitmap);
    WritePoint(x, y);
    out_.Float(float(scaleX));
    out_.Float(float(scaleY));
    CommandDone();
}

void TReportFiler::DrawBitmapRect(double x1, double y1, double x2, double y2,
                                  const TBitmap& bitmap) {
    if (!BeginCommand(scDrawBitmapRect)) return;
    WriteGraphic(bitmap);
    WritePoint(x1, y1);
    WritePoint(x2, y2);
    CommandDone();
}
