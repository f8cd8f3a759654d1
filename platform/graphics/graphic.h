#pragma once
// Pictures a canvas can draw: bitmaps, metafiles (recorded drawings) and
// icons.  Each saves itself to and loads itself from bytes; those bytes are
// what a report stream carries for a picture:
//   TBitmap   a Windows BMP file (uncompressed, 24 or 32 bits per pixel)
//   TMetafile Qt's picture format (QPicture)
//   TIcon     a Windows ICO file

#include <QByteArray>
#include <QImage>
#include <QPicture>
#include <QRect>
#include <QString>
#include <memory>

#include "platform/base/exception.h"

class TCanvas;

// Bytes or a file that do not hold a picture of the expected kind.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const = 0;
    // Draws the picture stretched into rect on the canvas.
    virtual void Draw(TCanvas& canvas, const QRect& rect) const = 0;
    virtual QByteArray SaveToBytes() const = 0;
    // Raises EInvalidGraphic when the bytes are not a picture of this kind.
    virtual void LoadFromBytes(const QByteArray& bytes) = 0;
};

class TBitmap : public TGraphic {
public:
    TBitmap() = default;
    explicit TBitmap(QImage image);
    TBitmap(int width, int height);  // white
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    bool Empty() const override { return image_.isNull(); }
    void Draw(TCanvas& canvas, const QRect& rect) const override;
    QByteArray SaveToBytes() const override;
    void LoadFromBytes(const QByteArray& bytes) override;
    // Raises EInvalidGraphic naming the file when it cannot be read.
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName) const;

    const QImage& Image() const { return image_; }
    void SetImage(QImage image) { image_ = std::move(image); }
    bool Monochrome() const { return image_.format() == QImage::Format_Mono; }
    void SetSize(int width, int height);
    // A canvas drawing on the bitmap's pixels.  The bitmap must outlive it and
    // must not be resized while it exists.
    std::unique_ptr<TCanvas> MakeCanvas();

private:
    QImage image_;
    // The saved form of the pixels whose cache key is savedKey_: a report
    // saves the same logo on every page.  A bitmap that has given out a
    // canvas can change without a new key, so it is saved every time.
    mutable QByteArray saved_;
    mutable qint64 savedKey_ = 0;  // a null image's key: saves as nothing
    bool canvasMade_ = false;
};

class TMetafile : public TGraphic {
public:
    int Width() const override { return picture_.boundingRect().width(); }
    int Height() const override { return picture_.boundingRect().height(); }
    bool Empty() const override { return picture_.isNull(); }
    void Draw(TCanvas& canvas, const QRect& rect) const override;
    QByteArray SaveToBytes() const override;
    void LoadFromBytes(const QByteArray& bytes) override;
    QPicture& Picture() { return picture_; }

private:
    QPicture picture_;
};

class TIcon : public TGraphic {
public:
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    bool Empty() const override { return image_.isNull(); }
    void Draw(TCanvas& canvas, const QRect& rect) const override;
    QByteArray SaveToBytes() const override;
    void LoadFromBytes(const QByteArray& bytes) override;
    void SetImage(QImage image) { image_ = std::move(image); }
    const QImage& Image() const { return image_; }

private:
    QImage image_;
};
