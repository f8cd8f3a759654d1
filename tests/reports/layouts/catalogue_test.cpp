// The Reports menu on a real frame window and the catalogue behind it:
// every item's name, caption, hint and place; every one of the
// commands recording its report from the menu.

#include "reports/catalogue.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMdiArea>
#include <QMenu>

#include "app/main_form.h"
#include "platform/base/exception.h"
#include "platform/widgets/hints.h"
#include "reportengine/report_filer.h"
#include "reports/preview_form.h"
#include "tests/reports/layouts/collection_fixture.h"

namespace {

struct Item {
    const char* name;  // "-" for a separator
    const char* caption;
    const char* hint;
};

std::vector<Item> ItemsOf(QMenu* menu) {
    std::vector<Item> items;
    static std::vector<QByteArray> keep;  // storage for the texts
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            items.push_back({"-", "", ""});
            continue;
        }
        keep.push_back(a->objectName().toUtf8());
        const char* name = keep.back().constData();
        keep.push_back(a->text().toUtf8());
        const char* caption = keep.back().constData();
        keep.push_back(HintOf(a).toUtf8());
        items.push_back({name, caption, keep.back().constData()});
    }
    return items;
}

void ExpectItems(QMenu* menu, const std::vector<Item>& expected) {
    ASSERT_NE(menu, nullptr);
    const std::vector<Item> actual = ItemsOf(menu);
    ASSERT_EQ(actual.size(), expected.size()) << menu->objectName().toStdString();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_STREQ(actual[i].name, expected[i].name);
        EXPECT_STREQ(actual[i].caption, expected[i].caption);
        EXPECT_STREQ(actual[i].hint, expected[i].hint);
    }
}

class ReportsMenu : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", collection.dir().path().toUtf8());
        frame = std::make_unique<TMainForm>();
        installReportsMenu(*frame, [this] { return current; });
    }
    void TearDown() override { frame.reset(); }

    QAction* item(const char* name) { return frame->findChild<QAction*>(name); }

    TestCollection collection;
    std::unique_ptr<TMainForm> frame;
    std::optional<TCurrentSeriesKey> current;
};

TEST_F(ReportsMenu, HoldsEveryCommandWithCaptionHintAndPlace) {
    ExpectItems(
        frame->CollectionReports1,
        {{"CollectionBySereis", "&Collection By Series", "Lists your entire collection"},
         {"CompleteWantList", "Complete &Want List", "Lists both wanted books and wanted series"},
         {"CompleteForSaleList", "Complete &For Sale List",
          "Lists both for sale books and for sale series"},
         {"ProfitInvestmentSummary", "&Profit/Investment Summary",
          "Calculates a profit/investment summary of your collection"},
         {"MissingIssues", "&Missing Issues",
          "Lists the issues missing between the first and last owned issue of each series"}});
    ExpectItems(
        frame->BookReports1,
        {{"AutographedBooks", "&Autographed Books", "Lists books that are marked as autographed"},
         {"BooksforSale", "&Books for Sale", "Lists books that are marked for sale"},
         {"WantedBooks1", "&Wanted Books", "Lists books that are marked as wanted"}});
    ExpectItems(
        frame->HighlightedItemReports,
        {{"AllComicBooksinSeries", "&All Comic Books in Series",
          "Listing of all books in currently highlighted series"},
         {"AutographedBooksinSeries", "Auto&graphed Books in Series",
          "Listing of autographed books in currently highlighted series"},
         {"ForSaleBooksinSeries", "&For Sale Books in Series",
          "Listing of books for sale in currently highlighted series"},
         {"OwnedBooksinSeries", "&Owned Books in Series",
          "Listing of owned books in currently highlighted series"},
         {"WantedBooksinSeries", "&Wanted Books in Series",
          "Listing of wanted books in currently highlighted series"},
         {"MissingIssuesinSeries", "&Missing Issues in Series",
          "Owned runs and missing issues of the currently highlighted series"},
         {"-", "", ""},
         {"DetailedPrintoutofComicBook1", "Detailed &Printout of Comic Book",
          "Detail page of the currently highlighted comic book"},
         {"-", "", ""},
         {"LabelsforOwnedBooksinSeries1", "La&bels for Owned Books in Series",
          "Print labels for all owned books in the currently highlighted series"},
         {"LabelsforForSaleBooksinSeries1", "Labels for For &Sale Books in Series",
          "Print labels for all books marked for sale in the currently highlighted series"}});
    ExpectItems(frame->SeriesReports1,
                {{"AllSeries", "&All Series", "Listing of all series"},
                 {"FavoriteSeries", "Fa&vorite Series", "Listing of series marked as favorite"},
                 {"SeriesForSale", "&Series For Sale", "Listing of series marked for sale"},
                 {"WantedSeries", "&Wanted Series", "Listing of series marked as wanted"}});
}

