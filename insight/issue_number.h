#pragma once
// Issue numbers as collectors write them, read as numbers.  The stored text
// stays as it is; this is a reading of it:
//
//   "12", "0", "-1"            whole numbers
//   "1/2", "½", "1½", "1.5"    fractions and decimals, kept exact
//   "12A", "1.MU", "5 VARIANT" a number and a mark after it: the issue 12, 1, 5
//   "Annual 3", "Annual #3B"   a number after a word: issue 3 of the run
//                              "Annual" (one run per prefix, case ignored)
//   anything else              text, which joins no run
//
// A mark after the number starts with a letter or a bracket: "1-2", "1.5.3"
// and "12?" stay text, and what looks like a second number is not guessed at.

#include <QString>
#include <compare>

namespace insight {

// An exact rational issue value, numerator / denominator with denominator > 0
// and the fraction in lowest terms.
struct IssueValue {
    long long numerator = 0;
    long long denominator = 1;

    bool isWhole() const { return denominator == 1; }
    std::strong_ordering operator<=>(const IssueValue& other) const;
    bool operator==(const IssueValue& other) const = default;
};

struct IssueNumber {
    bool isNumber = false;  // false: text that joins no run
    QString prefix;         // "Annual" as written; empty for the series' main run
    QString prefixKey;      // the prefix case-folded, spaces collapsed: runs group on it
    IssueValue value;       // when isNumber
    QString numberText;     // the number as written ("1/2", "½", "12")
    QString mark;           // what follows the number ("A", "MU", "VARIANT")
    QString text;           // the whole stored value without surrounding spaces
};

IssueNumber ReadIssueNumber(const QString& stored);

// The key a prefix is grouped on: case-folded, inner spaces collapsed.
QString PrefixKey(const QString& prefix);

// Whole numbers beyond this many digits are text: no collector numbers an
// issue in the billions, and the arithmetic stays exact in 64 bits.
inline constexpr int kMostDigits = 9;

}  // namespace insight
