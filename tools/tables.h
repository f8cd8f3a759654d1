#pragma once
// The two collection tables of a directory, opened on the engine for the
// bulk commands (which work below the dataset layer).

#include <QString>
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

}  // namespace admin
