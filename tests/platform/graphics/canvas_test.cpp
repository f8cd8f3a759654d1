// Fonts, tools and their change notifications, the canvas's drawing
// conventions on a bitmap, and pictures saved and loaded as bytes.
#include "platform/graphics/canvas.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>

#include "platform/graphics/graphic.h"

namespace {

QImage Page(int w = 100, int h = 60) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// The bounding box of everything that is not white.
QRect Ink(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (At(image, x, y) != 0xFFFFFF) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

TEST(Font, SizeAndHeightFollowTheResolution) {
    TFont font;
    font.SetPixelsPerInch(96);
    font.SetSize(12);
    EXPECT_EQ(font.Height(), -16);
    EXPECT_EQ(font.Size(), 12);
    font.SetPixelsPerInch(1200);  // the height stays, the size follows
    EXPECT_EQ(font.Height(), -16);
    font.SetSize(10);
    EXPECT_EQ(font.Height(), -167);
    EXPECT_EQ(font.ToQFont().pixelSize(), 167);
    // A positive height is the whole cell: the em is smaller.
    font.SetHeight(167);
    EXPECT_LT(font.ToQFont().pixelSize(), 167);
}

TEST(Font, ArialIsTheMetricCompatibleLiberationSans) {
    TFont font;
    font.SetName("Arial");
    EXPECT_EQ(QFontInfo(font.ToQFont()).family(), "Liberation Sans");
}

TEST(Tools, ChangesNotifyOncePerRealChange) {
    TFont font;
    TPen pen;
    TBrush brush;
    int changes = 0;
    auto count = [&](TGraphicsObject*) { ++changes; };
    font.OnChange = pen.OnChange = brush.OnChange = count;
    font.SetColor(clRed);
    font.SetColor(clRed);
    font.SetStyleBit(fsBold, true);
    font.SetStyleBit(fsBold, true);
    pen.SetWidth(1);  // the default already
    pen.SetMode(pmXor);
    brush.SetStyle(bsClear);
    EXPECT_EQ(changes, 4);
    TFont other;
    font.Assign(other);  // one notification for the whole copy
    EXPECT_EQ(changes, 5);
    EXPECT_TRUE(font.SameAttributes(other));
}

TEST(Canvas, RectanglesCoverUpToButNotIncludingTheSecondCorner) {
    QImage image = Page();
    {
        TCanvas canvas(&image);
        canvas.Brush().SetColor(clRed);
        canvas.Rectangle(10, 10, 20, 15);
    }
    EXPECT_EQ(Ink(image), QRect(10, 10, 10, 5));
    EXPECT_EQ(At(image, 10, 10), 0u);         // the pen's frame
    EXPECT_EQ(At(image, 15, 12), 0xFF0000u);  // the brush inside
    QImage clear = Page();
    {
        TCanvas canvas(&clear);
        canvas.Pen().SetStyle(psClear);
        canvas.Brush().SetColor(clBlue);
        canvas.Rectangle(10, 10, 20, 15);
    }
    EXPECT_EQ(Ink(clear), QRect(10, 10, 10, 5));
    EXPECT_EQ(At(clear, 10, 10), 0x0000FFu);
}

TEST(Canvas, MaskModeKeepsWhatIsBeneathVisible) {
    QImage image = Page();
    {
        TCanvas canvas(&image);
        canvas.Brush().SetColor(clBlack);
        canvas.Pen().SetStyle(psClear);
        canvas.Rectangle(0, 0, 50, 60);  // black left half
        canvas.Brush().SetColor(RGBColor(230, 230, 230));
        canvas.Pen().SetMode(pmMask);
        canvas.Rectangle(20, 10, 80, 50);
    }
    EXPECT_EQ(At(image, 30, 30), 0u);         // black stays black
    EXPECT_EQ(At(image, 70, 30), 0xE6E6E6u);  // white becomes the grey
}

TEST(Canvas, XorTwiceRestoresThePage) {
    QImage image = Page();
    {
        TCanvas canvas(&image);
        canvas.Pen().SetMode(pmXor);
        canvas.Pen().SetColor(clWhite);
        canvas.MoveTo(5, 5);
        canvas.LineTo(90, 40);
        EXPECT_FALSE(Ink(image).isNull());
        canvas.MoveTo(5, 5);
        canvas.LineTo(90, 40);
    }
    EXPECT_TRUE(Ink(image).isNull());
}

TEST(Canvas, TextAlignmentPlacesTheBaselineAndTheEnds) {
    QImage image = Page(200, 60);
    int width = 0;
    TTextMetric metric;
    {
        TCanvas canvas(&image);
        canvas.Font().SetName("Arial");
        canvas.Font().SetHeight(-20);
        canvas.SetBkMode(bkTransparent);
        canvas.SetTextAlign(TA_BASELINE | TA_RIGHT);
        width = canvas.TextOut(150, 40, "Hx");
        metric = canvas.TextMetrics();
        EXPECT_EQ(width, canvas.TextWidth("Hx"));
    }
    QRect ink = Ink(image);
    EXPECT_LE(ink.right(), 150);
    EXPECT_GE(ink.left(), 150 - width);
    EXPECT_EQ(ink.bottom(), 39);  // H and x stand on the baseline
    EXPECT_GT(metric.Descent, 0);
    EXPECT_GT(metric.Ascent, 10);
}

TEST(Canvas, OpaqueTextFillsItsBoxWithTheBackgroundColour) {
    QImage image = Page(200, 60);
    {
        TCanvas canvas(&image);
        canvas.Font().SetName("Arial");
        canvas.Font().SetHeight(-20);
        canvas.SetBkMode(bkOpaque);
        canvas.SetBkColor(clLime);
        canvas.SetTextAlign(TA_BASELINE | TA_LEFT);
        canvas.TextOut(10, 40, "  ");
    }
    EXPECT_EQ(At(image, 12, 35), 0x00FF00u);
}

TEST(Canvas, FloodFillStopsAtOtherColours) {
    QImage image = Page();
    {
        TCanvas canvas(&image);
        canvas.Brush().SetStyle(bsClear);
        canvas.Rectangle(10, 10, 30, 30);  // a black frame
        canvas.Brush().SetStyle(bsSolid);
        canvas.Brush().SetColor(clRed);
        canvas.FloodFill(20, 20, clWhite, fsSurface);
    }
    EXPECT_EQ(At(image, 20, 20), 0xFF0000u);
    EXPECT_EQ(At(image, 10, 20), 0u);
    EXPECT_EQ(At(image, 5, 5), 0xFFFFFFu);
}

TEST(Canvas, BrushCopyReplacesOneColourAndClipsItsSource) {
    QImage source(4, 4, QImage::Format_RGB32);
    source.fill(Qt::white);
    source.setPixel(1, 1, qRgb(0, 0, 0));
    TBitmap bitmap(source);
    QImage image = Page();
    {
        TCanvas canvas(&image);
        canvas.Brush().SetColor(clRed);
        canvas.BrushCopy(QRect(0, 0, 4, 4), bitmap, QRect(0, 0, 4, 4), clWhite);
        // A source far outside the bitmap copies nothing and allocates nothing.
        canvas.BrushCopy(QRect(50, 0, 4, 4), bitmap, QRect(0, 0, 1 << 30, 1 << 30), clWhite);
    }
    EXPECT_EQ(At(image, 0, 0), 0xFF0000u);
    EXPECT_EQ(At(image, 1, 1), 0u);
}

TEST(Graphics, PicturesRoundTripThroughTheirBytes) {
    QImage pixels(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) pixels.setPixel(x, y, qRgb(x * 30, y * 50, 77));
    }
    TBitmap bitmap(pixels);
    QByteArray bmp = bitmap.SaveToBytes();
    EXPECT_TRUE(bmp.startsWith("BM"));
    TBitmap loaded;
    loaded.LoadFromBytes(bmp);
    EXPECT_EQ(loaded.Image().convertToFormat(QImage::Format_RGB32), pixels);

    TIcon icon;
    icon.SetImage(pixels.convertToFormat(QImage::Format_ARGB32));
    TIcon icon2;
    icon2.LoadFromBytes(icon.SaveToBytes());
    EXPECT_EQ(icon2.Width(), 7);

    TMetafile metafile;
    {
        QPainter painter(&metafile.Picture());
        painter.fillRect(QRect(0, 0, 10, 10), Qt::red);
    }
    TMetafile metafile2;
    metafile2.LoadFromBytes(metafile.SaveToBytes());
    EXPECT_EQ(metafile2.Width(), 10);
}

TEST(Graphics, BytesThatAreNoPictureAreRefused) {
    TBitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromBytes("BM not really a bitmap"), EInvalidGraphic);
    TMetafile metafile;
    EXPECT_THROW(metafile.LoadFromBytes("nonsense"), EInvalidGraphic);
    EXPECT_THROW(bitmap.LoadFromFile("/nonexistent/PKEEP20.BMP"), EInvalidGraphic);
}

}  // namespace

