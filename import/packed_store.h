#pragma once
// An import into an empty collection writes each table whole, in one pass
// (tutil::RowPacker), under a work name in the import's undo folder, and
// then renames the work files over the empty table's files; the engine would insert the rows
// one at a time.  The import's undo marker covers the renames as it covers
// any commit: a process killed half way leaves copies of the empty tables,
// which are put back.

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "import/commit.h"
#include "import/plan_data.h"

namespace import {

// The two empty tables, which the caller holds open (and so locked, and
// nobody else can write them) under the import's undo marker.
struct EmptyTables {
    std::string seriesDb, booksDb;
    QString seriesWork, booksWork;   // where their new files go (without extension)
    std::int64_t seriesCounter = 0;  // the series table's last ENTRY
};

// Stores the plan into the empty tables and makes the result durable.
// Returns nullopt, with the tables and their folder as they were, when two
// rows have the same key as the engine compares keys (texts that differ
// only outside the tables' code page), or the tables lack one of the files
// a packed table has; the caller then stores row by row, as it does for
// tables that hold rows.  Raises EImportCancelled when `progress` cancels
// and any Exception on failure, leaving no work file behind.
std::optional<CommitResult> StoreIntoEmptyTables(const PlanData& data,
                                                 const std::vector<Placement>& placements,
                                                 const EmptyTables& tables,
                                                 const Progress& progress);

}  // namespace import
