#include "app/logo.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace {

// Three comic books fanned on top of each other, in a 100 x 100 design grid.
void drawBooks(QPainter& p) {
    const QColor covers[] = {QColor(0, 90, 170), QColor(200, 30, 30), QColor(250, 200, 0)};
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(20 + i * 10, 40 + i * 4);
        p.rotate(-8 + i * 8);
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(covers[i]);
        p.drawRect(QRectF(0, 0, 38, 50));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 5, 28, 10));
        p.restore();
    }
}

void drawBalloon(QPainter& p) {
    QPainterPath balloon;
    balloon.addEllipse(QRectF(38, 4, 58, 38));
    QPainterPath tail;
    tail.moveTo(50, 36);
    tail.lineTo(42, 52);
    tail.lineTo(62, 40);
    tail.closeSubpath();
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawPath(balloon.united(tail));
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(38, 4, 58, 38), Qt::AlignCenter, QStringLiteral("PK"));
}

}  // namespace

QPixmap PanelKeepLogo(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);
    drawBooks(p);
    drawBalloon(p);
    return pixmap;
}
