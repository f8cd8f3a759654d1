#pragma once
// Where a dialog goes to sit centred over the frame window: the frame's
// outer rectangle in screen coordinates, halves truncated toward zero.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <algorithm>

inline QPoint CentredTopLeft(const QRect& frame, const QSize& dialog) {
    return {frame.left() + (frame.width() - dialog.width()) / 2,
            frame.top() + (frame.height() - dialog.height()) / 2};
}

// Where a dialog of `size` placed at `topLeft` goes so that it lies on the
// screen's `available` area: a dialog centred over a small frame near the
// screen's edge would otherwise start off the screen, its title bar and
// buttons out of reach.  One larger than the area keeps its top left corner
// on it.
inline QPoint KeptOnScreen(const QPoint& topLeft, const QSize& size, const QRect& available) {
    const int x =
        std::max(available.left(),
                 std::min(topLeft.x(), available.left() + available.width() - size.width()));
    const int y =
        std::max(available.top(),
                 std::min(topLeft.y(), available.top() + available.height() - size.height()));
    return {x, y};
}
