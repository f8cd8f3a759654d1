#include "maintenance/backup_snapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <memory>
#include <thread>
#include <vector>

#include "platform/paradox/errors.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/header.h"
#include "platform/paradox/table.h"
#include "platform/paradox/table_swap.h"
#include "platform/system/durable_file.h"

namespace backup {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRetryEvery = std::chrono::milliseconds(50);
const char* const kTableExtensions[] = {".db", ".px", ".mb"};

// The file of that name in the collection, in the case it has on disk; ""
// when there is none.
QString existingName(const QString& collection, const QString& name) {
    const std::string found =
        paradox::findCaseInsensitive((collection + QLatin1Char('/') + name).toStdString());
    return found.empty() ? QString() : QFileInfo(QString::fromStdString(found)).fileName();
}

[[noreturn]] void busy(const QString& path) {
    throw EBackupBusy(QStringLiteral("The collection is in use by another program (%1 is "
                                     "locked); the backup was skipped")
                          .arg(path)
                          .toStdString());
}

// A table held for the snapshot, with its row count.
struct HeldTable {
    paradox::FileHandle lock;               // when no program had it open
    std::shared_ptr<paradox::Table> table;  // when this program has it open
    qint64 rows = 0;
};

// A change cut short (a change journal, or an interrupted rebuild swap) is
// put right by opening the table through the engine.
bool needsRecovery(const std::string& db) {
    return paradox::fileExists(db + "-journal") ||
           paradox::fileExists(paradox::swapJournalPath(db));
}

// The row count from the header of a table nobody has open.
qint64 headerRowCount(const paradox::FileHandle& db) {
    std::uint8_t fixed[4] = {};
    db.readAt(0, fixed, sizeof fixed);
    std::vector<std::uint8_t> header(static_cast<std::size_t>(fixed[2] | fixed[3] << 8));
    db.readAt(0, header.data(), header.size());
    return paradox::parseHeader(header.data(), db.size(), db.path(), paradox::FileKind::Data)
        .numRecords;
}

// Taking the table's lock without loading it is enough when no program has
// it open and nothing is to be recovered; otherwise it is opened through the
// engine, which shares this program's open table or recovers it.
bool tryHold(const std::string& db, HeldTable& held) {
    if (!needsRecovery(db)) {
        bool writable = false;
        paradox::FileHandle handle = paradox::FileHandle::openExisting(db, writable);
        if (handle.tryLockExclusive()) {
            held.rows = headerRowCount(handle);
            held.lock = std::move(handle);
            return true;
        }
    }
    try {
        held.table = paradox::Table::open(db);
        held.rows = static_cast<qint64>(held.table->rowCount());
        return true;
    } catch (const paradox::ETableInUse&) {
        return false;
    }
}

HeldTable holdWaiting(const QString& path, Clock::time_point deadline) {
    HeldTable held;
    while (!tryHold(path.toStdString(), held)) {
        if (Clock::now() >= deadline) busy(path);
        std::this_thread::sleep_for(kRetryEvery);
    }
    return held;
}

}  // namespace

QStringList CollectionTables() {
    return {QStringLiteral("series.db"), QStringLiteral("books.db"), QStringLiteral("extras.db")};
}

QStringList CollectionFiles(const QString& collection) {
    QStringList files;
    for (const QString& table : CollectionTables()) {
        const QString base = table.chopped(3);
        for (const char* ext : kTableExtensions) {
            const QString name = existingName(collection, base + QLatin1String(ext));
            if (!name.isEmpty()) files << name;
        }
    }
    const QString logo = existingName(collection, QStringLiteral("PKEEP20.BMP"));
    if (!logo.isEmpty()) files << logo;
    const QDir root(collection);
    QDirIterator covers(collection + QStringLiteral("/covers"), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
    while (covers.hasNext()) files << root.relativeFilePath(covers.next());
    return files;
}

Snapshot TakeSnapshot(const QString& collection, const QString& staging,
                      std::chrono::milliseconds wait) {
    if (!QDir().mkpath(staging))
        throw EBackupError(QStringLiteral("Cannot create the folder %1 for the backup")
                               .arg(staging)
                               .toStdString());
    Snapshot snapshot;
    snapshot.staging = staging;
    const auto start = Clock::now();
    {
        std::vector<HeldTable> locked;
        for (const QString& table : CollectionTables()) {
            const QString name = existingName(collection, table);
            if (name.isEmpty()) continue;
            locked.push_back(holdWaiting(collection + QLatin1Char('/') + name, start + wait));
            snapshot.rows.insert(table, locked.back().rows);
        }
        if (locked.empty())
            throw EBackupError(QStringLiteral("There is no collection in %1 to back up")
                                   .arg(collection)
                                   .toStdString());
        snapshot.files = CollectionFiles(collection);
        for (const QString& file : snapshot.files) {
            const QString target = staging + QLatin1Char('/') + file;
            QDir().mkpath(QFileInfo(target).absolutePath());
            durable::CopyFile(collection + QLatin1Char('/') + file, target);
        }
    }
    snapshot.heldMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return snapshot;
}

}  // namespace backup
