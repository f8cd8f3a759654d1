#include "import/commit.h"

#include <functional>
#include <optional>
#include <utility>

#include "import/import_error.h"
#include "import/import_undo.h"
#include "import/new_rows.h"
#include "import/packed_store.h"
#include "import/plan_data.h"
#include "platform/db/session.h"
#include "store/collection.h"

namespace import {

namespace {

constexpr std::size_t kOwned = 8;
constexpr std::size_t kBookEntry = 0, kComicNo = 1, kEdition = 2, kQty = 6;

struct OpenTables {
    std::shared_ptr<paradox::Table> series, books;
};

OpenTables Open(const QString& directory) {
    OpenTables tables;
    for (const char* name : {store::kSeriesTable, store::kBooksTable}) {
        const QString path = TSession::TablePath(directory, QString::fromLatin1(name));
        if (!paradox::Table::exists(path.toStdString()))
            throw EImportError(QStringLiteral("no collection table %1 (create a collection first)")
                                   .arg(path)
                                   .toStdString());
        auto table = paradox::Table::open(path.toStdString());
        if (!table->writable())
            throw EImportError(QStringLiteral("%1 cannot be written: %2")
                                   .arg(path, QString::fromStdString(table->readOnlyReason()))
                                   .toStdString());
        (name == store::kSeriesTable ? tables.series : tables.books) = std::move(table);
    }
    return tables;
}

// The files of both tables, by their names in the collection directory.
QStringList TableFiles(const OpenTables& tables) {
    return ImportUndo::FilesOfTable(tables.series->path()) +
           ImportUndo::FilesOfTable(tables.books->path());
}

// The QTY of the stored books of the series `entry`, summed.
std::int64_t StoredQuantity(const paradox::Table& books, std::int64_t entry) {
    std::int64_t owned = 0;
    const std::size_t end = books.upperBound({paradox::Value::integer(entry)});
    for (std::size_t i = books.lowerBound({paradox::Value::integer(entry)}); i < end; ++i)
        if (!books.row(i)[kQty].isNull()) owned += books.row(i)[kQty].asInt();
    return owned;
}

// OWNED of each stored series the import touched (SERIES, PUBLISHER, ENTRY
// by place in data.series; empty for the others): the sum of its books' QTY.
void UpdateOwned(paradox::Table& series, const paradox::Table& books,
                 const std::vector<paradox::Row>& touched) {
    for (const paradox::Row& key : touched) {
        if (key.empty()) continue;
        const std::int64_t owned = StoredQuantity(books, key[2].asInt());
        CheckOwned(QString::fromStdString(key[0].asText()), owned);
        const std::size_t at = series.find({key[0], key[1], key[2]});
        paradox::Row row = series.row(at);
        row[kOwned] = paradox::Value::integer(owned);
        series.update(at, std::move(row));
    }
}

// Fills in the blank fields of the stored books the import reads again;
// returns how many, and the stored series they belong to in `touched`.
int MergeBooks(const PlanData& data, const std::vector<Placement>& placements,
               paradox::Table& books, std::vector<paradox::Row>& touched,
               const std::function<void()>& step) {
    int merged = 0;
    for (std::size_t b = 0; b < data.books.size(); ++b) {
        const MappedBook& book = data.books[b];
        const Placement& placement = placements[b];
        if (!data.Taken(book) || placement.seriesEntry == 0 ||
            placement.outcome == Outcome::Unchanged)
            continue;
        paradox::Row& touch = touched[data.seriesOf[b]];
        if (touch.empty()) touch = placement.seriesKey;
        if (placement.outcome != Outcome::Merged) continue;
        step();
        const std::size_t at = books.find({paradox::Value::integer(placement.seriesEntry),
                                           book.row.At(kComicNo), book.row.At(kEdition)});
        paradox::Row stored = books.row(at);
        FillBlanks(stored, book.row.Expanded());
        books.update(at, std::move(stored));
        ++merged;
    }
    return merged;
}

// Stores the plan through the engine, row by row: the way into tables that
// hold rows already.
CommitResult StoreRowByRow(const PlanData& data, const std::vector<Placement>& placements,
                           OpenTables& tables, const Progress& progress) {
    const qint64 total = static_cast<qint64>(data.books.size());
    qint64 done = 0;
    const auto step = [&] {
        if (++done % 512 == 0) ReportProgress(progress, done, total);
    };
    const NewSeries newSeries =
        PlanNewSeries(data, placements, tables.series->lastAutoIncrement() + 1);
    // In key order each new row goes after the last: the table never
    // shifts rows or splits a block to make room.
    for (const paradox::Row& row : newSeries.rows) tables.series->insert(row);
    std::vector<paradox::Row> touched(data.series.size());
    CommitResult result;
    result.seriesAdded = static_cast<int>(newSeries.rows.size());
    result.booksMerged = MergeBooks(data, placements, *tables.books, touched, step);
    const std::vector<NewBook> added = PlanNewBooks(data, placements, newSeries);
    paradox::Row stored;  // each new book's row in turn
    for (const NewBook& book : added) {
        step();
        data.books[book.index].row.ExpandInto(stored);
        stored[kBookEntry] = paradox::Value::integer(book.entry);
        tables.books->insert(stored);
    }
    result.booksAdded = static_cast<int>(added.size());
    ReportProgress(progress, total, total);
    UpdateOwned(*tables.series, *tables.books, touched);
    return result;
}

}  // namespace

CommitResult CommitPlan(const ImportPlan& plan, const QString& collectionDir,
                        const Progress& progress) {
    RecoverInterruptedImport(collectionDir);
    const PlanData& data = plan.data();
    OpenTables tables = Open(collectionDir);
    // Placed again: the collection may have changed since the plan was read.
    const std::vector<Placement> placements = data.Place(*tables.series, *tables.books);
    bool nothingToStore = true;
    for (std::size_t b = 0; b < data.books.size() && nothingToStore; ++b)
        nothingToStore = !data.Taken(data.books[b]) || placements[b].outcome == Outcome::Unchanged;
    if (nothingToStore) return {};
    ImportUndo undo(collectionDir, TableFiles(tables));
    CommitResult result;
    try {
        std::optional<CommitResult> packed;
        if (tables.series->rowCount() == 0 && tables.books->rowCount() == 0)
            packed =
                StoreIntoEmptyTables(data, placements,
                                     {tables.series->path(), tables.books->path(),
                                      ImportUndo::WorkBase(collectionDir, QStringLiteral("series")),
                                      ImportUndo::WorkBase(collectionDir, QStringLiteral("books")),
                                      tables.series->lastAutoIncrement()},
                                     progress);
        if (packed) {
            result = *packed;
        } else {
            tables.series->beginBatch();
            tables.books->beginBatch();
            result = StoreRowByRow(data, placements, tables, progress);
            tables.books->commitBatch();
            tables.series->commitBatch();
            tables.series->saveChanges();
            tables.books->saveChanges();
        }
    } catch (...) {
        tables = {};  // closes both; an open batch is dropped, never committed
        undo.RollBack();
        throw;
    }
    tables = {};
    undo.Complete();
    return result;
}

void RecoverInterruptedImport(const QString& collectionDir) { ImportUndo::Recover(collectionDir); }

}  // namespace import
