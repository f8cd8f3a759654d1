// The application's style keeps its standard icons: a second request is the
// icon already loaded, drawn as the platform's style draws it, and a
// right-to-left application still gets its own mirrored arrows.
#include "platform/widgets/icon_keeping_style.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QStyleFactory>
#include <QStyleOption>

#include "platform/widgets/application.h"

namespace {

QImage picture(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }

}  // namespace

TEST(IconKeepingStyleTest, TheApplicationKeepsThePlatformsStyle) {
    auto* style = dynamic_cast<TIconKeepingStyle*>(QApplication::style());
    ASSERT_NE(style, nullptr);
    const std::unique_ptr<QStyle> platform(QStyleFactory::create(style->baseStyle()->name()));
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(style->baseStyle()->name(), platform->name());
}

TEST(IconKeepingStyleTest, AnIconAskedForAgainIsTheOneLoadedFirst) {
    TIconKeepingStyle style(QStyleFactory::create(QStringLiteral("Fusion")));
    const std::unique_ptr<QStyle> plain(QStyleFactory::create(QStringLiteral("Fusion")));
    const QIcon first = style.standardIcon(QStyle::SP_TitleBarCloseButton);
    EXPECT_EQ(style.standardIcon(QStyle::SP_TitleBarCloseButton).cacheKey(), first.cacheKey());
    EXPECT_EQ(picture(first), picture(plain->standardIcon(QStyle::SP_TitleBarCloseButton)));
    EXPECT_NE(style.standardIcon(QStyle::SP_TitleBarMinButton).cacheKey(), first.cacheKey());

    // Asked with an option, the icon is the style's answer for that option.
    QStyleOption option;
    option.direction = Qt::RightToLeft;
    EXPECT_EQ(picture(style.standardIcon(QStyle::SP_ArrowBack, &option)),
              picture(plain->standardIcon(QStyle::SP_ArrowBack, &option)));
}

TEST(IconKeepingStyleTest, ARightToLeftApplicationGetsItsOwnArrows) {
    TIconKeepingStyle style(QStyleFactory::create(QStringLiteral("Fusion")));
    const std::unique_ptr<QStyle> plain(QStyleFactory::create(QStringLiteral("Fusion")));
    const QImage back = picture(style.standardIcon(QStyle::SP_ArrowBack));
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);
    const QImage mirrored = picture(style.standardIcon(QStyle::SP_ArrowBack));
    const QImage expected = picture(plain->standardIcon(QStyle::SP_ArrowBack));
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
    EXPECT_NE(back, mirrored);
    EXPECT_EQ(mirrored, expected);
}
