#include "tools/csv.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/base/money.h"

namespace admin::csv {

namespace {

bool needsQuotes(const QString& text) {
    for (QChar c : text)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    return false;
}

QString shortestDouble(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

[[noreturn]] void fault(const QString& fileName, int line, const QString& reason) {
    throw EImportError(
        QStringLiteral("%1 line %2: %3").arg(fileName).arg(line).arg(reason).toStdString());
}

}  // namespace

void AppendRecord(QByteArray& out, const QStringList& fields) {
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        const QString& text = fields[i];
        if (needsQuotes(text)) {
            QString quoted = text;
            quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
            out += '"' + quoted.toUtf8() + '"';
        } else {
            out += text.toUtf8();
        }
    }
    out += "\r\n";
}

QString FormatValue(const paradox::Value& value, paradox::FieldType type) {
    using T = paradox::FieldType;
    if (value.isNull()) return QString();
    if (value.isBool()) return value.asBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isInt()) return QString::number(value.asInt());
    if (value.isDouble()) {
        if (type == T::Money) return QString::number(value.asDouble(), 'f', 2);
        return shortestDouble(value.asDouble());
    }
    if (value.isText()) return QString::fromStdString(value.asText());
    throw EImportError("a field of raw bytes cannot be written to CSV");
}

// --- reading -------------------------------------------------------------------

namespace {

// Reads records from bytes in memory or, a chunk at a time, from a device.
class Reader {
public:
    Reader(const QByteArray& data, const QString& fileName) : data_(data), fileName_(fileName) {}
    Reader(QIODevice& device, const QString& fileName) : device_(&device), fileName_(fileName) {}

    bool next(Record& record) {
        dropConsumed();
        if (!has()) return false;
        if (line_ == 1 && pos_ == 0 && startsWithByteOrderMark())
            fault(fileName_, 1, "the file starts with a byte-order mark");
        record = this->record();
        return true;
    }

    std::vector<Record> records() {
        std::vector<Record> out;
        Record record;
        while (next(record)) out.push_back(std::move(record));
        return out;
    }

private:
    static constexpr qsizetype kChunk = 1 << 20;

    // True when there is a byte at pos_, reading more of the device if need be.
    bool has() {
        if (pos_ < data_.size()) return true;
        if (!device_) return false;
        const QByteArray more = device_->read(kChunk);
        if (more.isEmpty()) {
            if (!device_->atEnd())
                fault(fileName_, line_, "the file cannot be read: " + device_->errorString());
            return false;
        }
        data_ += more;
        return true;
    }

    void dropConsumed() {
        if (!device_ || pos_ < kChunk) return;
        data_.remove(0, pos_);
        pos_ = 0;
    }

    bool startsWithByteOrderMark() {
        while (device_ && data_.size() < 3 && !device_->atEnd()) data_ += device_->read(kChunk);
        return data_.startsWith("\xEF\xBB\xBF");
    }

    Record record() {
        Record rec;
        rec.line = line_;
        spanningQuoteLine_ = 0;
        for (;;) {
            rec.fields << field(rec.line);
            if (!has()) break;
            char c = data_.at(pos_);
            if (c == ',') {
                ++pos_;
                continue;
            }
            endOfLine();
            break;
        }
        return rec;
    }

    void endOfLine() {
        if (data_.at(pos_) == '\r') ++pos_;
        if (has() && data_.at(pos_) == '\n') ++pos_;
        ++line_;
    }

    // A fault after a quoted field that ran over several lines most likely
    // comes from a closing quote missing there: it names where that quote
    // opened, and where the fault showed.
    [[noreturn]] void faultInRecord(const QString& reason) {
        if (spanningQuoteLine_ > 0)
            fault(fileName_, spanningQuoteLine_,
                  QStringLiteral("the quoted field that opens here is not closed (line %1: %2)")
                      .arg(line_)
                      .arg(reason));
        fault(fileName_, line_, reason);
    }

