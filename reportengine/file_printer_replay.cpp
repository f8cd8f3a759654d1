// TFilePrinter: replay of one page's commands onto Canvas().  Every code
// reads its operands and calls the output operation of the same name on the
// reader itself (report units are inches); state codes set the canvas's
// brush, font and pen.
//
// What the reader does with the codes that cannot be replayed:
//   4 (CopyRect)     the operands are read and nothing is drawn: a recorded
//                    stream carries no source canvas.
//   43 with 1 on a brush without a pattern bitmap
//                    the graphic is read and dropped; the brush stays as is.
//   graphic kind 4   the graphic's bytes are stepped over and the command
//                    draws nothing.
#include <cmath>
#include <vector>

#include "reportengine/file_printer.h"
#include "reportengine/report_geometry.h"

namespace {

// Device pixels of a font height or pen width: kept to what a page can show,
// so that a damaged stream cannot ask for a glyph the size of a building.
constexpr int kMaxToolPixels = 4096;

int ClampTool(int pixels) { return std::clamp(pixels, -kMaxToolPixels, kMaxToolPixels); }

}  // namespace

void TFilePrinter::ReplayCommands() {
    for (;;) {
        std::uint8_t code = in_.Byte();
        if (code == scEndOfPage) return;
        ReplayCommand(code);
    }
}

QPointF TFilePrinter::ReadPoint() {
    float x = in_.Float();
    float y = in_.Float();
    return QPointF(x, y);
}

QRect TFilePrinter::ReadPixelRect() {
    QPointF a = ReadPoint();
    QPointF b = ReadPoint();
    QPoint topLeft(XI2D(a.x()), YI2D(a.y()));
    QPoint bottomRight(XI2D(b.x()), YI2D(b.y()));
    return QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
}

std::shared_ptr<const TGraphic> TFilePrinter::ReadGraphic() {
    TGraphicKind kind = in_.GraphicKind();
    QByteArray bytes = in_.GraphicBytes();
    // A report repeats its logo on every page: the picture decoded for the
    // last page serves again, and stays one image to a PDF writer, which
    // then embeds it once instead of once a page.
    if (lastGraphic_.graphic && kind == lastGraphic_.kind && bytes == lastGraphic_.bytes)
        return lastGraphic_.graphic;
    std::shared_ptr<TGraphic> graphic;
    switch (kind) {
        case gkBitmap:
            graphic = std::make_shared<TBitmap>();
            break;
        case gkMetafile:
            graphic = std::make_shared<TMetafile>();
            break;
        case gkIcon:
            graphic = std::make_shared<TIcon>();
            break;
        case gkOther:
            return nullptr;  // no class here can read it
        default:
            Unexpected();
    }
    try {
        graphic->LoadFromBytes(bytes);
    } catch (const EInvalidGraphic&) {
        if (Printing()) AbortReport();
        throw;
    }
    lastGraphic_ = {kind, std::move(bytes), graphic};
    return graphic;
}

void TFilePrinter::ReadBrushBitmap() {
    if (in_.Byte() == 0) return;  // 0 leaves the pattern as it is
    in_.GraphicKind();
    QByteArray bytes = in_.GraphicBytes();
    const std::shared_ptr<TBitmap>& pattern = Canvas().Brush().Bitmap();
    if (!pattern) return;  // no pattern bitmap to read into
    try {
        pattern->LoadFromBytes(bytes);
    } catch (const EInvalidGraphic&) {
        if (Printing()) AbortReport();
        throw;
    }
    Canvas().Brush().SetBitmap(pattern);
}

int TFilePrinter::ReplayFontHeight(float inches) const {
    return ClampTool(NearestPixel(PixelsPerInchY * double(inches) * ZoomFactor() / 100));
}

int TFilePrinter::ReplayPenWidth(float inches) const {
    return ClampTool(
        NearestPixel(ZoomFactor() * double(inches) * PixelsPerInchX * ScaleX() / 10000));
}

// ---- commands ---------------------------------------------------------------------------------

