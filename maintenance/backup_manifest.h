#pragma once
// The manifest of a backup archive: the first entry of every archive, named
// "manifest.json".  It tells which program wrote the archive and when, how
// many rows each table held, and the size and SHA-256 of every file the
// archive carries, so that a restore can check the archive before it
// replaces anything.
//
//   {"format": 1, "program": "Panel-Keep", "version": "2.0",
//    "created": "2026-12-08T15:34:00Z", "reason": "daily",
//    "rows": {"series.db": 40, "books.db": 400},
//    "files": [{"name": "series.db", "size": 10240, "sha256": "<hex>"}, ...]}

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVector>

#include "platform/base/exception.h"

namespace backup {

// A backup that cannot be written, read or trusted; the message names the
// archive or folder.
class EBackupError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* kManifestName = "manifest.json";
inline constexpr int kManifestFormat = 1;

// This program's version, as manifests record it ("2.0").
QString ProgramVersion();

struct ManifestFile {
    QString name;  // relative to the collection directory, '/' separated
    qint64 size = 0;
    QByteArray sha256;  // raw 32 bytes
};

struct Manifest {
    int format = kManifestFormat;
    QString version;
    QDateTime created;  // UTC
    QString reason;     // "manual", "daily", "closing", "before restore"
    QMap<QString, qint64> rows;
    QVector<ManifestFile> files;

    qint64 rowCount(const QString& table) const { return rows.value(table, -1); }
    const ManifestFile* file(const QString& name) const;

    QByteArray toJson() const;
    // Parses and checks a manifest read from `archive` (named in every
    // message): well-formed, of a format and program version this program
    // reads, every file named once with a safe relative name.
    static Manifest fromJson(const QByteArray& json, const QString& archive);
};

// "1.10" > "1.9": versions compare number by number.
int CompareVersions(const QString& a, const QString& b);

}  // namespace backup
