#pragma once
// A small collection written by hand into real tables, with the cases the
// statistics must get right: several copies of one book, a wanted book
// (QTY 0), a negative quantity, a grade below the first step, a value that
// rounds at the half cent, a book whose series is gone, a series without
// books, and purchase dates in an extras table for some books.
//
// The figures the tests expect are worked out by hand beside each row.

#include <QDate>
#include <QDir>
#include <QString>
#include <memory>

#include "platform/paradox/table.h"
#include "store/book_extras.h"
#include "store/collection.h"

namespace small_collection {

using paradox::Value;

// Series: 1 ALPHA/ACME, 2 BETA/ACME, 3 GAMMA/ZENITH, 4 EMPTY/(none).
// Books (graded value of one copy = HIGH x PERC %, to the cent):
//   1 "1"  QTY 3  PAID 10.00  HIGH   40.00  PERC 75  ->  30.00  Fine       bought 2019-05-01
//   1 "2"  QTY 0  PAID  5.00  HIGH  500.00  PERC 100 ->  wanted            bought 2020-02-02
//   1 "3"  QTY 1  PAID  2.50  HIGH   75.07  PERC 50  ->  37.54  Very Good  bought 2019-12-31
//   2 "1"  QTY 2  PAID  0.10  HIGH    0.10  PERC 100 ->   0.10  Mint
//   2 "5"  QTY 1  PAID 100.00 HIGH  250.00  PERC 4   ->  10.00  no grade
//   3 "1"  QTY 1  PAID  1.00  HIGH 1000.00  PERC 95  -> 950.00  Near Mint  bought 2021-01-01
//   3 "2"  QTY -1 PAID  9.00  HIGH   99.00  PERC 100 ->  not owned
//   9 "7"  QTY 1  PAID  3.00  HIGH   20.00  PERC 20  ->   4.00  Good       (no series 9)
struct Book {
    int entry;
    const char* number;
    int qty;
    double paid, high;
    int perc;
    QDate bought;
};

inline const Book kBooks[] = {
    {1, "1", 3, 10.00, 40.00, 75, QDate(2019, 5, 1)},
    {1, "2", 0, 5.00, 500.00, 100, QDate(2020, 2, 2)},
    {1, "3", 1, 2.50, 75.07, 50, QDate(2019, 12, 31)},
    {2, "1", 2, 0.10, 0.10, 100, {}},
    {2, "5", 1, 100.00, 250.00, 4, {}},
    {3, "1", 1, 1.00, 1000.00, 95, QDate(2021, 1, 1)},
    {3, "2", -1, 9.00, 99.00, 100, {}},
    {9, "7", 1, 3.00, 20.00, 20, {}},
};

inline paradox::Row SeriesRow(const char* name, const char* publisher, int entry) {
    paradox::Row row(store::SeriesSchema().fields.size());
    row[0] = Value::text(name);
    if (*publisher) row[1] = Value::text(publisher);
    row[2] = Value::integer(entry);
    return row;
}

inline paradox::Row BookRow(const Book& book) {
    paradox::Row row(store::BooksSchema().fields.size());
    row[0] = Value::integer(book.entry);
    row[1] = Value::text(store::AlignComicNo(QString::fromLatin1(book.number)).toStdString());
    row[3] = Value::text(std::string("TITLE ") + book.number);
    row[6] = Value::integer(book.qty);
    row[7] = Value::floating(book.paid);
    row[9] = Value::floating(book.high);
    row[10] = Value::integer(book.perc);
    return row;
}

inline std::string TablePath(const QString& directory, const char* name) {
    return QDir(directory).filePath(QString::fromLatin1(name)).toStdString();
}

// The purchase dates, stored as the book page stores them.
inline void WriteExtras(const QString& directory) {
    store::BookExtrasStore extras(directory);
    for (const Book& book : kBooks) {
        if (!book.bought.isValid()) continue;
        store::BookExtras values;
        values.bought = book.bought;
        extras.write(store::BookKey::OfRow(BookRow(book)), values);
    }
}

inline void Write(const QString& directory, bool withPurchaseDates = true) {
    store::CreateCollection(directory);
    auto series = paradox::Table::open(TablePath(directory, store::kSeriesTable));
    series->insert(SeriesRow("ALPHA", "ACME", 1));
    series->insert(SeriesRow("BETA", "ACME", 2));
    series->insert(SeriesRow("GAMMA", "ZENITH", 3));
    series->insert(SeriesRow("EMPTY", "", 4));
    auto books = paradox::Table::open(TablePath(directory, store::kBooksTable));
    for (const Book& book : kBooks) books->insert(BookRow(book));
    if (withPurchaseDates) WriteExtras(directory);
}

}  // namespace small_collection