void TFilePrinter::ReplayCommand(std::uint8_t code) {
    if (code >= scBrush) {
        ReplayStateCode(code);
        return;
    }
    switch (code) {
        case scArc:
        case scChord:
        case scPie: {
            QPointF p[4];
            for (QPointF& q : p) q = ReadPoint();
            auto op = code == scArc     ? &TFilePrinter::Arc
                      : code == scChord ? &TFilePrinter::Chord
                                        : &TFilePrinter::Pie;
            (this->*op)(p[0].x(), p[0].y(), p[1].x(), p[1].y(), p[2].x(), p[2].y(), p[3].x(),
                        p[3].y());
            return;
        }
        case scCopyRect:
            ReadPoint(), ReadPoint(), in_.Int(), ReadPoint(), ReadPoint();
            return;
        case scDrawFocusRect:
            DrawFocusRect(ReadPixelRect());
            return;
        case scFillRect:
            FillRect(ReadPixelRect());
            return;
        case scFrameRect:
            FrameRect(ReadPixelRect());
            return;
        case scEllipse:
        case scRectangle:
        case scShadeRect: {
            QPointF a = ReadPoint(), b = ReadPoint();
            if (code == scEllipse) Ellipse(a.x(), a.y(), b.x(), b.y());
            if (code == scRectangle) Rectangle(a.x(), a.y(), b.x(), b.y());
            if (code == scShadeRect) ShadeRect(a.x(), a.y(), b.x(), b.y());
            return;
        }
        case scFloodFill: {
            QPointF p = ReadPoint();
            TColor color = in_.Int();
            std::int32_t style = in_.Int();
            FloodFill(p.x(), p.y(), color, style == fsBorder ? fsBorder : fsSurface);
            return;
        }
        case scLineTo: {
            QPointF p = ReadPoint();
            LineTo(p.x(), p.y());
            return;
        }
        case scMoveTo: {
            QPointF p = ReadPoint();
            MoveTo(p.x(), p.y());
            return;
        }
        case scPolygon:
        case scPolyline:
            ReplayPoly(code);
            return;
        case scRoundRect: {
            QPointF a = ReadPoint(), b = ReadPoint();
            float w = in_.Float(), h = in_.Float();
            RoundRect(a.x(), a.y(), b.x(), b.y(), w, h);
            return;
        }
        case scTextRect: {
            QRect rect = ReadPixelRect();
            QPointF p = ReadPoint();
            TextRect(rect, p.x(), p.y(), in_.String());
            return;
        }
        case scCenterText:
        case scLeftText:
        case scRightText:
            ReplayText(code);
            return;
        case scTextBKMode:
            SetTextBKMode(in_.Byte() ? bkOpaque : bkTransparent);
            return;
        case scBackgroundColor:
            SetBackgroundColor(in_.Int());
            return;
        case scScaleX:
        case scScaleY: {
            float scale = in_.Float();
            if (!std::isfinite(scale) || scale <= 0) Unexpected();
            code == scScaleX ? SetScaleX(scale) : SetScaleY(scale);
            return;
        }
        case scPassThrough:
            PassThrough(in_.Bytes(in_.Byte()));
            return;
        case scBrushCopy:
        case scDraw:
        case scDrawBitmapScaled:
        case scDrawBitmapRect:
        case scStretchDraw:
            ReplayGraphicCommand(code);
            return;
        default:
            Unexpected();
    }
}

void TFilePrinter::ReplayText(std::uint8_t code) {
    float y = in_.Float();
    QString text = in_.String();
    float x = in_.Float();
    SetCursorY(y);
    if (code == scCenterText) PrintCenteredAt(text, x);
    if (code == scLeftText) PrintLeftAt(text, x);
    if (code == scRightText) PrintRightAt(text, x);
}

void TFilePrinter::ReplayPoly(std::uint8_t code) {
    std::int32_t last = in_.Int();
    if (last < 0 || qint64(last) + 1 > in_.Remaining() / 8) throw EStreamReadError();
    std::vector<QPoint> points;
    points.reserve(size_t(last) + 1);
    for (std::int32_t i = 0; i <= last; ++i) {
        QPointF p = ReadPoint();
        points.emplace_back(XI2D(p.x()), YI2D(p.y()));
    }
    if (code == scPolygon) {
        Polygon(points, last);
    } else {
        Polyline(points, last);
    }
}

