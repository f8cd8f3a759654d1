// Fonts loaded ahead: drawing a warmed font later looks nothing up, a symbol
// its font lacks included, and a warm-up left for idle time runs only while
// its owner lives.
#include "platform/widgets/font_warmer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <memory>

#include "tests/support/font_match_log.h"

namespace {

// Courier in sizes and cuts no other test draws, so each starts unloaded.
QFont unusedFont(int pointSize) {
    QFont font(QStringLiteral("Courier"), pointSize);
    font.setItalic(true);
    return font;
}

// A symbol the Courier stand-ins lack: drawing it loads a second font.
const QString kMark = QStringLiteral("\u25B6");

void draw(const QFont& font, const QString& text) {
    QImage image(400, 40, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setFont(font);
    painter.drawText(QPoint(3, 25), text);
}

}  // namespace

TEST(FontWarmerTest, AWarmedFontAndItsSymbolsAreDrawnWithoutALookUp) {
    WarmFonts({unusedFont(13)}, kMark);
    const FontMatchLog log;
    draw(unusedFont(13), QStringLiteral("SPIDER-MAN #12 $4.50 ") + kMark);
    EXPECT_TRUE(log.families().isEmpty()) << log.families().join(", ").toStdString();

    draw(unusedFont(17), QStringLiteral("SPIDER-MAN"));  // never warmed
    EXPECT_FALSE(log.families().isEmpty());
}

TEST(FontWarmerTest, AWarmUpLeftForIdleTimeRunsOnlyWhileItsOwnerLives) {
    auto owner = std::make_unique<QObject>();
    WarmFontsWhenIdle(*owner, {unusedFont(19)});
    auto gone = std::make_unique<QObject>();
    WarmFontsWhenIdle(*gone, {unusedFont(23)});
    gone.reset();
    QApplication::processEvents();

    const FontMatchLog log;
    draw(unusedFont(19), QStringLiteral("SPIDER-MAN"));
    EXPECT_TRUE(log.families().isEmpty()) << log.families().join(", ").toStdString();
    draw(unusedFont(23), QStringLiteral("SPIDER-MAN"));
    EXPECT_FALSE(log.families().isEmpty());
}
