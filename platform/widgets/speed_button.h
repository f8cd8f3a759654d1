#pragma once
// A speed button: a small flat button with a glyph of two images, one for the
// normal and one for the disabled state, and a "short|long" hint.

#include <QPixmap>
#include <QToolButton>

class TSpeedButton : public QToolButton {
    Q_OBJECT

public:
    explicit TSpeedButton(QWidget* parent = nullptr);

    void SetGlyph(const QPixmap& normal, const QPixmap& disabled);
    // The disabled image made from the normal one: grey where it is not
    // transparent, with the classic white shadow one pixel down and right.
    static QPixmap DisabledImage(const QPixmap& normal);
};

// A printer, 19 pixels square, for the glyph of a Print button (the
// platform's style has no printer among its standard icons).
QPixmap PrinterGlyph();
