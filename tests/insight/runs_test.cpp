// The run builder and the planner of wanted issues, one row per case: the
// books of a series (issue number as stored, quantity) and the runs, gaps
// and counts a collector would write down for them.

#include "insight/runs.h"

#include <gtest/gtest.h>

#include <vector>

#include "insight/wanted_issues.h"

namespace {

using insight::BookIssue;

struct RunsCase {
    const char* name;
    std::vector<BookIssue> books;
    const char* owned;
    const char* gaps;
    const char* unread;
    int ownedIssues;
    long long missing;
};

const RunsCase kRunsCases[] = {
    {"empty series", {}, "", "", "", 0, 0},
    {"one issue", {{"1", 1}}, "1", "", "", 1, 0},
    {"runs, a single and a gap of one",
     {{"1", 1}, {"2", 1}, {"3", 2}, {"5", 1}, {"7", 1}, {"8", 1}},
     "1–3, 5, 7–8",
     "4, 6",
     "",
     6,
     2},
    {"quantity 0 is not owned: it opens a gap",
     {{"1", 1}, {"2", 0}, {"3", 1}},
     "1, 3",
     "2",
     "",
     2,
     1},
    {"the stored right-aligned form and variants of one issue count once",
     {{"             10", 1}, {"10A", 1}, {"10 VARIANT", 3}, {"12", 1}},
     "10, 12",
     "11",
     "",
     2,
     1},
    {"a prefix makes a run of its own, after the main run",
     {{"Annual 1", 1}, {"ANNUAL 3", 1}, {"1", 1}, {"4", 1}},
     "1, 4, Annual 1, Annual 3",
     "2–3, Annual 2",
     "",
     4,
     3},
    {"negative and zero issues join the run",
     {{"-1", 1}, {"0", 1}, {"1", 1}, {"3", 1}},
     "-1–1, 3",
     "2",
     "",
     4,
     1},
    {"fractions stand alone in their place and fill no gap",
     {{"1", 1}, {"1/2", 1}, {"2", 1}, {"1.5", 1}, {"4", 1}},
     "1/2, 1, 1.5, 2, 4",
     "3",
     "",
     5,
     1},
    {"unreadable numbers count as owned and are listed",
     {{"1", 1}, {"SPECIAL", 2}, {"1-2", 1}, {"SPECIAL", 1}, {"3", 1}},
     "1, 3",
     "2",
     "1-2, SPECIAL",
     4,
     1},
    {"a long gap", {{"1", 1}, {"100", 1}}, "1, 100", "2–99", "", 2, 98},
};

TEST(Runs, BuildsRunsGapsAndCounts) {
    for (const RunsCase& c : kRunsCases) {
        SCOPED_TRACE(c.name);
        const insight::SeriesRuns runs = insight::BuildRuns(c.books);
        EXPECT_EQ(runs.ownedText(), QString::fromUtf8(c.owned));
        EXPECT_EQ(runs.gapsText(), QString::fromUtf8(c.gaps));
        EXPECT_EQ(runs.unreadText(), QString::fromUtf8(c.unread));
        EXPECT_EQ(runs.ownedIssues, c.ownedIssues);
        EXPECT_EQ(runs.missing, c.missing);
        EXPECT_EQ(runs.hasGaps(), c.missing > 0);
    }
}

struct PlanCase {
    const char* typed;
    std::vector<QString> series;  // stored issue numbers of the series' books
    QStringList numbers;          // the books planned
    const char* errorStart = "";
};

const PlanCase kPlanCases[] = {
    {"2–3, 5", {"1", "4"}, {"2", "3", "5"}},
    // widened: what the series has, owned or wanted, is skipped
    {"1-6", {"1", "3", "4A", "6"}, {"2", "5"}},
    {"4, 2–5, 3", {"1"}, {"2", "3", "4", "5"}},                   // overlaps count once
    {"annual 1–3", {"ANNUAL 2", "1"}, {"ANNUAL 1", "ANNUAL 3"}},  // the series' spelling
    {"Special 1", {"1"}, {"SPECIAL 1"}},                          // a new prefix in capitals
    {"#7", {}, {"7"}},
    {"100–1", {"1"}, {}, "The range 100–1 runs backwards"},
    {"1–1000000", {"1"}, {}, "1–1000000 would add 999,999 books; at most 5,000"},
    {"1–5001", {}, {}, "1–5001 would add 5,001 books"},
    {"abc", {}, {}, "\"abc\" is not an issue number"},
    {"1.5", {}, {}, "\"1.5\" is not an issue number"},
    {"", {}, {}, "Type the issues to add"},
    {" , ", {}, {}, "Type the issues to add"},
    {"1–3", {"1", "2", "3"}, {}, "The series already has a book of every issue"},
};

TEST(WantedIssues, PlansWhatIsMissingAndRefusesBadInput) {
    for (const PlanCase& c : kPlanCases) {
        SCOPED_TRACE(c.typed);
        const insight::WantedPlan plan =
            insight::PlanWantedIssues(QString::fromUtf8(c.typed), c.series);
        EXPECT_EQ(plan.numbers, c.numbers);
        EXPECT_EQ(plan.error.isEmpty(), *c.errorStart == '\0') << plan.error.toStdString();
        if (*c.errorStart) {
            EXPECT_TRUE(plan.error.startsWith(QString::fromUtf8(c.errorStart)));
        }
    }
}

TEST(WantedIssues, FiveThousandAtOnceIsAllowed) {
    const std::vector<QString> series{"1"};
    EXPECT_EQ(insight::PlanWantedIssues("1–5001", series).numbers.size(), 5000);
}

TEST(WantedIssues, TheGapsTextReadsBackAsTheGaps) {
    const std::vector<BookIssue> books{{"1", 1}, {"4", 1}, {"Annual 1", 1}, {"Annual 3", 1}};
    std::vector<QString> stored;
    for (const BookIssue& b : books) stored.push_back(b.comicNo);
    const insight::WantedPlan plan =
        insight::PlanWantedIssues(insight::BuildRuns(books).gapsText(), stored);
    EXPECT_EQ(plan.numbers, (QStringList{"2", "3", "Annual 2"}));
}

}  // namespace
