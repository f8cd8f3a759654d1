#pragma once
// A consistent copy of the collection's files, from which a backup archive is
// written at leisure.
//
// The copy is taken under the tables' locks: a table no program has open is
// locked as the engine locks it, without loading it (or opened through the
// engine when a crash left a change to put right); a table this program has
// open is shared with its windows, whose changes are complete whenever this
// code runs.  While the locks are held the files are only copied inside the
// kernel into a staging folder, so the user's work waits for a copy, not for
// the compression.
// A program that holds a table is waited for briefly; then the snapshot is
// refused with a message.

#include <QMap>
#include <QString>
#include <QStringList>
#include <chrono>

#include "maintenance/backup_manifest.h"

namespace backup {

// The locks could not be had in time.
class EBackupBusy : public EBackupError {
public:
    using EBackupError::EBackupError;
};

// The tables of a collection, each with its .px and .mb beside it.
QStringList CollectionTables();
// The collection's files present in `collection`, relative to it: every
// table's files, the covers folder's files and the report logo.
QStringList CollectionFiles(const QString& collection);

struct Snapshot {
    QString staging;             // holds the copies under their relative names
    QStringList files;           // relative names
    QMap<QString, qint64> rows;  // per table
    double heldMs = 0;           // how long the tables' locks were held
};

// Copies the collection into `staging` (created, must not hold anything the
// caller needs).  Waits up to `wait` for the tables' locks.
Snapshot TakeSnapshot(const QString& collection, const QString& staging,
                      std::chrono::milliseconds wait);

}  // namespace backup
