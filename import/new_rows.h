#pragma once
// The rows an import adds, worked out before any is written: the new series
// in the order of the series table's key, each numbered and with its OWNED,
// and the new books in the order of the books table's key.  Written in that
// order each row goes after the last.

#include <cstdint>
#include <string_view>
#include <tuple>
#include <vector>

#include "import/plan_data.h"

namespace import {

// The series the import adds.
struct NewSeries {
    std::vector<paradox::Row> rows;     // SERIES ... OWNED, in key order
    std::vector<std::int64_t> entryOf;  // by place in data.series: its new ENTRY, or 0
};

// The series that taken books need and the collection lacks, numbered from
// `firstEntry` in key order, each owning the QTY of its taken books (it has
// no others).  Raises EImportError when a series would own more books than
// OWNED holds, or the numbers run past the series table's counter.
NewSeries PlanNewSeries(const PlanData& data, const std::vector<Placement>& placements,
                        std::int64_t firstEntry);

// A book the import adds: its key, held here so that sorting reads no row,
// and its place in the plan.
struct NewBook {
    std::int64_t entry = 0;
    std::string_view comicNo, edition;  // into the plan's row
    std::size_t index = 0;

    NewBook() = default;
    NewBook(std::int64_t seriesEntry, const CompactRow& row, std::size_t at);
    // By the books table's key: ENTRY, COMIC_NO, EDITION.
    bool operator<(const NewBook& other) const {
        return std::tie(entry, comicNo, edition) <
               std::tie(other.entry, other.comicNo, other.edition);
    }
};

// The taken books that are not stored yet, each with its series' ENTRY
// (stored, or new from `series`), in key order.
std::vector<NewBook> PlanNewBooks(const PlanData& data, const std::vector<Placement>& placements,
                                  const NewSeries& series);

// OWNED beyond what the table's short integer holds is refused, never cut.
void CheckOwned(const QString& series, std::int64_t owned);

}  // namespace import
