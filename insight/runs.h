#pragma once
// The owned runs and the gaps of one series, from its books' issue numbers
// and quantities.  A book with a quantity of 0 or less is not owned (it is
// kept as wanted or as a record).
//
//   owned runs  "1–50, 52, 60–75, Annual 1–3": consecutive whole numbers of
//               one prefix join into a run; a fraction or decimal stands
//               alone, in its place by value
//   gaps        "51, 53–59, Annual 2": the whole numbers between the first
//               and the last owned whole number of each prefix that no owned
//               book has
//   unread      owned issue numbers that are not numbers ("Special"): they
//               join no run but count as owned issues, and are listed
//
// The main run (no prefix) comes first, then the prefixed runs by name.

#include <QString>
#include <QStringList>
#include <span>
#include <vector>

#include "insight/issue_number.h"

namespace insight {

struct BookIssue {
    QString comicNo;  // as stored
    int qty = 0;
};

// From `first` to `last` (equal for a single issue); `label` writes a
// single issue that is not whole as its owner wrote it.
struct IssueSpan {
    IssueValue first, last;
    QString label;
    long long count() const;  // whole numbers in the span (1 for a single issue)
};

struct PrefixRuns {
    QString prefix;  // as first met; empty for the main run
    QString prefixKey;
    std::vector<IssueSpan> owned;
    std::vector<IssueSpan> gaps;
};

struct SeriesRuns {
    std::vector<PrefixRuns> runs;
    QStringList unread;     // distinct owned texts that are no number, sorted
    int ownedIssues = 0;    // distinct owned issues, the unread ones included
    long long missing = 0;  // whole numbers in the gaps
    int ownedCopies = 0;    // the sum of the owned books' quantities

    bool hasGaps() const { return missing > 0; }
    QString ownedText() const;   // "1–50, 52, Annual 1–3"
    QString gapsText() const;    // "51, 53–59"
    QString unreadText() const;  // "SPECIAL, FCBD"
};

SeriesRuns BuildRuns(std::span<const BookIssue> books);

// "first–last" with an en dash, or the single issue; a prefix goes before
// each span ("Annual 1–3").
QString SpanText(const QString& prefix, const IssueSpan& span);
QString SpansText(const QString& prefix, const std::vector<IssueSpan>& spans);

}  // namespace insight
