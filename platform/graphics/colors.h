#pragma once
// Colours, brush styles, pen styles and pen modes with their classic numeric
// values, so that whatever draws them a report stream records the same bytes.

#include <QColor>
#include <QPainter>
#include <cstdint>

// 0x00BBGGRR.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor RGBColor(int r, int g, int b) { return r | (g << 8) | (b << 16); }
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

enum TBrushStyle : std::uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};
enum TPenStyle : std::uint8_t {
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame
};
enum TPenMode : std::uint8_t {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};
enum TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };

// Font style bits as a stream stores them.
enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;

enum TBkMode : std::uint8_t { bkTransparent, bkOpaque };

enum TFillStyle : std::uint8_t { fsSurface, fsBorder };

Qt::BrushStyle ToQtBrushStyle(TBrushStyle style);
Qt::PenStyle ToQtPenStyle(TPenStyle style);
// Raster devices take the exact raster operation; vector devices (PDF,
// printers) know none, so they get the nearest blend mode.
QPainter::CompositionMode ToCompositionMode(TPenMode mode, bool rasterDevice);
