#include "import/mapping.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "platform/paradox/codepage.h"
#include "store/collection.h"
#include "store/condition.h"

namespace import {

namespace {

// Field positions of the books row (store/collection.h).
enum BookField {
    kEntry,
    kComicNo,
    kEdition,
    kTitle,
    kArtist,
    kWriter,
    kQty,
    kPaid,
    kLow,
    kHigh,
    kPerc,
    kBookNote,
    kLocation,
    kWanted,
    kForSale,
    kAutograph,
    kBookFields
};
constexpr int kSeriesWidth = 60, kPublisherWidth = 30, kEditionWidth = 10, kTextWidth = 80;
constexpr int kNewBookPerc = 100;  // the grade the collection window gives a new book
constexpr int kMaxShort = 32767;

// The problems of the book being mapping, each naming where it came from.
struct Mapping {
    std::vector<Problem>& problems;
    const QString& origin;
    qint64 originNumber;

    QString Origin() const { return JoinedOrigin(origin, originNumber); }
};

bool Encodable(const QString& text, QString& bad) {
    // Plain ASCII and the Latin-1 letters are in the code page: most text
    // needs no conversion to tell.
    const bool latin = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF);
    });
    if (latin) return true;
    std::string out, badChar;
    if (paradox::CodePage::windows1252().fromUtf8(text.toStdString(), out, badChar)) return true;
    bad = QString::fromStdString(badChar);
    return false;
}

// The nearest text the code page holds: accents dropped where the letter
// exists without them, anything else a question mark.
QString Transliterated(const QString& text) {
    QString result;
    for (const QChar c : text) {
        QString ignored;
        if (Encodable(QString(c), ignored)) {
            result += c;
            continue;
        }
        QString plain;
        for (const QChar part : QString(c).normalized(QString::NormalizationForm_KD))
            if (part.category() != QChar::Mark_NonSpacing) plain += part;
        result += !plain.isEmpty() && Encodable(plain, ignored) ? plain : QStringLiteral("?");
    }
    return result;
}

// `value` as the field of `width` characters (0: no limit) can hold it;
// a change is recorded as a problem.
QString Fit(const QString& value, int width, const char* field, Mapping& mapping) {
    QString stored = value;
    QStringList reasons;
    QString bad;
    if (!Encodable(stored, bad)) {
        stored = Transliterated(stored);
        reasons << QStringLiteral("the character %1 is outside the tables' code page").arg(bad);
    }
    if (width > 0 && stored.size() > width) {
        stored = stored.left(width).trimmed();
        reasons << QStringLiteral("longer than %1 characters").arg(width);
    }
    if (!reasons.isEmpty())
        mapping.problems.push_back({mapping.Origin(), QString::fromLatin1(field),
                                    reasons.join(QStringLiteral("; ")), value, stored});
    return stored;
}

// The text as UTF-8.  Latin-1 text, nearly all of it, is written straight
// into the string, without the byte array toStdString builds first.
std::string Utf8(const QString& text) {
    const auto* chars = reinterpret_cast<const char16_t*>(text.constData());
    const auto size = static_cast<std::size_t>(text.size());
    if (std::all_of(chars, chars + size, [](char16_t u) { return u < 0x80; })) {
        std::string ascii(size, '\0');  // the usual case: a byte per character, no checks
        std::transform(chars, chars + size, ascii.begin(),
                       [](char16_t u) { return static_cast<char>(u); });
        return ascii;
    }
    std::string utf8;
    utf8.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x100) return text.toStdString();
        if (u < 0x80) {
            utf8 += static_cast<char>(u);
        } else {
            utf8 += static_cast<char>(0xC0 | (u >> 6));
            utf8 += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return utf8;
}

// The people of one role, joined with ", " (one alone is taken as it is).
QString Joined(const QStringList& people) {
    return people.size() == 1 ? people.front() : people.join(QStringLiteral(", "));
}

paradox::Value Text(const QString& text) {
    return text.isEmpty() ? paradox::Value() : paradox::Value::text(Utf8(text));
}

// `value` as stored in a field of `width` characters (0: no limit), changed
// to fit as Fit does.  ASCII text that fits, nearly all, is written straight
// into the value in one pass over it.
paradox::Value FittedText(const QString& value, int width, const char* field, Mapping& mapping) {
    const auto* const chars = reinterpret_cast<const char16_t*>(value.constData());
    const qsizetype size = value.size();
    if ((width == 0 || size <= width) &&
        std::all_of(chars, chars + size, [](char16_t u) { return u < 0x80; })) {
        if (size == 0) return {};
        std::string ascii(static_cast<std::size_t>(size), '\0');
        std::transform(chars, chars + size, ascii.begin(),
                       [](char16_t u) { return static_cast<char>(u); });
        return paradox::Value::text(std::move(ascii));
    }
    return Text(Fit(value, width, field, mapping));
}

