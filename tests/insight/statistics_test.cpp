// The statistics over real tables: every figure against the sums worked
// out by hand for the small collection, the limits of the ranked lists,
// stopping the pass, and tables that are missing or not ours.
#include "insight/statistics.h"

#include <gtest/gtest.h>

#include "platform/base/exception.h"
#include "tests/insight/small_collection.h"
#include "tests/support/temp_dir.h"

namespace {

using insight::CollectionStatistics;

CollectionStatistics Compute(const QString& directory) {
    auto figures = insight::ComputeStatistics(directory);
    EXPECT_TRUE(figures.has_value());
    return figures.value_or(CollectionStatistics{});
}

TEST(StatisticsTest, EveryCopyCountsToTheCentAndUnownedBooksAddNothing) {
    TestDir dir;
    small_collection::Write(dir.path());
    const CollectionStatistics s = Compute(dir.path());

    EXPECT_EQ(s.bookRecords, 8);
    EXPECT_EQ(s.books, 9);  // 3 + 1 + 2 + 1 + 1 + 1
    // 3 x 30.00 + 37.54 + 2 x 0.10 + 10.00 + 950.00 + 4.00
    EXPECT_EQ(s.value, 109174);
    // 3 x 10.00 + 2.50 + 2 x 0.10 + 100.00 + 1.00 + 3.00
    EXPECT_EQ(s.paid, 13670);

    ASSERT_EQ(s.publishers.size(), 3u);  // largest value first; EMPTY has no books
    EXPECT_EQ(s.publishers[0].publisher, "ZENITH");
    EXPECT_EQ(s.publishers[0].books, 1);
    EXPECT_EQ(s.publishers[0].value, 95000);
    EXPECT_EQ(s.publishers[0].paid, 100);
    EXPECT_EQ(s.publishers[1].publisher, "ACME");  // ALPHA and BETA
    EXPECT_EQ(s.publishers[1].books, 7);
    EXPECT_EQ(s.publishers[1].value, 9000 + 3754 + 20 + 1000);
    EXPECT_EQ(s.publishers[1].paid, 3000 + 250 + 20 + 10000);
    EXPECT_EQ(s.publishers[2].publisher, "");  // the book without a series
    EXPECT_EQ(s.publishers[2].value, 400);

    ASSERT_EQ(s.mostValuable.size(), 6u);  // the owned book records, by one copy's value
    const std::pair<const char*, insight::Cents> ranked[] = {{"GAMMA", 95000},
                                                             {"ALPHA", 3754},
                                                             {"ALPHA", 3000},
                                                             {"BETA", 1000},
                                                             {insight::kNoSeriesName, 400},
                                                             {"BETA", 10}};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(s.mostValuable[i].series, ranked[i].first) << i;
        EXPECT_EQ(s.mostValuable[i].value, ranked[i].second) << i;
    }
    EXPECT_EQ(s.mostValuable[2].comicNo, "1");  // as typed, without the alignment
    EXPECT_EQ(s.mostValuable[2].qty, 3);
    EXPECT_EQ(s.mostValuable[0].publisher, "ZENITH");

    const std::pair<const char*, long long> conditions[] = {
        {"Poor", 0},      {"Fair", 0},      {"Good", 1}, {"Very Good", 1}, {"Fine", 3},
        {"Very Fine", 0}, {"Near Mint", 1}, {"Mint", 2}, {"No grade", 1}};
    ASSERT_EQ(s.conditions.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(s.conditions[i].word, conditions[i].first);
        EXPECT_EQ(s.conditions[i].books, conditions[i].second) << conditions[i].first;
    }

    ASSERT_EQ(s.topSeries.size(), 4u);
    EXPECT_EQ(s.topSeries[0].series, "GAMMA");
    EXPECT_EQ(s.topSeries[1].series, "ALPHA");
    EXPECT_EQ(s.topSeries[1].books, 4);
    EXPECT_EQ(s.topSeries[1].value, 9000 + 3754);
    EXPECT_EQ(s.topSeries[2].series, "BETA");
    EXPECT_EQ(s.topSeries[2].value, 20 + 1000);
    EXPECT_EQ(s.topSeries[3].series, insight::kNoSeriesName);

