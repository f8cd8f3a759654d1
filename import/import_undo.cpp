#include "import/import_undo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "import/import_error.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/journal.h"
#include "platform/system/durable_file.h"

namespace import {

namespace {

constexpr const char* kUndoFolder = ".import-undo";
constexpr const char* kMarker = "importing";
constexpr const char* kLock = "lock";
constexpr const char* kWorkPrefix = "new-";

QString UndoDir(const QString& collectionDir) {
    return QDir(collectionDir).filePath(QString::fromLatin1(kUndoFolder));
}

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

[[noreturn]] void Fail(const QString& what, const QString& path) {
    throw EImportError(QStringLiteral("cannot %1 %2").arg(what, path).toStdString());
}

// Copies `from` to `to` and makes the copy durable.
void DurableCopy(const QString& from, const QString& to) {
    durable::CopyFile(from, to);
    durable::SyncFile(to);
}

// The lock that lets one import at a time near the collection: -1 when
// another process holds it.
int TakeLock(const QString& undoDir) {
    const int fd = ::open(Native(QDir(undoDir).filePath(QString::fromLatin1(kLock))).c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) Fail(QStringLiteral("create the lock in"), undoDir);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void RemoveMarker(const QString& undoDir) {
    QFile::remove(QDir(undoDir).filePath(QString::fromLatin1(kMarker)));
    paradox::syncDirectory(Native(undoDir));
}

// Removes the copies and whatever else an import left in the folder (new
// tables not put in place, a marker never renamed); the lock file stays
// (another process may wait on it).
void RemoveCopies(const QString& undoDir) {
    const QDir undo(undoDir);
    for (const QString& name : undo.entryList(QDir::Files | QDir::Hidden))
        if (name != QLatin1String(kLock)) QFile::remove(undo.filePath(name));
}

// What an import killed before its marker left: the copies it was taking.
// Only tidying: a folder that cannot be written, or an import under way
// (it holds the lock), keeps them.
void RemoveLeftovers(const QString& undoDir) {
    if (QDir(undoDir).entryList(QDir::Files | QDir::Hidden).size() <= 1) return;  // the lock
    const int fd = ::open(Native(QDir(undoDir).filePath(QString::fromLatin1(kLock))).c_str(),
                          O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) RemoveCopies(undoDir);
    ::close(fd);
}

// Puts every copy back in the collection, each by a rename over the table's
// file, and drops the engine's journals of the tables.
void RestoreCopies(const QString& collectionDir, const QString& undoDir, const QStringList& files) {
    const QDir collection(collectionDir), undo(undoDir);
    for (const QString& name : files) {
        const QString target = collection.filePath(name);
        const QString staged = target + QStringLiteral(".import-restore");
        DurableCopy(undo.filePath(name), staged);
        durable::RenameDurably(staged, target);
    }
    for (const QString& name : files)
        if (name.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
            QFile::remove(QString::fromStdString(
                paradox::Journal::pathFor(Native(collection.filePath(name)))));
    paradox::syncDirectory(Native(collectionDir));
}

QStringList ReadMarker(const QString& undoDir) {
    QFile marker(QDir(undoDir).filePath(QString::fromLatin1(kMarker)));
    if (!marker.open(QIODevice::ReadOnly)) Fail(QStringLiteral("read"), marker.fileName());
    return QString::fromUtf8(marker.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void WriteMarker(const QString& undoDir, const QStringList& files) {
    const QString marker = QDir(undoDir).filePath(QString::fromLatin1(kMarker));
    const QString staged = marker + QStringLiteral(".new");
    {
        QFile file(staged);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(files.join(QLatin1Char('\n')).toUtf8() + '\n') < 0)
            Fail(QStringLiteral("write"), staged);
    }
    durable::SyncFile(staged);
    durable::RenameDurably(staged, marker);
}

}  // namespace

ImportUndo::ImportUndo(const QString& collectionDir, const QStringList& tableFiles)
    : dir_(collectionDir), undoDir_(UndoDir(collectionDir)), files_(tableFiles) {
    if (!QDir().mkpath(undoDir_)) Fail(QStringLiteral("create"), undoDir_);
    lockFd_ = TakeLock(undoDir_);
    if (lockFd_ < 0)
        throw EImportError(
            QStringLiteral("another import into %1 is under way").arg(dir_).toStdString());
    try {
        for (const QString& name : files_)
            DurableCopy(QDir(dir_).filePath(name), QDir(undoDir_).filePath(name));
        paradox::syncDirectory(Native(undoDir_));
        WriteMarker(undoDir_, files_);
    } catch (...) {
        // No marker yet: the tables are untouched, the copies are of no use.
        RemoveCopies(undoDir_);
        ::close(lockFd_);
        throw;
    }
}

ImportUndo::~ImportUndo() {
    if (!done_) {
        try {
            RollBack();
        } catch (...) {
            // The marker stays: the next open of the collection puts the copies back.
        }
    }
    if (lockFd_ >= 0) ::close(lockFd_);
}

QStringList ImportUndo::FilesOfTable(const std::string& dbPath) {
    QStringList files;
    for (const std::string& file :
         {dbPath, paradox::findCaseInsensitive(paradox::withExtension(dbPath, ".px")),
          paradox::findCaseInsensitive(paradox::withExtension(dbPath, ".mb"))})
        if (!file.empty() && paradox::fileExists(file))
            files << QFileInfo(QString::fromStdString(file)).fileName();
    return files;
}

QString ImportUndo::WorkBase(const QString& collectionDir, const QString& table) {
    return QDir(UndoDir(collectionDir)).filePath(QString::fromLatin1(kWorkPrefix) + table);
}

void ImportUndo::Complete() {
    RemoveMarker(undoDir_);
    done_ = true;
    RemoveCopies(undoDir_);
}

void ImportUndo::RollBack() {
    RestoreCopies(dir_, undoDir_, files_);
    RemoveMarker(undoDir_);
    done_ = true;
    RemoveCopies(undoDir_);
}

void ImportUndo::Recover(const QString& collectionDir) {
    const QString undoDir = UndoDir(collectionDir);
    const QString marker = QDir(undoDir).filePath(QString::fromLatin1(kMarker));
    if (!QFile::exists(marker)) return RemoveLeftovers(undoDir);
    const int fd = TakeLock(undoDir);
    if (fd < 0)
        throw EImportError(
            QStringLiteral("another import into %1 is under way").arg(collectionDir).toStdString());
    try {
        if (QFile::exists(marker)) {
            const QStringList files = ReadMarker(undoDir);
            RestoreCopies(collectionDir, undoDir, files);
            RemoveMarker(undoDir);
        }
        RemoveCopies(undoDir);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

}  // namespace import
