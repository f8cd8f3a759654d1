// A spreadsheet's CSV: a header row, then one book per record, its columns
// fed into our fields by a column map.
#include <QFileInfo>

#include "import/csv_records.h"
#include "import/import_error.h"
#include "import/readers.h"

namespace import {

namespace {

// Target -> the column's position in the header row.
std::map<Target, int> ColumnPositions(const QString& path, const QStringList& header,
                                      const ColumnMap& columns) {
    std::map<Target, int> positions;
    for (const auto& [target, name] : columns) {
        const int at = header.indexOf(name);
        if (at < 0)
            throw EImportError(
                QStringLiteral("%1 line 1: no column \"%2\" for %3 in the header row")
                    .arg(path, name, TargetName(target))
                    .toStdString());
        positions[target] = at;
    }
    return positions;
}

// The field without the spaces around it: most have none and are taken as
// they are, not copied by trimmed().
QString TrimmedField(const QStringList& fields, qsizetype at) {
    if (at >= fields.size()) return {};
    const QString& field = fields[at];
    const bool spaced = !field.isEmpty() && (field.front().isSpace() || field.back().isSpace());
    return spaced ? field.trimmed() : field;
}

QStringList Trimmed(QStringList fields) {
    for (QString& field : fields) field = field.trimmed();
    return fields;
}

}  // namespace

void AssignColumn(ImportedBook& book, Target target, const QString& value) {
    switch (target) {
        case Target::Series:
            book.series = value;
            break;
        case Target::Publisher:
            book.publisher = value;
            break;
        case Target::Issue:
            book.issue = value;
            break;
        case Target::Edition:
            book.edition = value;
            break;
        case Target::Title:
            book.title = value;
            break;
        case Target::Writer:
            book.writers = value.isEmpty() ? QStringList() : QStringList{value};
            break;
        case Target::Artist:
            book.artists = value.isEmpty() ? QStringList() : QStringList{value};
            break;
        case Target::Quantity:
            book.quantity = value;
            break;
        case Target::Paid:
            book.paid = value;
            break;
        case Target::Low:
            book.low = value;
            break;
        case Target::High:
            book.high = value;
            break;
        case Target::Condition:
            book.condition = value;
            break;
        case Target::Signed:
            book.autographed = value;
            break;
        case Target::Notes:
            book.notes = value;
            break;
        case Target::Location:
            book.location = value;
            break;
        case Target::Wanted:
            book.wanted = value;
            break;
        case Target::ForSale:
            book.forSale = value;
            break;
    }
}

CsvLayout SniffCsv(const QString& path) {
    CsvRecords records(path);
    CsvLayout layout;
    records.Next(layout.header);
    layout.header = Trimmed(layout.header);
    QStringList fields;
    while (layout.firstRows.size() < 10 && records.Next(fields)) layout.firstRows.push_back(fields);
    layout.delimiter = records.delimiter();
    layout.encoding = records.encoding();
    return layout;
}

void ReadCsv(const QString& path, const ColumnMap& columns, const BookSink& sink,
             const Progress& progress, qint64 maxRows) {
    CsvRecords records(path);
    QStringList header;
    records.Next(header);
    const std::map<Target, int> positions = ColumnPositions(path, Trimmed(header), columns);
    const QString linePrefix = path + QStringLiteral(" line ");  // built once, not per book
    QStringList fields;
    for (qint64 rows = 0; (maxRows < 0 || rows < maxRows) && records.Next(fields);) {
        ImportedBook book;
        book.origin = linePrefix;  // shared, not copied
        book.originNumber = records.line();
        for (const auto& [target, at] : positions)
            AssignColumn(book, target, TrimmedField(fields, at));
        fields.clear();  // the book's values its own: the mapping changes them in place
        sink(std::move(book));
        if (++rows % 1024 == 0) ReportProgress(progress, records.position(), records.size());
    }
}

}  // namespace import
