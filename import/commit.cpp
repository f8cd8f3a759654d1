#include "import/commit.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <string_view>
#include <tuple>

#include "import/import_error.h"
#include "import/import_undo.h"
#include "import/plan_data.h"
#include "platform/db/session.h"
#include "platform/paradox/file_io.h"
#include "store/collection.h"

namespace import {

namespace {

constexpr std::size_t kSeriesEntry = 2, kOwned = 8;
constexpr std::size_t kBookEntry = 0, kComicNo = 1, kEdition = 2, kQty = 6;
constexpr std::size_t kSeriesFields = 9;
constexpr int kMaxShort = 32767;

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
    QStringList files;
    for (const auto& table : {tables.series, tables.books}) {
        const std::string db = table->path();
        for (const std::string& file :
             {db, paradox::findCaseInsensitive(paradox::withExtension(db, ".px")),
              paradox::findCaseInsensitive(paradox::withExtension(db, ".mb"))})
            if (!file.empty() && paradox::fileExists(file))
                files << QFileInfo(QString::fromStdString(file)).fileName();
    }
    return files;
}

// Raises when a series would own more books than OWNED holds.
void CheckOwned(const std::string& series, std::int64_t owned) {
    if (owned > kMaxShort)
        throw EImportError(QStringLiteral("the series %1 would own %2 books, more than %3")
                               .arg(QString::fromStdString(series))
                               .arg(owned)
                               .arg(kMaxShort)
                               .toStdString());
}

// A series the import adds owns only the books it brings: OWNED is known
// before its row is written.
paradox::Row NewSeriesRow(const MappedBook& book, std::int64_t owned) {
    paradox::Row row(kSeriesFields, paradox::Value::boolean(false));
    row[0] = paradox::Value::text(book.series.toStdString());
    row[1] = book.publisher.isEmpty() ? paradox::Value()
                                      : paradox::Value::text(book.publisher.toStdString());
    row[kSeriesEntry] = paradox::Value();  // numbered by the engine
    row[3] = paradox::Value();             // SERNOTE
    CheckOwned(row[0].asText(), owned);
    row[kOwned] = paradox::Value::integer(owned);
    return row;
}

// The QTY of the books each series the import adds will own, by the
// series' place in data.series.
std::vector<std::int64_t> AddedQuantities(const PlanData& data,
                                          const std::vector<Placement>& placements) {
    std::vector<std::int64_t> owned(data.series.size(), 0);
    for (std::size_t b = 0; b < data.books.size(); ++b) {
        const paradox::Value& qty = data.books[b].row[kQty];
        if (placements[b].seriesEntry == 0 && data.Taken(data.books[b]) && !qty.isNull())
            owned[data.seriesOf[b]] += qty.asInt();
    }
    return owned;
}

// The QTY of the stored books of the series `entry`, summed.
std::int64_t StoredQuantity(const paradox::Table& books, std::int64_t entry) {
    std::int64_t owned = 0;
    const std::size_t end = books.upperBound({paradox::Value::integer(entry)});
    for (std::size_t i = books.lowerBound({paradox::Value::integer(entry)}); i < end; ++i)
        if (!books.row(i)[kQty].isNull()) owned += books.row(i)[kQty].asInt();
    return owned;
}

// OWNED of each stored series the import touched (SERIES, PUBLISHER, ENTRY,
// or null when untouched): the sum of its books' QTY.
void UpdateOwned(paradox::Table& series, const paradox::Table& books,
                 const std::vector<const paradox::Row*>& touched) {
    for (const paradox::Row* touch : touched) {
        if (!touch) continue;
        const paradox::Row& key = *touch;
        const std::int64_t owned = StoredQuantity(books, key[2].asInt());
        CheckOwned(key[0].asText(), owned);
        const std::size_t at = series.find({key[0], key[1], key[2]});
        paradox::Row row = series.row(at);
        row[kOwned] = paradox::Value::integer(owned);
        series.update(at, std::move(row));
    }
}

// A book the import adds: its key, held here so that sorting reads no row,
// and its row in the plan, ENTRY filled in.
struct NewBook {
    std::int64_t entry;
    std::string_view comicNo, edition;  // into the row
    const paradox::Row* row;

    explicit NewBook(const paradox::Row& bookRow)
        : entry(bookRow[kBookEntry].asInt()),
          comicNo(TextOf(bookRow[kComicNo])),
          edition(TextOf(bookRow[kEdition])),
          row(&bookRow) {}

    static std::string_view TextOf(const paradox::Value& v) {
        return v.isText() ? v.asText() : std::string_view();
    }
    // By the books table's key: ENTRY, COMIC_NO, EDITION.
    bool operator<(const NewBook& other) const {
        return std::tie(entry, comicNo, edition) <
               std::tie(other.entry, other.comicNo, other.edition);
    }
};

CommitResult Store(const PlanData& data, const std::vector<Placement>& placements,
                   OpenTables& tables, const Progress& progress) {
    CommitResult result;
    // SERIES, PUBLISHER, ENTRY of each series added, by its place in data.series
    std::vector<paradox::Row> newSeries(data.series.size());
    const std::vector<std::int64_t> addedOwned = AddedQuantities(data, placements);
    // The stored series touched, by their place in data.series.
    std::vector<const paradox::Row*> touched(data.series.size(), nullptr);
    const qint64 total = static_cast<qint64>(data.books.size());
    qint64 done = 0;
    std::vector<NewBook> added;
    for (std::size_t b = 0; b < data.books.size(); ++b) {
        const MappedBook& book = data.books[b];
        const Placement& placement = placements[b];
        if (!data.Taken(book) || placement.outcome == Outcome::Unchanged) continue;
        std::int64_t entry = placement.seriesEntry;
        const std::uint32_t seriesAt = data.seriesOf[b];
        if (entry == 0) {
            paradox::Row& key = newSeries[seriesAt];
            if (key.empty()) {
                const paradox::Row& added = tables.series->row(
                    tables.series->insert(NewSeriesRow(book, addedOwned[seriesAt])));
                key = {added[0], added[1], added[kSeriesEntry]};  // before the next insert moves it
                ++result.seriesAdded;
            }
            entry = key[2].asInt();
        } else {
            touched[seriesAt] = &placement.seriesKey;
        }
        if (placement.outcome == Outcome::Added) {
            // ENTRY written now, while the plan is read in the order it is
            // held in memory, rather than in key order.
            data.books[b].row[kBookEntry] = paradox::Value::integer(entry);
            added.emplace_back(book.row);
        } else {
            if (++done % 512 == 0) ReportProgress(progress, done, total);
            const std::size_t at = tables.books->find(
                {paradox::Value::integer(entry), book.row[kComicNo], book.row[kEdition]});
            paradox::Row stored = tables.books->row(at);
            FillBlanks(stored, book.row);
            tables.books->update(at, std::move(stored));
            ++result.booksMerged;
        }
    }
    // In key order each new book goes after the last: the table never
    // shifts rows or splits a block to make room.
    std::sort(added.begin(), added.end());
    for (const NewBook& book : added) {
        if (++done % 512 == 0) ReportProgress(progress, done, total);
        tables.books->insert(*book.row);
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
        tables.series->beginBatch();
        tables.books->beginBatch();
        result = Store(data, placements, tables, progress);
        tables.books->commitBatch();
        tables.series->commitBatch();
        tables.series->saveChanges();
        tables.books->saveChanges();
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
