// Printing from the preview window to a real CUPS queue (a private print
// server, see tests/support/print_server.h): the job that reaches the
// queue's device, how often a print job asks for the list of printers, and
// Cancel while printing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPrintDialog>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "platform/graphics/printers.h"
#include "platform/widgets/dialogs.h"
#include "reportengine/file_preview.h"
#include "reportengine/report_filer.h"
#include "reports/preview_form.h"
#include "tests/reports/preview/preview_fixture.h"
#include "tests/support/print_server.h"

namespace {

class PrintQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Ready())
            GTEST_SKIP() << "no private print server: " << server.Problem().toStdString();
        SetInstalledPrinters(std::make_unique<TSystemPrinters>());
        ASSERT_EQ(Printer().Printers(), QStringList{TestPrintServer::Queue()});
        collection.addSeries(120);  // 3 pages
        host.resize(800, 600);
        host.show();
        form = new TPreviewForm(&host);
        form->SetReportFile(collection.file("pkeep.rpt"));
        form->Run.LogoFile = collection.file("PKEEP20.BMP");
        form->show();
        form->RunReport();
        ASSERT_EQ(form->RPPreview->PageCount(), 3);
        form->ExecPrintDialog = [](QPrintDialog&) { return true; };
    }
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetInstalledPrinters(std::make_unique<TNoPrinters>());
    }

    TestPrintServer server;
    TestCollection collection;
    QWidget host;
    TPreviewForm* form = nullptr;
    QStringList messages;
    TScopedMessageAnswerer answerer{[this](const TMessageRequest& request) {
        messages << request.text;
        return int(mrOk);
    }};
};

TEST_F(PrintQueueTest, TheJobReachesTheQueueAskingForThePrintersAFewTimesOnly) {
    const int listsBefore = server.Requests("CUPS-Get-Printers");
    form->SBPrintClick();
    ASSERT_TRUE(server.WaitForJobs(1));
    const QStringList jobs = server.JobFiles();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(PdfPageCount(jobs[0]), 3);
    EXPECT_EQ(PdfTitle(jobs[0]), "Folioscribe Report");
    const QStringList pages = PdfPageTexts(jobs[0]);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_TRUE(pages[0].contains("SERIES 001"));
    EXPECT_TRUE(pages[2].contains("SERIES 120"));
    // The print dialog and the job set-up ask a few times; the hundreds of
    // drawing commands of the three pages must not ask at all.
    EXPECT_LE(server.Requests("CUPS-Get-Printers") - listsBefore, 6);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(PrintQueueTest, CancelWhilePrintingSendsNoJob) {
    bool cancelled = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!cancelled && form->StatusLabel->text().startsWith("Printing Page 2")) {
            cancelled = true;
            form->BtnCancel->click();
        }
    });
    watcher.start(0);
    form->SBPrintClick();
    watcher.stop();
    ASSERT_TRUE(cancelled);
    EXPECT_FALSE(form->RPPrinter->Printing());
    EXPECT_FALSE(form->ProgressPanel->isVisible());
    // The job would have been sent before the print command returned.
    EXPECT_EQ(server.Requests("Print-Job") + server.Requests("Create-Job"), 0);
    EXPECT_TRUE(server.JobFiles().isEmpty());

    // The queue itself works: the next print arrives, whole.
    form->SBPrintClick();
    ASSERT_TRUE(server.WaitForJobs(1));
    ASSERT_EQ(server.JobFiles().size(), 1);
    EXPECT_EQ(PdfPageCount(server.JobFiles()[0]), 3);
}

}  // namespace
