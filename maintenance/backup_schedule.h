#pragma once
// TBackupSchedule: the program's automatic backups.  It watches the engine
// for changes; after the day's first change it takes a backup, and when the
// program quits after changes it takes one more.  Only the snapshot (a copy
// of the files under the tables' locks) runs on the program's thread; the
// archive, its check and the rotation run on a worker thread, so the user's
// work waits for the copy alone.

#include <QDate>
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

namespace backup {
struct BackupResult;
}

class TBackupSchedule : public QObject {
    Q_OBJECT

public:
    explicit TBackupSchedule(QString collection, QObject* parent = nullptr);
    ~TBackupSchedule() override;

    // Starts a backup unless one is running; the result comes with Finished.
    // A snapshot that fails (the tables busy, the folder not writable) is
    // reported through OnMessage at once.
    void BackupNow(const QString& reason);
    // Waits for the running backup, if any.
    void Wait();
    bool Running() const { return worker_ != nullptr; }
    bool ChangedSinceBackup() const { return changed_; }

    // Where failures are reported (a message box in the program).
    std::function<void(const QString&)> OnMessage;

signals:
    // "" on success, else the reason the backup failed.
    void Finished(const QString& archive, const QString& error);

private:
    void noteChange();
    void workerDone();
    void quitting();

    QString collection_;
    bool changed_ = false;
    QDate dailyCheckedOn_;  // the day whose first change was looked at
    std::unique_ptr<QThread> worker_;
    QString workerArchive_, workerError_;
};
