#include "maintenance/backup_restore.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>
#include <vector>

#include "maintenance/backup_archive.h"
#include "platform/base/scope_guard.h"
#include "platform/paradox/file_io.h"
#include "platform/system/durable_file.h"

namespace backup {

namespace {

const QString kJournal = QStringLiteral(".restore-journal");
const QString kStagingPrefix = QStringLiteral(".restore-");

// Journal lines: "staging NAME", then "replace NAME" / "remove NAME".
struct RestorePlan {
    QString staging;
    QStringList replace;
    QStringList remove;
};

QString inCollection(const QString& collection, const QString& name) {
    return collection + QLatin1Char('/') + name;
}

void writeJournal(const QString& collection, const RestorePlan& plan) {
    QStringList lines{QStringLiteral("staging ") + plan.staging};
    for (const QString& name : plan.replace) lines << QStringLiteral("replace ") + name;
    for (const QString& name : plan.remove) lines << QStringLiteral("remove ") + name;
    QSaveFile file(inCollection(collection, kJournal));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) < 0 ||
        !file.commit())
        throw EBackupError(QStringLiteral("Cannot write %1: %2")
                               .arg(file.fileName(), file.errorString())
                               .toStdString());
    durable::SyncDirectory(collection);
}

RestorePlan readJournal(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EBackupError(QStringLiteral("Cannot read %1").arg(path).toStdString());
    RestorePlan plan;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const QString word = line.section(QLatin1Char(' '), 0, 0);
        const QString name = line.section(QLatin1Char(' '), 1);
        if (word == QLatin1String("staging")) plan.staging = name;
        if (word == QLatin1String("replace")) plan.replace << name;
        if (word == QLatin1String("remove")) plan.remove << name;
    }
    if (plan.staging.isEmpty() || plan.replace.isEmpty())
        throw EBackupError(
            QStringLiteral("The restore journal %1 is damaged").arg(path).toStdString());
    return plan;
}

// Step 6; every step may already have been done by an earlier attempt.
void applyPlan(const QString& collection, const RestorePlan& plan) {
    const QString staging = inCollection(collection, plan.staging);
    QStringList folders{collection};
    for (const QString& name : plan.replace) {
        const QString from = staging + QLatin1Char('/') + name;
        if (!QFileInfo::exists(from)) continue;
        const QString to = inCollection(collection, name);
        QDir().mkpath(QFileInfo(to).absolutePath());
        if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
            throw EBackupError(
                QStringLiteral("Cannot move the restored %1 into place").arg(to).toStdString());
        folders << QFileInfo(to).absolutePath();
    }
    for (const QString& name : plan.remove) QFile::remove(inCollection(collection, name));
    folders.removeDuplicates();
    for (const QString& folder : folders) durable::SyncDirectory(folder);
    QFile::remove(inCollection(collection, kJournal));
    durable::SyncDirectory(collection);
    QDir(staging).removeRecursively();
}

// The files to delete: what the collection has and the archive does not,
// and the engine journals of the tables (they belong to the old files).
QStringList filesToRemove(const QString& collection, const Manifest& manifest) {
    QStringList remove;
    for (const QString& name : CollectionFiles(collection))
        if (!manifest.file(name)) remove << name;
    for (const QString& table : CollectionTables()) remove << table + QStringLiteral("-journal");
    return remove;
}

// Holds every table's lock for as long as it lives.
class CollectionLock {
public:
    explicit CollectionLock(const QString& collection) {
        for (const QString& table : CollectionTables()) {
            const std::string path =
                paradox::findCaseInsensitive(inCollection(collection, table).toStdString());
            if (path.empty()) continue;
            bool writable = false;
            paradox::FileHandle handle = paradox::FileHandle::openExisting(path, writable);
            if (!handle.tryLockExclusive())
                throw EBackupError(QStringLiteral("The collection is open (%1 is in use); close "
                                                  "the program's collection window or the other "
                                                  "program first")
                                       .arg(QString::fromStdString(path))
                                       .toStdString());
            handles_.push_back(std::move(handle));
        }
    }

private:
    std::vector<paradox::FileHandle> handles_;
};

}  // namespace

void RequireCollectionClosed(const QString& collection) { CollectionLock probe(collection); }

RestoreResult RestoreArchive(const QString& collection, const QString& archive) {
    RecoverRestore(collection);
    RestoreResult result;
    RestorePlan plan{kStagingPrefix + QString::number(::getpid()), {}, {}};
    const QString staging = inCollection(collection, plan.staging);
    QDir(staging).removeRecursively();
    const TUndoOnError noStaging([&] { QDir(staging).removeRecursively(); });
    // 1 and 4: read into the staging folder and checked before anything else
    // (the backup of step 3 may rotate the archive away).
    result.manifest = VerifyArchive(archive, staging);
    durable::SyncDirectory(staging);
    RequireCollectionClosed(collection);                                                    // 2
    result.undoArchive = TakeBackup(collection, QStringLiteral("before restore")).archive;  // 3
    const CollectionLock lock(collection);
    for (const ManifestFile& file : result.manifest.files) plan.replace << file.name;
    plan.remove = filesToRemove(collection, result.manifest);
    writeJournal(collection, plan);  // 5
    applyPlan(collection, plan);     // 6
    return result;
}

bool RecoverRestore(const QString& collection) {
    const QString journal = inCollection(collection, kJournal);
    if (QFileInfo::exists(journal)) {
        applyPlan(collection, readJournal(journal));
        return true;
    }
    const QFileInfoList leftovers =
        QDir(collection)
            .entryInfoList({kStagingPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden);
    for (const QFileInfo& dir : leftovers) {
        const pid_t owner =
            static_cast<pid_t>(dir.fileName().mid(kStagingPrefix.size()).toLongLong());
        if (owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH)
            QDir(dir.absoluteFilePath()).removeRecursively();
    }
    return false;
}

}  // namespace backup
