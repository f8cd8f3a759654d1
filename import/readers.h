#pragma once
// One reader per format: each reads a whole file (or folder) into the
// neutral list of books, each book naming where it came from.  A file that
// cannot be read raises EImportError naming the file and the line or entry.

#include <QString>

#include "import/column_map.h"
#include "import/imported_book.h"
#include "import/progress.h"

namespace import {

ImportedBooks ReadTellico(const QString& path, const Progress& progress);
ImportedBooks ReadGCstar(const QString& path, const Progress& progress);
ImportedBooks ReadComicRack(const QString& path, const Progress& progress);
ImportedBooks ReadComicFiles(const QString& folder, const Progress& progress);
// At most `maxRows` rows after the header (-1: all).
ImportedBooks ReadCsv(const QString& path, const ColumnMap& columns, const Progress& progress,
                      qint64 maxRows = -1);
// Puts one CSV column's value into the book's field for `target`.
void AssignColumn(ImportedBook& book, Target target, const QString& value);

}  // namespace import
