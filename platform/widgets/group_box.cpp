#include "platform/widgets/group_box.h"

#include <qdrawutil.h>

#include <QPainter>
#include <QStyle>

namespace {

constexpr int kCaptionLeft = 8;    // from the frame's left edge
constexpr int kCaptionMargin = 2;  // clear of the line on each side

}  // namespace

TGroupBox::TGroupBox(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {}

void TGroupBox::SetCaption(const QString& caption) {
    caption_ = caption;
    update();
}

QRect TGroupBox::CaptionRect() const {
    if (caption_.isEmpty()) return {};
    const QFontMetrics metrics = fontMetrics();
    return {kCaptionLeft, 0, metrics.horizontalAdvance(caption_) + 2 * kCaptionMargin,
            metrics.height()};
}

void TGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect caption = CaptionRect();
    // The top line runs through the middle of the caption, and stops short of it.
    const int top = caption.isEmpty() ? 0 : caption.height() / 2 - 1;
    painter.save();
    if (!caption.isEmpty()) painter.setClipRegion(QRegion(rect()) - QRegion(caption));
    qDrawShadeRect(&painter, QRect(0, top, width(), height() - top), palette(), true, 1, 0);
    painter.restore();
    if (caption.isEmpty()) return;
    style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), caption_,
                          QPalette::WindowText);
}
