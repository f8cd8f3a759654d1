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
// Runs `fill` on the empty tables as one batch per table and saves both.  A
// failure anywhere (a refused row, a full table, a failed write) puts both
// tables back empty before the reason is raised: the collection is filled
// whole or not at all.
// A table that is full is reported with the command that rebuilds it into
// larger blocks.
void FillEmptyCollection(CollectionTables& tables, const QString& directory,
                         const std::function<void()>& fill);
// Prints a warning for each table whose blocks are nearly all in use, with
// the command that rebuilds it into larger blocks.
void WarnOfTablesNearlyFull(const CollectionTables& tables, QTextStream& out);

}  // namespace admin
