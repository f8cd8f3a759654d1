// The printer object over the installed-printers interface: no printer at
// all, and a printer whose output is a PDF file.
#include "platform/graphics/printers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "tests/support/temp_dir.h"

namespace {

TEST(Printers, WithoutPrintersThereIsNoDocumentAndNoCanvas) {
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    TPrinter& printer = Printer();
    EXPECT_FALSE(printer.HasPrinters());
    printer.BeginDoc();
    EXPECT_FALSE(printer.Printing());
    EXPECT_EQ(printer.Canvas(), nullptr);
    EXPECT_EQ(printer.DeviceMode().Copies, 1);
    EXPECT_EQ(printer.Caps().PixelsPerInchX, 96);
}

TEST(Printers, APdfPrinterPrintsPagesToItsFile) {
    TestDir dir;
    QString pdf = dir.path() + "/out.pdf";
    SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));
    TPrinter& printer = Printer();
    ASSERT_TRUE(printer.HasPrinters());
    QString device, driver, port;
    printer.GetPrinter(device, driver, port);
    EXPECT_EQ(device, "PDF");
    TDeviceCaps caps = printer.Caps();
    EXPECT_EQ(caps.PixelsPerInchX, 1200);
    EXPECT_EQ(caps.PhysicalWidth, 8.5 * 1200);
    EXPECT_EQ(caps.OffsetX, 300);  // a quarter-inch margin
    EXPECT_EQ(caps.PrintableWidth, 8 * 1200);
    printer.SetCopies(3);
    EXPECT_EQ(printer.DeviceMode().Copies, 3);
    EXPECT_EQ(printer.DeviceMode().PaperWidth, 2159);  // tenths of a millimetre

    printer.SetOrientation(TPrinterOrientation::Landscape);
    EXPECT_EQ(printer.Caps().PhysicalWidth, 11 * 1200);
    printer.SetOrientation(TPrinterOrientation::Portrait);

    printer.BeginDoc();
    ASSERT_TRUE(printer.Printing());
    ASSERT_NE(printer.Canvas(), nullptr);
    printer.Canvas()->Rectangle(100, 100, 2000, 2000);
    printer.NewPage();
    printer.Canvas()->Rectangle(100, 100, 2000, 2000);
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 2)
        << bytes.count("/Type /Page");

    // The pages are deflated at zlib's fastest level (its header says so),
    // and once the document is out the rest of the program compresses at the
    // level it asks for again.
    const qsizetype stream = bytes.indexOf("stream\n");
    ASSERT_GT(stream, 0);
    EXPECT_EQ(bytes.mid(stream + 7, 2).toHex(), "7801");
    EXPECT_EQ(qCompress(QByteArray(100, 'x'), 9).mid(4, 2).toHex(), "78da");
}

// An aborted document is dropped: the output file keeps what an earlier
// print left in it, and no partial file stays behind.
TEST(Printers, AnAbortedDocumentEndsThePrintingAndWritesNothing) {
    TestDir dir;
    const QString pdf = dir.path() + "/aborted.pdf";
    SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));
    QFile earlier(pdf);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier print");
    earlier.close();
    TPrinter& printer = Printer();
    ASSERT_TRUE(printer.BeginDoc());
    printer.Canvas()->Rectangle(100, 100, 2000, 2000);
    printer.NewPage();
    printer.Abort();
    EXPECT_FALSE(printer.Printing());
    EXPECT_TRUE(printer.Aborted());
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier print");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"aborted.pdf"});
}

}  // namespace