    // Bought: 3 copies + 1 in 2019 (the wanted book's 2020 date buys nothing).
    ASSERT_EQ(s.spentByYear.size(), 2u);
    EXPECT_EQ(s.spentByYear[0].year, 2019);
    EXPECT_EQ(s.spentByYear[0].books, 4);
    EXPECT_EQ(s.spentByYear[0].paid, 3000 + 250);
    EXPECT_EQ(s.spentByYear[1].year, 2021);
    EXPECT_EQ(s.spentByYear[1].paid, 100);
    EXPECT_EQ(s.booksWithoutPurchaseDate, 9 - 5);
}

TEST(StatisticsTest, WithoutAnExtrasTableNoYearHasSpending) {
    TestDir dir;
    small_collection::Write(dir.path(), false);
    const CollectionStatistics s = Compute(dir.path());
    EXPECT_TRUE(s.spentByYear.empty());
    EXPECT_EQ(s.booksWithoutPurchaseDate, 9);
    EXPECT_EQ(s.value, 109174);
}

// 30 series of one book each, book i worth i dollars: the lists keep the
// largest ten and twenty.
TEST(StatisticsTest, RankedListsKeepTheLargestTenBooksAndTwentySeries) {
    TestDir dir;
    store::CreateCollection(dir.path());
    auto series = paradox::Table::open(small_collection::TablePath(dir.path(), "series.db"));
    auto books = paradox::Table::open(small_collection::TablePath(dir.path(), "books.db"));
    for (int i = 1; i <= 30; ++i) {
        const std::string name = "S" + std::to_string(100 + i);
        series->insert(small_collection::SeriesRow(name.c_str(), "P", i));
        books->insert(small_collection::BookRow({i, "1", 1, 0.0, double(i), 100, {}}));
    }
    const CollectionStatistics s = Compute(dir.path());
    ASSERT_EQ(s.mostValuable.size(), 10u);
    EXPECT_EQ(s.mostValuable.front().value, 3000);
    EXPECT_EQ(s.mostValuable.back().value, 2100);
    ASSERT_EQ(s.topSeries.size(), 20u);
    EXPECT_EQ(s.topSeries.front().series, "S130");
    EXPECT_EQ(s.topSeries.back().series, "S111");
    EXPECT_EQ(s.value, 100 * (30 * 31 / 2));
}

TEST(StatisticsTest, ProgressSeesTheWholePassAndCanStopIt) {
    TestDir dir;
    small_collection::Write(dir.path());
    std::size_t lastDone = 0, lastTotal = 0;
    auto figures = insight::ComputeStatistics(dir.path(), [&](std::size_t done, std::size_t total) {
        lastDone = done;
        lastTotal = total;
        return true;
    });
    EXPECT_TRUE(figures.has_value());
    EXPECT_EQ(lastTotal, 4u + 8u);  // series rows and book rows
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_FALSE(insight::ComputeStatistics(dir.path(), [](std::size_t, std::size_t) {
                     return false;
                 }).has_value());
}

TEST(StatisticsTest, MissingOrForeignTablesAreNamedInTheError) {
    TestDir dir;
    try {
        insight::ComputeStatistics(dir.path());
        FAIL() << "no tables";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("series.db"), std::string::npos) << e.what();
    }
    store::CreateCollection(dir.path());
    paradox::Table::remove(small_collection::TablePath(dir.path(), "books.db"));
    paradox::TableSchema other;
    other.fields = {{"NAME", paradox::FieldType::Alpha, 10}};
    paradox::Table::create(small_collection::TablePath(dir.path(), "books.db"), other);
    try {
        insight::ComputeStatistics(dir.path());
        FAIL() << "a books table without the fields";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("has no field ENTRY"), std::string::npos) << e.what();
    }
}

}  // namespace
