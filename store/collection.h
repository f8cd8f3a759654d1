#pragma once
// The collection: the series table and the books table, reached through the
// database alias PKEEP.
//
// series.db  key SERIES, PUBLISHER, ENTRY
//   SERIES A60 | PUBLISHER A30 | ENTRY + (auto-increment) | SERNOTE M10 |
//   FAVORITE L | WANTED L | FORSALE L | NEW L | OWNED S
// books.db   key ENTRY, COMIC_NO, EDITION (one issue in several editions)
//   ENTRY I | COMIC_NO A15 (right-aligned) | EDITION A10 | TITLE A80 |
//   ARTIST A80 | WRITER A80 | QTY S | PAID $ | LOW $ | HIGH $ | PERC S |
//   BOOKNOTE M1 | LOCATION M1 | WANTED L | FORSALE L | AUTOGRAPH L

#include <QString>

#include "platform/paradox/table.h"

namespace store {

inline constexpr const char* kAlias = "PKEEP";
inline constexpr const char* kSeriesTable = "series.db";
inline constexpr const char* kBooksTable = "books.db";
inline constexpr int kComicNoWidth = 15;

paradox::TableSchema SeriesSchema();
paradox::TableSchema BooksSchema();

// The collection directory: $PKEEP_DIR, else $XDG_DATA_HOME/panel-keep,
// else ~/.local/share/panel-keep.
QString CollectionDirectory();
// Defines the alias PKEEP in the process's session, designating `directory`
// (by default CollectionDirectory()).
void RegisterAlias(const QString& directory = CollectionDirectory());

// True when either collection table exists in `directory`.
bool CollectionExists(const QString& directory);
// Creates both empty tables (with index and memo files) in `directory`,
// creating the directory when needed; the books table's blocks are sized
// for kBooksRoom books (table_room.h).  Refuses, with EDatabaseError, when
// either table already exists.
void CreateCollection(const QString& directory);

// An issue number in its stored form: right-aligned with leading spaces to
// 15 characters; a longer text is kept as it is.
QString AlignComicNo(const QString& number);

}  // namespace store
