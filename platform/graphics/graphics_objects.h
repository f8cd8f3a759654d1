#pragma once
// The three drawing tools of a canvas.  Every change of an attribute fires
// OnChange, so a recorder can note exactly what changed.

#include <QFont>
#include <QString>
#include <functional>
#include <memory>

#include "platform/graphics/colors.h"

class TBitmap;

class TGraphicsObject {
public:
    std::function<void(TGraphicsObject*)> OnChange;

protected:
    void Changed();
};

class TFont : public TGraphicsObject {
public:
    TFont();
    void Assign(const TFont& other);  // attributes only, not the notification

    QString Name() const { return name_; }
    void SetName(const QString& name);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch pitch);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    bool HasStyle(TFontStyle s) const { return (style_ & s) != 0; }
    void SetStyleBit(TFontStyle s, bool on);

    // Height in device pixels: negative is the character height without
    // internal leading, positive the whole cell height.
    int Height() const { return height_; }
    void SetHeight(int height);
    // Size in points, derived through PixelsPerInch.
    int Size() const;
    void SetSize(int points);
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int ppi);  // no notification: it is not an attribute

    // The Qt font for drawing in device pixels.
    QFont ToQFont() const;
    bool SameAttributes(const TFont& other) const;

private:
    QString name_ = "MS Sans Serif";
    TColor color_ = clBlack;
    TFontPitch pitch_ = fpDefault;
    TFontStyles style_ = 0;
    int height_ = -11;
    int pixelsPerInch_ = 96;
};

class TPen : public TGraphicsObject {
public:
    void Assign(const TPen& other);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode mode);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);
    int Width() const { return width_; }  // device pixels
    void SetWidth(int width);

private:
    TColor color_ = clBlack;
    TPenMode mode_ = pmCopy;
    TPenStyle style_ = psSolid;
    int width_ = 1;
};

class TBrush : public TGraphicsObject {
public:
    void Assign(const TBrush& other);  // shares the pattern bitmap
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);
    // The pattern bitmap; a brush with one paints the bitmap tiled.
    const std::shared_ptr<TBitmap>& Bitmap() const { return bitmap_; }
    void SetBitmap(std::shared_ptr<TBitmap> bitmap);

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    std::shared_ptr<TBitmap> bitmap_;
};
