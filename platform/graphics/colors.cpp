#include "platform/graphics/colors.h"

QColor ToQColor(TColor color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TColor FromQColor(const QColor& color) {
    return RGBColor(color.red(), color.green(), color.blue());
}

Qt::BrushStyle ToQtBrushStyle(TBrushStyle style) {
    switch (style) {
        case bsSolid:
            return Qt::SolidPattern;
        case bsClear:
            return Qt::NoBrush;
        case bsHorizontal:
            return Qt::HorPattern;
        case bsVertical:
            return Qt::VerPattern;
        case bsFDiagonal:
            return Qt::FDiagPattern;
        case bsBDiagonal:
            return Qt::BDiagPattern;
        case bsCross:
            return Qt::CrossPattern;
        case bsDiagCross:
            return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

Qt::PenStyle ToQtPenStyle(TPenStyle style) {
    switch (style) {
        case psSolid:
            return Qt::SolidLine;
        case psDash:
            return Qt::DashLine;
        case psDot:
            return Qt::DotLine;
        case psDashDot:
            return Qt::DashDotLine;
        case psDashDotDot:
            return Qt::DashDotDotLine;
        case psClear:
            return Qt::NoPen;
        case psInsideFrame:
            return Qt::SolidLine;
    }
    return Qt::SolidLine;
}

QPainter::CompositionMode ToCompositionMode(TPenMode mode, bool rasterDevice) {
    using C = QPainter::CompositionMode;
    if (!rasterDevice) {
        // Masking grey over a page is how shading keeps the text beneath
        // visible; multiplying does the same on a vector device.
        if (mode == pmMask || mode == pmMaskNotPen || mode == pmMaskPenNot) {
            return C::CompositionMode_Multiply;
        }
        return C::CompositionMode_SourceOver;
    }
    switch (mode) {
        case pmBlack:
            return C::RasterOp_ClearDestination;
        case pmWhite:
            return C::RasterOp_SetDestination;
        case pmNop:
            return C::CompositionMode_Destination;
        case pmNot:
            return C::RasterOp_NotDestination;
        case pmCopy:
            return C::CompositionMode_SourceOver;
        case pmNotCopy:
            return C::RasterOp_NotSource;
        case pmMergePenNot:
            return C::RasterOp_SourceOrNotDestination;
        case pmMaskPenNot:
            return C::RasterOp_SourceAndNotDestination;
        case pmMergeNotPen:
            return C::RasterOp_NotSourceOrDestination;
        case pmMaskNotPen:
            return C::RasterOp_NotSourceAndDestination;
        case pmMerge:
            return C::RasterOp_SourceOrDestination;
        case pmNotMerge:
            return C::RasterOp_NotSourceAndNotDestination;
        case pmMask:
            return C::RasterOp_SourceAndDestination;
        case pmNotMask:
            return C::RasterOp_NotSourceOrNotDestination;
        case pmXor:
            return C::RasterOp_SourceXorDestination;
        case pmNotXor:
            return C::RasterOp_NotSourceXorDestination;
    }
    return C::CompositionMode_SourceOver;
}
