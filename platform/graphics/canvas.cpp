#include "platform/graphics/canvas.h"

#include <QBitmap>
#include <QImage>
#include <QPainterPath>
#include <QRegion>
#include <QTextLayout>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/graphics/graphic.h"

TCanvas::TCanvas() {
    font_.OnChange = [this](TGraphicsObject*) { current_ = nullptr; };
}

TCanvas::TCanvas(QPaintDevice* device) : TCanvas() { SetDevice(device); }

TCanvas::~TCanvas() { SetDevice(nullptr); }

void TCanvas::SetDevice(QPaintDevice* device) {
    if (painter_) {
        if (painter_->isActive()) painter_->end();
        painter_.reset();
    }
    device_ = device;
    // Glyphs are shaped for a device's resolution.
    for (auto& [key, measures] : measures_) measures->glyphs.clear();
    if (device_) {
        painter_ = std::make_unique<QPainter>(device_);
        painter_->setRenderHint(QPainter::LosslessImageRendering);
    }
}

QPainter& TCanvas::P() {
    // Drawing without a device is a programming error of the caller.
    Q_ASSERT(painter_);
    return *painter_;
}

bool TCanvas::RasterDevice() const { return device_ && device_->devType() == QInternal::Image; }

namespace {
// Bounds on what a canvas keeps: a few fonts, a few thousand texts each.
constexpr std::size_t kMaxFonts = 32;
constexpr qsizetype kMaxWidthsPerFont = 1 << 15;
}  // namespace

TCanvas::FontMeasures& TCanvas::Measures() {
    if (current_) return *current_;
    FontKey key{font_.Name(), font_.Height(), font_.Style(), font_.Pitch()};
    auto found = measures_.find(key);
    if (found == measures_.end()) {
        if (measures_.size() >= kMaxFonts) measures_.clear();
        QFont font = font_.ToQFont();
        QFontMetrics metrics(font);
        auto made = std::make_unique<FontMeasures>(
            FontMeasures{std::move(font), std::move(metrics), {}, {}});
        found = measures_.emplace(std::move(key), std::move(made)).first;
    }
    current_ = found->second.get();
    return *current_;
}

int TCanvas::TextWidth(const QString& text) {
    FontMeasures& measures = Measures();
    if (auto known = measures.widths.constFind(text); known != measures.widths.cend())
        return *known;
    const int width = measures.metrics.horizontalAdvance(text);
    if (measures.widths.size() >= kMaxWidthsPerFont) measures.widths.clear();
    measures.widths.insert(text, width);
    return width;
}

const QList<QGlyphRun>& TCanvas::Glyphs(const QString& text) {
    FontMeasures& measures = Measures();
    if (auto known = measures.glyphs.constFind(text); known != measures.glyphs.cend())
        return *known;
    // Shaped as the painter shapes a text it is given, on one line.
    QTextLayout layout(text, P().font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(P().layoutDirection());
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    QList<QGlyphRun> runs = line.glyphRuns();
    const QPointF toBaseline(0, -line.ascent());
    for (QGlyphRun& run : runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF& at : positions) at += toBaseline;
        run.setPositions(positions);
    }
    if (measures.glyphs.size() >= kMaxWidthsPerFont) measures.glyphs.clear();
    return *measures.glyphs.insert(text, std::move(runs));
}

int TCanvas::TextHeight(const QString&) { return Metrics().height(); }

TTextMetric TCanvas::TextMetrics() {
    const QFontMetrics& m = Metrics();
    TTextMetric t;
    t.Ascent = m.ascent();
    t.Descent = m.descent();
    t.Height = m.ascent() + m.descent();
    t.InternalLeading = std::max(0, t.Height - QtFont().pixelSize());
    return t;
}

// ---- tools --------------------------------------------------------------------

void TCanvas::ApplyPen() {
    QPainter& p = P();
    if (pen_.Style() == psClear) {
        p.setPen(Qt::NoPen);
        return;
    }
    QPen pen(ToQColor(pen_.Color()));
    pen.setStyle(ToQtPenStyle(pen_.Style()));
    // A one-pixel pen is Qt's cosmetic pen: the same pixels, drawn without
    // the stroker.
    pen.setWidth(pen_.Width() <= 1 ? 0 : pen_.Width());
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
}

