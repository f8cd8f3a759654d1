#include "app/speed_glyphs.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kSize = 16;

QPixmap blank() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}
}  // namespace

QPixmap OpenGlyph() {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setPen(Qt::black);
    p.setBrush(QColor(255, 255, 128));
    p.drawRect(1, 4, 12, 9);
    QPainterPath lid;
    lid.moveTo(3, 7);
    lid.lineTo(15, 7);
    lid.lineTo(13, 13);
    lid.lineTo(1, 13);
    lid.closeSubpath();
    p.setBrush(QColor(192, 192, 0));
    p.drawPath(lid);
    p.drawLine(2, 3, 6, 3);
    return pixmap;
}

QPixmap FindGlyph() {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRectF(2, 2, 8, 8));
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    return pixmap;
}

QPixmap HelpGlyph() {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(15);
    p.setFont(font);
    p.setPen(QColor(0, 0, 128));
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("?"));
    return pixmap;
}
