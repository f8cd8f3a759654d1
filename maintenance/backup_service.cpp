#include "maintenance/backup_service.h"

#include <QDir>

#include "maintenance/backup_archive.h"
#include "platform/base/scope_guard.h"

namespace backup {

PendingBackup StartBackup(const QString& collection, const QString& reason,
                          std::chrono::milliseconds wait) {
    PendingBackup pending{BackupSettings::Load(collection), reason, {}};
    const BackupFolder folder(pending.settings.folder);
    folder.newArchivePath(QDateTime::currentDateTimeUtc());  // the folder must be writable
    folder.removeLeftovers();
    const QString staging = folder.stagingPath();
    QDir(staging).removeRecursively();
    try {
        pending.snapshot = TakeSnapshot(collection, staging, wait);
    } catch (...) {
        QDir(staging).removeRecursively();
        throw;
    }
    return pending;
}

BackupResult FinishBackup(const PendingBackup& pending) {
    const TUndoOnError noStaging([&] { QDir(pending.snapshot.staging).removeRecursively(); });
    const BackupFolder folder(pending.settings.folder);
    BackupResult result;
    result.heldMs = pending.snapshot.heldMs;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    result.archive = folder.newArchivePath(now);
    result.manifest = WriteArchive(pending.snapshot, pending.reason, result.archive);
    QDir(pending.snapshot.staging).removeRecursively();
    for (const BackupEntry& entry : folder.list())
        if (entry.path == result.archive) folder.verify(entry);
    result.removed = folder.rotate(pending.settings.policy, now);
    return result;
}

BackupResult TakeBackup(const QString& collection, const QString& reason,
                        std::chrono::milliseconds wait) {
    return FinishBackup(StartBackup(collection, reason, wait));
}

bool DailyBackupDue(const QString& collection) {
    const std::optional<BackupEntry> newest =
        BackupFolder(BackupSettings::Load(collection).folder).newest();
    return !newest || newest->created.toLocalTime().date() != QDate::currentDate();
}

}  // namespace backup
