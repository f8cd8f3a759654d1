#include "tools/daily_backup.h"

#include "maintenance/backup_restore.h"
#include "maintenance/backup_service.h"
#include "platform/paradox/table.h"

namespace admin {

DailyBackup::DailyBackup(const QString& directory) : directory_(directory) {
    backup::RecoverRestore(directory_);
    paradox::SetChangeObserver([this](const std::string&) { changed_ = true; });
}

DailyBackup::~DailyBackup() { paradox::SetChangeObserver(nullptr); }

void DailyBackup::afterCommand(QTextStream& out, QTextStream& err) {
    if (!changed_ || !backup::DailyBackupDue(directory_)) return;
    try {
        const backup::BackupResult result = backup::TakeBackup(directory_, QStringLiteral("daily"));
        out << "Backed up the day's first change to " << result.archive << "\n";
    } catch (const std::exception& e) {
        err << "pkeep-admin: no backup taken: " << QString::fromUtf8(e.what()) << "\n";
    }
}

}  // namespace admin