void TCanvas::ApplyBrush() {
    QPainter& p = P();
    if (brush_.Bitmap() && !brush_.Bitmap()->Empty()) {
        p.setBrush(QBrush(brush_.Bitmap()->Image()));
        return;
    }
    if (brush_.Style() == bsClear) {
        p.setBrush(Qt::NoBrush);
        return;
    }
    p.setBrush(QBrush(ToQColor(brush_.Color()), ToQtBrushStyle(brush_.Style())));
    // Hatched brushes draw their gaps in the background colour when opaque.
    p.setBackgroundMode(bkMode_ == bkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
    p.setBackground(ToQColor(bkColor_));
}

void TCanvas::ApplyTools(bool withPen, bool withBrush) {
    QPainter& p = P();
    p.setCompositionMode(ToCompositionMode(pen_.Mode(), RasterDevice()));
    if (withPen) {
        ApplyPen();
    } else {
        p.setPen(Qt::NoPen);
    }
    if (withBrush) {
        ApplyBrush();
    } else {
        p.setBrush(Qt::NoBrush);
    }
}

void TCanvas::ApplyFont() {
    QPainter& p = P();
    p.setFont(QtFont());
    p.setPen(ToQColor(font_.Color()));
    // TextOut paints an opaque background itself, in the text's own box.
    p.setBackgroundMode(Qt::TransparentMode);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---- text -----------------------------------------------------------------------

int TCanvas::TextOut(int x, int y, const QString& text) {
    QPainter& p = P();
    ApplyFont();
    const QFontMetrics& m = Metrics();
    int w = TextWidth(text);
    int left = x;
    if ((textAlign_ & TA_CENTER) == TA_CENTER) {
        left = x - w / 2;
    } else if (textAlign_ & TA_RIGHT) {
        left = x - w;
    }
    int baseline = y;
    if ((textAlign_ & TA_BASELINE) == TA_BASELINE) {
        baseline = y;
    } else if (textAlign_ & TA_BOTTOM) {
        baseline = y - m.descent();
    } else {
        baseline = y + m.ascent();
    }
    if (bkMode_ == bkOpaque) {
        p.fillRect(QRect(left, baseline - m.ascent(), w, m.ascent() + m.descent()),
                   ToQColor(bkColor_));
    }
    DrawTextAt(QPoint(left, baseline), text);
    if (textAlign_ & 1) penPos_ = QPoint(left + w, y);  // TA_UPDATECP
    return w;
}

void TCanvas::DrawTextAt(QPoint baseline, const QString& text) {
    // Tabs and line breaks are the painter's own business.
    const bool plain =
        std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20; });
    if (!plain) {
        P().drawText(baseline, text);
        return;
    }
    // A report draws the same texts (numbers, prices, editions, headings)
    // over and over: shaping each once saves most of a text's cost.
    for (const QGlyphRun& run : Glyphs(text)) P().drawGlyphRun(baseline, run);
}

void TCanvas::TextRect(const QRect& clip, int x, int y, const QString& text) {
    QPainter& p = P();
    p.save();
    p.setClipRect(clip);
    TextOut(x, y, text);
    p.restore();
}

// ---- lines and shapes ------------------------------------------------------------

void TCanvas::MoveTo(int x, int y) { penPos_ = QPoint(x, y); }

void TCanvas::LineTo(int x, int y) {
    ApplyTools(true, false);
    P().drawLine(penPos_, QPoint(x, y));
    penPos_ = QPoint(x, y);
}

QRectF TCanvas::ShapeRect(int x1, int y1, int x2, int y2) const {
    // The shape covers x1..x2-1; a one-pixel pen is centred on the pixels of
    // the outer row.
    double inset = pen_.Style() == psClear ? 0.0 : 0.5;
    return QRectF(std::min(x1, x2) + inset, std::min(y1, y2) + inset, std::abs(x2 - x1) - 2 * inset,
                  std::abs(y2 - y1) - 2 * inset);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    ApplyTools(true, true);
    P().drawRect(ShapeRect(x1, y1, x2, y2));
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    ApplyTools(true, true);
    P().drawEllipse(ShapeRect(x1, y1, x2, y2));
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
    ApplyTools(true, true);
    P().drawRoundedRect(ShapeRect(x1, y1, x2, y2), x3 / 2.0, y3 / 2.0);
}

namespace {

// Angle in 1/16 degree of the ray from the ellipse's centre through (x, y).
int RayAngle16(const QRectF& r, int x, int y) {
    double dx = x - r.center().x();
    double dy = r.center().y() - y;
    double degrees = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
    return static_cast<int>(std::lround(degrees * 16));
}

}  // namespace

