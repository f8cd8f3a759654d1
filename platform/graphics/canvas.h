#pragma once
// A drawing surface with a font, a pen and a brush, in device pixels, drawn
// through QPainter.  A canvas without a device only measures text (at the
// font's PixelsPerInch), as a report recorder needs.
//
// Drawing follows the classic conventions: rectangles and ellipses cover
// x1..x2-1 and y1..y2-1, filled with the brush and framed with the pen; text
// is placed by its alignment (left/centre/right and top/baseline); the pen
// mode is a raster operation on bitmaps.

#include <QFontMetrics>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>
#include <map>
#include <memory>
#include <span>
#include <tuple>

#include "platform/graphics/colors.h"
#include "platform/graphics/graphics_objects.h"

class TGraphic;
class TBitmap;

// Text alignment bits.
enum : unsigned {
    TA_LEFT = 0,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_TOP = 0,
    TA_BOTTOM = 8,
    TA_BASELINE = 24
};

struct TTextMetric {
    int Ascent = 0;
    int Descent = 0;
    int Height = 0;
    int InternalLeading = 0;
};

class TCanvas {
public:
    TCanvas();                               // measuring only
    explicit TCanvas(QPaintDevice* device);  // draws on device
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // Ends painting on the current device and begins on the new one
    // (nullptr: measuring only).
    void SetDevice(QPaintDevice* device);
    QPaintDevice* Device() const { return device_; }
    QPainter* Painter() { return painter_.get(); }

    TFont& Font() { return font_; }
    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }

    unsigned TextAlign() const { return textAlign_; }
    void SetTextAlign(unsigned align) { textAlign_ = align; }
    TBkMode BkMode() const { return bkMode_; }
    void SetBkMode(TBkMode mode) { bkMode_ = mode; }
    TColor BkColor() const { return bkColor_; }
    void SetBkColor(TColor color) { bkColor_ = color; }

    // Measuring with the current font, in device pixels.  Widths are kept
    // per font: shaping a text costs far more than finding it again, and
    // reports measure the same texts (money, headings) over and over.
    int TextWidth(const QString& text);
    // The current font's metrics; a copy keeps measuring with this font.
    const QFontMetrics& FontMetrics() { return Metrics(); }
    int TextHeight(const QString& text);
    TTextMetric TextMetrics();

    // Returns the text's width in pixels.
    int TextOut(int x, int y, const QString& text);
    void TextRect(const QRect& clip, int x, int y, const QString& text);

    QPoint PenPos() const { return penPos_; }
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Ellipse(int x1, int y1, int x2, int y2);
    void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void Polygon(std::span<const QPoint> points);
    void Polyline(std::span<const QPoint> points);
    void FillRect(const QRect& rect);   // brush only
    void FrameRect(const QRect& rect);  // a one-pixel frame in the brush colour
    void DrawFocusRect(const QRect& rect);
    // Fills the area of colour (fsSurface) or up to a border of colour
    // (fsBorder) around (x, y); only on bitmap devices.
    void FloodFill(int x, int y, TColor color, TFillStyle style);

    void Draw(int x, int y, const TGraphic& graphic);
    void StretchDraw(const QRect& rect, const TGraphic& graphic);
    // Copies the source part of bitmap to dest, with colour replaced by the
    // brush colour.
    void BrushCopy(const QRect& dest, const TBitmap& bitmap, const QRect& source, TColor color);
    void CopyRect(const QRect& dest, TCanvas& source, const QRect& sourceRect);
    // Stretches the whole image into dest (the device-independent bit copy).
    void StretchImage(const QRect& dest, const QImage& image);

private:
    enum class Tool { Pen = 1, Brush = 2 };
    void ApplyPen();
    void ApplyBrush();
    void ApplyFont();
    void ApplyTools(bool withPen, bool withBrush);
    QPainter& P();
    // The Qt font of font_, its metrics, the widths measured with it and
    // the glyphs of the texts drawn with it on the current device (placed
    // from the left end of their baseline).
    struct FontMeasures {
        QFont font;
        QFontMetrics metrics;
        QHash<QString, int> widths;
        QHash<QString, QList<QGlyphRun>> glyphs;
    };
    // What makes the Qt font: everything but the colour.
    using FontKey = std::tuple<QString, int, TFontStyles, TFontPitch>;
    FontMeasures& Measures();
    const QFontMetrics& Metrics() { return Measures().metrics; }
    const QFont& QtFont() { return Measures().font; }
    const QList<QGlyphRun>& Glyphs(const QString& text);
    bool RasterDevice() const;
    void DrawTextAt(QPoint baseline, const QString& text);
    QRectF ShapeRect(int x1, int y1, int x2, int y2) const;
    void DrawArcShape(int kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

    QPaintDevice* device_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    TFont font_;
    TPen pen_;
    TBrush brush_;
    std::map<FontKey, std::unique_ptr<FontMeasures>> measures_;
    FontMeasures* current_ = nullptr;  // font_'s, until font_ changes
    unsigned textAlign_ = TA_LEFT | TA_TOP;
    TBkMode bkMode_ = bkOpaque;
    TColor bkColor_ = clWhite;
    QPoint penPos_;
};
