#include "platform/graphics/graphic.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include "platform/graphics/canvas.h"

namespace {

QByteArray SaveImage(const QImage& image, const char* format) {
    QByteArray bytes;
    if (image.isNull()) return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage LoadImage(const QByteArray& bytes, const char* format, const char* what) {
    if (bytes.isEmpty()) return {};
    QImage image;
    if (!image.loadFromData(bytes, format)) {
        throw EInvalidGraphic(std::string("Invalid ") + what + " data.");
    }
    return image;
}

}  // namespace

// ---- TBitmap ------------------------------------------------------------------

TBitmap::TBitmap(QImage image) : image_(std::move(image)) {}

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

void TBitmap::SetSize(int width, int height) {
    QImage image(std::max(0, width), std::max(0, height), QImage::Format_RGB32);
    image.fill(Qt::white);
    image_ = std::move(image);
}

void TBitmap::Draw(TCanvas& canvas, const QRect& rect) const {
    if (!Empty()) canvas.StretchImage(rect, image_);
}

QByteArray TBitmap::SaveToBytes() const {
    if (canvasMade_) return SaveImage(image_, "BMP");
    if (image_.cacheKey() != savedKey_) {
        saved_ = SaveImage(image_, "BMP");
        savedKey_ = image_.cacheKey();
    }
    return saved_;
}

void TBitmap::LoadFromBytes(const QByteArray& bytes) { image_ = LoadImage(bytes, "BMP", "bitmap"); }

void TBitmap::LoadFromFile(const QString& fileName) {
    QImageReader reader(fileName);
    QImage image = reader.read();
    if (image.isNull()) {
        throw EInvalidGraphic("Cannot read bitmap \"" + fileName.toStdString() +
                              "\": " + reader.errorString().toStdString());
    }
    image_ = std::move(image);
}

void TBitmap::SaveToFile(const QString& fileName) const {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(SaveToBytes()) < 0) {
        throw EInvalidGraphic("Cannot write bitmap \"" + fileName.toStdString() + "\".");
    }
}

std::unique_ptr<TCanvas> TBitmap::MakeCanvas() {
    if (image_.format() != QImage::Format_RGB32 && image_.format() != QImage::Format_ARGB32 &&
        image_.format() != QImage::Format_ARGB32_Premultiplied) {
        image_ = image_.convertToFormat(QImage::Format_RGB32);
    }
    canvasMade_ = true;
    return std::make_unique<TCanvas>(&image_);
}

// ---- TMetafile ----------------------------------------------------------------

void TMetafile::Draw(TCanvas& canvas, const QRect& rect) const {
    QPainter* painter = canvas.Painter();
    QRect bounds = picture_.boundingRect();
    if (!painter || bounds.isEmpty()) return;
    painter->save();
    painter->translate(rect.topLeft());
    painter->scale(double(rect.width()) / bounds.width(), double(rect.height()) / bounds.height());
    painter->translate(-bounds.topLeft());
    painter->drawPicture(0, 0, picture_);
    painter->restore();
}

QByteArray TMetafile::SaveToBytes() const { return QByteArray(picture_.data(), picture_.size()); }

void TMetafile::LoadFromBytes(const QByteArray& bytes) {
    QPicture picture;
    if (!bytes.isEmpty()) {
        // QPicture reads a damaged stream without complaint as long as its
        // header is right; the header is what we check.
        if (!bytes.startsWith("QPIC")) throw EInvalidGraphic("Invalid metafile data.");
        picture.setData(bytes.constData(), uint(bytes.size()));
        if (picture.isNull()) throw EInvalidGraphic("Invalid metafile data.");
    }
    picture_ = picture;
}

// ---- TIcon ----------------------------------------------------------------------

void TIcon::Draw(TCanvas& canvas, const QRect& rect) const {
    if (!Empty()) canvas.StretchImage(rect, image_);
}

QByteArray TIcon::SaveToBytes() const { return SaveImage(image_, "ICO"); }

void TIcon::LoadFromBytes(const QByteArray& bytes) { image_ = LoadImage(bytes, "ICO", "icon"); }
