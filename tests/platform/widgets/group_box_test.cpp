// The group box as drawn: an etched frame on all four sides, and a caption
// set into the top line, which stops short of it.
#include "platform/widgets/group_box.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPalette>

namespace {

const QRgb kGround = qRgb(200, 0, 200);

// The box drawn on a ground of a colour no style uses, so that any line or
// letter shows, the frame's light line included.
QImage drawn(TGroupBox& box) {
    box.resize(200, 80);
    QImage image(box.size(), QImage::Format_RGB32);
    image.fill(kGround);
    box.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool inked(const QImage& image, int x, int y) { return image.pixel(x, y) != kGround; }

}  // namespace

TEST(GroupBoxTest, WithoutACaptionTheFrameRunsRoundTheWholeBox) {
    TGroupBox box;
    const QImage image = drawn(box);
    EXPECT_TRUE(box.CaptionRect().isEmpty());
    for (const QPoint at : {QPoint(100, 0), QPoint(0, 40), QPoint(199, 40), QPoint(100, 79)})
        EXPECT_TRUE(inked(image, at.x(), at.y())) << at.x() << "," << at.y();
    // Etched: the dark line has a light one beside it.
    const QPalette palette = box.palette();
    EXPECT_EQ(image.pixel(0, 40), palette.color(QPalette::Dark).rgb());
    EXPECT_EQ(image.pixel(1, 40), palette.color(QPalette::Light).rgb());
    EXPECT_FALSE(inked(image, 100, 40));
}

TEST(GroupBoxTest, TheCaptionSitsInTheTopLine) {
    TGroupBox box("Pricing Information");
    const QImage image = drawn(box);
    const QRect caption = box.CaptionRect();
    ASSERT_FALSE(caption.isEmpty());
    const int line = caption.height() / 2 - 1;
    EXPECT_TRUE(inked(image, 2, line));                    // the line before the caption
    EXPECT_TRUE(inked(image, caption.right() + 4, line));  // and after it
    bool letters = false;
    for (int x = caption.left(); x <= caption.right(); ++x)
        for (int y = caption.top(); y <= caption.bottom(); ++y) letters |= inked(image, x, y);
    EXPECT_TRUE(letters);
    // No line runs through the caption's margin.
    EXPECT_FALSE(inked(image, caption.left(), line));
    EXPECT_FALSE(inked(image, caption.right(), line));
}
