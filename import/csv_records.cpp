#include "import/csv_records.h"

#include <array>
#include <cstring>
#include <string_view>

#include "import/import_error.h"
#include "import/limits.h"
#include "import/recent_texts.h"
#include "platform/paradox/codepage.h"

namespace import {

namespace {

constexpr std::array<char, 4> kDelimiters = {',', ';', '\t', '|'};

// The delimiter the header row uses most, outside quotes.
QChar GuessDelimiter(QByteArrayView header) {
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

// Whether `bytes` hold an odd number of quotes: a quoted field left open.
bool OddQuotes(QByteArrayView bytes) {
    bool odd = false;
    const char* const end = bytes.data() + bytes.size();
    for (const char* at = bytes.data();
         (at = static_cast<const char*>(std::memchr(at, '"', end - at))) != nullptr; ++at)
        odd = !odd;
    return odd;
}

// Puts the fields of a record in UTF-8 into `fields` (whose room is kept).
// The delimiter and quotes are ASCII, so the bytes are split as they are and
// each field decoded once (or shared); `field` is room for a field of
// several runs.
void SplitFields(QByteArrayView record, char delimiter, QStringList& fields, std::string& field,
                 RecentTexts& texts) {
    fields.clear();
    field.clear();
    const char* const end = record.data() + record.size();
    const char* runStart = record.data();  // the bytes since here go into the field as they are
    const auto takeRun = [&](const char* runEnd) { field.append(runStart, runEnd - runStart); };
    const auto endField = [&](const char* fieldEnd) {
        takeRun(fieldEnd);
        fields.push_back(texts.Text(field));
        field.clear();
    };
    bool quoted = false;
    for (const char* at = record.data(); at < end; ++at) {
        if (quoted) {
            // Inside quotes only a quote matters: skipped to at once.
            at = static_cast<const char*>(std::memchr(at, '"', end - at));
            if (at == nullptr) break;
            takeRun(at);
            if (at + 1 < end && at[1] == '"')
                ++at;  // a doubled quote: the second one starts the next run
            else
                quoted = false;
            runStart = quoted ? at : at + 1;
        } else if (*at == '"') {
            takeRun(at);
            quoted = true;
            runStart = at + 1;
        } else if (*at == delimiter) {
            endField(at);
            runStart = at + 1;
        }
    }
    endField(end);
}

}  // namespace

CsvRecords::CsvRecords(const QString& path)
    : path_(path),
      file_(path),
      lineBuffer_(std::make_unique_for_overwrite<char[]>(kMaxRecordBytes + 2)),
      texts_(std::make_unique<RecentTexts>([](std::string_view utf8) {
          return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
      })) {
    if (!file_.open(QIODevice::ReadOnly))
        throw EImportError(
            QStringLiteral("%1: cannot read it (%2)").arg(path, file_.errorString()).toStdString());
    if (file_.peek(3) == QByteArray("\xEF\xBB\xBF")) file_.read(3);  // the UTF-8 mark
    const qint64 start = file_.pos();
    const QByteArrayView header = ReadRecordBytes();
    if (header.trimmed().isEmpty()) Fail(1, QStringLiteral("the file has no header row"));
    delimiter_ = GuessDelimiter(header);
    file_.seek(start);
    nextLine_ = 1;
}

CsvRecords::~CsvRecords() = default;

void CsvRecords::Fail(int line, const QString& reason) const {
    throw EImportError(
        QStringLiteral("%1 line %2: %3").arg(path_).arg(line).arg(reason).toStdString());
}

QByteArrayView CsvRecords::ReadRecordBytes() {
    // The lines of a record are read one after another into the one buffer:
    // no record is copied, and readLine(room) would allocate room bytes (a
    // megabyte, mapped and unmapped again) for every line.
    char* const record = lineBuffer_.get();
    qint64 size = 0;
    line_ = nextLine_;
    bool quoted = false;
    while (!file_.atEnd()) {
        const qint64 room = kMaxRecordBytes + 1 - size;
        if (room < 2)
            Fail(line_, QStringLiteral("a record longer than %1 bytes").arg(kMaxRecordBytes));
        const qint64 n = file_.readLine(record + size, room + 1);
        if (n < 0) Fail(line_, file_.errorString());
        const QByteArrayView part(record + size, n);
        size += n;
        ++nextLine_;
        if (OddQuotes(part)) quoted = !quoted;
        const bool lineEnded = size > 0 && record[size - 1] == '\n';
        if (size > kMaxRecordBytes || (!lineEnded && !file_.atEnd()))
            Fail(line_, QStringLiteral("a record longer than %1 bytes").arg(kMaxRecordBytes));
        if (!quoted) break;
    }
    if (quoted) Fail(line_, QStringLiteral("a quoted field is not closed"));
    while (size > 0 && (record[size - 1] == '\n' || record[size - 1] == '\r')) --size;
    return QByteArrayView(record, size);
}

bool CsvRecords::Next(QStringList& fields) {
    do {
        if (file_.atEnd()) return false;
        QByteArrayView bytes = ReadRecordBytes();
        if (bytes.isEmpty()) continue;  // a blank line
        if (!bytes.isValidUtf8()) {
            sawWindows1252_ = true;
            converted_ = paradox::CodePage::windows1252().toUtf8(
                reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            bytes = converted_;
        }
        SplitFields(bytes, delimiter_.toLatin1(), fields, field_, *texts_);
        return true;
    } while (true);
}

QString CsvRecords::encoding() const {
    return sawWindows1252_ ? QStringLiteral("Windows-1252") : QStringLiteral("UTF-8");
}

}  // namespace import
