// The preview replay on a real scroll area: zoom limits, the page bitmap at
// each zoom, the border, page moves at the ends, the fitting zooms and the
// scroll positions, and how previews start and end, also on bad streams.
#include "reportengine/file_preview.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

#include "platform/graphics/printers.h"
#include "tests/reports/preview/preview_fixture.h"

namespace {

class RecordingPreview : public TFilePreview {
public:
    QStringList errors;

protected:
    void ShowError(const QString& message) override { errors << message; }
};

class FilePreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetInstalledPrinters(std::make_unique<TNoPrinters>());
        RecordBoxesReport(stream);
        host.resize(1200, 1800);
        area = new QScrollArea(&host);
        area->setFrameShape(QFrame::NoFrame);
        area->setGeometry(0, 0, 600, 400);
        host.show();
        ASSERT_EQ(area->logicalDpiX(), 96) << "the hand-computed sizes assume 96 dpi";
        preview.ScrollBox = area;
        preview.FileName = stream;
        preview.OnZoomChange = [this](TBaseReport*) {
            ++zoomChanges;
            preview.RedrawPage();
        };
        preview.OnPageChange = [this](TBaseReport*) { ++pageChanges; };
    }

    TestDir dir;
    QString stream = dir.path() + "/boxes.rpt";
    QWidget host;
    QScrollArea* area = nullptr;
    RecordingPreview preview;
    int zoomChanges = 0;
    int pageChanges = 0;
};

TEST_F(FilePreviewTest, ZoomIsKeptWithinTenAndTwoHundred) {
    preview.SetZoomFactor(5);
    EXPECT_EQ(preview.ZoomFactor(), 10);
    preview.SetZoomFactor(250);
    EXPECT_EQ(preview.ZoomFactor(), 200);
    preview.SetZoomFactor(195);
    preview.ZoomIn();
    EXPECT_EQ(preview.ZoomFactor(), 200);
    preview.SetZoomFactor(15);
    preview.ZoomOut();
    EXPECT_EQ(preview.ZoomFactor(), 10);
    EXPECT_EQ(zoomChanges, 6);
}

TEST_F(FilePreviewTest, PageBitmapHasThePaperSizeAtTheZoom) {
    preview.SetZoomFactor(100);
    preview.StartPreview();
    ASSERT_TRUE(preview.Printing());
    EXPECT_EQ(preview.PageBitmap().size(), QSize(816, 1056));  // 8.5 x 11 in at 96 dpi
    // The black box of the stream lands where it was recorded.
    const QRect box = DarkBox(preview.PageBitmap(), QRect(50, 170, 300, 150));
    EXPECT_NEAR(box.left(), 96, 1);
    EXPECT_NEAR(box.top(), 192, 1);
    EXPECT_NEAR(box.right(), 287, 1);
    EXPECT_NEAR(box.bottom(), 287, 1);
    // The page itself: white with a black outline.
    EXPECT_EQ(preview.PageBitmap().pixel(0, 500), qRgb(0, 0, 0));
    EXPECT_EQ(preview.PageBitmap().pixel(815, 500), qRgb(0, 0, 0));
    EXPECT_EQ(preview.PageBitmap().pixel(400, 500), qRgb(255, 255, 255));

    preview.SetZoomFactor(50);
    EXPECT_EQ(preview.PageBitmap().size(), QSize(408, 528));
    preview.SetZoomFactor(69);  // 563.04 x 728.64
    EXPECT_EQ(preview.PageBitmap().size(), QSize(563, 729));
    const QRect small = DarkBox(preview.PageBitmap(), QRect(30, 110, 200, 100));
    EXPECT_NEAR(small.left(), 66, 1);  // 1 in x 96 x 0.69
    EXPECT_NEAR(small.top(), 132, 1);  // 2 in
    EXPECT_EQ(preview.Image()->pixmap().size(), QSize(563, 729));
}

TEST_F(FilePreviewTest, PageMovesStopAtTheEnds) {
    preview.StartPreview();
    EXPECT_EQ(preview.CurrentPage(), 1);
    EXPECT_EQ(preview.PageCount(), 3);
    const int shown = pageChanges;
    preview.PreviousPage();
    EXPECT_EQ(preview.CurrentPage(), 1);
    EXPECT_EQ(pageChanges, shown);
    preview.NextPage();
    preview.NextPage();
    EXPECT_EQ(preview.CurrentPage(), 3);
    preview.NextPage();
    EXPECT_EQ(preview.CurrentPage(), 3);
    EXPECT_EQ(pageChanges, shown + 2);
    preview.ShowPage(1);
    preview.ShowPage(99);
    EXPECT_EQ(preview.CurrentPage(), 3);
}

