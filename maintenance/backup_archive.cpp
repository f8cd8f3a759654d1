#include "maintenance/backup_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/system/durable_file.h"
#include "platform/system/sha256.h"

namespace backup {

namespace {

constexpr qint64 kChunk = 1 << 20;

struct ArchiveFree {
    void operator()(archive* a) const { archive_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};
using EntryPtr = std::unique_ptr<archive_entry, EntryFree>;

[[noreturn]] void writeFailed(const QString& archivePath, const QString& why) {
    throw EBackupError(
        QStringLiteral("Cannot write the backup %1: %2").arg(archivePath, why).toStdString());
}

[[noreturn]] void damaged(const QString& archivePath, const QString& why) {
    throw EBackupError(
        QStringLiteral("The backup %1 is damaged: %2").arg(archivePath, why).toStdString());
}

QString libraryError(archive* a) {
    const char* text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
}

Manifest manifestFor(const Snapshot& snapshot, const QString& reason) {
    Manifest m;
    m.version = ProgramVersion();
    m.created = QDateTime::currentDateTimeUtc();
    m.reason = reason;
    m.rows = snapshot.rows;
    for (const QString& name : snapshot.files) {
        const QString path = snapshot.staging + QLatin1Char('/') + name;
        m.files.push_back({name, QFileInfo(path).size(), TSha256::OfFile(path)});
    }
    return m;
}

// One entry: its header, then its bytes from `source` (or `bytes`).
class EntryWriter {
public:
    EntryWriter(archive* a, const QString& archivePath, time_t mtime)
        : a_(a), path_(archivePath), mtime_(mtime) {}

    void addBytes(const QString& name, const QByteArray& bytes) {
        header(name, bytes.size());
        write(bytes.constData(), bytes.size());
    }

    void addFile(const QString& name, const QString& source) {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly))
            writeFailed(path_, QStringLiteral("cannot read ") + source);
        header(name, in.size());
        QByteArray buffer(kChunk, Qt::Uninitialized);
        for (qint64 n; (n = in.read(buffer.data(), kChunk)) > 0;) write(buffer.constData(), n);
    }

private:
    void header(const QString& name, qint64 size) {
        EntryPtr entry(archive_entry_new());
        archive_entry_set_pathname_utf8(entry.get(), name.toUtf8().constData());
        archive_entry_set_size(entry.get(), size);
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_mtime(entry.get(), mtime_, 0);
        if (archive_write_header(a_, entry.get()) != ARCHIVE_OK)
            writeFailed(path_, libraryError(a_));
    }
    void write(const char* data, qint64 n) {
        if (archive_write_data(a_, data, static_cast<size_t>(n)) != n)
            writeFailed(path_, libraryError(a_));
    }

    archive* a_;
    QString path_;
    time_t mtime_;
};

// Writes the whole archive to the open descriptor.
void writeEntries(int fd, const Snapshot& snapshot, const Manifest& manifest,
                  const QString& archivePath) {
    ArchivePtr a(archive_write_new());
    if (archive_write_add_filter_zstd(a.get()) != ARCHIVE_OK ||
        archive_write_set_format_pax_restricted(a.get()) != ARCHIVE_OK)
        writeFailed(archivePath, libraryError(a.get()));
    if (archive_write_open_fd(a.get(), fd) != ARCHIVE_OK)
        writeFailed(archivePath, libraryError(a.get()));
    EntryWriter writer(a.get(), archivePath, manifest.created.toSecsSinceEpoch());
    writer.addBytes(QLatin1String(kManifestName), manifest.toJson());
    for (const ManifestFile& file : manifest.files)
        writer.addFile(file.name, snapshot.staging + QLatin1Char('/') + file.name);
    if (archive_write_close(a.get()) != ARCHIVE_OK) writeFailed(archivePath, libraryError(a.get()));
}

// Reads an archive entry by entry.
class EntryReader {
public:
    explicit EntryReader(const QString& archivePath) : path_(archivePath), a_(archive_read_new()) {
        archive_read_support_filter_zstd(a_.get());
        archive_read_support_format_tar(a_.get());
        if (!QFileInfo::exists(archivePath))
            throw EBackupError(
                QStringLiteral("There is no backup %1").arg(archivePath).toStdString());
        if (archive_read_open_filename(a_.get(), QFile::encodeName(archivePath).constData(),
                                       kChunk) != ARCHIVE_OK)
            notOurs();
    }

    // The next entry's name, or "" at the end.
    QString next() {
        archive_entry* entry = nullptr;
        const int rc = archive_read_next_header(a_.get(), &entry);
        if (rc == ARCHIVE_EOF) return QString();
        if (rc != ARCHIVE_OK) damaged(path_, libraryError(a_.get()));
        return QString::fromUtf8(archive_entry_pathname_utf8(entry));
    }

