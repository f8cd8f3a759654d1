// The issue-number reader over the forms collectors write, one row per form
// with the reading it must give.

#include "insight/issue_number.h"

#include <gtest/gtest.h>

namespace {

using insight::IssueValue;
using insight::ReadIssueNumber;

struct NumberCase {
    const char* stored;
    bool isNumber;
    const char* prefix = "";
    IssueValue value = {};
    const char* mark = "";
};

// Rows: the stored text, then what it reads as.
const NumberCase kCases[] = {
    {"             12", true, "", {12, 1}},  // stored right-aligned
    {"0", true, "", {0, 1}},
    {"-1", true, "", {-1, 1}},
    {"1/2", true, "", {1, 2}},
    {"½", true, "", {1, 2}},
    {"1½", true, "", {3, 2}},   // one and a half
    {"1.5", true, "", {3, 2}},  // the same issue written as a decimal
    {"2.25", true, "", {9, 4}},
    {"12A", true, "", {12, 1}, "A"},
    {"1.MU", true, "", {1, 1}, "MU"},  // a point then letters: a mark, not a decimal
    {"5 VARIANT", true, "", {5, 1}, "VARIANT"},
    {"#7", true, "", {7, 1}},
    {"Annual 3", true, "Annual", {3, 1}},
    {"ANNUAL #3B", true, "ANNUAL", {3, 1}, "B"},
    {"Giant-Size  2", true, "Giant-Size", {2, 1}},  // inner spaces collapsed
    {"X-1", true, "X", {1, 1}},                     // a hyphen in a word is no sign
    {"Annual -1", true, "Annual", {-1, 1}},
    {"FCBD 2011", true, "FCBD", {2011, 1}},
    // Text: no number, or a second number after the first is not guessed at.
    {"SPECIAL", false},
    {"", false},
    {"   ", false},
    {"1-2", false},
    {"1.5.3", false},
    {"1 1/2", false},
    {"3/0", false},
    {"1234567890", false},  // more digits than any issue has
    {"12?", false},         // a mark starts with a letter or a bracket
    {"?12", false},
    {"3 (2ND PRINT)", true, "", {3, 1}, "(2ND PRINT)"},
};

TEST(IssueNumber, ReadsEachFormCollectorsWrite) {
    for (const NumberCase& c : kCases) {
        SCOPED_TRACE(c.stored);
        const insight::IssueNumber reading = ReadIssueNumber(QString::fromUtf8(c.stored));
        ASSERT_EQ(reading.isNumber, c.isNumber);
        EXPECT_EQ(reading.text, QString::fromUtf8(c.stored).trimmed());
        if (!c.isNumber) continue;
        EXPECT_EQ(reading.prefix, QString::fromUtf8(c.prefix));
        EXPECT_EQ(reading.value, c.value);
        EXPECT_EQ(reading.mark, QString::fromUtf8(c.mark));
    }
}

TEST(IssueNumber, PrefixesGroupWhateverTheirCase) {
    EXPECT_EQ(ReadIssueNumber("Annual 1").prefixKey, ReadIssueNumber("ANNUAL  2").prefixKey);
    EXPECT_NE(ReadIssueNumber("Annual 1").prefixKey, ReadIssueNumber("Special 1").prefixKey);
    EXPECT_TRUE(ReadIssueNumber("4").prefixKey.isEmpty());
}

TEST(IssueNumber, ValuesOrderExactly) {
    EXPECT_LT((IssueValue{1, 2}), (IssueValue{1, 1}));
    EXPECT_LT((IssueValue{-1, 1}), (IssueValue{0, 1}));
    EXPECT_LT((IssueValue{1, 3}), (IssueValue{1, 2}));
    EXPECT_EQ(ReadIssueNumber("1/2").value, ReadIssueNumber("0.5").value);
}

}  // namespace
