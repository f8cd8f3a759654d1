// A long report keeps its window alive while it records: pending messages
// run between rows, so the progress bar moves and Cancel stops the
// recording part-way, leaving no report behind.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "reportengine/file_preview.h"
#include "reportengine/report_filer.h"
#include "reports/catalogue.h"
#include "reports/preview_form.h"
#include "tests/reports/layouts/collection_fixture.h"

namespace {

class RecordingMessages : public ::testing::Test {
protected:
    void SetUp() override {
        // About 80 pages of the collection listing, whose progress counts
        // series.
        c.demo(400, 4000);
        form = new TPreviewForm;  // deletes itself on close
        PrepareReport(*form, *FindReportCommand("CollectionBySereis"), std::nullopt);
        // Counts the pages the listing's handler was asked for.
        const TPrintPageEvent listing = form->RPReport->OnPrintPage;
        form->RPReport->OnPrintPage = [this, listing](TBaseReport* sender, int& page) {
            ++pagesHandled;
            return listing(sender, page);
        };
    }
    void TearDown() override {
        if (form) form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TestCollection c;
    QPointer<TPreviewForm> form;
    int pagesHandled = 0;
};

TEST_F(RecordingMessages, ProgressBarMovesWhileAListingRecords) {
    std::vector<int> seen;  // the bar's value at each pass of the message loop
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (form && form->RPReport->Printing()) seen.push_back(form->ProgressBar->value());
    });
    watcher.start(0);
    form->RunReport();
    watcher.stop();

    ASSERT_TRUE(form);
    const int pages = form->RPPreview->PageCount();
    EXPECT_GT(pages, 60);
    EXPECT_EQ(pagesHandled, pages);
    ASSERT_GE(seen.size(), 3u) << "messages must run during the recording";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](int v) { return v > 0 && v < 100; }))
        << "the bar shows the recording part-way";
}

TEST_F(RecordingMessages, CancelStopsAListingPartWay) {
    int pageAtCancel = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!form || !form->RPReport->Printing() || pageAtCancel) return;
        if (form->RPReport->CurrentPage() < 3) return;
        pageAtCancel = form->RPReport->CurrentPage();
        form->BtnCancel->click();
    });
    watcher.start(0);
    form->RunReport();
    watcher.stop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    ASSERT_GE(pageAtCancel, 3) << "messages must run during the recording";
    EXPECT_LT(pageAtCancel, 50);
    // The recording stops on the page where Cancel came.
    EXPECT_LE(pagesHandled, pageAtCancel);
    EXPECT_FALSE(form) << "a cancelled report leaves no window";
    EXPECT_FALSE(QFile::exists(c.dir().path() + "/pkeep.rpt"));
}

}  // namespace
