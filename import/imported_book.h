#pragma once
// A book as a reader found it in another program's file, before it is held
// to the rules of our tables: every value as written there.

#include <QString>
#include <QStringList>

namespace import {

struct ImportedBook {
    QString origin;  // where it came from: "file line 12", "file entry 3"
    // When not negative, the number that ends the origin, which then holds
    // the rest ("file line "): joined only for a book that needs it shown.
    qint64 originNumber = -1;
    QString series, publisher, issue, edition, title;
    QStringList writers, artists;
    QString quantity;                      // blank: one copy
    QString paid, low, high;               // prices as written ("$12.99", "12,99 €")
    QString condition;                     // a condition word or a 0.5-10.0 grade
    QString autographed, wanted, forSale;  // "true", "1", "yes", "x" ...
    QString notes, location;
    QString refusal;  // why the book cannot be read at all (a damaged comic file)
};

}  // namespace import
