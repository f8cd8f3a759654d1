// pkeep-admin import DIR: reads series.csv and books.csv (as export writes
// them) into an empty collection, keeping every ENTRY.  All or nothing:
// every row is checked before the first is stored, and if the engine still
// refuses one, the collection is made empty again.
#include <QDir>
#include <QFile>
#include <limits>
#include <map>

#include "collection/valuation.h"
#include "platform/paradox/table.h"
#include "store/collection.h"
#include "tools/command.h"
#include "tools/csv.h"
#include "tools/extras_csv.h"
#include "tools/tables.h"

namespace {

using admin::csv::EImportError;

// Field positions in the rows of the two tables (store/collection.h).
constexpr std::size_t kSeriesEntry = 2, kOwned = 8;
constexpr std::size_t kBookEntry = 0, kQty = 6, kPerc = 10;
// The engine numbers a new series after the highest ENTRY, so the highest
// must leave room for one more.
constexpr std::int64_t kLastEntry = std::numeric_limits<std::int32_t>::max() - 1;

struct LoadedRow {
    int line;
    paradox::Row row;
};

struct LoadedTable {
    QString fileName;
    std::vector<LoadedRow> rows;
};

[[noreturn]] void fault(const QString& file, int line, const QString& reason) {
    throw EImportError(
        QStringLiteral("%1 line %2: %3").arg(file).arg(line).arg(reason).toStdString());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()).toStdString());
    return file.readAll();
}

LoadedTable load(const QString& directory, const QString& fileName,
                 const paradox::TableSchema& schema) {
    LoadedTable table{fileName, {}};
    auto records = admin::csv::ParseFile(readFile(QDir(directory).filePath(fileName)), fileName);
    QStringList header;
    for (const paradox::FieldDef& field : schema.fields)
        header << QString::fromStdString(field.name);
    if (records.empty() || records[0].fields != header)
        fault(fileName, 1, "the header must be " + header.join(','));
    for (std::size_t r = 1; r < records.size(); ++r) {
        const admin::csv::Record& record = records[r];
        if (record.fields.size() != header.size())
            fault(fileName, record.line,
                  QStringLiteral("%1 fields where %2 are needed")
                      .arg(record.fields.size())
                      .arg(header.size()));
        paradox::Row row;
        for (int f = 0; f < header.size(); ++f) {
            try {
                row.push_back(admin::csv::ParseValue(record.fields[f], schema.fields[f]));
            } catch (const EImportError& e) {
                fault(fileName, record.line,
                      header[f] + ": " + QString::fromStdString(e.message()));
            }
        }
        table.rows.push_back({record.line, std::move(row)});
    }
    return table;
}

// A blank number reads as 0, as the collection window reads it.
std::int64_t numberOrZero(const paradox::Value& value) {
    return value.isNull() ? 0 : value.asInt();
}

// Every series keeps its number, so each needs one the engine could have
// given, and each book must belong to one of them.
void checkEntries(const LoadedTable& series, const LoadedTable& books) {
    std::map<std::int64_t, int> lines;
    for (const LoadedRow& row : series.rows) {
        const paradox::Value& entry = row.row[kSeriesEntry];
        if (entry.isNull()) fault(series.fileName, row.line, "ENTRY is blank");
        if (entry.asInt() < 1 || entry.asInt() > kLastEntry)
            fault(series.fileName, row.line,
                  QStringLiteral("ENTRY %1 is out of range (1 to %2, so that a new series "
                                 "still gets the next number)")
                      .arg(entry.asInt())
                      .arg(kLastEntry));
        auto [it, added] = lines.emplace(entry.asInt(), row.line);
        if (!added)
            fault(series.fileName, row.line,
                  QStringLiteral("ENTRY %1 is already used on line %2")
                      .arg(entry.asInt())
                      .arg(it->second));
    }
    for (const LoadedRow& row : books.rows) {
        const paradox::Value& entry = row.row[kBookEntry];
        if (entry.isNull()) fault(books.fileName, row.line, "ENTRY is blank");
        if (!lines.count(entry.asInt()))
            fault(books.fileName, row.line,
                  QStringLiteral("ENTRY %1 names no series").arg(entry.asInt()));
    }
}

