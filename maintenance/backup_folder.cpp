#include "maintenance/backup_folder.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>

#include "maintenance/backup_archive.h"
#include "platform/system/ini_file.h"

namespace backup {

namespace {

const QString kVerifiedList = QStringLiteral(".verified");
const QString kStagingPrefix = QStringLiteral(".staging-");

// "pkeep-YYYYMMDD-HHMMSS[-N].tar.zst"
QDateTime timeFromName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^pkeep-(\\d{8}-\\d{6})(-\\d+)?\\.tar\\.zst$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch()) return QDateTime();
    QDateTime time = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
    time.setTimeSpec(Qt::UTC);
    return time;
}

// The process id a leftover's name ends with (".staging-PID", ".NAME.PID.part").
bool ownerIsGone(const QString& name) {
    static const QRegularExpression pid(QStringLiteral("[-.](\\d+)(\\.part)?$"));
    const QRegularExpressionMatch match = pid.match(name);
    if (!match.hasMatch()) return true;
    const pid_t owner = static_cast<pid_t>(match.captured(1).toLongLong());
    return owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH;
}

QString stamp(const BackupEntry& entry) {
    return QStringLiteral("%1\t%2\t%3")
        .arg(entry.fileName)
        .arg(entry.size)
        .arg(QFileInfo(entry.path).lastModified().toMSecsSinceEpoch());
}

}  // namespace

BackupSettings BackupSettings::Load(const QString& collection) {
    const TIniFile ini(QStringLiteral("pkeep20.ini"));
    const QString section = QStringLiteral("Backups");
    BackupSettings settings;
    settings.folder = ini.ReadString(section, QStringLiteral("Folder"), QString());
    if (settings.folder.isEmpty()) settings.folder = collection + QStringLiteral("/backups");
    RotationPolicy& p = settings.policy;
    p.keepLast = std::max(1, ini.ReadInteger(section, QStringLiteral("KeepLast"), p.keepLast));
    p.keepDays = std::max(0, ini.ReadInteger(section, QStringLiteral("KeepDays"), p.keepDays));
    p.keepWeeks = std::max(0, ini.ReadInteger(section, QStringLiteral("KeepWeeks"), p.keepWeeks));
    return settings;
}

QVector<BackupEntry> BackupFolder::list() const {
    QVector<BackupEntry> entries;
    const QFileInfoList files = QDir(path_).entryInfoList(
        {QStringLiteral("*") + QLatin1String(kArchiveSuffix)}, QDir::Files);
    for (const QFileInfo& file : files) {
        QDateTime created = timeFromName(file.fileName());
        if (!created.isValid()) created = file.lastModified().toUTC();
        entries.push_back({file.absoluteFilePath(), file.fileName(), created, file.size()});
    }
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        return a.created != b.created ? a.created > b.created : a.fileName > b.fileName;
    });
    return entries;
}

std::optional<BackupEntry> BackupFolder::newest() const {
    const QVector<BackupEntry> entries = list();
    if (entries.isEmpty()) return std::nullopt;
    return entries.front();
}

QString BackupFolder::newArchivePath(const QDateTime& now) const {
    if (!QDir().mkpath(path_))
        throw EBackupError(
            QStringLiteral("Cannot create the backup folder %1").arg(path_).toStdString());
    QTemporaryFile probe(path_ + QStringLiteral("/.probe-XXXXXX"));
    if (!probe.open())
        throw EBackupError(
            QStringLiteral("The backup folder %1 is not writable").arg(path_).toStdString());
    const QString base =
        path_ + QStringLiteral("/pkeep-") + now.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base + QLatin1String(kArchiveSuffix);
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QStringLiteral("-%1").arg(n) + QLatin1String(kArchiveSuffix);
    return name;
}

QString BackupFolder::stagingPath() const {
    return path_ + QLatin1Char('/') + kStagingPrefix + QString::number(::getpid());
}

void BackupFolder::removeLeftovers() const {
    const QFileInfoList items =
        QDir(path_).entryInfoList({kStagingPrefix + QLatin1Char('*'), QStringLiteral(".*.part")},
                                  QDir::Dirs | QDir::Files | QDir::Hidden);
    for (const QFileInfo& item : items) {
        if (!ownerIsGone(item.fileName())) continue;
        if (item.isDir())
            QDir(item.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(item.absoluteFilePath());
    }
}

std::optional<bool> BackupFolder::knownVerified(const BackupEntry& entry) const {
    QFile file(path_ + QLatin1Char('/') + kVerifiedList);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QString key = stamp(entry) + QLatin1Char('\t');
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(key)) return text.endsWith(QLatin1String("\tok"));
    }
    return std::nullopt;
}

bool BackupFolder::verify(const BackupEntry& entry, QString* why) const {
    bool ok = true;
    try {
        VerifyArchive(entry.path);
    } catch (const std::exception& e) {
        ok = false;
        if (why) *why = QString::fromUtf8(e.what());
    }
    record(entry, ok);
    return ok;
}

void BackupFolder::record(const BackupEntry& entry, bool ok) const {
    const QString listPath = path_ + QLatin1Char('/') + kVerifiedList;
    QStringList kept;
    QFile old(listPath);
    const QString prefix = entry.fileName + QLatin1Char('\t');
    if (old.open(QIODevice::ReadOnly))
        for (const QByteArray& line : old.readAll().split('\n')) {
            const QString text = QString::fromUtf8(line);
            const QString name = text.section(QLatin1Char('\t'), 0, 0);
            if (!text.isEmpty() && !text.startsWith(prefix) &&
                QFileInfo::exists(path_ + QLatin1Char('/') + name))
                kept << text;
        }
    kept << stamp(entry) + (ok ? QStringLiteral("\tok") : QStringLiteral("\tbad"));
    QSaveFile file(listPath);
    if (file.open(QIODevice::WriteOnly)) {
        file.write((kept.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        file.commit();  // only a cache: losing it costs a re-check
    }
}

QStringList BackupFolder::rotate(const RotationPolicy& policy, const QDateTime& now) const {
    const QVector<BackupEntry> entries = list();
    QVector<QDateTime> created;
    for (const BackupEntry& entry : entries) created.push_back(entry.created);
    const QVector<bool> keep = BackupsToKeep(created, policy, now, [&](int i) {
        const std::optional<bool> known = knownVerified(entries[i]);
        return known ? *known : verify(entries[i]);
    });
    QStringList removed;
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (!keep[i] && QFile::remove(entries[i].path)) removed << entries[i].fileName;
    return removed;
}

}  // namespace backup
