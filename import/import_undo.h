#pragma once
// Makes an import of both tables one change.  The engine keeps each table
// whole on its own; across the two, the import keeps copies of both tables'
// files, taken before the first row is written, in the folder .import-undo
// of the collection, and a marker file that is there exactly while the
// tables may differ from the copies without the import being complete.
//
//   1. lock .import-undo/lock (one import at a time)
//   2. copy the six files, each made durable
//   3. write the marker listing them (written aside, renamed, made durable)
//   4. the import writes and saves both tables
//   5. remove the marker: the import is complete (the commit point)
//   6. remove the copies
//
// A process killed between 3 and 5 leaves the marker: the next process to
// open the collection puts the copies back (Recover), removes the engine's
// rollback journals, which describe changes to the files just replaced, and
// then the marker.  Putting back is itself repeated if it is cut short.
//
// An import into empty tables writes the new tables in the same folder
// (WorkBase) and renames them over the tables' files in step 4; whatever
// of them a killed import left is removed with the copies.

#include <QString>
#include <QStringList>
#include <string>

namespace import {

class ImportUndo {
public:
    // Steps 1-3 for the tables of `collectionDir` (their files, relative
    // names).  The tables must be open (locked, recovered) and unchanged.
    ImportUndo(const QString& collectionDir, const QStringList& tableFiles);
    // The files of the table at `dbPath` (.db, and its .px and .mb when
    // there), by their names in its directory, as the constructor takes them.
    static QStringList FilesOfTable(const std::string& dbPath);
    ~ImportUndo();
    ImportUndo(const ImportUndo&) = delete;
    ImportUndo& operator=(const ImportUndo&) = delete;

    // Steps 5-6, once both tables are saved and closed.
    void Complete();
    // Puts the copies back (the tables must be closed).
    void RollBack();

    // Where an import writes the new files of `table` ("books") before they
    // take the place of the table's files: a path without extension.
    static QString WorkBase(const QString& collectionDir, const QString& table);

    // What a killed import left: rolls it back, or, killed before its
    // marker was written, removes the copies it was taking.  Raises EImportError when
    // another process holds the lock (its import is under way).
    static void Recover(const QString& collectionDir);

private:
    QString dir_, undoDir_;
    QStringList files_;
    int lockFd_ = -1;
    bool done_ = false;
};

}  // namespace import
