#include "platform/widgets/font_warmer.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTimer>

namespace {

// The characters of names, numbers and money: printable ASCII and Latin-1.
QString printableLatin1() {
    QString text;
    for (char16_t code = 0x20; code < 0x7f; ++code) text += QChar(code);
    for (char16_t code = 0xa1; code <= 0xff; ++code) text += QChar(code);
    return text;
}

// Windows are painted into an opaque or a premultiplied image, depending on
// the platform; each kind may keep its own glyph cache.
constexpr QImage::Format kBackingFormats[] = {QImage::Format_ARGB32_Premultiplied,
                                              QImage::Format_RGB32};

}  // namespace

void WarmFonts(const std::vector<QFont>& fonts, const QString& symbols) {
    // A symbol missing from a font loads a second font that has it.
    const QString text = printableLatin1() + symbols;
    for (const QFont& font : fonts) {
        // The image holds the whole line, so that no glyph is clipped away
        // before it is drawn.
        const QFontMetrics metrics(font);
        const QSize size(metrics.horizontalAdvance(text) + 8, metrics.height() + 4);
        for (const QImage::Format format : kBackingFormats) {
            QImage image(size, format);
            QPainter painter(&image);
            painter.setFont(font);
            // Glyphs are cached for each of four positions between two pixels.
            for (int quarter = 0; quarter < 4; ++quarter)
                painter.drawText(QPointF(2 + quarter / 4.0, 2 + metrics.ascent()), text);
        }
    }
}

void WarmFontsWhenIdle(QObject& owner, std::vector<QFont> fonts, const QString& symbols) {
    QTimer::singleShot(0, &owner,
                       [fonts = std::move(fonts), symbols] { WarmFonts(fonts, symbols); });
}
