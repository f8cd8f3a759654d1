#include "tools/tables.h"

#include "platform/base/exception.h"
#include "platform/db/session.h"
#include "platform/paradox/errors.h"
#include "store/collection.h"
#include "store/table_room.h"

namespace admin {

QString SeriesPath(const QString& directory) {
    return TSession::TablePath(directory, QString::fromLatin1(store::kSeriesTable));
}

QString BooksPath(const QString& directory) {
    return TSession::TablePath(directory, QString::fromLatin1(store::kBooksTable));
}

CollectionTables OpenCollection(const QString& directory) {
    const QString series = SeriesPath(directory), books = BooksPath(directory);
    for (const QString& path : {series, books}) {
        if (!paradox::Table::exists(path.toStdString()))
            throw Exception(QStringLiteral("no collection table %1 (create a collection with "
                                           "'pkeep-admin init')")
                                .arg(path)
                                .toStdString());
    }
    return {paradox::Table::open(series.toStdString()), paradox::Table::open(books.toStdString())};
}

void RequireEmpty(const CollectionTables& tables, const QString& directory, const char* command) {
    if (tables.series->rowCount() == 0 && tables.books->rowCount() == 0) return;
    throw Exception(QStringLiteral("the collection in %1 is not empty (%2 series, %3 books); %4 "
                                   "only fills an empty one")
                        .arg(directory)
                        .arg(tables.series->rowCount())
                        .arg(tables.books->rowCount())
                        .arg(QLatin1String(command))
                        .toStdString());
}

namespace {

// Both tables as a new collection has them: empty.
void recreateEmpty(CollectionTables& tables, const QString& directory) {
    tables = {};  // closes them; an open batch is dropped, never committed
    paradox::Table::remove(SeriesPath(directory).toStdString());
    paradox::Table::remove(BooksPath(directory).toStdString());
    store::CreateCollection(directory);
}

}  // namespace

void FillEmptyCollection(CollectionTables& tables, const QString& directory,
                         const std::function<void()>& fill) {
    try {
        tables.series->beginBatch();  // one write of each table instead of one per row
        tables.books->beginBatch();
        fill();
        tables.books->commitBatch();
        tables.series->commitBatch();
        tables.series->saveChanges();
        tables.books->saveChanges();
    } catch (const std::exception& e) {
        const auto* full = dynamic_cast<const paradox::ETableFull*>(&e);
        const std::string reason =
            full ? store::TableFullMessage(*full).toStdString() : std::string(e.what());
        recreateEmpty(tables, directory);
        throw Exception(reason + "; nothing was added to the collection");
    }
}

void WarnOfTablesNearlyFull(const CollectionTables& tables, QTextStream& out) {
    for (const auto& table : {tables.series, tables.books}) {
        const QString warning = table ? store::TableRoomWarning(*table) : QString();
        if (!warning.isEmpty()) out << "Warning: " << warning << "\n";
    }
    out.flush();
}

}  // namespace admin
