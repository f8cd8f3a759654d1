#include "insight/runs.h"

#include <QSet>
#include <map>

namespace insight {

namespace {

constexpr QChar kEnDash(0x2013);

struct Group {
    QString prefix;
    std::map<IssueValue, QString> values;  // each owned value, written as first met
};

QString ValueText(const IssueValue& value, const QString& label) {
    return value.isWhole() ? QString::number(value.numerator) : label;
}

bool Follows(const IssueSpan& span, const IssueValue& value) {
    return value.isWhole() && span.last.isWhole() && value.numerator == span.last.numerator + 1;
}

std::vector<IssueSpan> OwnedSpans(const std::map<IssueValue, QString>& values) {
    std::vector<IssueSpan> spans;
    for (const auto& [value, label] : values) {
        if (!spans.empty() && Follows(spans.back(), value))
            spans.back().last = value;
        else
            spans.push_back({value, value, label});
    }
    return spans;
}

// The whole numbers missing between neighbouring owned whole numbers.
std::vector<IssueSpan> GapSpans(const std::map<IssueValue, QString>& values) {
    std::vector<IssueSpan> gaps;
    const IssueValue* previous = nullptr;
    for (const auto& [value, label] : values) {
        if (!value.isWhole()) continue;
        if (previous && value.numerator > previous->numerator + 1)
            gaps.push_back({{previous->numerator + 1, 1}, {value.numerator - 1, 1}, {}});
        previous = &value;
    }
    return gaps;
}

QString UnreadLabel(const QString& text) { return text.isEmpty() ? "(blank)" : text; }

}  // namespace

long long IssueSpan::count() const {
    return first.isWhole() && last.isWhole() ? last.numerator - first.numerator + 1 : 1;
}

QString SpanText(const QString& prefix, const IssueSpan& span) {
    QString text = prefix.isEmpty() ? QString() : prefix + ' ';
    text += ValueText(span.first, span.label);
    if (span.last != span.first) text += kEnDash + ValueText(span.last, span.label);
    return text;
}

QString SpansText(const QString& prefix, const std::vector<IssueSpan>& spans) {
    QStringList texts;
    for (const IssueSpan& span : spans) texts << SpanText(prefix, span);
    return texts.join(", ");
}

SeriesRuns BuildRuns(std::span<const BookIssue> books) {
    std::map<QString, Group> groups;  // by prefix key: the main run ("") first
    QSet<QString> unread;
    SeriesRuns result;
    for (const BookIssue& book : books) {
        if (book.qty <= 0) continue;
        result.ownedCopies += book.qty;
        const IssueNumber reading = ReadIssueNumber(book.comicNo);
        if (!reading.isNumber) {
            unread.insert(UnreadLabel(reading.text));
            continue;
        }
        Group& group = groups[reading.prefixKey];
        if (group.values.empty() && group.prefix.isEmpty()) group.prefix = reading.prefix;
        group.values.try_emplace(reading.value, reading.numberText);
    }
    for (const auto& [key, group] : groups) {
        PrefixRuns runs{group.prefix, key, OwnedSpans(group.values), GapSpans(group.values)};
        result.ownedIssues += static_cast<int>(group.values.size());
        for (const IssueSpan& gap : runs.gaps) result.missing += gap.count();
        result.runs.push_back(std::move(runs));
    }
    result.unread = QStringList(unread.begin(), unread.end());
    result.unread.sort();
    result.ownedIssues += static_cast<int>(result.unread.size());
    return result;
}

QString SeriesRuns::ownedText() const {
    QStringList texts;
    for (const PrefixRuns& r : runs) texts << SpansText(r.prefix, r.owned);
    return texts.join(", ");
}

QString SeriesRuns::gapsText() const {
    QStringList texts;
    for (const PrefixRuns& r : runs)
        if (!r.gaps.empty()) texts << SpansText(r.prefix, r.gaps);
    return texts.join(", ");
}

QString SeriesRuns::unreadText() const { return unread.join(", "); }

}  // namespace insight