namespace {

// The width Qt gives the font on its own, without the canvas in between.
int QtWidth(const TFont& font, const QString& text) {
    return QFontMetrics(font.ToQFont()).horizontalAdvance(text);
}

}  // namespace

TEST(Canvas, WidthsFollowEveryFontChange) {
    TCanvas canvas;
    TFont& font = canvas.Font();
    font.SetName("Arial");
    font.SetHeight(-13);
    const QString text = "$1,234.56  Wide Web";
    const int regular = canvas.TextWidth(text);
    EXPECT_EQ(regular, QtWidth(font, text));

    font.SetStyleBit(fsBold, true);
    const int bold = canvas.TextWidth(text);
    EXPECT_EQ(bold, QtWidth(font, text));
    EXPECT_GT(bold, regular);

    font.SetHeight(-26);
    EXPECT_EQ(canvas.TextWidth(text), QtWidth(font, text));
    EXPECT_GT(canvas.TextWidth(text), bold * 3 / 2);

    font.SetName("Liberation Mono");  // every character as wide as the next
    EXPECT_EQ(canvas.TextWidth("iiii"), canvas.TextWidth("WWWW"));

    // Back to the first font: the first width again, whatever the colour.
    font.SetName("Arial");
    font.SetHeight(-13);
    font.SetStyleBit(fsBold, false);
    font.SetColor(clRed);
    EXPECT_EQ(canvas.TextWidth(text), regular);
    EXPECT_EQ(canvas.TextWidth(""), 0);
}