// The values the book page stores: a quantity of none or more, a grade the
// per cent of mint.
void checkBookValues(const LoadedTable& books) {
    for (const LoadedRow& row : books.rows) {
        const std::int64_t qty = numberOrZero(row.row[kQty]);
        if (!valuation::isQuantity(qty))
            fault(books.fileName, row.line, QStringLiteral("QTY %1 is below 0").arg(qty));
        const std::int64_t perc = numberOrZero(row.row[kPerc]);
        if (!valuation::isGradePerCent(perc))
            fault(books.fileName, row.line,
                  QStringLiteral("PERC %1 is not a grade (0 to %2 per cent)")
                      .arg(perc)
                      .arg(valuation::kMaxPerc));
    }
}

// A series' OWNED is the sum of its books' QTY, as the collection window
// keeps it.
void checkOwnedCounts(const LoadedTable& series, const LoadedTable& books) {
    std::map<std::int64_t, std::int64_t> sums;
    for (const LoadedRow& row : books.rows)
        sums[row.row[kBookEntry].asInt()] += numberOrZero(row.row[kQty]);
    for (const LoadedRow& row : series.rows) {
        const std::int64_t owned = numberOrZero(row.row[kOwned]);
        const std::int64_t sum = sums[row.row[kSeriesEntry].asInt()];
        if (owned != sum)
            fault(series.fileName, row.line,
                  QStringLiteral("OWNED is %1, but the QTY of the series' books add up to %2")
                      .arg(owned)
                      .arg(sum));
    }
}

void storeRows(paradox::Table& table, const LoadedTable& loaded) {
    for (const LoadedRow& row : loaded.rows) {
        try {
            table.insert(row.row);
        } catch (const std::exception& e) {
            fault(loaded.fileName, row.line, QString::fromUtf8(e.what()));
        }
    }
}

int run(admin::Context& context, const QStringList& args) {
    admin::Arguments arguments(args, {});
    if (arguments.positional().size() != 1) throw admin::UsageError("import needs one directory");
    const QString source = arguments.positional()[0];
    admin::CollectionTables tables = admin::OpenCollection(context.directory);
    admin::RequireEmpty(tables, context.directory, "import");
    LoadedTable series = load(source, "series.csv", tables.series->schema());
    LoadedTable books = load(source, "books.csv", tables.books->schema());
    checkEntries(series, books);
    checkBookValues(books);
    admin::ExtrasImport extras(source, context.directory);
    admin::FillEmptyCollection(tables, context.directory, [&] {
        storeRows(*tables.series, series);
        storeRows(*tables.books, books);
        // Counted once the engine has taken every book, so that a book it
        // refuses (one listed twice) is reported as such, not as a count.
        checkOwnedCounts(series, books);
        extras.store(*tables.books);
    });
    extras.commit();
    context.out << "Imported " << series.rows.size() << " series and " << books.rows.size()
                << " books from " << source << " into " << context.directory << "\n";
    admin::WarnOfTablesNearlyFull(tables, context.out);
    return 0;
}

admin::Registration registration{
    {"import", "DIR", "Read DIR/series.csv and DIR/books.csv into an empty collection", run,
     "Reads the files that 'pkeep-admin export' writes.  Every series keeps its\n"
     "ENTRY number; new series then continue after the highest.  The rows must keep\n"
     "the collection window's rules: QTY 0 or more, PERC 0 to 100,\n"
     "each series' OWNED the sum of its books' QTY, amounts below 10000000000000.\n"
     "DIR/extras.csv, when there is one, brings the books' extras and DIR/covers/\n"
     "their cover files; each row must belong to a book of books.csv.\n"
     "A faulty row is reported with its file, line and reason, and nothing is\n"
     "imported.\n"}};

}  // namespace
