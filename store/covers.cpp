#include "store/covers.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QUrl>

#include "store/book_extras.h"
#include "store/collection.h"

namespace store {

namespace {

[[noreturn]] void refuse(const QString& text) { throw ECoverError(text.toStdString()); }

QString formatSuffix(const QByteArray& format) {
    if (format == "jpeg" || format == "jpg") return QStringLiteral("jpg");
    if (format == "png") return QStringLiteral("png");
    if (format == "webp") return QStringLiteral("webp");
    return {};
}

// Whether the bytes run to the end their format marks.  Qt's readers show
// a cut-off JPEG or PNG with its lower part grey instead of failing, so the
// end is looked for here: a JPEG's end-of-image marker (a camera may pad
// after it), a PNG's IEND chunk, the length a WebP's RIFF header gives.
bool complete(const QByteArray& bytes, const QString& suffix) {
    if (suffix == QLatin1String("jpg"))
        return bytes.lastIndexOf(QByteArray("\xFF\xD9", 2)) >=
               qMax<qsizetype>(2, bytes.size() - 4096);
    if (suffix == QLatin1String("png"))
        return bytes.right(12).startsWith(QByteArray("\0\0\0\0IEND", 8));
    if (suffix == QLatin1String("webp")) {
        if (bytes.size() < 12) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
        const quint32 riffSize = p[4] | (p[5] << 8) | (p[6] << 16) | (quint32(p[7]) << 24);
        return quint64(bytes.size()) >= quint64(riffSize) + 8;
    }
    return false;
}

QString megabytes(qint64 bytes) { return QString::number(double(bytes) / (1024 * 1024), 'f', 1); }

QString encodePart(const QString& part) {
    // '_' separates the parts and '%' starts an escape, so both are escaped.
    return QString::fromLatin1(QUrl::toPercentEncoding(part, QByteArray(), "_~"));
}

}  // namespace

CoverImage CoverImage::FromFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) refuse(QStringLiteral("The file %1 does not exist.").arg(path));
    if (!info.isFile()) refuse(QStringLiteral("%1 is not a file.").arg(path));
    if (info.size() > kMaxCoverBytes)
        refuse(QStringLiteral("%1 is %2 MB: a cover image may be at most %3 MB.")
                   .arg(path, megabytes(info.size()), megabytes(kMaxCoverBytes)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return FromBytes(file.readAll(), path);
}

CoverImage CoverImage::FromBytes(const QByteArray& bytes, const QString& origin) {
    if (bytes.size() > kMaxCoverBytes)
        refuse(QStringLiteral("%1 is %2 MB: a cover image may be at most %3 MB.")
                   .arg(origin, megabytes(bytes.size()), megabytes(kMaxCoverBytes)));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QString suffix = formatSuffix(reader.format());
    if (suffix.isEmpty())
        refuse(QStringLiteral("%1 is not a JPEG, PNG or WebP image.").arg(origin));
    if (!complete(bytes, suffix) || reader.read().isNull())
        refuse(QStringLiteral("%1 is damaged or cut short: it holds only part of an image.")
                   .arg(origin));
    return {bytes, suffix};
}

CoverImage CoverImage::FromImage(const QImage& image) {
    if (image.isNull()) refuse(QStringLiteral("The pasted picture is empty."));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        refuse(QStringLiteral("The pasted picture cannot be stored: %1").arg(writer.errorString()));
    if (bytes.size() > kMaxCoverBytes)
        refuse(QStringLiteral("The pasted picture is %1 MB as PNG: a cover image may be at "
                              "most %2 MB.")
                   .arg(megabytes(bytes.size()), megabytes(kMaxCoverBytes)));
    return {bytes, QStringLiteral("png")};
}

QString CoverFileName(const BookKey& key, const QString& suffix) {
    // The issue number is stored right-aligned; its leading spaces are
    // dropped unless they are not the alignment's (a number longer than
    // the field), which keeps names apart.
    qsizetype lead = 0;
    while (lead < key.comicNo.size() && key.comicNo[lead] == QLatin1Char(' ')) ++lead;
    const QString number = key.comicNo.mid(lead);
    const QString shown = AlignComicNo(number) == key.comicNo ? number : key.comicNo;
    return QStringLiteral("%1_%2_%3.%4")
        .arg(key.entry)
        .arg(encodePart(shown), encodePart(key.edition), suffix);
}

QImage ReadThumbnail(const QString& path, const QSize& bound) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > bound.width() || size.height() > bound.height()))
        reader.setScaledSize(size.scaled(bound, Qt::KeepAspectRatio));  // JPEG decodes it smaller
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (image.width() > bound.width() || image.height() > bound.height())
        image = image.scaled(bound, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

}  // namespace store