TEST_F(FilePreviewTest, BorderSurroundsThePage) {
    preview.SetZoomFactor(100);
    preview.StartPreview();
    EXPECT_EQ(preview.Image()->pos(), QPoint(0, 0));  // MarginPercent 0
    EXPECT_EQ(area->widget()->size(), QSize(816, 1056));

    preview.MarginPercent = 1;  // 8.16 pixels
    preview.RedrawPage();
    EXPECT_EQ(preview.Image()->pos(), QPoint(8, 8));
    EXPECT_EQ(area->widget()->size(), QSize(832, 1072));
    preview.SetZoomFactor(200);
    EXPECT_EQ(preview.Image()->pos(), QPoint(8, 8));  // fixed: not zoomed

    preview.MarginMethod = mmScaled;
    preview.RedrawPage();
    EXPECT_EQ(preview.Image()->pos(), QPoint(16, 16));
    EXPECT_EQ(area->widget()->size(), QSize(1632 + 32, 2112 + 32));
}

TEST_F(FilePreviewTest, ScrollPositionsSurvivePageAndZoomChanges) {
    preview.SetZoomFactor(100);
    preview.StartPreview();
    area->horizontalScrollBar()->setValue(100);
    area->verticalScrollBar()->setValue(300);
    preview.NextPage();
    EXPECT_EQ(area->horizontalScrollBar()->value(), 100);
    EXPECT_EQ(area->verticalScrollBar()->value(), 300);
    preview.SetZoomFactor(150);
    EXPECT_EQ(area->horizontalScrollBar()->value(), 100);
    EXPECT_EQ(area->verticalScrollBar()->value(), 300);
    EXPECT_EQ(preview.CurrentPage(), 2);
}

TEST_F(FilePreviewTest, FittingZoomsForKnownScrollAreaSizes) {
    preview.MarginPercent = 1;
    const int bar = area->verticalScrollBar()->sizeHint().width();
    // 600 x 400: the width fits at (600 - 2 x 8) / 816, but then the page is
    // taller than the area, so room is left for the vertical bar.
    EXPECT_NEAR(preview.PageWidthZoom(), (584.0 - bar) / 816 * 100, 1e-9);
    // Whole page: min((600 - 4 - 16) / 816, (400 - 4 - 16) / 1056).
    EXPECT_NEAR(preview.WholePageZoom(), 380.0 / 1056 * 100, 1e-9);

    area->resize(1000, 1600);  // tall enough: no bar needed at 120.6 %
    EXPECT_NEAR(preview.PageWidthZoom(), 984.0 / 816 * 100, 1e-9);
    EXPECT_NEAR(preview.WholePageZoom(), 980.0 / 816 * 100, 1e-9);

    preview.MarginMethod = mmScaled;
    area->resize(600, 400);
    EXPECT_NEAR(preview.PageWidthZoom(), (600.0 - bar) / (816 * 1.02) * 100, 1e-9);
    EXPECT_NEAR(preview.WholePageZoom(), 396.0 / (1056 + 816 * 0.02) * 100, 1e-9);

    // Assigned through the setter, the zoom stays within its limits.
    area->resize(5000, 8000);
    preview.SetZoomFactor(preview.PageWidthZoom());
    EXPECT_EQ(preview.ZoomFactor(), 200);
}

TEST_F(FilePreviewTest, StartAndEndAreChecked) {
    preview.StartPreview();
    try {
        preview.StartPreview();
        FAIL() << "a second start must be refused";
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "Invalid method call.  Folioscribe already printing.");
    }
    preview.EndPreview();
    EXPECT_FALSE(preview.Printing());
    EXPECT_TRUE(preview.PageBitmap().isNull());
    try {
        preview.EndPreview();
        FAIL() << "ending twice must be refused";
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "Invalid method call.  Folioscribe is not printing.");
    }
    preview.ScrollBox = nullptr;
    try {
        preview.StartPreview();
        FAIL() << "a preview needs its scroll area";
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "ScrollBox must be assigned for FilePreview component");
    }
}

TEST_F(FilePreviewTest, ScrollAreaGoneClearsTheReference) {
    delete area;
    EXPECT_TRUE(preview.ScrollBox.isNull());
}

TEST_F(FilePreviewTest, MissingStreamIsReportedAndNothingStarts) {
    preview.FileName = dir.path() + "/none.rpt";
    preview.StartPreview();
    EXPECT_FALSE(preview.Printing());
    ASSERT_EQ(preview.errors.size(), 1);
    EXPECT_EQ(preview.errors[0], "Error initializing input stream \"" + dir.path() + "/none.rpt\"");
}

TEST_F(FilePreviewTest, DamagedPageStillLetsThePreviewEnd) {
    // Page 2's first state record gets a code no stream has.
    QFile file(stream);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const int firstPage = 55;  // the file header with an empty printer selection
    ASSERT_EQ(quint8(bytes[firstPage]), 80);
    qint32 secondPage = 0;
    memcpy(&secondPage, bytes.constData() + firstPage + 5, 4);
    ASSERT_EQ(quint8(bytes[secondPage]), 80);
    bytes[secondPage + 14] = char(99);
    file.seek(0);
    file.write(bytes);
    file.close();

    preview.StartPreview();
    try {
        preview.ShowPage(2);
        FAIL() << "the damaged page must be reported";
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "Unexpected code found in report file.");
    }
    EXPECT_TRUE(preview.Aborted());
    preview.EndPreview();  // must not raise the silent abort
    EXPECT_FALSE(preview.Printing());
    EXPECT_TRUE(preview.PageBitmap().isNull());
    EXPECT_FALSE(preview.InputOpen());
}

}  // namespace
