#include "tools/logo.h"

#include <QImage>
#include <cmath>

#include "platform/base/exception.h"

namespace admin {

namespace {

constexpr int kSize = 128;
constexpr int kBorder = 4;

struct Panel {
    int left, top, right, bottom;
    QRgb fill;
};

// Three panels: a wide one on top, two below.
const Panel kPanels[] = {
    {6, 6, 121, 58, qRgb(0x2E, 0x6F, 0xD8)},
    {6, 66, 58, 121, qRgb(0xE8, 0x3A, 0x2F)},
    {66, 66, 121, 121, qRgb(0xFF, 0xD4, 0x3B)},
};

bool insideStar(int x, int y) {
    const double cx = 64, cy = 32, inner = 10, outer = 24;
    double dx = x - cx, dy = y - cy;
    double radius = std::hypot(dx, dy);
    double angle = std::atan2(dy, dx);
    // Twelve spikes: the allowed radius swings between inner and outer.
    double swing = (std::cos(angle * 12) + 1) / 2;
    return radius <= inner + (outer - inner) * swing;
}

QRgb pixelAt(int x, int y) {
    for (const Panel& p : kPanels) {
        bool inOuter = x >= p.left && x <= p.right && y >= p.top && y <= p.bottom;
        if (!inOuter) continue;
        bool inInner = x >= p.left + kBorder && x <= p.right - kBorder && y >= p.top + kBorder &&
                       y <= p.bottom - kBorder;
        if (!inInner) return qRgb(0, 0, 0);
        if (p.top == 6 && insideStar(x, y)) return qRgb(0xFF, 0xF2, 0x9E);
        return p.fill;
    }
    return qRgb(0xFF, 0xFF, 0xFF);
}

}  // namespace

void WriteLogo(const QString& path) {
    QImage image(kSize, kSize, QImage::Format_RGB32);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) image.setPixel(x, y, pixelAt(x, y));
    if (!image.save(path, "BMP"))
        throw Exception(QStringLiteral("cannot write the logo %1").arg(path).toStdString());
}

}  // namespace admin
