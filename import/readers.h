#pragma once
// One reader per format: each reads a whole file (or folder), handing each
// book to `sink` as soon as it is read, each book naming where it came
// from.  A file that cannot be read raises EImportError naming the file and
// the line or entry.

#include <QString>
#include <functional>

#include "import/column_map.h"
#include "import/imported_book.h"
#include "import/progress.h"

namespace import {

using BookSink = std::function<void(ImportedBook&&)>;

void ReadTellico(const QString& path, const BookSink& sink, const Progress& progress);
void ReadGCstar(const QString& path, const BookSink& sink, const Progress& progress);
void ReadComicRack(const QString& path, const BookSink& sink, const Progress& progress);
void ReadComicFiles(const QString& folder, const BookSink& sink, const Progress& progress);
// At most `maxRows` rows after the header (-1: all).
void ReadCsv(const QString& path, const ColumnMap& columns, const BookSink& sink,
             const Progress& progress, qint64 maxRows = -1);
// Puts one CSV column's value into the book's field for `target`.
void AssignColumn(ImportedBook& book, Target target, const QString& value);

}  // namespace import
