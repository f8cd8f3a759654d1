#include "insight/wanted_issues.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <set>

#include "insight/issue_number.h"

namespace insight {

namespace {

// A number or a range, after an optional prefix of words and an optional '#'.
const QRegularExpression kItem(
    QStringLiteral(
        R"(^(?:(\p{L}[\p{L}\s.'-]*?)\s*)?#?\s*(-?\d{1,%1})\s*(?:[-–—]\s*(-?\d{1,%1}))?$)")
        .arg(kMostDigits));

// Each prefix's spelling in the series and its whole numbers present.
struct SeriesIssues {
    std::map<QString, QString> spelling;          // prefix key -> as stored
    std::set<std::pair<QString, long long>> has;  // (prefix key, whole number)
};

SeriesIssues ReadSeries(std::span<const QString> comicNos) {
    SeriesIssues issues;
    for (const QString& stored : comicNos) {
        const IssueNumber reading = ReadIssueNumber(stored);
        if (!reading.isNumber) continue;
        issues.spelling.try_emplace(reading.prefixKey, reading.prefix);
        if (reading.value.isWhole())
            issues.has.insert({reading.prefixKey, reading.value.numerator});
    }
    return issues;
}

// The ranges of each prefix key, sorted and merged where they overlap or touch.
std::map<QString, std::vector<IssueRange>> Merged(const std::vector<IssueRange>& ranges) {
    std::map<QString, std::vector<IssueRange>> byKey;
    for (const IssueRange& range : ranges) byKey[PrefixKey(range.prefix)].push_back(range);
    for (auto& [key, list] : byKey) {
        std::sort(list.begin(), list.end(),
                  [](const IssueRange& a, const IssueRange& b) { return a.first < b.first; });
        std::vector<IssueRange> merged;
        for (const IssueRange& range : list) {
            if (!merged.empty() && range.first <= merged.back().last + 1)
                merged.back().last = std::max(merged.back().last, range.last);
            else
                merged.push_back(range);
        }
        list = std::move(merged);
    }
    return byKey;
}

long long CountToAdd(const std::map<QString, std::vector<IssueRange>>& byKey,
                     const SeriesIssues& series) {
    long long count = 0;
    for (const auto& [key, list] : byKey) {
        for (const IssueRange& range : list) {
            count += range.last - range.first + 1;
            const auto from = series.has.lower_bound({key, range.first});
            const auto to = series.has.upper_bound({key, range.last});
            count -= std::distance(from, to);
        }
    }
    return count;
}

QString Spelling(const QString& key, const IssueRange& range, const SeriesIssues& series) {
    const auto known = series.spelling.find(key);
    if (known != series.spelling.end()) return known->second;
    // Issue numbers are kept in capitals, as the window's issue box types them.
    return range.prefix.simplified().toUpper();
}

QString Number(const QString& prefix, long long number) {
    return prefix.isEmpty() ? QString::number(number) : prefix + ' ' + QString::number(number);
}

}  // namespace

QString ReadIssueRanges(const QString& text, std::vector<IssueRange>& ranges) {
    ranges.clear();
    const QStringList items = text.split(',', Qt::SkipEmptyParts);
    for (const QString& raw : items) {
        const QString item = raw.trimmed();
        if (item.isEmpty()) continue;
        const QRegularExpressionMatch match = kItem.match(item);
        if (!match.hasMatch())
            return QStringLiteral(
                       "\"%1\" is not an issue number or a range of whole numbers "
                       "such as 1–100.")
                .arg(item);
        IssueRange range{match.captured(1).simplified(), match.captured(2).toLongLong(), 0};
        range.last = match.hasCaptured(3) ? match.captured(3).toLongLong() : range.first;
        if (range.last < range.first)
            return QStringLiteral(
                       "The range %1 runs backwards: write it from the lower number "
                       "to the higher, such as %2–%3.")
                .arg(item)
                .arg(range.last)
                .arg(range.first);
        ranges.push_back(range);
    }
    if (ranges.empty()) return QStringLiteral("Type the issues to add, such as 1–100.");
    return {};
}

WantedPlan PlanWantedIssues(const QString& text, std::span<const QString> existingComicNos) {
    std::vector<IssueRange> ranges;
    if (QString error = ReadIssueRanges(text, ranges); !error.isEmpty()) return {{}, error};
    const SeriesIssues series = ReadSeries(existingComicNos);
    const auto byKey = Merged(ranges);
    const long long count = CountToAdd(byKey, series);
    if (count == 0)
        return {{},
                QStringLiteral("The series already has a book of every issue in %1.").arg(text)};
    if (count > kMostWantedAtOnce)
        return {{},
                QStringLiteral("%1 would add %2 books; at most %3 are added at once.  Choose a "
                               "smaller range.")
                    .arg(text.trimmed(), QLocale(QLocale::English).toString(count),
                         QLocale(QLocale::English).toString(kMostWantedAtOnce))};
    WantedPlan plan;
    for (const auto& [key, list] : byKey) {
        const QString prefix = Spelling(key, list.front(), series);
        for (const IssueRange& range : list)
            for (long long n = range.first; n <= range.last; ++n)
                if (!series.has.contains({key, n})) plan.numbers << Number(prefix, n);
    }
    return plan;
}

}  // namespace insight
