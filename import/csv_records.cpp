#include "import/csv_records.h"

#include <array>
#include <cstring>

#include "import/import_error.h"
#include "import/limits.h"
#include "platform/paradox/codepage.h"

namespace import {

namespace {

constexpr std::array<char, 4> kDelimiters = {',', ';', '\t', '|'};

// The delimiter the header row uses most, outside quotes.
QChar GuessDelimiter(const QByteArray& header) {
    std::array<int, kDelimiters.size()> counts{};
    bool quoted = false;
    for (const char c : header) {
        if (c == '"') quoted = !quoted;
        for (std::size_t d = 0; d < kDelimiters.size(); ++d)
            if (!quoted && c == kDelimiters[d]) ++counts[d];
    }
    std::size_t best = 0;
    for (std::size_t d = 1; d < kDelimiters.size(); ++d)
        if (counts[d] > counts[best]) best = d;
    return QLatin1Char(kDelimiters[best]);
}

QString Decode(const QByteArray& bytes, bool& windows1252) {
    if (bytes.isValidUtf8()) return QString::fromUtf8(bytes);
    windows1252 = true;
    const std::string converted = paradox::CodePage::windows1252().toUtf8(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size());
    return QString::fromStdString(converted);
}

// Whether `bytes` hold an odd number of quotes: a quoted field left open.
bool OddQuotes(QByteArrayView bytes) {
    bool odd = false;
    const char* const end = bytes.data() + bytes.size();
    for (const char* at = bytes.data();
         (at = static_cast<const char*>(std::memchr(at, '"', end - at))) != nullptr; ++at)
        odd = !odd;
    return odd;
}

// The fields of a record; `expected` is how many the record before had.
QStringList SplitFields(const QString& record, QChar delimiter, qsizetype expected) {
    QStringList fields;
    fields.reserve(expected);  // no growing the list field by field
    QString field;
    bool quoted = false;
    qsizetype runStart = 0;  // the characters since here go into the field as they are
    const auto takeRun = [&](qsizetype end) {
        const QStringView run = QStringView(record).sliced(runStart, end - runStart);
        if (field.isEmpty())
            field = run.toString();  // most fields are one run: one string built
        else
            field += run;
    };
    const auto endField = [&](qsizetype end) {
        takeRun(end);
        fields.push_back(std::move(field));
        field = QString();
    };
    for (qsizetype i = 0; i < record.size(); ++i) {
        const QChar c = record[i];
        if (quoted) {
            if (c != QLatin1Char('"')) continue;
            takeRun(i);
            if (i + 1 < record.size() && record[i + 1] == QLatin1Char('"'))
                ++i;  // a doubled quote: the second one starts the next run
            else
                quoted = false;
            runStart = quoted ? i : i + 1;
        } else if (c == QLatin1Char('"')) {
            takeRun(i);
            quoted = true;
            runStart = i + 1;
        } else if (c == delimiter) {
            endField(i);
            runStart = i + 1;
        }
    }
    endField(record.size());
    return fields;
}

}  // namespace

CsvRecords::CsvRecords(const QString& path)
    : path_(path),
      file_(path),
      lineBuffer_(std::make_unique_for_overwrite<char[]>(kMaxRecordBytes + 2)) {
    if (!file_.open(QIODevice::ReadOnly))
        throw EImportError(
            QStringLiteral("%1: cannot read it (%2)").arg(path, file_.errorString()).toStdString());
    if (file_.peek(3) == QByteArray("\xEF\xBB\xBF")) file_.read(3);  // the UTF-8 mark
    const qint64 start = file_.pos();
    const QByteArray header = ReadRecordBytes();
    if (header.trimmed().isEmpty()) Fail(1, QStringLiteral("the file has no header row"));
    delimiter_ = GuessDelimiter(header);
    file_.seek(start);
    nextLine_ = 1;
}

void CsvRecords::Fail(int line, const QString& reason) const {
    throw EImportError(
        QStringLiteral("%1 line %2: %3").arg(path_).arg(line).arg(reason).toStdString());
}

QByteArray CsvRecords::ReadRecordBytes() {
    QByteArray record;
    line_ = nextLine_;
    bool quoted = false;
    while (!file_.atEnd()) {
        const qint64 room = kMaxRecordBytes + 1 - record.size();
        if (room < 2)
            Fail(line_, QStringLiteral("a record longer than %1 bytes").arg(kMaxRecordBytes));
        // Into the one buffer: readLine(room) would allocate room bytes (a
        // megabyte, mapped and unmapped again) for every line.
        const qint64 n = file_.readLine(lineBuffer_.get(), room + 1);
        if (n < 0) Fail(line_, file_.errorString());
        const QByteArrayView part(lineBuffer_.get(), n);
        ++nextLine_;
        record += part;
        if (OddQuotes(part)) quoted = !quoted;
        if (record.size() > kMaxRecordBytes || (!record.endsWith('\n') && !file_.atEnd()))
            Fail(line_, QStringLiteral("a record longer than %1 bytes").arg(kMaxRecordBytes));
        if (!quoted) break;
    }
    if (quoted) Fail(line_, QStringLiteral("a quoted field is not closed"));
    while (record.endsWith('\n') || record.endsWith('\r')) record.chop(1);
    return record;
}

bool CsvRecords::Next(QStringList& fields) {
    do {
        if (file_.atEnd()) return false;
        const QByteArray bytes = ReadRecordBytes();
        if (bytes.isEmpty()) continue;  // a blank line
        fields = SplitFields(Decode(bytes, sawWindows1252_), delimiter_, fieldCount_);
        fieldCount_ = fields.size();
        return true;
    } while (true);
}

QString CsvRecords::encoding() const {
    return sawWindows1252_ ? QStringLiteral("Windows-1252") : QStringLiteral("UTF-8");
}

}  // namespace import
