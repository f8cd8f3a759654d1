#include "platform/graphics/graphics_objects.h"

#include <QFontMetricsF>
#include <cmath>
#include <cstdlib>

#include "platform/graphics/graphic.h"

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

// ---- TFont ----------------------------------------------------------------

TFont::TFont() = default;

void TFont::Assign(const TFont& other) {
    name_ = other.name_;
    color_ = other.color_;
    pitch_ = other.pitch_;
    style_ = other.style_;
    height_ = other.height_;
    pixelsPerInch_ = other.pixelsPerInch_;
    Changed();
}

void TFont::SetName(const QString& name) {
    if (name == name_) return;
    name_ = name;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
    if (pitch == pitch_) return;
    pitch_ = pitch;
    Changed();
}

void TFont::SetStyle(TFontStyles style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TFont::SetStyleBit(TFontStyle s, bool on) { SetStyle(on ? (style_ | s) : (style_ & ~s)); }

void TFont::SetHeight(int height) {
    if (height == height_) return;
    height_ = height;
    Changed();
}

int TFont::Size() const {
    return -static_cast<int>(std::lround(double(height_) * 72 / pixelsPerInch_));
}

void TFont::SetSize(int points) {
    SetHeight(-static_cast<int>(std::lround(double(points) * pixelsPerInch_ / 72)));
}

void TFont::SetPixelsPerInch(int ppi) {
    if (ppi > 0) pixelsPerInch_ = ppi;
}

QFont TFont::ToQFont() const {
    QFont font(name_);
    int em = std::abs(height_);
    if (height_ > 0) {
        // A cell height: take the internal leading off.
        QFont probe(name_);
        probe.setPixelSize(1000);
        QFontMetricsF m(probe);
        em = static_cast<int>(std::lround(height_ * 1000.0 / (m.ascent() + m.descent())));
    }
    font.setPixelSize(std::max(1, em));
    font.setBold(HasStyle(fsBold));
    font.setItalic(HasStyle(fsItalic));
    font.setUnderline(HasStyle(fsUnderline));
    font.setStrikeOut(HasStyle(fsStrikeOut));
    if (pitch_ == fpFixed) {
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
    }
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

bool TFont::SameAttributes(const TFont& o) const {
    return name_ == o.name_ && color_ == o.color_ && pitch_ == o.pitch_ && style_ == o.style_ &&
           height_ == o.height_;
}

// ---- TPen -------------------------------------------------------------------

void TPen::Assign(const TPen& other) {
    color_ = other.color_;
    mode_ = other.mode_;
    style_ = other.style_;
    width_ = other.width_;
    Changed();
}

void TPen::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TPen::SetMode(TPenMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    Changed();
}

void TPen::SetStyle(TPenStyle style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TPen::SetWidth(int width) {
    if (width == width_) return;
    width_ = width;
    Changed();
}

// ---- TBrush -----------------------------------------------------------------

void TBrush::Assign(const TBrush& other) {
    color_ = other.color_;
    style_ = other.style_;
    bitmap_ = other.bitmap_;
    Changed();
}

void TBrush::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TBrush::SetBitmap(std::shared_ptr<TBitmap> bitmap) {
    bitmap_ = std::move(bitmap);
    Changed();
}