void TCanvas::DrawArcShape(int kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4,
                           int y4) {
    QRectF r = ShapeRect(x1, y1, x2, y2);
    int start = RayAngle16(r, x3, y3);
    int span = RayAngle16(r, x4, y4) - start;
    if (span <= 0) span += 360 * 16;  // counter-clockwise from start to end
    ApplyTools(true, kind != 0);
    switch (kind) {
        case 0:
            P().drawArc(r, start, span);
            break;
        case 1:
            P().drawChord(r, start, span);
            break;
        default:
            P().drawPie(r, start, span);
            break;
    }
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    DrawArcShape(0, x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    DrawArcShape(1, x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    DrawArcShape(2, x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::Polygon(std::span<const QPoint> points) {
    if (points.empty()) return;
    ApplyTools(true, true);
    P().drawPolygon(points.data(), int(points.size()));
}

void TCanvas::Polyline(std::span<const QPoint> points) {
    if (points.empty()) return;
    ApplyTools(true, false);
    P().drawPolyline(points.data(), int(points.size()));
}

void TCanvas::FillRect(const QRect& rect) {
    ApplyTools(false, true);
    P().drawRect(rect.normalized());
}

void TCanvas::FrameRect(const QRect& rect) {
    QRect r = rect.normalized();
    if (r.isEmpty()) return;
    QPainter& p = P();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QColor c = ToQColor(brush_.Color());
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), c);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), c);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), c);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), c);
}

void TCanvas::DrawFocusRect(const QRect& rect) {
    QPainter& p = P();
    p.setCompositionMode(RasterDevice() ? QPainter::RasterOp_SourceXorDestination
                                        : QPainter::CompositionMode_SourceOver);
    QPen pen(Qt::white);
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QRect r = rect.normalized();
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

void TCanvas::FloodFill(int x, int y, TColor color, TFillStyle style) {
    if (!RasterDevice()) return;
    QImage& image = *static_cast<QImage*>(device_);
    if (!image.rect().contains(x, y)) return;
    // Finish pending painting before reading the pixels.
    QPainter& p = P();
    QRgb target = ToQColor(color).rgb() & 0xFFFFFF;
    auto inside = [&](int px, int py) {
        QRgb c = image.pixel(px, py) & 0xFFFFFF;
        return style == fsSurface ? c == target : c != target;
    };
    if (!inside(x, y)) return;
    QImage mask(image.size(), QImage::Format_Mono);
    mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mask.fill(0);
    std::vector<QPoint> stack{QPoint(x, y)};
    while (!stack.empty()) {
        QPoint pt = stack.back();
        stack.pop_back();
        if (!image.rect().contains(pt) || mask.pixelIndex(pt) || !inside(pt.x(), pt.y())) {
            continue;
        }
        mask.setPixel(pt, 1);
        stack.push_back(pt + QPoint(1, 0));
        stack.push_back(pt - QPoint(1, 0));
        stack.push_back(pt + QPoint(0, 1));
        stack.push_back(pt - QPoint(0, 1));
    }
    QRegion region(QBitmap::fromImage(mask));
    p.save();
    p.setClipRegion(region);
    ApplyTools(false, true);
    p.drawRect(image.rect());
    p.restore();
}

// ---- pictures ------------------------------------------------------------------------

void TCanvas::Draw(int x, int y, const TGraphic& graphic) {
    StretchDraw(QRect(x, y, graphic.Width(), graphic.Height()), graphic);
}

void TCanvas::StretchDraw(const QRect& rect, const TGraphic& graphic) {
    P().setCompositionMode(QPainter::CompositionMode_SourceOver);
    graphic.Draw(*this, rect);
}

void TCanvas::StretchImage(const QRect& dest, const QImage& image) {
    QPainter& p = P();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(dest, image);
}

void TCanvas::BrushCopy(const QRect& dest, const TBitmap& bitmap, const QRect& source,
                        TColor color) {
    // Only the part of the source that lies on the bitmap can be copied.
    QRect inside = source.normalized().intersected(bitmap.Image().rect());
    if (inside.isEmpty()) return;
    QImage part = bitmap.Image().copy(inside).convertToFormat(QImage::Format_RGB32);
    QRgb from = ToQColor(color).rgb();
    QRgb to = ToQColor(brush_.Color()).rgb();
    for (int row = 0; row < part.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(part.scanLine(row));
        for (int col = 0; col < part.width(); ++col) {
            if ((line[col] & 0xFFFFFF) == (from & 0xFFFFFF)) line[col] = to;
        }
    }
    StretchImage(dest, part);
}

void TCanvas::CopyRect(const QRect& dest, TCanvas& source, const QRect& sourceRect) {
    if (!source.device_ || source.device_->devType() != QInternal::Image) return;
    const QImage& image = *static_cast<QImage*>(source.device_);
    QRect inside = sourceRect.normalized().intersected(image.rect());
    if (inside.isEmpty()) return;
    StretchImage(dest, image.copy(inside));
}