    QString field(int recordLine) {
        QByteArray bytes;
        if (has() && data_.at(pos_) == '"') {
            const int openLine = line_;
            ++pos_;
            for (;;) {
                if (!has()) fault(fileName_, openLine, "a quoted field is not closed");
                char c = data_.at(pos_++);
                if (c == '"') {
                    if (has() && data_.at(pos_) == '"') {
                        bytes += '"';
                        ++pos_;
                        continue;
                    }
                    break;
                }
                if (c == '\n') ++line_;
                bytes += c;
            }
            if (line_ != openLine && spanningQuoteLine_ == 0) spanningQuoteLine_ = openLine;
            if (has() && data_.at(pos_) != ',' && data_.at(pos_) != '\r' && data_.at(pos_) != '\n')
                faultInRecord("text follows the closing quote of a field");
        } else {
            while (has()) {
                char c = data_.at(pos_);
                if (c == ',' || c == '\r' || c == '\n') break;
                if (c == '"') faultInRecord("a quote inside an unquoted field");
                bytes += c;
                ++pos_;
            }
        }
        return decode(bytes, recordLine);
    }

    QString decode(const QByteArray& bytes, int recordLine) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder(bytes);
        if (decoder.hasError()) fault(fileName_, recordLine, "the text is not valid UTF-8");
        return text;
    }

    QByteArray data_;              // from pos_ on: the bytes not yet read
    QIODevice* device_ = nullptr;  // where more come from, if anywhere
    const QString& fileName_;
    qsizetype pos_ = 0;
    int line_ = 1;
    int spanningQuoteLine_ = 0;  // where the record's first multi-line quoted field opened
};

[[noreturn]] void bad(const QString& reason) { throw EImportError(reason.toStdString()); }

paradox::Value parseInteger(const QString& text, long long low, long long high) {
    bool ok = false;
    long long n = text.toLongLong(&ok);
    if (!ok) bad(QStringLiteral("'%1' is not a whole number").arg(text));
    if (n < low || n > high)
        bad(QStringLiteral("%1 is out of range (%2 to %3)").arg(n).arg(low).arg(high));
    return paradox::Value::integer(n);
}

paradox::Value parseDecimal(const QString& text, bool money) {
    static const QRegularExpression kMoney(QStringLiteral("^-?[0-9]+\\.[0-9]{2}$"));
    if (money && !kMoney.match(text).hasMatch())
        bad(QStringLiteral("'%1' is not an amount with two decimals (like 12.50)").arg(text));
    const QByteArray latin = text.toLatin1();
    double value = 0;
    auto result = std::from_chars(latin.constData(), latin.constData() + latin.size(), value);
    if (result.ec != std::errc() || result.ptr != latin.constData() + latin.size() ||
        !std::isfinite(value))
        bad(QStringLiteral("'%1' is not a number").arg(text));
    if (money && !IsMoneyInRange(value))
        bad(QStringLiteral("%1 is too large: amounts must stay below %2")
                .arg(text, QString::number(kMoneyLimit, 'f', 2)));
    return paradox::Value::floating(value);
}

}  // namespace

std::vector<Record> ParseFile(const QByteArray& data, const QString& fileName) {
    return Reader(data, fileName).records();
}

void ForEachRecord(QIODevice& device, const QString& fileName,
                   const std::function<void(const Record&)>& take) {
    Reader reader(device, fileName);
    Record record;
    while (reader.next(record)) take(record);
}

paradox::Value ParseValue(const QString& text, const paradox::FieldDef& field) {
    using T = paradox::FieldType;
    if (text.isEmpty()) return paradox::Value::null();
    switch (field.type) {
        case T::Alpha:
            if (text.size() > field.size)
                bad(QStringLiteral("the text is longer than %1 characters").arg(field.size));
            return paradox::Value::text(text.toStdString());
        case T::Memo:
        case T::FmtMemo:
            return paradox::Value::text(text.toStdString());
        case T::Short:
            return parseInteger(text, std::numeric_limits<std::int16_t>::min(),
                                std::numeric_limits<std::int16_t>::max());
        case T::Long:
        case T::AutoInc:
            return parseInteger(text, std::numeric_limits<std::int32_t>::min(),
                                std::numeric_limits<std::int32_t>::max());
        case T::Money:
            return parseDecimal(text, true);
        case T::Number:
            return parseDecimal(text, false);
        case T::Logical:
            if (text == QLatin1String("true")) return paradox::Value::boolean(true);
            if (text == QLatin1String("false")) return paradox::Value::boolean(false);
            bad(QStringLiteral("'%1' is neither true nor false").arg(text));
        default:
            bad(QStringLiteral("fields of this type cannot be imported"));
    }
}

}  // namespace admin::csv
