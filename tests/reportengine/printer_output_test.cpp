// Printing through a printer whose output is a PDF file: a report recorded
// at the printer's resolution and replayed by PrintRange lands on paper.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "tests/reportengine/report_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

QString PdfText(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class QuietPrinter : public TFilePrinter {
public:
    using TFilePrinter::TFilePrinter;
    void ShowError(const QString& message) override { errors << message; }
    QStringList errors;
};

TEST(PrinterOutput, RecordedPagesPrintToPdf) {
    TestDir dir;
    QString pdf = dir.path() + "/out.pdf";
    SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));
    QString report = dir.path() + "/pkeep.rpt";
    {
        TReportFiler filer;
        EXPECT_EQ(filer.PixelsPerInchX, 1200);
        EXPECT_GT(filer.UnprintableLeft, 0.2);
        filer.FileName = report;
        filer.SetMarginLeft(0.5);
        filer.SetMarginTop(0.5);
        filer.OnPrintPage = [](TBaseReport* r, int& page) {
            r->SelectFont("Arial", 12);
            r->HomePosition();
            r->PrintTextLine(QString("Printed page %1 of three").arg(page));
            r->AddTabStop(0.5, tjLeft, 3.0, 2, BoxLineAll, 10);
            r->PrintTextLine("\tBoxed cell");
            r->ClearTabStops();
            return page < 3;
        };
        filer.Run();
        EXPECT_EQ(filer.DeviceName, "PDF");
    }
    QuietPrinter printer;
    printer.FileName = report;
    printer.PrintRange(2, 99, 0);
    EXPECT_TRUE(printer.errors.isEmpty());
    EXPECT_FALSE(printer.Printing());
    EXPECT_FALSE(Printer().Printing());
    QString text = PdfText(pdf);
    EXPECT_FALSE(text.contains("Printed page 1 of three"));
    EXPECT_TRUE(text.contains("Printed page 2 of three")) << text.toStdString();
    EXPECT_TRUE(text.contains("Printed page 3 of three"));
    EXPECT_TRUE(text.contains("Boxed cell"));
    EXPECT_EQ(text.count('\f'), 2);  // two pages
}

TEST(PrinterOutput, WithoutPrintersNothingIsPrinted) {
    UseNoPrinters();
    QuietPrinter printer;
    printer.FileName = "whatever.rpt";
    printer.PrintRange(0, 0, 0);
    EXPECT_EQ(printer.errors, QStringList("No printers are defined, aborting print job."));
}

TEST(PrinterOutput, TheBaseCanvasNeedsAnOpenDocument) {
    UseNoPrinters();
    QuietPrinter printer;
    try {
        printer.Canvas();
        FAIL();
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "Error!  Canvas not yet active.");
    }
}

}  // namespace
