#pragma once
// The book extras in the collection's CSV form: extras.csv beside
// series.csv and books.csv (same rules as csv.h; BOUGHT as yyyy-mm-dd), and
// the cover files the rows name, copied byte for byte into covers/.  A
// collection without an extras table has no extras.csv, and the other way
// round.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>
#include <optional>

#include "platform/paradox/table.h"

namespace admin {

// Writes DIR/extras.csv and DIR/covers/ from the collection in `directory`;
// returns the number of rows, nullopt when the collection has no extras
// table.  A row whose cover file is gone is written without it, with a
// warning to `out`.
std::optional<std::size_t> ExportExtras(const QString& directory, const QString& target,
                                        QTextStream& out);

// The import of extras.csv (when `source` has one) into the collection in
// `directory`, all or nothing with the rest of the import:
//   ExtrasImport extras(source, directory);   // read, checked; the table
//                                             // made (empty) when missing
//   ... fill:  extras.store(books);           // after the books
//   ... done:  extras.commit();
// An import that ends without commit() removes the extras table and the
// covers it stored.  Faults raise csv::EImportError with file and line.
class ExtrasImport {
public:
    ExtrasImport(const QString& source, const QString& directory);
    ~ExtrasImport();
    ExtrasImport(const ExtrasImport&) = delete;
    ExtrasImport& operator=(const ExtrasImport&) = delete;

    // Every row must belong to a book of `books`.
    void store(const paradox::Table& books);
    void commit() { committed_ = true; }
    std::size_t rowCount() const;

private:
    struct Loaded;
    std::unique_ptr<Loaded> loaded_;
    QString directory_;
    bool created_ = false;
    bool committed_ = false;
    QStringList copied_;
};

}  // namespace admin
