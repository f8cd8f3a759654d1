#include "platform/db/field.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <cmath>
#include <limits>

#include "platform/base/exception.h"
#include "platform/base/money.h"
#include "platform/db/dataset.h"

namespace {

// Paradox dates count days from 1 January of the year 1 (day 1).
constexpr qint64 kJulianDayOfDayZero = 1721425;

QString dateText(std::int64_t days) {
    return QDate::fromJulianDay(days + kJulianDayOfDayZero).toString(Qt::ISODate);
}

QString timeText(std::int64_t ms) {
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)).toString(Qt::ISODate);
}

QString timestampText(double ms) {
    const qint64 perDay = 24LL * 3600 * 1000;
    qint64 total = static_cast<qint64>(ms);
    return dateText(total / perDay) + ' ' + timeText(total % perDay);
}

QString floatText(double value) { return QString::number(value, 'g', 15); }

bool parseDouble(const QString& text, double& out) {
    bool ok = false;
    out = QLocale::c().toDouble(text, &ok);
    if (!ok) out = QLocale::system().toDouble(text, &ok);
    return ok && std::isfinite(out);
}

// Money typed as it is shown: "$1,234.50", "-$3.25", "(3.25)".
bool parseShownMoney(const QString& text, double& out) {
    const std::optional<double> money = ParseMoney(text.toStdString());
    if (money) out = *money;
    return money.has_value();
}

bool parseBoolean(const QString& text, bool& out) {
    static const char* const yes[] = {"TRUE", "T", "YES", "Y", "1"};
    static const char* const no[] = {"FALSE", "F", "NO", "N", "0"};
    for (const char* word : yes)
        if (text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) return out = true, true;
    for (const char* word : no)
        if (text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) return out = false, true;
    return false;
}

}  // namespace

TField::TField(TDataSet* dataSet, QString name, TFieldType type, int size, TFieldKind kind,
               int index)
    : dataSet_(dataSet),
      name_(std::move(name)),
      type_(type),
      size_(size),
      kind_(kind),
      index_(index) {}

bool TField::IsNumeric() const { return isNumericType(type_); }

bool isNumericType(TFieldType type) {
    switch (type) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftAutoInc:
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency:
        case TFieldType::ftBCD:
            return true;
        default:
            return false;
    }
}

bool TField::IsText() const {
    return type_ == TFieldType::ftString || type_ == TFieldType::ftMemo ||
           type_ == TFieldType::ftFmtMemo;
}

const paradox::Value& TField::RawValue() const { return dataSet_->FieldValue(this); }

bool TField::IsNull() const { return RawValue().isNull(); }

QString TField::AsString() const {
    const paradox::Value& v = RawValue();
    if (v.isNull()) return QString();
    if (v.isText()) return QString::fromStdString(v.asText());
    if (v.isBool()) return v.asBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (v.isInt()) {
        if (type_ == TFieldType::ftDate) return dateText(v.asInt());
        if (type_ == TFieldType::ftTime) return timeText(v.asInt());
        return QString::number(v.asInt());
    }
    if (v.isDouble()) {
        if (type_ == TFieldType::ftDateTime) return timestampText(v.asDouble());
        return floatText(v.asDouble());
    }
    const auto& bytes = v.asBytes();
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<qsizetype>(bytes.size()))
                                   .toHex());
}

int TField::AsInteger() const {
    const paradox::Value& v = RawValue();
    if (v.isNull()) return 0;
    if (v.isInt()) return static_cast<int>(v.asInt());
    if (v.isDouble()) return static_cast<int>(std::lround(v.asDouble()));
    if (v.isBool()) return v.asBool() ? 1 : 0;
    bool ok = false;
    int value = AsString().trimmed().toInt(&ok);
    if (!ok) fail(QStringLiteral("'%1' is not a valid integer value").arg(AsString()));
    return value;
}

double TField::AsFloat() const {
    const paradox::Value& v = RawValue();
    if (v.isNull()) return 0.0;
    if (v.isDouble()) return v.asDouble();
    if (v.isInt()) return static_cast<double>(v.asInt());
    if (v.isBool()) return v.asBool() ? 1.0 : 0.0;
    double value = 0;
    if (!parseDouble(AsString().trimmed(), value))
        fail(QStringLiteral("'%1' is not a valid floating point value").arg(AsString()));
    return value;
}

bool TField::AsBoolean() const {
    const paradox::Value& v = RawValue();
    if (v.isNull()) return false;
    if (v.isBool()) return v.asBool();
    if (v.isInt()) return v.asInt() != 0;
    if (v.isDouble()) return v.asDouble() != 0.0;
    bool value = false;
    if (!parseBoolean(AsString().trimmed(), value))
        fail(QStringLiteral("'%1' is not a valid boolean value").arg(AsString()));
    return value;
}

QVariant TField::AsVariant() const {
    const paradox::Value& v = RawValue();
    if (v.isNull()) return QVariant();
    if (v.isBool()) return QVariant(v.asBool());
    if (v.isInt()) return QVariant(static_cast<qlonglong>(v.asInt()));
    if (v.isDouble()) return QVariant(v.asDouble());
    return QVariant(AsString());
}