std::optional<bool> ParseYesNo(const QString& text) {
    static const QStringList yes = {"true",   "yes", "y",   "1",  "x",
                                    "signed", "on",  "oui", "ja", "si"};
    static const QStringList no = {"", "false", "no", "n", "0", "off", "non", "nein"};
    const QString word = text.trimmed().toLower();
    if (yes.contains(word)) return true;
    if (no.contains(word)) return false;
    return std::nullopt;
}

paradox::Value YesNo(const QString& text, const char* field, Mapping& mapping) {
    if (text.isEmpty()) return paradox::Value::boolean(false);  // the usual case, told at once
    const std::optional<bool> value = ParseYesNo(text);
    if (!value)
        mapping.problems.push_back({mapping.Origin(), QString::fromLatin1(field),
                                    QStringLiteral("not yes or no"), text, QStringLiteral("No")});
    return paradox::Value::boolean(value.value_or(false));
}

// `text` with each run of white space made one space and none at its ends.
// Printable ASCII with single spaces, nearly all text, is so already and is
// taken as it is: QString::simplified() looks up every character.
QString Simplified(QString&& text) {
    const auto* const chars = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype size = text.size();
    bool simple = size == 0 || (chars[0] != u' ' && chars[size - 1] != u' ');
    for (qsizetype i = 0; simple && i < size; ++i)
        simple = (chars[i] > u' ' && chars[i] < 0x7F) || (chars[i] == u' ' && chars[i + 1] != u' ');
    return simple ? std::move(text) : std::move(text).simplified();
}

// Whether `text` holds nothing but spaces (told without a trimmed copy).
bool Blank(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

paradox::Value Amount(const QString& text, const char* field, Mapping& mapping) {
    if (Blank(text)) return {};
    const std::optional<double> amount = ParseAmount(text);
    if (amount && *amount >= 0) return paradox::Value::floating(*amount);
    mapping.problems.push_back({mapping.Origin(), QString::fromLatin1(field),
                                QStringLiteral("not an amount"), text, QStringLiteral("(blank)")});
    return {};
}

paradox::Value Quantity(const QString& text, Mapping& mapping) {
    if (Blank(text)) return paradox::Value::integer(1);
    // Up to four ASCII digits, nearly always, are read without toInt's conversions.
    if (text.size() <= 4 &&
        std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        int qty = 0;
        for (const QChar c : text) qty = qty * 10 + (c.unicode() - u'0');
        return paradox::Value::integer(qty);
    }
    bool ok = false;
    const int qty = text.trimmed().toInt(&ok);
    if (ok && qty >= 0 && qty <= kMaxShort) return paradox::Value::integer(qty);
    mapping.problems.push_back({mapping.Origin(), QStringLiteral("QTY"),
                                QStringLiteral("not a number of copies"), text,
                                QStringLiteral("1")});
    return paradox::Value::integer(1);
}

paradox::Value Grade(const QString& text, Mapping& mapping) {
    if (Blank(text)) return paradox::Value::integer(kNewBookPerc);
    if (const std::optional<int> perc = ParseCondition(text)) return paradox::Value::integer(*perc);
    mapping.problems.push_back({mapping.Origin(), QStringLiteral("PERC"),
                                QStringLiteral("not a condition word or a grade from 0.5 to 10"),
                                text, QString::number(kNewBookPerc)});
    return paradox::Value::integer(kNewBookPerc);
}

// The first number in `text`: digits, then a '.' or ',' and more digits
// ("NM 9,4" -> 9.4); nullopt when it holds no digit, 0 when its digits are
// of another script.
std::optional<double> FirstNumber(QStringView text) {
    const auto digitsFrom = [&text](qsizetype at) {
        while (at < text.size() && text[at].isDigit()) ++at;
        return at;
    };
    qsizetype start = 0;
    while (start < text.size() && !text[start].isDigit()) ++start;
    if (start == text.size()) return std::nullopt;
    qsizetype end = digitsFrom(start);
    if (end + 1 < text.size() && (text[end] == u'.' || text[end] == u',') &&
        text[end + 1].isDigit())
        end = digitsFrom(end + 1);
    const QStringView number = text.sliced(start, end - start);
    // ASCII digits, nearly always, read without building a string.
    std::array<char, 32> ascii{};
    const bool plain = number.size() <= qsizetype(ascii.size()) &&
                       std::all_of(number.begin(), number.end(), [](QChar c) {
                           return (c >= u'0' && c <= u'9') || c == u'.' || c == u',';
                       });
    if (!plain) return number.toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    std::transform(number.begin(), number.end(), ascii.begin(),
                   [](QChar c) { return c == u',' ? '.' : static_cast<char>(c.unicode()); });
    double value = 0;
    std::from_chars(ascii.data(), ascii.data() + number.size(), value);
    return value;
}

}  // namespace

