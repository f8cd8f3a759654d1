#pragma once
// Where a dialog goes to sit centred over the frame window: the frame's
// outer rectangle in screen coordinates, halves truncated toward zero.

#include <QPoint>
#include <QRect>
#include <QSize>

inline QPoint CentredTopLeft(const QRect& frame, const QSize& dialog) {
    return {frame.left() + (frame.width() - dialog.width()) / 2,
            frame.top() + (frame.height() - dialog.height()) / 2};
}
