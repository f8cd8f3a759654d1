#pragma once
// Cover images of books: files in the collection's covers/ folder, named by
// the book's key and kept exactly as the user gave them (a JPEG stays the
// same bytes).  An image is checked whole before anything is stored: text
// renamed .jpg, a file cut short, or one too large is refused with a message
// naming the file.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "platform/base/exception.h"

namespace store {

struct BookKey;

// A cover that cannot be taken; nothing was stored.
class ECoverError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* kCoversFolder = "covers";
inline constexpr const char* kOrphanedFolder = "orphaned";  // inside covers/
// Covers are photos and scans of one page; anything larger is a mistake
// (a video, a disk image) that would bloat every backup.
inline constexpr qint64 kMaxCoverBytes = 50LL * 1024 * 1024;

// An image ready to be stored as a cover: its bytes as given and the file
// suffix of its format ("jpg", "png" or "webp").
struct CoverImage {
    QByteArray bytes;
    QString suffix;

    // The file at `path`, checked; raises ECoverError.
    static CoverImage FromFile(const QString& path);
    // Bytes from elsewhere (a drop, the clipboard's encoded data); `origin`
    // names them in messages.  Raises ECoverError.
    static CoverImage FromBytes(const QByteArray& bytes, const QString& origin);
    // A pasted picture that has no file of its own: stored as PNG, which
    // keeps every pixel.  Raises ECoverError for an empty picture.
    static CoverImage FromImage(const QImage& image);
};

// The name of a book's cover file: entry, issue number and edition, each
// made safe for a file name (every character but letters, digits, '-' and
// '.' written as %XX), then the suffix.  Different keys give different
// names.
QString CoverFileName(const BookKey& key, const QString& suffix);

// The picture of the cover file at `path` scaled to fit `bound` (never
// enlarged); a null image when the file is missing or unreadable.
QImage ReadThumbnail(const QString& path, const QSize& bound);

}  // namespace store
