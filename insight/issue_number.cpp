#include "insight/issue_number.h"

#include <numeric>
#include <optional>

namespace insight {

namespace {

constexpr int kMostDecimals = 4;
constexpr long long kLargestDenominator = 9999;

struct VulgarFraction {
    char16_t glyph;
    int numerator, denominator;
};
constexpr VulgarFraction kVulgarFractions[] = {
    {u'½', 1, 2}, {u'¼', 1, 4}, {u'¾', 3, 4}, {u'⅓', 1, 3}, {u'⅔', 2, 3}};

std::optional<VulgarFraction> Vulgar(QChar c) {
    for (const VulgarFraction& f : kVulgarFractions)
        if (c.unicode() == f.glyph) return f;
    return std::nullopt;
}

IssueValue Reduced(long long numerator, long long denominator) {
    const long long divisor = std::gcd(numerator, denominator);
    if (divisor > 1) numerator /= divisor, denominator /= divisor;
    return {numerator, denominator};
}

// A '-' is a sign where a number may start: at the beginning or after a
// space or '#', never inside a word ("X-1" is not X minus one).
bool StartsNumber(const QString& s, qsizetype at) {
    const QChar c = s[at];
    if (Vulgar(c) || (c.isDigit() && c.digitValue() >= 0)) return true;
    if (c != '-' || at + 1 >= s.size() || !s[at + 1].isDigit()) return false;
    return at == 0 || s[at - 1].isSpace() || s[at - 1] == '#';
}

// The text before the number: words ("Annual", "Giant-Size"), an optional
// '#' at its end.  Empty is the main run; nullopt: not a prefix.
std::optional<QString> PrefixBefore(const QString& s, qsizetype numberStart) {
    QString prefix = s.left(numberStart).trimmed();
    while (prefix.endsWith('#') || prefix.endsWith('-')) prefix = prefix.chopped(1).trimmed();
    bool hasLetter = false;
    for (QChar c : prefix) {
        if (c.isLetter()) {
            hasLetter = true;
        } else if (!c.isSpace() && c != '-' && c != '.' && c != '\'') {
            return std::nullopt;
        }
    }
    if (!prefix.isEmpty() && !hasLetter) return std::nullopt;
    return prefix;
}

struct NumberScan {
    IssueValue value;
    qsizetype end = 0;  // first character after the number
};

// Reads digits at `at`, at most `most` of them; nullopt when there are none
// or too many.
std::optional<long long> Digits(const QString& s, qsizetype& at, int most) {
    long long value = 0;
    int count = 0;
    while (at < s.size() && s[at].isDigit() && s[at].digitValue() >= 0) {
        if (++count > most) return std::nullopt;
        value = value * 10 + s[at].digitValue();
        ++at;
    }
    if (count == 0) return std::nullopt;
    return value;
}

std::optional<NumberScan> ScanNumber(const QString& s, qsizetype at) {
    const bool negative = s[at] == '-';
    if (negative) ++at;
    if (const auto vulgar = Vulgar(s[at]))
        return NumberScan{
            Reduced(negative ? -vulgar->numerator : vulgar->numerator, vulgar->denominator),
            at + 1};
    const auto whole = Digits(s, at, kMostDigits);
    if (!whole) return std::nullopt;
    long long numerator = *whole, denominator = 1;
    if (at + 1 < s.size() && s[at] == '/' && s[at + 1].isDigit()) {
        ++at;
        const auto below = Digits(s, at, kMostDecimals);
        if (!below || *below == 0 || *below > kLargestDenominator) return std::nullopt;
        denominator = *below;
    } else if (at + 1 < s.size() && s[at] == '.' && s[at + 1].isDigit()) {
        ++at;
        const qsizetype first = at;
        const auto decimals = Digits(s, at, kMostDecimals);
        if (!decimals) return std::nullopt;
        for (qsizetype i = first; i < at; ++i) numerator *= 10, denominator *= 10;
        numerator += *decimals;
    } else if (at < s.size()) {
        if (const auto vulgar = Vulgar(s[at])) {  // "1½"
            numerator = numerator * vulgar->denominator + vulgar->numerator;
            denominator = vulgar->denominator;
            ++at;
        }
    }
    return NumberScan{Reduced(negative ? -numerator : numerator, denominator), at};
}

// What follows the number, without the separators that set it off: a mark
// starts with a letter or a bracket ("A", "(2ND PRINT)"); nullopt otherwise.
std::optional<QString> MarkAfter(const QString& s, qsizetype end) {
    qsizetype at = end;
    while (at < s.size() && (s[at].isSpace() || s[at] == '.' || s[at] == '-')) ++at;
    if (at < s.size() && !s[at].isLetter() && s[at] != '(' && s[at] != '[') return std::nullopt;
    return s.mid(at).trimmed();
}

}  // namespace

std::strong_ordering IssueValue::operator<=>(const IssueValue& other) const {
    // Numerators stay below 10^13 and denominators below 10^4: the products fit.
    return numerator * other.denominator <=> other.numerator * denominator;
}

QString PrefixKey(const QString& prefix) { return prefix.simplified().toCaseFolded(); }

IssueNumber ReadIssueNumber(const QString& stored) {
    IssueNumber reading;
    reading.text = stored.trimmed();
    const QString& s = reading.text;
    qsizetype start = 0;
    while (start < s.size() && !StartsNumber(s, start)) ++start;
    if (start == s.size()) return reading;
    const auto prefix = PrefixBefore(s, start);
    const auto number = prefix ? ScanNumber(s, start) : std::nullopt;
    const auto mark = number ? MarkAfter(s, number->end) : std::nullopt;
    if (!mark) return reading;
    reading.isNumber = true;
    reading.prefix = prefix->simplified();
    reading.prefixKey = PrefixKey(reading.prefix);
    reading.value = number->value;
    reading.numberText = s.mid(start, number->end - start);
    reading.mark = *mark;
    return reading;
}

}  // namespace insight
