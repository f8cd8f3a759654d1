#pragma once
// Restoring a backup over the collection.
//
//  1. The archive is read whole into a staging folder inside the collection
//     directory, every file checked against its manifest and synced
//     (nothing of the collection is touched when it fails).
//  2. No program may have the collection open: each table's lock is tried
//     (and refused with a message when another holder has it).
//  3. A backup of the current state is taken, so that the restore can be
//     undone by restoring that one.
//  4. The tables' locks are taken and held to the end.
//  5. The restore journal is written (temporary name, sync, rename): from
//     here on the restore is decided.  It lists the files to move into place
//     and the collection files the archive does not have, to delete.
//  6. The files are renamed into place, the others deleted, the directory
//     synced; then the journal and the staging folder are removed.
//
// A crash before step 5 leaves the collection as it was (the staging folder
// is removed later); a crash after it is finished by RecoverRestore, which
// the program and pkeep-admin run before they touch the collection.

#include <QString>

#include "maintenance/backup_service.h"

namespace backup {

struct RestoreResult {
    Manifest manifest;    // of the restored archive
    QString undoArchive;  // the backup of the state before the restore
};

RestoreResult RestoreArchive(const QString& collection, const QString& archive);

// Finishes a restore a crash cut short after it was decided, or clears the
// staging copy of one cut short before.  Returns true when one was finished.
bool RecoverRestore(const QString& collection);

// Raises EBackupError when a program (this one included) has a table of
// the collection open.
void RequireCollectionClosed(const QString& collection);

}  // namespace backup
