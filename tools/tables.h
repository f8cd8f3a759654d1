#pragma once
// The two collection tables of a directory, opened on the engine for the
// bulk commands (which work below the dataset layer).

#include <QString>
#include <QTextStream>
#include <functional>
#include <memory>

#include "platform/paradox/table.h"

namespace admin {

struct CollectionTables {
    std::shared_ptr<paradox::Table> series;
    std::shared_ptr<paradox::Table> books;
};

QString SeriesPath(const QString& directory);
QString BooksPath(const QString& directory);
// Opens both tables; a missing one raises a message that says how to create
// a collection.
CollectionTables OpenCollection(const QString& directory);
// Raises when either table holds a row.
void RequireEmpty(const CollectionTables& tables, const QString& directory, const char* command);
// Runs `fill` on the empty tables and saves both: the collection is filled
// whole or not at all.  The fill calls `rowStored` after each row it
// inserts; the rows are committed in chunks, so that the engine holds the
// changed blocks of one chunk at a time, not of the whole fill.  Copies of
// the empty tables (and of the extras table, when there is one) are kept
// aside first (import::ImportUndo): a failure anywhere (a refused row, a
// full table, a failed write) puts them back before the reason is raised,
// and a process killed midway leaves them for the next start to put back.
// A table that is full is reported with the command that rebuilds it into
// larger blocks.  On success the tables are open again, as saved.
using RowStored = std::function<void()>;
void FillEmptyCollection(CollectionTables& tables, const QString& directory,
                         const std::function<void(const RowStored& rowStored)>& fill);
// Prints a warning for each table whose blocks are nearly all in use, with
// the command that rebuilds it into larger blocks.
void WarnOfTablesNearlyFull(const CollectionTables& tables, QTextStream& out);

}  // namespace admin
