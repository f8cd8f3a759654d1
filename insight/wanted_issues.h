#pragma once
// The issues to add to a series as wanted: a typed list of issues and
// ranges ("51, 53–59, Annual 2", widened to "1–100"), less the issues the
// series already has a book of, owned or not.
//
// A list that cannot be read, a range that runs backwards, nothing left to
// add, or more than kMostWantedAtOnce books are refused with a message that
// says why; nothing is planned then.

#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace insight {

inline constexpr long long kMostWantedAtOnce = 5000;

struct IssueRange {
    QString prefix;  // as typed; empty for the main run
    long long first = 0, last = 0;
};

struct WantedPlan {
    QStringList numbers;  // the issue numbers to add, as they are to be stored
    QString error;        // why nothing is planned; empty when numbers holds the plan
};

// Reads the list into `ranges`; returns the error message, empty on success.
QString ReadIssueRanges(const QString& text, std::vector<IssueRange>& ranges);

// Plans the books for `text`, given the stored issue numbers of every book
// the series has.  A prefix takes the spelling the series' books give it.
WantedPlan PlanWantedIssues(const QString& text, std::span<const QString> existingComicNos);

}  // namespace insight