TEST_F(ReportsMenu, EveryCommandRecordsItsReportInANewPreviewWindow) {
    BookRow book{.comicNo = "1",
                 .qty = 1,
                 .paid = 2,
                 .high = 5,
                 .wanted = true,
                 .forSale = true,
                 .autograph = true};
    const int entry = collection.add(
        {.name = "ALPHA", .favorite = true, .wanted = true, .forSale = true}, {book});
    current = collection.key(entry);
    const QString report = collection.dir().path() + "/pkeep.rpt";

    ASSERT_EQ(ReportCommands().size(), 21u);
    int windows = 0;
    for (const TReportCommand& command : ReportCommands()) {
        SCOPED_TRACE(command.Name);
        QFile::remove(report);
        QAction* action = item(command.Name);
        ASSERT_NE(action, nullptr);
        action->trigger();
        ++windows;
        EXPECT_EQ(frame->ClientArea->subWindowList().size(), windows);
        ASSERT_TRUE(PreviewForm);
        EXPECT_EQ(PreviewForm->RPReport->Title, command.Title);
        const auto recorded = streamcheck::readReport(report.toStdString());
        ASSERT_EQ(recorded.pages.size(), 1u);
        const auto& page = recorded.pages[0];
        if (command.WithoutHeaderFooter) {
            EXPECT_FALSE(page.find(command.Title));
            EXPECT_FALSE(page.find("Date 01/20/95"));
            EXPECT_TRUE(page.find("Comic - Edition: 1 - 1ST"));
        } else {
            EXPECT_EQ(page.nonEmpty().front(), command.Title);
            EXPECT_TRUE(page.find("Date 01/20/95"));
            EXPECT_EQ(page.bitmaps.size(), 1u);
        }
        // Every report over this one series shows it (the summary only counts,
        // and the missing issues list only series with gaps).
        if (QString(command.Name) != "ProfitInvestmentSummary" &&
            QString(command.Name) != "MissingIssues" && !command.WithoutHeaderFooter) {
            bool shown = false;
            for (const QString& t : page.nonEmpty()) shown = shown || t.startsWith("ALPHA");
            EXPECT_TRUE(shown);
        }
    }
}

TEST_F(ReportsMenu, HighlightedCommandWithoutASeriesLeavesNoWindow) {
    collection.add({"ALPHA"}, NumberedBooks(1));
    EXPECT_THROW(item("OwnedBooksinSeries")->trigger(), Exception);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame->ClientArea->subWindowList().isEmpty());
}

TEST(Catalogue, FindsCommandsByTitleNameOrCaption) {
    EXPECT_STREQ(FindReportCommand("Comic Collection Listing")->Name, "CollectionBySereis");
    EXPECT_STREQ(FindReportCommand("collectionbysereis")->Name, "CollectionBySereis");
    EXPECT_STREQ(FindReportCommand("Collection By Series")->Name, "CollectionBySereis");
    EXPECT_STREQ(FindReportCommand("Labels of For Sale Books in Series")->Name,
                 "LabelsforForSaleBooksinSeries1");
    EXPECT_EQ(FindReportCommand("No Such Report"), nullptr);
    for (const TReportCommand& c : ReportCommands()) EXPECT_EQ(FindReportCommand(c.Title), &c);
}

}  // namespace