void TFilePrinter::ReplayGraphicCommand(std::uint8_t code) {
    std::shared_ptr<const TGraphic> graphic = ReadGraphic();
    const auto* bitmap = dynamic_cast<const TBitmap*>(graphic.get());
    switch (code) {
        case scBrushCopy: {
            QRect dest = ReadPixelRect();
            QRect source = ReadPixelRect();
            TColor color = in_.Int();
            if (bitmap) BrushCopy(dest, *bitmap, source, color);
            return;
        }
        case scDraw: {
            QPointF p = ReadPoint();
            if (graphic) Draw(p.x(), p.y(), *graphic);
            return;
        }
        case scDrawBitmapScaled: {
            QPointF p = ReadPoint();
            float sx = in_.Float(), sy = in_.Float();
            bool sane = std::isfinite(sx) && std::isfinite(sy) && std::abs(sx) < 1000 &&
                        std::abs(sy) < 1000;
            if (bitmap && sane) DrawBitmapScaled(p.x(), p.y(), sx, sy, *bitmap);
            return;
        }
        case scDrawBitmapRect: {
            QPointF a = ReadPoint(), b = ReadPoint();
            if (bitmap) DrawBitmapRect(a.x(), a.y(), b.x(), b.y(), *bitmap);
            return;
        }
        case scStretchDraw: {
            QRect rect = ReadPixelRect();
            if (graphic) StretchDraw(rect, *graphic);
            return;
        }
    }
}

// ---- drawing state ------------------------------------------------------------------------------

void TFilePrinter::ReplayStateCode(std::uint8_t code) {
    TCanvas& canvas = Canvas();
    // An enumeration byte outside its range is damage.
    auto checked = [this]<typename E>(std::uint8_t value, E last) {
        if (value > last) Unexpected();
        return static_cast<E>(value);
    };
    switch (code) {
        case scBrush: {
            canvas.Brush().SetColor(in_.Int());
            canvas.Brush().SetStyle(checked(in_.Byte(), bsDiagCross));
            ReadBrushBitmap();
            break;
        }
        case scBrushColor:
            canvas.Brush().SetColor(in_.Int());
            break;
        case scBrushStyle:
            canvas.Brush().SetStyle(checked(in_.Byte(), bsDiagCross));
            break;
        case scBrushBitmap:
            ReadBrushBitmap();
            break;
        case scFont: {
            TFont& font = canvas.Font();
            font.SetName(in_.String());
            font.SetColor(in_.Int());
            font.SetPitch(checked(in_.Byte(), fpFixed));
            font.SetHeight(ReplayFontHeight(in_.Float()));
            font.SetStyleBit(fsBold, in_.Byte());
            font.SetStyleBit(fsItalic, in_.Byte());
            font.SetStyleBit(fsUnderline, in_.Byte());
            font.SetStyleBit(fsStrikeOut, in_.Byte());
            break;
        }
        case scFontName:
            canvas.Font().SetName(in_.String());
            break;
        case scFontColor:
            canvas.Font().SetColor(in_.Int());
            break;
        case scFontPitch:
            canvas.Font().SetPitch(checked(in_.Byte(), fpFixed));
            break;
        case scFontHeight:
            canvas.Font().SetHeight(-ReplayFontHeight(in_.Float()));
            break;
        case scFontBold:
            canvas.Font().SetStyleBit(fsBold, in_.Byte());
            break;
        case scFontUnderline:
            canvas.Font().SetStyleBit(fsUnderline, in_.Byte());
            break;
        case scFontItalic:
            canvas.Font().SetStyleBit(fsItalic, in_.Byte());
            break;
        case scFontStrikeOut:
            canvas.Font().SetStyleBit(fsStrikeOut, in_.Byte());
            break;
        case scPen: {
            TPen& pen = canvas.Pen();
            pen.SetColor(in_.Int());
            pen.SetMode(checked(in_.Byte(), pmNotXor));
            pen.SetStyle(checked(in_.Byte(), psInsideFrame));
            pen.SetWidth(ReplayPenWidth(in_.Float()));
            break;
        }
        case scPenColor:
            canvas.Pen().SetColor(in_.Int());
            break;
        case scPenMode:
            canvas.Pen().SetMode(checked(in_.Byte(), pmNotXor));
            break;
        case scPenStyle:
            canvas.Pen().SetStyle(checked(in_.Byte(), psInsideFrame));
            break;
        case scPenWidth:
            canvas.Pen().SetWidth(ReplayPenWidth(in_.Float()));
            break;
        default:
            Unexpected();
    }
}
