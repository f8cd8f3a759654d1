#include "maintenance/backup_snapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <memory>
#include <thread>
#include <vector>

#include "platform/paradox/errors.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/table.h"
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

std::shared_ptr<paradox::Table> openWaiting(const QString& path, Clock::time_point deadline) {
    for (;;) {
        try {
            return paradox::Table::open(path.toStdString());
        } catch (const paradox::ETableInUse&) {
            if (Clock::now() >= deadline)
                throw EBackupBusy(QStringLiteral("The collection is in use by another program "
                                                 "(%1 is locked); the backup was skipped")
                                      .arg(path)
                                      .toStdString());
            std::this_thread::sleep_for(kRetryEvery);
        }
    }
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
        std::vector<std::shared_ptr<paradox::Table>> locked;
        for (const QString& table : CollectionTables()) {
            const QString name = existingName(collection, table);
            if (name.isEmpty()) continue;
            locked.push_back(openWaiting(collection + QLatin1Char('/') + name, start + wait));
            snapshot.rows.insert(table, static_cast<qint64>(locked.back()->rowCount()));
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
