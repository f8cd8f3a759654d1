#pragma once
// The folder that holds a collection's backups: by default "backups" inside
// the collection directory, or the folder the settings name (for example on
// another disk).  Archives are named after the time they were taken, in UTC
// ("pkeep-20261208-153400.tar.zst"); the folder also keeps which archives
// were last found to verify, so that listing them does not read them all.

#include <QDateTime>
#include <QString>
#include <QVector>
#include <optional>

#include "maintenance/backup_rotation.h"

namespace backup {

struct BackupEntry {
    QString path;
    QString fileName;
    QDateTime created;  // from the name (UTC), else the file's time
    qint64 size = 0;
};

struct BackupSettings {
    QString folder;
    RotationPolicy policy;

    // From the program's settings file (pkeep20.ini, section [Backups]:
    // Folder, KeepLast, KeepDays, KeepWeeks), with the defaults above.
    static BackupSettings Load(const QString& collection);
};

class BackupFolder {
public:
    explicit BackupFolder(QString path) : path_(std::move(path)) {}
    const QString& path() const { return path_; }

    // The archives, newest first.
    QVector<BackupEntry> list() const;
    std::optional<BackupEntry> newest() const;
    // A fresh archive name for a backup taken `now`.  Creates the folder and
    // raises EBackupError naming it when it cannot be created or written.
    QString newArchivePath(const QDateTime& now) const;
    // A folder for this process's staging copies.
    QString stagingPath() const;
    // Removes what killed backups left behind (their temporary archives and
    // staging copies); those of running processes stay.
    void removeLeftovers() const;

    // Whether the archive verified when last checked (unknown when it was
    // not checked since it last changed).
    std::optional<bool> knownVerified(const BackupEntry& entry) const;
    // Checks the archive and records the answer; `why` gets the reason.
    bool verify(const BackupEntry& entry, QString* why = nullptr) const;

    // Deletes the archives the policy lets go (keeping a verifying one);
    // returns their names.
    QStringList rotate(const RotationPolicy& policy, const QDateTime& now) const;

private:
    void record(const BackupEntry& entry, bool ok) const;
    QString path_;
};

}  // namespace backup
