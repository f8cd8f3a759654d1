#include "tools/tables.h"

#include "import/import_undo.h"
#include "platform/base/exception.h"
#include "platform/db/session.h"
#include "platform/paradox/errors.h"
#include "store/book_extras.h"
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

// Rows written between two commits.  The engine keeps every block a batch
// changes in memory until the batch is committed; this many rows are a few
// MB of blocks, and each commit's journal write is shared by enough rows to
// cost next to nothing.
constexpr std::size_t kRowsPerChunk = 20000;

// Every table a fill may change: both collection tables, and the extras
// table when the collection has one.
QStringList filledTableFiles(const QString& directory) {
    using import::ImportUndo;
    QStringList files = ImportUndo::FilesOfTable(SeriesPath(directory).toStdString()) +
                        ImportUndo::FilesOfTable(BooksPath(directory).toStdString());
    const std::string extras =
        TSession::TablePath(directory, QString::fromLatin1(store::kExtrasTable)).toStdString();
    if (paradox::Table::exists(extras)) files += ImportUndo::FilesOfTable(extras);
    return files;
}

void beginBatches(CollectionTables& tables) {
    tables.series->beginBatch();
    tables.books->beginBatch();
}

void commitBatches(CollectionTables& tables) {
    tables.books->commitBatch();
    tables.series->commitBatch();
}

}  // namespace

void FillEmptyCollection(CollectionTables& tables, const QString& directory,
                         const std::function<void(const RowStored& rowStored)>& fill) {
    import::ImportUndo undo(directory, filledTableFiles(directory));
    try {
        std::size_t rows = 0;
        beginBatches(tables);
        fill([&] {
            if (++rows % kRowsPerChunk != 0) return;
            commitBatches(tables);
            beginBatches(tables);
        });
        commitBatches(tables);
        tables.series->saveChanges();
        tables.books->saveChanges();
    } catch (const std::exception& e) {
        const auto* full = dynamic_cast<const paradox::ETableFull*>(&e);
        const std::string reason =
            full ? store::TableFullMessage(*full).toStdString() : std::string(e.what());
        tables = {};  // closes them; an open batch is dropped, never committed
        try {
            undo.RollBack();
        } catch (const std::exception&) {
            // The copies stay marked: the next start puts them back.
        }
        throw Exception(reason + "; nothing was added to the collection");
    }
    tables = {};
    undo.Complete();
    tables = OpenCollection(directory);
}

void WarnOfTablesNearlyFull(const CollectionTables& tables, QTextStream& out) {
    for (const auto& table : {tables.series, tables.books}) {
        const QString warning = table ? store::TableRoomWarning(*table) : QString();
        if (!warning.isEmpty()) out << "Warning: " << warning << "\n";
    }
    out.flush();
}

}  // namespace admin
