#include "import/new_rows.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "import/import_error.h"

namespace import {

namespace {

constexpr std::size_t kSeriesEntry = 2, kOwned = 8, kSeriesFields = 9;
constexpr std::size_t kComicNo = 1, kEdition = 2, kQty = 6;
constexpr int kMaxShort = 32767;
constexpr std::int64_t kMaxEntry = 2147483647;

paradox::Row NewSeriesRow(const std::pair<QString, QString>& series, std::int64_t entry,
                          std::int64_t owned) {
    const auto& [name, publisher] = series;
    paradox::Row row(kSeriesFields, paradox::Value::boolean(false));
    row[0] = paradox::Value::text(name.toStdString());
    row[1] = publisher.isEmpty() ? paradox::Value() : paradox::Value::text(publisher.toStdString());
    row[kSeriesEntry] = paradox::Value::integer(entry);
    row[3] = paradox::Value();  // SERNOTE
    row[kOwned] = paradox::Value::integer(owned);
    return row;
}

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

}  // namespace

void CheckOwned(const QString& series, std::int64_t owned) {
    if (owned > kMaxShort)
        throw EImportError(QStringLiteral("the series %1 would own %2 books, more than %3")
                               .arg(series)
                               .arg(owned)
                               .arg(kMaxShort)
                               .toStdString());
}

NewSeries PlanNewSeries(const PlanData& data, const std::vector<Placement>& placements,
                        std::int64_t firstEntry) {
    std::vector<bool> needed(data.series.size(), false);
    std::vector<std::int64_t> owned(data.series.size(), 0);
    std::vector<std::uint32_t> toAdd;
    for (std::size_t b = 0; b < data.books.size(); ++b) {
        const std::uint32_t s = data.seriesOf[b];
        const MappedBook& book = data.books[b];
        if (placements[b].seriesEntry != 0 || !data.Taken(book)) continue;
        if (const paradox::Value qty = book.row.At(kQty); !qty.isNull()) owned[s] += qty.asInt();
        if (needed[s]) continue;
        needed[s] = true;
        toAdd.push_back(s);
    }
    for (const std::uint32_t s : toAdd) CheckOwned(data.series[s].first, owned[s]);
    if (firstEntry - 1 + static_cast<std::int64_t>(toAdd.size()) > kMaxEntry)
        throw EImportError("the series table's counter of ENTRY numbers is exhausted");
    std::sort(toAdd.begin(), toAdd.end(),
              [&](std::uint32_t a, std::uint32_t b) { return data.series[a] < data.series[b]; });
    NewSeries added;
    added.entryOf.assign(data.series.size(), 0);
    added.rows.reserve(toAdd.size());
    std::int64_t entry = firstEntry;
    for (const std::uint32_t s : toAdd) {
        added.entryOf[s] = entry;
        added.rows.push_back(NewSeriesRow(data.series[s], entry++, owned[s]));
    }
    return added;
}

NewBook::NewBook(std::int64_t seriesEntry, const CompactRow& row, std::size_t at)
    : entry(seriesEntry), comicNo(row.Text(kComicNo)), edition(row.Text(kEdition)), index(at) {}

std::vector<NewBook> PlanNewBooks(const PlanData& data, const std::vector<Placement>& placements,
                                  const NewSeries& series) {
    std::vector<NewBook> books;
    for (std::size_t b = 0; b < data.books.size(); ++b) {
        const Placement& placement = placements[b];
        if (placement.outcome != Outcome::Added || !data.Taken(data.books[b])) continue;
        const std::int64_t entry =
            placement.seriesEntry != 0 ? placement.seriesEntry : series.entryOf[data.seriesOf[b]];
        books.emplace_back(entry, data.books[b].row, b);
    }
    SortByKey(books, data.seriesOf, data.series.size());
    return books;
}

}  // namespace import
