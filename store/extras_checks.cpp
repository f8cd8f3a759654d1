#include "store/extras_checks.h"

#include <QRegularExpression>

namespace store {

int UpcCheckDigit(const QString& digits) {
    // Digits in odd places (1st, 3rd, ... 11th) weigh 3, the others 1.
    int sum = 0;
    for (int i = 0; i < 11; ++i) sum += digits[i].digitValue() * (i % 2 == 0 ? 3 : 1);
    return (10 - sum % 10) % 10;
}

UpcCheck CheckUpc(const QString& typed) {
    UpcCheck check;
    QString digits = typed;
    digits.remove(QRegularExpression(QStringLiteral("[\\s-]")));
    check.digits = digits;
    if (digits.isEmpty()) return check;
    static const QRegularExpression shape(QStringLiteral("^(\\d{12}|\\d{17})$"));
    if (!shape.match(digits).hasMatch()) {
        check.verdict = UpcCheck::Verdict::Invalid;
        check.message = QStringLiteral(
                            "\"%1\" is not a barcode: a UPC has 12 digits, or 17 with the "
                            "5-digit add-on.")
                            .arg(typed.trimmed());
        return check;
    }
    const int expected = UpcCheckDigit(digits);
    if (digits[11].digitValue() == expected) {
        check.verdict = UpcCheck::Verdict::Valid;
        return check;
    }
    check.verdict = UpcCheck::Verdict::WrongCheckDigit;
    check.message = QStringLiteral(
                        "The barcode %1 ends its 12 digits in %2, but its check digit "
                        "should be %3: it may be mistyped.  Keep it only if it is "
                        "printed so on the book.")
                        .arg(digits.left(12))
                        .arg(digits[11])
                        .arg(expected);
    return check;
}

QString CertificateProblem(const QString& grade, const QString& certificate) {
    if (certificate.trimmed().isEmpty() || !grade.trimmed().isEmpty()) return {};
    return QStringLiteral(
        "A certificate number belongs to a book graded by a company: choose its "
        "grade first, or clear the certificate.");
}

std::optional<QDate> ParseBoughtDate(const QString& text, QString* problem) {
    if (problem) problem->clear();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    static const QRegularExpression shape(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    const QRegularExpressionMatch match = shape.match(trimmed);
    QString reason;
    if (!match.hasMatch()) {
        reason = QStringLiteral(
                     "\"%1\" is not a date: write it as year-month-day, "
                     "e.g. 2024-03-15.")
                     .arg(trimmed);
    } else {
        const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                         match.captured(3).toInt());
        if (date.isValid() && date.year() >= 1) return date;
        reason = QStringLiteral("The date %1 does not exist.").arg(trimmed);
    }
    if (problem) *problem = reason;
    return std::nullopt;
}

}  // namespace store
