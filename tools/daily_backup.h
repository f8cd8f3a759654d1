#pragma once
// The automatic backups of pkeep-admin: a command that changed the collection
// is followed by a backup when it made the day's first change.  An
// interrupted restore is finished before any command touches the collection.

#include <QString>
#include <QTextStream>

namespace admin {

class DailyBackup {
public:
    // Finishes an interrupted restore and starts watching for changes.
    explicit DailyBackup(const QString& directory);
    ~DailyBackup();
    DailyBackup(const DailyBackup&) = delete;
    DailyBackup& operator=(const DailyBackup&) = delete;

    // After a successful command: the backup, if one is due.  A backup that
    // fails is reported on `err`; the command's own result stands.
    void afterCommand(QTextStream& out, QTextStream& err);

private:
    QString directory_;
    bool changed_ = false;
};

}  // namespace admin
