// pkeep-admin import DIR: reads series.csv and books.csv (as export writes
// them) into an empty collection, keeping every ENTRY.  All or nothing:
// every row is checked before the first is stored, and if the engine still
// refuses one, the collection is made empty again.
#include <QDir>
#include <QFile>
#include <map>

#include "platform/paradox/table.h"
#include "store/collection.h"
#include "tools/command.h"
#include "tools/csv.h"
#include "tools/tables.h"

namespace {

using admin::csv::EImportError;

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

// Every series keeps its number, so each needs one, and each book must
// belong to one of them.
void checkEntries(const LoadedTable& series, const LoadedTable& books) {
    constexpr int kSeriesEntry = 2, kBookEntry = 0;
    std::map<std::int64_t, int> lines;
    for (const LoadedRow& row : series.rows) {
        const paradox::Value& entry = row.row[kSeriesEntry];
        if (entry.isNull()) fault(series.fileName, row.line, "ENTRY is blank");
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
    admin::FillEmptyCollection(tables, context.directory, [&] {
        storeRows(*tables.series, series);
        storeRows(*tables.books, books);
    });
    context.out << "Imported " << series.rows.size() << " series and " << books.rows.size()
                << " books from " << source << " into " << context.directory << "\n";
    return 0;
}

admin::Registration registration{
    {"import", "DIR", "Read DIR/series.csv and DIR/books.csv into an empty collection", run,
     "Reads the files that 'pkeep-admin export' writes.  Every series keeps its\n"
     "ENTRY number; new series then continue after the highest.  A faulty row is\n"
     "reported with its file, line and reason, and nothing is imported.\n"}};

}  // namespace
