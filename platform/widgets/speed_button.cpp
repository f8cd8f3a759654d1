#include "platform/widgets/speed_button.h"

#include <QIcon>
#include <QPainter>

namespace {
constexpr int kButtonSize = 25;

QPixmap tinted(const QPixmap& source, const QColor& colour) {
    QPixmap result(source.size());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawPixmap(0, 0, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), colour);
    return result;
}
}  // namespace

TSpeedButton::TSpeedButton(QWidget* parent) : QToolButton(parent) {
    setFixedSize(kButtonSize, kButtonSize);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(kButtonSize - 6, kButtonSize - 6));
}

void TSpeedButton::SetGlyph(const QPixmap& normal, const QPixmap& disabled) {
    QIcon icon;
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(disabled, QIcon::Disabled);
    setIcon(icon);
    setIconSize(normal.size());
}

QPixmap TSpeedButton::DisabledImage(const QPixmap& normal) {
    QPixmap result(normal.size());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawPixmap(1, 1, tinted(normal, Qt::white));
    painter.drawPixmap(0, 0, tinted(normal, QColor(128, 128, 128)));
    return result;
}

QPixmap PrinterGlyph() {
    constexpr int kSize = 19;
    QPixmap glyph(kSize, kSize);
    glyph.fill(Qt::transparent);
    QPainter p(&glyph);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(5, 1, 8, 7);  // the sheet going in
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(1, 7, 16, 7);                            // the body
    p.fillRect(QRect(13, 9, 2, 2), QColor(0, 160, 0));  // the power light
    p.setBrush(Qt::white);
    p.drawRect(4, 13, 10, 4);  // the printed sheet coming out
    p.drawLine(6, 15, 12, 15);
    return glyph;
}