    // Calls `sink` with each piece of the current entry; returns its size.
    template <typename Sink>
    qint64 read(Sink&& sink) {
        QByteArray buffer(kChunk, Qt::Uninitialized);
        qint64 total = 0;
        for (;;) {
            const la_ssize_t n = archive_read_data(a_.get(), buffer.data(), kChunk);
            if (n < 0) damaged(path_, libraryError(a_.get()));
            if (n == 0) return total;
            sink(buffer.constData(), n);
            total += n;
        }
    }

    [[noreturn]] void notOurs() const {
        throw EBackupError(QStringLiteral("%1 is not a Panel-Keep backup (%2)")
                               .arg(path_, libraryError(a_.get()))
                               .toStdString());
    }

private:
    QString path_;
    ArchivePtr a_;
};

Manifest readManifestEntry(EntryReader& reader, const QString& archivePath) {
    const QString first = reader.next();
    if (first != QLatin1String(kManifestName))
        throw EBackupError(QStringLiteral("%1 is not a Panel-Keep backup: it has no manifest")
                               .arg(archivePath)
                               .toStdString());
    QByteArray json;
    reader.read([&json](const char* data, qint64 n) {
        if (json.size() + n > (16 << 20)) return;  // no manifest is that large
        json.append(data, n);
    });
    return Manifest::fromJson(json, archivePath);
}

// Writes one extracted file, synced, under `target`.
class ExtractedFile {
public:
    ExtractedFile(const QString& target, const QString& name)
        : file_(target + QLatin1Char('/') + name) {
        QDir().mkpath(QFileInfo(file_).absolutePath());
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw EBackupError(QStringLiteral("Cannot write %1: %2")
                                   .arg(file_.fileName(), file_.errorString())
                                   .toStdString());
    }
    void write(const char* data, qint64 n) {
        if (file_.write(data, n) != n)
            throw EBackupError(QStringLiteral("Cannot write %1: %2")
                                   .arg(file_.fileName(), file_.errorString())
                                   .toStdString());
    }
    void finish() {
        file_.close();
        durable::SyncFile(file_.fileName());
    }

private:
    QFile file_;
};

}  // namespace

Manifest WriteArchive(const Snapshot& snapshot, const QString& reason, const QString& archivePath) {
    const Manifest manifest = manifestFor(snapshot, reason);
    const QFileInfo info(archivePath);
    const QString temporary = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                              QStringLiteral(".%1.part").arg(::getpid());
    const int fd = ::open(QFile::encodeName(temporary).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) writeFailed(archivePath, QString::fromLocal8Bit(std::strerror(errno)));
    bool open = true;
    try {
        writeEntries(fd, snapshot, manifest, archivePath);
        if (::fsync(fd) != 0)
            writeFailed(archivePath, QString::fromLocal8Bit(std::strerror(errno)));
        open = false;
        if (::close(fd) != 0)
            writeFailed(archivePath, QString::fromLocal8Bit(std::strerror(errno)));
        durable::RenameDurably(temporary, archivePath);
    } catch (...) {
        if (open) ::close(fd);
        QFile::remove(temporary);
        throw;
    }
    return manifest;
}

Manifest ReadManifest(const QString& archivePath) {
    EntryReader reader(archivePath);
    return readManifestEntry(reader, archivePath);
}

Manifest VerifyArchive(const QString& archivePath, const QString& target) {
    EntryReader reader(archivePath);
    const Manifest manifest = readManifestEntry(reader, archivePath);
    QSet<QString> seen;
    for (QString name = reader.next(); !name.isEmpty(); name = reader.next()) {
        const ManifestFile* expected = manifest.file(name);
        if (!expected || seen.contains(name))
            damaged(archivePath,
                    QStringLiteral("it holds %1, which its manifest does not list").arg(name));
        seen.insert(name);
        std::unique_ptr<ExtractedFile> out;
        if (!target.isEmpty()) out = std::make_unique<ExtractedFile>(target, name);
        TSha256 hash;
        const qint64 size = reader.read([&](const char* data, qint64 n) {
            hash.add(data, n);
            if (out) out->write(data, n);
        });
        if (size != expected->size || hash.result() != expected->sha256)
            damaged(archivePath, QStringLiteral("%1 does not match its checksum").arg(name));
        if (out) out->finish();
    }
    for (const ManifestFile& file : manifest.files)
        if (!seen.contains(file.name))
            damaged(archivePath,
                    QStringLiteral("%1 is missing (the archive is cut short)").arg(file.name));
    return manifest;
}

}  // namespace backup
