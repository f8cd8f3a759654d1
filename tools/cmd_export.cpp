// pkeep-admin export DIR: the collection as series.csv and books.csv (format
// in csv.h), rows in primary-key order, and its book extras (extras_csv.h).
#include <QDir>
#include <QSaveFile>

#include "tools/command.h"
#include "tools/csv.h"
#include "tools/extras_csv.h"
#include "tools/tables.h"

namespace {

[[noreturn]] void writeFailed(const QSaveFile& file, const QString& path) {
    throw Exception(
        QStringLiteral("cannot write %1: %2").arg(path, file.errorString()).toStdString());
}

// Writes the table to `path` a chunk of rows at a time, so a million books
// never sit in memory as text; the file appears only when complete.
void writeTableCsv(const paradox::Table& table, const QString& path) {
    constexpr qsizetype kChunk = 1 << 20;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) writeFailed(file, path);
    auto writeOut = [&](QByteArray& out) {
        if (file.write(out) != out.size()) writeFailed(file, path);
        out.clear();
    };
    const paradox::TableSchema& schema = table.schema();
    QByteArray out;
    out.reserve(kChunk + kChunk / 4);
    QStringList header;
    for (const paradox::FieldDef& field : schema.fields)
        header << QString::fromStdString(field.name);
    admin::csv::AppendRecord(out, header);
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
        const paradox::Row& row = table.row(i);
        QStringList fields;
        for (std::size_t f = 0; f < schema.fields.size(); ++f)
            fields << admin::csv::FormatValue(row[f], schema.fields[f].type);
        admin::csv::AppendRecord(out, fields);
        if (out.size() >= kChunk) writeOut(out);
    }
    writeOut(out);
    if (!file.commit()) writeFailed(file, path);
}

int run(admin::Context& context, const QStringList& args) {
    admin::Arguments arguments(args, {});
    if (arguments.positional().size() != 1) throw admin::UsageError("export needs one directory");
    const QString target = arguments.positional()[0];
    admin::CollectionTables tables = admin::OpenCollection(context.directory);
    if (!QDir().mkpath(target))
        throw Exception(QStringLiteral("cannot create the directory %1").arg(target).toStdString());
    writeTableCsv(*tables.series, QDir(target).filePath("series.csv"));
    writeTableCsv(*tables.books, QDir(target).filePath("books.csv"));
    const std::optional<std::size_t> extras =
        admin::ExportExtras(context.directory, target, context.out);
    context.out << "Exported " << tables.series->rowCount() << " series and "
                << tables.books->rowCount() << " books to " << target << "\n";
    if (extras) context.out << "Exported the extras of " << *extras << " books with their covers\n";
    return 0;
}

admin::Registration registration{
    {"export", "DIR", "Write the collection to DIR/series.csv and DIR/books.csv", run,
     "CSV after RFC 4180: UTF-8, CRLF line ends, a header row of the field names,\n"
     "rows in key order.  Logical fields read true/false, numbers use a '.' point\n"
     "without grouping, money has two decimals, a blank value is an empty field,\n"
     "and COMIC_NO keeps its leading spaces.  'pkeep-admin import' reads it back.\n"
     "A collection with book extras also gets DIR/extras.csv (BOUGHT as yyyy-mm-dd)\n"
     "and DIR/covers/ with the cover files its rows name, copied as they are.\n"}};

}  // namespace
