#pragma once
// A zip archive read through libzip, and one of its entries as a stream
// that stops a zip bomb: an entry may unpack to at most kMaxUnpackedBytes,
// and to no more than kMaxPackRatio times its packed size.

#include <QIODevice>
#include <QString>
#include <memory>
#include <optional>

struct zip;

namespace import {

class ZipArchive {
public:
    // Raises EImportError naming the file when it is no readable zip archive.
    explicit ZipArchive(const QString& path);

    const QString& path() const { return path_; }
    // The index of the entry named `name` at the archive's root (any case).
    std::optional<qint64> Find(const QString& name) const;
    // The entry's bytes as they unpack; a fault (damaged data, a bomb) ends
    // the stream with read() returning -1 and errorString() telling why.
    std::unique_ptr<QIODevice> Open(qint64 index) const;

private:
    QString path_;
    std::shared_ptr<zip> archive_;
};

// True when the file starts with a zip signature.
bool LooksLikeZip(const QString& path);

}  // namespace import