QString TField::DisplayText() const {
    if (IsNull()) return QString();
    if (type_ == TFieldType::ftCurrency) return QString::fromStdString(FormatMoney(AsFloat()));
    return AsString();
}

QString TField::Text() const {
    if (IsNull()) return QString();
    if (type_ == TFieldType::ftCurrency) return QString::number(AsFloat(), 'f', 2);
    return AsString();
}

// --- writers -------------------------------------------------------------------

void TField::fail(const QString& message) const {
    throw EDatabaseError(QStringLiteral("Field %1: %2").arg(name_, message).toStdString());
}

paradox::Value TField::checkedInteger(long long value) const {
    long long low = std::numeric_limits<std::int32_t>::min();
    long long high = std::numeric_limits<std::int32_t>::max();
    if (type_ == TFieldType::ftSmallint) {
        low = std::numeric_limits<std::int16_t>::min();
        high = std::numeric_limits<std::int16_t>::max();
    }
    if (value < low || value > high)
        fail(QStringLiteral("%1 is out of range (%2 to %3)").arg(value).arg(low).arg(high));
    return paradox::Value::integer(value);
}

paradox::Value TField::fromDouble(double value) const {
    if (!std::isfinite(value)) fail(QStringLiteral("not a finite number"));
    switch (type_) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftAutoInc:
            if (std::fabs(value) > 4e18) fail(QStringLiteral("%1 is out of range").arg(value));
            return checkedInteger(std::llround(value));
        case TFieldType::ftBoolean:
            return paradox::Value::boolean(value != 0.0);
        case TFieldType::ftString:
        case TFieldType::ftMemo:
        case TFieldType::ftFmtMemo:
            return fromString(floatText(value));
        default:
            return paradox::Value::floating(value);
    }
}

paradox::Value TField::fromString(const QString& text) const {
    if (text.isEmpty()) return paradox::Value::null();
    switch (type_) {
        case TFieldType::ftString:
            if (size_ > 0 && text.size() > size_)
                fail(QStringLiteral("the text is longer than %1 characters").arg(size_));
            return paradox::Value::text(text.toStdString());
        case TFieldType::ftMemo:
        case TFieldType::ftFmtMemo:
            return paradox::Value::text(text.toStdString());
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftAutoInc: {
            bool ok = false;
            long long value = text.trimmed().toLongLong(&ok);
            if (!ok) fail(QStringLiteral("'%1' is not a valid integer value").arg(text));
            return checkedInteger(value);
        }
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency:
        case TFieldType::ftBCD: {
            double value = 0;
            const bool money = type_ == TFieldType::ftCurrency;
            if (!parseDouble(text.trimmed(), value) && !(money && parseShownMoney(text, value)))
                fail(QStringLiteral("'%1' is not a valid number").arg(text));
            return paradox::Value::floating(value);
        }
        case TFieldType::ftBoolean: {
            bool value = false;
            if (!parseBoolean(text.trimmed(), value))
                fail(QStringLiteral("'%1' is not a valid boolean value").arg(text));
            return paradox::Value::boolean(value);
        }
        default:
            fail(QStringLiteral("values of this type cannot be written"));
    }
}

void TField::SetRawValue(paradox::Value value) {
    if (readOnly_) fail(QStringLiteral("the field is read-only"));
    dataSet_->SetFieldValue(this, std::move(value));
    if (OnChange) OnChange(this);
}

void TField::SetAsString(const QString& value) { SetRawValue(fromString(value)); }
void TField::SetAsInteger(int value) {
    if (type_ == TFieldType::ftString || type_ == TFieldType::ftMemo)
        return SetRawValue(fromString(QString::number(value)));
    if (type_ == TFieldType::ftBoolean) return SetRawValue(paradox::Value::boolean(value != 0));
    if (IsNumeric() && type_ != TFieldType::ftFloat && type_ != TFieldType::ftCurrency &&
        type_ != TFieldType::ftBCD)
        return SetRawValue(checkedInteger(value));
    SetRawValue(fromDouble(value));
}
void TField::SetAsFloat(double value) { SetRawValue(fromDouble(value)); }
void TField::SetAsBoolean(bool value) {
    if (IsText()) return SetRawValue(fromString(value ? "True" : "False"));
    if (IsNumeric()) return SetRawValue(fromDouble(value ? 1 : 0));
    SetRawValue(paradox::Value::boolean(value));
}
void TField::SetAsVariant(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return Clear();
    switch (value.typeId()) {
        case QMetaType::Bool:
            return SetAsBoolean(value.toBool());
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            if (IsText()) return SetAsString(value.toString());
            return SetRawValue(IsNumeric() && type_ != TFieldType::ftFloat &&
                                       type_ != TFieldType::ftCurrency
                                   ? checkedInteger(value.toLongLong())
                                   : fromDouble(value.toDouble()));
        case QMetaType::Double:
        case QMetaType::Float:
            return SetAsFloat(value.toDouble());
        default:
            return SetAsString(value.toString());
    }
}
void TField::Clear() { SetRawValue(paradox::Value::null()); }
