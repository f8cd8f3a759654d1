#pragma once
// Checks of what a user types into a book's extras, each giving the message
// the window shows ("" when the value is fine).  Nothing here changes data.

#include <QDate>
#include <QString>
#include <optional>

namespace store {

// A barcode as printed under a comic's cover: the 12-digit UPC-A, optionally
// followed by the 5-digit add-on (issue and cover).  Spaces and hyphens the
// user types between the digits are dropped.
struct UpcCheck {
    enum class Verdict {
        Blank,            // nothing typed
        Valid,            // 12 or 17 digits, check digit right
        WrongCheckDigit,  // a warning: the user may keep it (a misprinted code)
        Invalid,          // not a barcode: refused
    };
    Verdict verdict = Verdict::Blank;
    QString digits;   // what is stored: the digits alone
    QString message;  // "" for Blank and Valid
};

UpcCheck CheckUpc(const QString& typed);

// The UPC-A check digit of the first 11 digits of `digits`.
int UpcCheckDigit(const QString& digits);

// A certificate number belongs to a book graded by a company: one on a book
// without a standard grade is refused.
QString CertificateProblem(const QString& grade, const QString& certificate);

// A purchase date typed as yyyy-mm-dd.  Blank text is no date (nullopt with
// an empty `problem`); a date that does not exist (2023-02-30) or text that
// is not a date is nullopt with the reason in `problem`.
std::optional<QDate> ParseBoughtDate(const QString& text, QString* problem);

}  // namespace store
