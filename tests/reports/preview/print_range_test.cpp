// The printer replay on Qt's PDF output: page ranges, copies, the document
// title, an empty range, abort, no printer, and where boxes and texts land
// on paper compared with the preview bitmap of the same page.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>

#include "platform/graphics/printers.h"
#include "reportengine/file_preview.h"
#include "tests/reports/preview/preview_fixture.h"

namespace {

class RecordingPrinter : public TFilePrinter {
public:
    QStringList errors;

protected:
    void ShowError(const QString& message) override { errors << message; }
};

class PrintRangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));
        RecordBoxesReport(stream);
        printer.FileName = stream;
        printer.RefreshPrinterSetup();
    }
    void TearDown() override { SetInstalledPrinters(std::make_unique<TNoPrinters>()); }

    TestDir dir;
    QString stream = dir.path() + "/boxes.rpt";
    QString pdf = dir.path() + "/out.pdf";
    RecordingPrinter printer;
};

TEST_F(PrintRangeTest, AllPagesCarryTheirTextsUnderTheEngineTitle) {
    printer.Run();
    EXPECT_FALSE(printer.Printing());
    EXPECT_FALSE(printer.InputOpen());
    const QStringList pages = PdfPageTexts(pdf);
    ASSERT_EQ(PdfPageCount(pdf), 3);
    ASSERT_EQ(pages.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(pages[i].contains(QString("PAGE %1 TEXT").arg(i + 1)))
            << pages[i].toStdString();
    }
    EXPECT_EQ(PdfTitle(pdf), "Folioscribe Report");
}

TEST_F(PrintRangeTest, RangeBeyondTheLastPageStopsThere) {
    printer.PrintRange(2, 99, 0);
    const QStringList pages = PdfPageTexts(pdf);
    ASSERT_EQ(PdfPageCount(pdf), 2);
    EXPECT_TRUE(pages[0].contains("PAGE 2 TEXT"));
    EXPECT_TRUE(pages[1].contains("PAGE 3 TEXT"));
}

TEST_F(PrintRangeTest, ReversedRangePrintsAnEmptyDocument) {
    printer.PrintRange(3, 2, 1);
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(PdfPageTexts(pdf).join("").trimmed().isEmpty());
    EXPECT_FALSE(Printer().Printing());
}

TEST_F(PrintRangeTest, CopiesOverrideTheRecordedCountOnlyWhenGiven) {
    printer.PrintRange(1, 1, 2);
    EXPECT_EQ(Printer().Copies(), 2);
    EXPECT_EQ(Printer().QtPrinter()->copyCount(), 2);
    // Copies 0 keeps the count the recording carries (1).
    printer.PrintRange(0, 0, 0);
    EXPECT_EQ(Printer().Copies(), 1);
}

TEST_F(PrintRangeTest, BoxesAndTextLandWhereThePreviewPutsThem) {
    printer.PrintRange(2, 2, 0);
    const QImage paper = RenderPdfPage(pdf, 1, 96);
    ASSERT_EQ(paper.size(), QSize(816, 1056));

    // The preview of the same page at 100 % (96 dpi).
    QWidget host;
    auto* area = new QScrollArea(&host);
    host.show();
    TFilePreview preview;
    preview.ScrollBox = area;
    preview.FileName = stream;
    preview.SetZoomFactor(100);
    preview.StartPreview();
    preview.ShowPage(2);
    const QImage screen = preview.PageBitmap();

    // Paper positions count from the sheet's edge although the PDF printer
    // has unprintable borders.
    const QRect boxRegion(50, 170, 300, 150);
    const QRect paperBox = DarkBox(paper, boxRegion);
    EXPECT_NEAR(paperBox.left(), 96, 1);
    EXPECT_NEAR(paperBox.top(), 192, 1);
    EXPECT_NEAR(paperBox.right(), 287, 1);
    EXPECT_NEAR(paperBox.bottom(), 287, 1);
    const QRect screenBox = DarkBox(screen, boxRegion);
    EXPECT_NEAR(screenBox.left(), paperBox.left(), 1);
    EXPECT_NEAR(screenBox.bottom(), paperBox.bottom(), 1);

    // The text: starts at 1 in, sits on the 1.5 in baseline (descenders of
    // "PAGE 2 TEXT" are none), about as wide on paper as on screen.
    const QRect textRegion(60, 110, 400, 45);
    const QRect paperText = DarkBox(paper, textRegion);
    const QRect screenText = DarkBox(screen, textRegion);
    ASSERT_FALSE(paperText.isEmpty());
    ASSERT_FALSE(screenText.isEmpty());
    EXPECT_NEAR(paperText.left(), 97, 3);
    EXPECT_NEAR(paperText.bottom(), 143, 2);
    EXPECT_NEAR(screenText.left(), paperText.left(), 2);
    EXPECT_NEAR(screenText.bottom(), paperText.bottom(), 2);
    EXPECT_NEAR(screenText.width(), paperText.width(), paperText.width() * 0.06);
    EXPECT_NEAR(screenText.height(), paperText.height(), 3);
}

TEST_F(PrintRangeTest, AbortDuringPrintingDropsTheJob) {
    QLabel status;
    printer.StatusLabel = &status;
    // The status update between pages lets the abort in.
    QTimer::singleShot(0, [this] { printer.AbortReport(); });
    EXPECT_THROW(printer.PrintRange(0, 0, 0), EAbort);
    EXPECT_FALSE(printer.Printing());
    EXPECT_FALSE(Printer().Printing());
    EXPECT_FALSE(printer.InputOpen());
    EXPECT_FALSE(QFile::exists(pdf));  // no part of the document is printed
}

TEST_F(PrintRangeTest, NoPrinterIsReportedAndNothingHappens) {
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    printer.PrintRange(0, 0, 0);
    EXPECT_EQ(printer.errors, QStringList{"No printers are defined, aborting print job."});
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintRangeTest, MissingStreamPrintsNothing) {
    printer.FileName = dir.path() + "/none.rpt";
    printer.PrintRange(0, 0, 0);
    ASSERT_EQ(printer.errors.size(), 1);
    EXPECT_TRUE(printer.errors[0].startsWith("Error initializing input stream \""));
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_FALSE(Printer().Printing());
}

}  // namespace
