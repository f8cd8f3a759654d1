#pragma once
// Taking a backup, start to end: the snapshot under the tables' locks, the
// archive, its verification and the rotation of the folder.  The program
// splits it in two (the snapshot on its own thread, the rest on a worker
// thread); pkeep-admin runs it whole.

#include <QString>
#include <QStringList>
#include <chrono>

#include "maintenance/backup_folder.h"
#include "maintenance/backup_manifest.h"
#include "maintenance/backup_snapshot.h"

namespace backup {

// How long a backup waits for a table another program holds.
inline constexpr std::chrono::milliseconds kLockWait{2000};

struct BackupResult {
    QString archive;
    Manifest manifest;
    double heldMs = 0;
    QStringList removed;  // archives the rotation deleted
};

// The first half: the snapshot into the folder's staging copy.
struct PendingBackup {
    BackupSettings settings;
    QString reason;
    Snapshot snapshot;
};
PendingBackup StartBackup(const QString& collection, const QString& reason,
                          std::chrono::milliseconds wait = kLockWait);
// The second half: archive, verify, rotate; removes the staging copy.
// Touches no table, so it may run on another thread.
BackupResult FinishBackup(const PendingBackup& pending);

BackupResult TakeBackup(const QString& collection, const QString& reason,
                        std::chrono::milliseconds wait = kLockWait);

// True when the newest backup of the collection was not taken today (local
// time), so that a change now is the day's first.
bool DailyBackupDue(const QString& collection);

}  // namespace backup
