// The missing-issues reports through the catalogue on a real preview
// window, read back from the recorded stream.  The expected gaps and totals
// are counted here from the books the test writes, by a plain count of the
// whole numbers between each run's first and last owned issue.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tests/reports/layouts/collection_fixture.h"

namespace {

using streamcheck::Page;

constexpr double kOwnedColumnLeft = 0.5 + 3.1, kMissingColumnLeft = kOwnedColumnLeft + 2.2;

// The texts of the body's columns (series, owned, missing) from baseline
// index `line` on for `lines` lines, each column's lines joined by spaces:
// a wrapped row read back whole.  No text may be cut at its cell's edge.
std::vector<QString> RowText(const Page& page, int line, int lines = 1) {
    std::vector<QString> columns(3);
    for (int at = line; at < line + lines; ++at) {
        for (const auto* text : page.textsOnLine(page.baselines()[at])) {
            if (text->text.isEmpty()) continue;
            EXPECT_NE(text->code, 22) << "cut at its cell's edge: " << text->text.toStdString();
            QString& column = columns[text->x > kMissingColumnLeft ? 2
                                      : text->x > kOwnedColumnLeft ? 1
                                                                   : 0];
            column += (column.isEmpty() ? "" : " ") + text->text;
        }
    }
    return columns;
}

BookRow Owned(const QString& number, int qty = 1) { return {.comicNo = number, .qty = qty}; }

struct Shelf {
    SeriesRow series;
    std::vector<BookRow> books;
};

// The sample: gaps, a wanted book (quantity 0) in a gap, a prefixed run,
// unread numbers, and a series that is complete.
std::vector<Shelf> Sample() {
    return {
        {{"ALPHA"},
         {Owned("1"),
          Owned("2"),
          Owned("3", 2),
          Owned("5"),
          Owned("8"),
          {.comicNo = "4", .qty = 0, .wanted = true}}},
        {{"BETA", "DC"}, NumberedBooks(5)},
        {{"GAMMA"},
         {Owned("1"), Owned("3"), Owned("HOLIDAY SPECIAL"), Owned("FCBD EDITION"),
          Owned("ANNUAL 1"), Owned("ANNUAL 4")}},
        {{"DELTA", "DC"}, {Owned("SPECIAL")}},
    };
}

struct Totals {
    long long seriesWithGaps = 0, missing = 0, unread = 0;
};

// Counts by hand: plain numbers and "ANNUAL n" are numbers, the rest text.
Totals CountGaps(const std::vector<Shelf>& shelves) {
    Totals totals;
    for (const Shelf& shelf : shelves) {
        std::map<QString, std::set<int>> runs;
        for (const BookRow& book : shelf.books) {
            if (book.qty <= 0) continue;
            QString run = book.comicNo.startsWith("ANNUAL ") ? "ANNUAL" : "";
            bool isNumber = false;
            const int n = QString(book.comicNo).remove("ANNUAL ").toInt(&isNumber);
            if (isNumber)
                runs[run].insert(n);
            else
                ++totals.unread;
        }
        long long missing = 0;
        for (const auto& [run, numbers] : runs)
            missing +=
                *numbers.rbegin() - *numbers.begin() + 1 - static_cast<long long>(numbers.size());
        totals.missing += missing;
        totals.seriesWithGaps += missing > 0;
    }
    return totals;
}

void Add(TestCollection& c, const std::vector<Shelf>& shelves) {
    for (const Shelf& shelf : shelves) c.add(shelf.series, shelf.books);
}

QString TotalsLine(const Totals& t) {
    return QStringLiteral(
               "Series with gaps: %1     Issues missing: %2     "
               "Owned issue numbers not read as numbers: %3")
        .arg(t.seriesWithGaps)
        .arg(t.missing)
        .arg(t.unread);
}

TEST(MissingIssuesReport, ListsEachSeriesWithGapsAndTheTotals) {
    TestCollection c;
    const std::vector<Shelf> shelves = Sample();
    Add(c, shelves);
    const auto report = c.run("Missing Issues");
    ASSERT_EQ(report.pages.size(), 1u);
    const Page& page = report.pages[0];
    EXPECT_EQ(page.nonEmpty().front(), "Missing Issues");
    EXPECT_TRUE(page.find("Date 01/20/95"));  // the standard page frame
    const int headings = page.lineOf("Series - Publisher");
    EXPECT_EQ(page.line(headings),
              (std::vector<QString>{"Series - Publisher", "Owned Issues", "Missing Issues"}));
    EXPECT_EQ(RowText(page, headings + 1),
              (std::vector<QString>{"ALPHA - MARVEL", "1–3, 5, 8", "4, 6–7"}));
    // GAMMA's owned cell wraps over lines, its long last part after its spaces.
    const Totals totals = CountGaps(shelves);
    const int gammaLines = page.lineOf(TotalsLine(totals)) - (headings + 2);
    EXPECT_GE(gammaLines, 3);
    EXPECT_EQ(RowText(page, headings + 2, gammaLines),
              (std::vector<QString>{
                  "GAMMA - MARVEL",
                  "1, 3, ANNUAL 1, ANNUAL 4; not read as numbers: FCBD EDITION, HOLIDAY SPECIAL",
                  "2, ANNUAL 2–3"}));
    EXPECT_FALSE(page.find("BETA - DC"));
    EXPECT_FALSE(page.find("DELTA - DC"));
    EXPECT_EQ(totals.missing, 6);  // the sample is what it says
    EXPECT_EQ(page.line(page.lineOf(TotalsLine(totals))).size(), 1u);
}

TEST(MissingIssuesReport, LongGapListsWrapAndGoOnOverPagesWithoutLosingAnIssue) {
    TestCollection c;
    std::vector<BookRow> odd;
    QStringList evens;
    for (int n = 1; n <= 1199; n += 2) odd.push_back(Owned(QString::number(n)));
    for (int n = 2; n <= 1198; n += 2) evens << QString::number(n);
    c.add({"OMEGA"}, odd);
    c.add({"ZETA"}, {Owned("1"), Owned("3")});
    const auto report = c.run("Missing Issues");
    ASSERT_GE(report.pages.size(), 2u);

    QString missingColumn;
    for (const Page& page : report.pages) {
        const int rows = page.lineOf("Series - Publisher") + 1;
        const QString column = RowText(page, rows, page.baselines().size() - rows - 1)[2];
        missingColumn += (missingColumn.isEmpty() ? "" : " ") + column;
    }
    EXPECT_EQ(missingColumn, evens.join(", ") + " 2");  // OMEGA's gaps, then ZETA's
    EXPECT_EQ(report.pages[0].findAll("OMEGA - MARVEL").size(), 1u);
    EXPECT_TRUE(report.pages.back().find(TotalsLine({2, 599 + 1, 0})));
}

TEST(MissingIssuesReport, SeriesVariantShowsRunsGapsUnreadAndCounts) {
    TestCollection c;
    int gamma = 0;
    for (const Shelf& shelf : Sample()) {
        const int entry = c.add(shelf.series, shelf.books);
        if (shelf.series.name == "GAMMA") gamma = entry;
    }
    const auto report = c.run("Missing Issues in Series", c.key(gamma));
    ASSERT_EQ(report.pages.size(), 1u);
    const Page& page = report.pages[0];
    const int series = page.lineOf("GAMMA - MARVEL");
    ASSERT_GE(series, 0);
    EXPECT_EQ(page.line(series + 1),
              (std::vector<QString>{"Owned issues", "1, 3, ANNUAL 1, ANNUAL 4"}));
    EXPECT_EQ(page.line(series + 2), (std::vector<QString>{"Missing issues", "2, ANNUAL 2–3"}));
    EXPECT_EQ(page.line(series + 3),
              (std::vector<QString>{"Not read as numbers", "FCBD EDITION, HOLIDAY SPECIAL"}));
    EXPECT_EQ(page.line(series + 4),
              (std::vector<QString>{"Counts", "6 issues owned (6 copies), 3 missing"}));
}

}  // namespace
