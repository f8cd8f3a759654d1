#include "import/commit.h"

#include <QDir>
#include <QHash>
#include <algorithm>
#include <numeric>
#include <string_view>
#include <tuple>
#include <utility>

#include "import/import_error.h"
#include "import/import_undo.h"
#include "import/plan_data.h"
#include "platform/db/session.h"
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
    return ImportUndo::FilesOfTable(tables.series->path()) +
           ImportUndo::FilesOfTable(tables.books->path());
}

// OWNED beyond what the table's short integer holds is refused, never cut.
void CheckOwned(const QString& series, std::int64_t owned) {
    if (owned > kMaxShort)
        throw EImportError(QStringLiteral("the series %1 would own %2 books, more than %3")
                               .arg(series)
                               .arg(owned)
                               .arg(kMaxShort)
                               .toStdString());
}

// A new series row for (name, publisher) as mapped, owning `owned` books.
paradox::Row NewSeriesRow(const std::pair<QString, QString>& series, std::int64_t owned) {
    const auto& [name, publisher] = series;
    paradox::Row row(kSeriesFields, paradox::Value::boolean(false));
    row[0] = paradox::Value::text(name.toStdString());
    row[1] = publisher.isEmpty() ? paradox::Value() : paradox::Value::text(publisher.toStdString());
    row[kSeriesEntry] = paradox::Value();  // numbered by the engine
    row[3] = paradox::Value();             // SERNOTE
    row[kOwned] = paradox::Value::integer(owned);
    return row;
}

// A series the import touched: its key, and whether the import added it
// (its OWNED is then stored with it).
struct TouchedSeries {
    paradox::Row key;  // SERIES, PUBLISHER, ENTRY; empty when untouched
    bool added = false;
};

// The QTY of the stored books of the series `entry`, summed.
std::int64_t StoredQuantity(const paradox::Table& books, std::int64_t entry) {
    std::int64_t owned = 0;
    const std::size_t end = books.upperBound({paradox::Value::integer(entry)});
    for (std::size_t i = books.lowerBound({paradox::Value::integer(entry)}); i < end; ++i)
        if (!books.row(i)[kQty].isNull()) owned += books.row(i)[kQty].asInt();
    return owned;
}

// OWNED of each stored series the import touched: the sum of its books' QTY.
void UpdateOwned(paradox::Table& series, const paradox::Table& books,
                 const std::vector<TouchedSeries>& touched) {
    for (const TouchedSeries& touch : touched) {
        if (touch.key.empty() || touch.added) continue;
        const std::int64_t owned = StoredQuantity(books, touch.key[2].asInt());
        CheckOwned(QString::fromStdString(touch.key[0].asText()), owned);
        const paradox::Row& key = touch.key;
        const std::size_t at = series.find({key[0], key[1], key[2]});
        paradox::Row row = series.row(at);
        row[kOwned] = paradox::Value::integer(owned);
        series.update(at, std::move(row));
    }
}

// A book the import adds: its key, held here so that sorting reads no row,
// and its place in the plan.
struct NewBook {
    std::int64_t entry = 0;
    std::string_view comicNo, edition;  // into the plan's row
    std::size_t index = 0;

    NewBook() = default;
    NewBook(std::int64_t seriesEntry, const paradox::Row& row, std::size_t at)
        : entry(seriesEntry),
          comicNo(TextOf(row[kComicNo])),
          edition(TextOf(row[kEdition])),
          index(at) {}

    static std::string_view TextOf(const paradox::Value& v) {
        return v.isText() ? v.asText() : std::string_view();
    }
    // By the books table's key: ENTRY, COMIC_NO, EDITION.
    bool operator<(const NewBook& other) const {
        return std::tie(entry, comicNo, edition) <
               std::tie(other.entry, other.comicNo, other.edition);
    }
};