std::optional<double> ParseAmount(const QString& text) {
    std::string digits;  // the digits, separators and signs, in order
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= u'0' && u <= u'9') || u == u'.' || u == u',' || u == u'-')
            digits += static_cast<char>(u);
        else if (c.isDigit())
            return std::nullopt;  // a digit of another script makes no amount
    }
    if (digits.empty()) return std::nullopt;
    // The separator written last is the decimal one when one or two digits
    // follow it ("12,99", "1.234,50"); any other is a thousands separator.
    const std::size_t last = digits.find_last_of(".,");
    const bool decimal = last != std::string::npos && digits.size() - last - 1 <= 2;
    const std::size_t wholeEnd = decimal ? last : digits.size();
    // "whole.fraction" built in one string, no part copied out first.
    std::string number;
    number.reserve(digits.size() + 3);
    for (std::size_t i = 0; i < wholeEnd; ++i)
        if (digits[i] != '.' && digits[i] != ',') number += digits[i];
    if (number.empty()) number += '0';
    number += '.';
    if (decimal && last + 1 < digits.size())
        number.append(digits, last + 1);
    else
        number += '0';
    double amount = 0;
    const char* end = number.data() + number.size();
    const auto [stop, error] = std::from_chars(number.data(), end, amount);
    return error == std::errc() && stop == end ? std::optional<double>(amount) : std::nullopt;
}

std::optional<int> ParseCondition(const QString& text) {
    // A number among the words ("NM 9.4", "9,2") is the grade itself.
    if (const std::optional<double> number = FirstNumber(text)) {
        const double grade = *number;
        if (grade < 0.5 || grade > 10.0) return std::nullopt;
        // The nearest step of the slider: 5 per cent per half grade.
        return static_cast<int>(std::lround(grade * 2)) * store::kPercPerGradeStep;
    }
    QString word;
    for (const QChar c : text.toLower())
        if (c >= u'a' && c <= u'z') word += c;
    struct Word {
        const char* full;
        const char* shortForm;
        int perc;
    };
    // Each word takes the highest grade of its band on the collection window's slider.
    static constexpr Word words[] = {
        {"mint", "m", 100},     {"nearmint", "nm", 95}, {"veryfine", "vf", 90}, {"fine", "fn", 75},
        {"verygood", "vg", 55}, {"good", "gd", 35},     {"fair", "fr", 15},     {"poor", "pr", 5},
    };
    for (const Word& w : words)
        if (word == QLatin1String(w.full) || word == QLatin1String(w.shortForm)) return w.perc;
    if (word == QLatin1String("f")) return 75;
    if (word == QLatin1String("g")) return 35;
    if (word == QLatin1String("p")) return 5;
    return std::nullopt;
}

QString JoinedOrigin(const QString& origin, qint64 originNumber) {
    return originNumber < 0 ? origin : origin + QString::number(originNumber);
}

MappedBook MapBook(ImportedBook book) {
    MappedBook mapped;
    if (!book.refusal.isEmpty()) {
        mapped.refusal = std::move(book.refusal);
        return mapped;
    }
    const QString series = Simplified(std::move(book.series)).toUpper();
    const QString issue = Simplified(std::move(book.issue));
    if (series.isEmpty())
        mapped.refusal = QStringLiteral("no series name");
    else if (issue.isEmpty())
        mapped.refusal = QStringLiteral("no issue number");
    if (!mapped.refusal.isEmpty()) return mapped;

    Mapping mapping{mapped.problems, book.origin, book.originNumber};
    mapped.series = Fit(series, kSeriesWidth, "SERIES", mapping);
    mapped.publisher =
        Fit(Simplified(std::move(book.publisher)).toUpper(), kPublisherWidth, "PUBLISHER", mapping);
    // Each value built in its place, field after field (the problems are
    // listed in that order too): no blank row first, each value moved over.
    paradox::Row row;
    row.reserve(kBookFields);
    row.emplace_back();  // ENTRY, the series' when stored
    row.push_back(Text(store::AlignComicNo(Fit(issue, store::kComicNoWidth, "COMIC_NO", mapping))));
    row.push_back(
        FittedText(Simplified(std::move(book.edition)), kEditionWidth, "EDITION", mapping));
    row.push_back(FittedText(Simplified(std::move(book.title)), kTextWidth, "TITLE", mapping));
    row.push_back(FittedText(Joined(book.artists), kTextWidth, "ARTIST", mapping));
    row.push_back(FittedText(Joined(book.writers), kTextWidth, "WRITER", mapping));
    row.push_back(Quantity(book.quantity, mapping));
    row.push_back(Amount(book.paid, "PAID", mapping));
    row.push_back(Amount(book.low, "LOW", mapping));
    row.push_back(Amount(book.high, "HIGH", mapping));
    row.push_back(Grade(book.condition, mapping));
    row.push_back(FittedText(std::move(book.notes).trimmed(), 0, "BOOKNOTE", mapping));
    row.push_back(FittedText(std::move(book.location).trimmed(), 0, "LOCATION", mapping));
    row.push_back(YesNo(book.wanted, "WANTED", mapping));
    row.push_back(YesNo(book.forSale, "FORSALE", mapping));
    row.push_back(YesNo(book.autographed, "AUTOGRAPH", mapping));
    Q_ASSERT(row.size() == kBookFields && row[kAutograph].isBool());
    mapped.row = CompactRow(row);
    return mapped;
}

}  // namespace import