TEST(Canvas, ManyTextsAndFontsKeepTheirOwnWidths) {
    TCanvas canvas;
    canvas.Font().SetName("Arial");
    // More texts and fonts than a canvas keeps: every answer stays Qt's.
    for (int height = -8; height >= -60; height -= 4) {
        canvas.Font().SetHeight(height);
        for (int i = 0; i < 3000; i += 7) {
            const QString text = QString::number(i * 1013) + (i % 2 ? " W" : " i");
            ASSERT_EQ(canvas.TextWidth(text), QtWidth(canvas.Font(), text)) << height << " " << i;
        }
    }
}

TEST(Graphics, SavedBitmapFollowsItsPixels) {
    TBitmap bitmap(4, 3);
    const QByteArray white = bitmap.SaveToBytes();
    EXPECT_EQ(bitmap.SaveToBytes(), white);

    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    bitmap.SetImage(red);
    TBitmap fromRed;
    fromRed.LoadFromBytes(bitmap.SaveToBytes());
    EXPECT_EQ(fromRed.Image().pixel(1, 1) & 0xFFFFFF, 0xFF0000u);

    // Pixels painted through the bitmap's own canvas are saved too, even
    // after an earlier save.
    {
        auto canvas = bitmap.MakeCanvas();
        const QByteArray beforePaint = bitmap.SaveToBytes();
        canvas->Brush().SetColor(clBlue);
        canvas->FillRect(QRect(0, 0, 4, 3));
        const QByteArray afterPaint = bitmap.SaveToBytes();
        EXPECT_NE(afterPaint, beforePaint);
        TBitmap painted;
        painted.LoadFromBytes(afterPaint);
        EXPECT_EQ(painted.Image().pixel(1, 1) & 0xFFFFFF, 0x0000FFu);
    }

    bitmap.SetImage(QImage());
    EXPECT_TRUE(bitmap.SaveToBytes().isEmpty());
}