// Sorts the new books by the books table's key.  A series holds few of
// them: the books are first counted into place by series, in the order of
// the series' ENTRY, and then sorted only among those of their series.
void SortByKey(std::vector<NewBook>& books, const std::vector<std::uint32_t>& seriesOf,
               std::size_t seriesCount) {
    std::vector<std::int64_t> entryOf(seriesCount, 0);
    std::vector<std::size_t> count(seriesCount, 0);
    for (const NewBook& book : books) {
        entryOf[seriesOf[book.index]] = book.entry;
        ++count[seriesOf[book.index]];
    }
    std::vector<std::uint32_t> order(seriesCount);
    std::iota(order.begin(), order.end(), 0U);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return entryOf[a] < entryOf[b]; });
    std::vector<std::size_t> next(seriesCount);  // where the series' next book goes
    std::size_t at = 0;
    for (const std::uint32_t s : order) next[s] = std::exchange(at, at + count[s]);
    std::vector<NewBook> sorted(books.size());
    for (const NewBook& book : books) sorted[next[seriesOf[book.index]]++] = book;
    for (const std::uint32_t s : order)  // next[s] is now the end of the series' books
        std::sort(sorted.begin() + std::ptrdiff_t(next[s] - count[s]),
                  sorted.begin() + std::ptrdiff_t(next[s]));
    books.swap(sorted);
}

// Adds the series that taken books need and the collection lacks, in the
// order of the series table's key, so that each goes after the last instead
// of shifting the rows before it; each with its OWNED, the QTY of its taken
// books (it has no others), so that no row is updated after.  Returns
// SERIES, PUBLISHER, ENTRY of each by its place in data.series (empty for
// the others).
std::vector<paradox::Row> AddSeries(const PlanData& data, const std::vector<Placement>& placements,
                                    paradox::Table& series) {
    std::vector<bool> needed(data.series.size(), false);
    std::vector<std::int64_t> owned(data.series.size(), 0);
    std::vector<std::uint32_t> toAdd;
    for (std::size_t b = 0; b < data.books.size(); ++b) {
        const std::uint32_t s = data.seriesOf[b];
        const MappedBook& book = data.books[b];
        if (placements[b].seriesEntry != 0 || !data.Taken(book)) continue;
        if (!book.row[kQty].isNull()) owned[s] += book.row[kQty].asInt();
        if (needed[s]) continue;
        needed[s] = true;
        toAdd.push_back(s);
    }
    for (const std::uint32_t s : toAdd) CheckOwned(data.series[s].first, owned[s]);
    std::sort(toAdd.begin(), toAdd.end(),
              [&](std::uint32_t a, std::uint32_t b) { return data.series[a] < data.series[b]; });
    std::vector<paradox::Row> keys(data.series.size());
    for (const std::uint32_t s : toAdd) {
        const paradox::Row& added =
            series.row(series.insert(NewSeriesRow(data.series[s], owned[s])));
        keys[s] = {added[0], added[1], added[kSeriesEntry]};  // before the next insert moves it
    }
    return keys;
}

CommitResult Store(const PlanData& data, const std::vector<Placement>& placements,
                   OpenTables& tables, const Progress& progress) {
    CommitResult result;
    // SERIES, PUBLISHER, ENTRY of each series added, by its place in data.series
    const std::vector<paradox::Row> newSeries = AddSeries(data, placements, *tables.series);
    // By the series' place in data.series: a series has one ENTRY throughout.
    std::vector<TouchedSeries> touched(data.series.size());
    const qint64 total = static_cast<qint64>(data.books.size());
    qint64 done = 0;
    std::vector<NewBook> added;
    for (std::size_t b = 0; b < data.books.size(); ++b) {
        const MappedBook& book = data.books[b];
        const Placement& placement = placements[b];
        if (!data.Taken(book) || placement.outcome == Outcome::Unchanged) continue;
        std::int64_t entry = placement.seriesEntry;
        const paradox::Row* seriesKey = &placement.seriesKey;
        if (entry == 0) {
            seriesKey = &newSeries[data.seriesOf[b]];
            entry = (*seriesKey)[2].asInt();
        }
        TouchedSeries& touch = touched[data.seriesOf[b]];
        if (touch.key.empty()) {
            touch = {*seriesKey, placement.seriesEntry == 0};
            if (touch.added) ++result.seriesAdded;
        }
        if (placement.outcome == Outcome::Added) {
            added.emplace_back(entry, book.row, b);
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
    SortByKey(added, data.seriesOf, data.series.size());
    for (const NewBook& book : added) {
        if (++done % 512 == 0) ReportProgress(progress, done, total);
        paradox::Row& stored = data.books[book.index].row;
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
