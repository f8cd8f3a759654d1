// The complete want and for-sale lists: whole series against specific
// books, the books each case lists, the carry-over of either kind of list,
// and a heading without room for a book line.

#include <gtest/gtest.h>

#include "tests/reports/layouts/collection_fixture.h"

namespace {

using streamcheck::Page;

constexpr int kFirstBodyLine = 1;
constexpr int kBodyLines = 52;

QString Row(int number) { return Stored(QString::number(number)) + "  1ST"; }

BookRow Book(int number, int qty, bool wanted = false, bool forSale = false) {
    BookRow b;
    b.comicNo = QString::number(number);
    b.qty = qty;
    b.wanted = wanted;
    b.forSale = forSale;
    b.title = "T" + QString::number(number);
    b.high = number;
    b.paid = 1;
    return b;
}

TEST(CompleteLists, WantListCombinesWholeSeriesAndSpecificBooks) {
    TestCollection c;
    c.add({.name = "ALPHA", .wanted = true}, {Book(1, 0), Book(2, 1, true), Book(3, 2)});
    c.add({"BETA"}, {Book(11, 1), Book(12, 0, true), Book(13, 1)});
    c.add({"GAMMA"}, {Book(21, 1), Book(22, 1)});
    c.add({.name = "DELTA", .wanted = true});  // no books: heading only
    const Page page = c.run("Complete Want List").pages.at(0);

    EXPECT_EQ(page.line(kFirstBodyLine + 1),
              (std::vector<QString>{"Comic # - Edition", "Title", "Mint Value"}));
    EXPECT_EQ(page.nonEmpty().front(), "Complete Want List");
    const int alpha = page.lineOf("ALPHA - MARVEL (Entire Series Marked as Wanted)");
    ASSERT_GT(alpha, 0);
    EXPECT_EQ(page.line(alpha + 1), (std::vector<QString>{Row(1), "T1", "$1.00"}));
    EXPECT_EQ(page.line(alpha + 2), (std::vector<QString>{Row(2), "T2", "$2.00"}));
    EXPECT_EQ(page.line(alpha + 3), (std::vector<QString>{Row(3), "T3", "$3.00"}));
    const int beta = page.lineOf("BETA - MARVEL (Specific Books Marked as Wanted)");
    EXPECT_EQ(beta, alpha + 4);
    EXPECT_EQ(page.line(beta + 1), (std::vector<QString>{Row(12), "T12", "$12.00"}));
    EXPECT_FALSE(page.find(Row(11)));
    EXPECT_FALSE(page.find(Row(13)));
    EXPECT_EQ(page.lineOf("DELTA - MARVEL (Entire Series Marked as Wanted)"), beta + 2);
    for (const QString& t : page.nonEmpty()) {
        EXPECT_FALSE(t.startsWith("GAMMA")) << t.toStdString();
        EXPECT_NE(t, "Price Paid");  // no paid, quantity or graded value
        EXPECT_NE(t, "Qty");
    }
}

TEST(CompleteLists, ForSaleListTakesOnlyOwnedBooks) {
    TestCollection c;
    c.add({.name = "ALPHA", .forSale = true}, {Book(1, 0), Book(2, 3), Book(3, 1)});
    c.add({"BETA"}, {Book(11, 1, false, true), Book(12, 0, false, true), Book(13, 1)});
    c.add({"GAMMA"}, {Book(21, 0, false, true)});
    const Page page = c.run("CompleteForSaleList").pages.at(0);

    EXPECT_EQ(page.line(kFirstBodyLine + 1),
              (std::vector<QString>{"Comic # - Edition", "Autographed", "Qty", "Price Paid",
                                    "Graded Value", "Mint Value", "Sell Price"}));
    const int alpha = page.lineOf("ALPHA - MARVEL (Entire Series Marked For Sale)");
    ASSERT_GT(alpha, 0);
    EXPECT_EQ(page.line(alpha + 1),
              (std::vector<QString>{Row(2), "No", "3", "$1.00", "$2.00", "$2.00"}));
    EXPECT_EQ(page.line(alpha + 2),
              (std::vector<QString>{Row(3), "No", "1", "$1.00", "$3.00", "$3.00"}));
    EXPECT_FALSE(page.find(Row(1)));
    const int beta = page.lineOf("BETA - MARVEL (Specific Books Marked For Sale)");
    EXPECT_EQ(beta, alpha + 3);
    EXPECT_EQ(page.line(beta + 1).front(), Row(11));
    EXPECT_FALSE(page.find(Row(12)));
    EXPECT_FALSE(page.find(Row(13)));
    for (const QString& t : page.nonEmpty()) EXPECT_FALSE(t.startsWith("GAMMA"));
}

TEST(CompleteLists, LongListsContinueWithTheRemainingBooksOnly) {
    TestCollection c;
    std::vector<BookRow> whole, specific;
    for (int i = 1; i <= 60; ++i) whole.push_back(Book(i, 0));
    for (int i = 101; i <= 161; ++i) specific.push_back(Book(i, 1, i != 130));
    c.add({.name = "ALPHA", .wanted = true}, whole);
    c.add({"BETA"}, specific);
    auto report = c.run("Complete Want List");

    ASSERT_EQ(report.pages.size(), 3u);
    const Page& p1 = report.pages[0];
    const Page& p2 = report.pages[1];
    const Page& p3 = report.pages[2];
    EXPECT_EQ(p1.lineOf("ALPHA - MARVEL (Entire Series Marked as Wanted)"), kFirstBodyLine + 2);
    EXPECT_EQ(p1.lineOf(Row(49)), kFirstBodyLine + kBodyLines - 1);
    EXPECT_EQ(p2.lineOf("ALPHA - MARVEL  (Continued)"), kFirstBodyLine + 2);
    EXPECT_EQ(p2.lineOf(Row(50)), kFirstBodyLine + 3);
    EXPECT_EQ(p2.lineOf(Row(60)), kFirstBodyLine + 13);
    // BETA starts below ALPHA's end; 60 of its 61 books are wanted.
    EXPECT_EQ(p2.lineOf("BETA - MARVEL (Specific Books Marked as Wanted)"), kFirstBodyLine + 14);
    EXPECT_EQ(p3.lineOf("BETA - MARVEL  (Continued)"), kFirstBodyLine + 2);
    EXPECT_FALSE(p2.find(Row(130)));
    EXPECT_FALSE(p3.find(Row(130)));
    EXPECT_TRUE(p3.find(Row(161)));
    int rows = 0;
    for (const Page& p : report.pages)
        for (const QString& t : p.nonEmpty())
            if (t.endsWith("  1ST")) ++rows;
    EXPECT_EQ(rows, 60 + 60);
}

TEST(CompleteLists, AHeadingWithoutRoomForABookMovesToTheNextPage) {
    TestCollection c;
    std::vector<BookRow> filler;
    for (int i = 1; i <= 48; ++i) filler.push_back(Book(i, 1));
    c.add({.name = "ALPHA", .wanted = true}, filler);  // body lines 3..51
    c.add({"BETA"}, {Book(101, 0, true)});
    auto report = c.run("Complete Want List");

    ASSERT_EQ(report.pages.size(), 2u);
    EXPECT_EQ(report.pages[1].lineOf("BETA - MARVEL (Specific Books Marked as Wanted)"),
              kFirstBodyLine + 2);
    EXPECT_TRUE(report.pages[1].find(Row(101)));
    for (const QString& t : report.pages[0].nonEmpty()) EXPECT_FALSE(t.startsWith("BETA"));
}

}  // namespace
