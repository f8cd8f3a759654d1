// pkeep-admin backup, backups, restore and verify: the collection's backups
// and its check, as File, Backups... and Verify Collection offer them.
#include <QFileInfo>
#include <QLocale>

#include "maintenance/backup_archive.h"
#include "maintenance/backup_restore.h"
#include "maintenance/backup_service.h"
#include "maintenance/collection_check.h"
#include "tools/command.h"

namespace {

void noArguments(const admin::Arguments& arguments, const char* command) {
    if (!arguments.positional().isEmpty())
        throw admin::UsageError(std::string(command) + " takes no arguments");
}

QString sizeText(qint64 bytes) { return QLocale::c().formattedDataSize(bytes); }

int runBackup(admin::Context& context, const QStringList& args) {
    noArguments(admin::Arguments(args, {}), "backup");
    const backup::BackupResult result =
        backup::TakeBackup(context.directory, QStringLiteral("manual"));
    context.out << "Backed up " << result.manifest.rowCount(QStringLiteral("series.db"))
                << " series and " << result.manifest.rowCount(QStringLiteral("books.db"))
                << " books to " << result.archive << "\n";
    for (const QString& name : result.removed)
        context.out << "  Removed the older backup " << name << "\n";
    return 0;
}

QString verifiedText(const backup::BackupFolder& folder, const backup::BackupEntry& entry,
                     bool check) {
    std::optional<bool> ok = folder.knownVerified(entry);
    if (check) ok = folder.verify(entry);
    if (!ok) return QStringLiteral("not checked");
    return *ok ? QStringLiteral("verified") : QStringLiteral("DAMAGED");
}

int runList(admin::Context& context, const QStringList& args) {
    const admin::Arguments arguments(args, {}, {QStringLiteral("--verify")});
    noArguments(arguments, "backups");
    const bool check = arguments.has(QStringLiteral("--verify"));
    const backup::BackupFolder folder(backup::BackupSettings::Load(context.directory).folder);
    const QVector<backup::BackupEntry> entries = folder.list();
    context.out << entries.size() << " backups in " << folder.path() << "\n";
    bool allGood = true;
    for (const backup::BackupEntry& entry : entries) {
        QString counts = QStringLiteral("unreadable");
        try {
            const backup::Manifest m = backup::ReadManifest(entry.path);
            counts = QStringLiteral("%1 books, %2 series")
                         .arg(m.rowCount(QStringLiteral("books.db")))
                         .arg(m.rowCount(QStringLiteral("series.db")));
        } catch (const std::exception&) {
        }
        const QString verified = verifiedText(folder, entry, check);
        allGood = allGood && verified != QLatin1String("DAMAGED") &&
                  counts != QLatin1String("unreadable");
        context.out << entry.created.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                    << "  " << counts << "  " << sizeText(entry.size) << "  " << verified << "  "
                    << entry.fileName << "\n";
    }
    return allGood ? 0 : 1;
}

int runRestore(admin::Context& context, const QStringList& args) {
    const admin::Arguments arguments(args, {});
    if (arguments.positional().size() != 1) throw admin::UsageError("restore takes one ARCHIVE");
    QString archive = arguments.positional()[0];
    // A bare name not found in the current directory is one of the
    // collection's backups.
    if (!archive.contains(QLatin1Char('/')) && !QFileInfo::exists(archive))
        archive =
            backup::BackupSettings::Load(context.directory).folder + QLatin1Char('/') + archive;
    const backup::RestoreResult result = backup::RestoreArchive(context.directory, archive);
    context.out << "Restored " << result.manifest.rowCount(QStringLiteral("series.db"))
                << " series and " << result.manifest.rowCount(QStringLiteral("books.db"))
                << " books from " << archive << " (taken "
                << result.manifest.created.toLocalTime().toString(
                       QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                << ")\nThe collection as it was is backed up in " << result.undoArchive
                << "; restore that one to undo.\n";
    return 0;
}

int runVerify(admin::Context& context, const QStringList& args) {
    const admin::Arguments arguments(args, {}, {QStringLiteral("--recount")});
    noArguments(arguments, "verify");
    const bool recount = arguments.has(QStringLiteral("--recount"));
    backup::CheckReport report = backup::CheckCollection(context.directory);
    if (report.ownedCountsWrong && recount) {
        const int changed = backup::RecountOwned(context.directory);
        context.out << "Recounted the owned counts of " << changed << " series\n";
        report = backup::CheckCollection(context.directory);
    }
    context.out << report.text();
    return report.ok() ? 0 : 1;
}

admin::Registration backupRegistration{
    {"backup", "", "Back up the collection now", runBackup,
     "Writes a compressed archive (.tar.zst) of every table, memo and index file,\n"
     "the covers and the logo, with a manifest (program version, time, row counts,\n"
     "SHA-256 of every file), into the backup folder: backups/ in the collection\n"
     "directory unless pkeep20.ini names another ([Backups] Folder=).  Then the\n"
     "older backups are thinned out: the last 10, one a day for a week and one a\n"
     "week for eight weeks are kept ([Backups] KeepLast=, KeepDays=, KeepWeeks=).\n"
     "A backup also follows the first change of each day.\n"}};
admin::Registration listRegistration{
    {"backups", "[--verify]", "List the backups (time, books, series, size, verified)", runList,
     "--verify reads every archive and checks it against its manifest; the status\n"
     "is 1 when any archive is damaged.\n"}};
admin::Registration restoreRegistration{
    {"restore", "ARCHIVE", "Replace the collection with a backup", runRestore,
     "Checks the archive (a path, or a name in the backup folder) against its\n"
     "manifest, refuses while the collection is open, backs up the collection as it\n"
     "is (restore that backup to undo) and then puts the archive's files in place.\n"}};
admin::Registration verifyRegistration{
    {"verify", "[--recount]", "Check the tables, indexes, memos, owned counts and series",
     runVerify,
     "Opens every table (header, index, memo pointers), checks that each series'\n"
     "owned count is the sum of its books' quantities and that every book's series\n"
     "exists.  Reports each problem with its count and the command that repairs it;\n"
     "--recount sets the owned counts right.  The status is 0 only when all is well.\n"}};

}  // namespace
