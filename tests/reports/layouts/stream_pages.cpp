#include "tests/reports/layouts/stream_pages.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace streamcheck {
namespace {

// Bounded little-endian reader over the whole file.
class Bytes {
public:
    explicit Bytes(QByteArray data) : data_(std::move(data)) {}

    std::size_t pos() const { return pos_; }
    void seek(std::size_t p) {
        if (p > size()) fail("seek past the end");
        pos_ = p;
    }
    std::size_t size() const { return static_cast<std::size_t>(data_.size()); }

    std::uint8_t byte() {
        need(1);
        return static_cast<std::uint8_t>(data_[static_cast<qsizetype>(pos_++)]);
    }
    std::int32_t integer() {
        need(4);
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(std::uint8_t(data_[static_cast<qsizetype>(pos_ + i)])) << (8 * i);
        pos_ += 4;
        return static_cast<std::int32_t>(v);
    }
    double single() {
        std::uint32_t bits = static_cast<std::uint32_t>(integer());
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    QString string() {
        std::size_t n = byte();
        need(n);
        QString s = QString::fromUtf8(data_.constData() + pos_, static_cast<qsizetype>(n));
        pos_ += n;
        return s;
    }
    void skip(std::size_t n) {
        need(n);
        pos_ += n;
    }
    void graphic() {
        byte();  // kind
        std::int32_t n = integer();
        if (n < 0) fail("negative graphic size");
        skip(static_cast<std::size_t>(n));
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("report stream: " + what + " at offset " + std::to_string(pos_));
    }

private:
    void need(std::size_t n) const {
        if (pos_ + n > size()) fail("record runs past the end");
    }
    QByteArray data_;
    std::size_t pos_ = 0;
};

struct FontState {
    QString name;
    double height = 0;
    bool bold = false;
};

void readPageCommands(Bytes& in, Page& page) {
    FontState font;
    double penX = 0, penY = 0;
    for (;;) {
        int code = in.byte();
        switch (code) {
            case 82:
                return;
            case 1:
            case 3:
            case 13:
                in.skip(32);
                break;
            case 2:
                in.graphic();
                in.skip(32 + 4);
                break;
            case 4:
                in.skip(16 + 4 + 16);
                break;
            case 5:
                in.graphic();
                in.skip(8);
                break;
            case 6:
            case 7:
            case 8:
            case 10:
            case 18:
                in.skip(16);
                break;
            case 9:
                in.skip(8 + 8);
                break;
            case 11: {
                double x = in.single(), y = in.single();
                page.lines.push_back({penX, penY, x, y});
                penX = x;
                penY = y;
                break;
            }
            case 12:
                penX = in.single();
                penY = in.single();
                break;
            case 14:
            case 15: {
                std::int32_t n = in.integer();
                if (n < 0) in.fail("negative point count");
                in.skip(8 * (static_cast<std::size_t>(n) + 1));
                break;
            }
            case 16:
                in.graphic();
                in.skip(16);
                break;
            case 17: {
                in.graphic();
                Rect r;
                r.left = in.single();
                r.top = in.single();
                r.right = in.single();
                r.bottom = in.single();
                page.bitmaps.push_back(r);
                break;
            }
            case 19: {
                Rect r;
                r.left = in.single();
                r.top = in.single();
                r.right = in.single();
                r.bottom = in.single();
                page.shades.push_back(r);
                break;
            }
            case 20:
                in.skip(24);
                break;
            case 21:
                in.graphic();
                in.skip(16);
                break;
            case 22: {  // text clipped to a rectangle
                Text t;
                t.code = code;
                t.clip.left = in.single();
                t.clip.top = in.single();
                t.clip.right = in.single();
                t.clip.bottom = in.single();
                t.x = in.single();
                t.y = in.single();
                t.text = in.string();
                t.font = font.name;
                t.fontHeight = font.height;
                t.bold = font.bold;
                page.texts.push_back(t);
                break;
            }
            case 23:
            case 24:
            case 25: {
                Text t;
                t.code = code;
                t.y = in.single();
                t.text = in.string();
                t.x = in.single();
                t.font = font.name;
                t.fontHeight = font.height;
                t.bold = font.bold;
                page.texts.push_back(t);
                break;
            }
            case 26:
            case 42:
            case 53:
            case 56:
            case 57:
            case 58:
            case 72:
            case 73:
                in.byte();
                break;
            case 27:
            case 41:
            case 52:
            case 71:
                in.integer();
                break;
            case 28:
            case 29:
            case 74:
                in.single();
                break;
            case 30:
                in.string();
                break;
            case 40: {
                in.integer();
                in.byte();
                if (in.byte() != 0) in.graphic();
                break;
            }
            case 43:
                if (in.byte() != 0) in.graphic();
                break;
            case 50: {
                font.name = in.string();
                in.integer();
                in.byte();
                font.height = in.single();
                font.bold = in.byte() != 0;
                in.skip(3);
                break;
            }
            case 51:
                font.name = in.string();
                break;
            case 54:
                font.height = in.single();
                break;
            case 55:
                font.bold = in.byte() != 0;
                break;
            case 70:
                in.integer();
                in.byte();
                in.byte();
                in.single();
                break;
            default:
                in.fail("unknown command code " + std::to_string(code));
        }
    }
}

}  // namespace

std::vector<QString> Page::textList() const {
    std::vector<QString> out;
    for (const Text& t : texts) out.push_back(t.text);
    return out;
}

std::vector<const Text*> Page::textsOnLine(double y) const {
    std::vector<const Text*> out;
    for (const Text& t : texts)
        if (std::fabs(t.y - y) < 0.01) out.push_back(&t);
    return out;
}

const Text* Page::find(const QString& s) const {
    for (const Text& t : texts)
        if (t.text == s) return &t;
    return nullptr;
}

std::vector<const Text*> Page::findAll(const QString& s) const {
    std::vector<const Text*> out;
    for (const Text& t : texts)
        if (t.text == s) out.push_back(&t);
    return out;
}

std::vector<double> Page::baselines() const {
    std::vector<double> ys;
    for (const Text& t : texts)
        if (std::none_of(ys.begin(), ys.end(), [&](double y) { return std::fabs(y - t.y) < 0.01; }))
            ys.push_back(t.y);
    std::sort(ys.begin(), ys.end());
    return ys;
}

int Page::lineOf(const QString& s) const {
    const Text* t = find(s);
    if (!t) return -1;
    const std::vector<double> ys = baselines();
    for (std::size_t i = 0; i < ys.size(); ++i)
        if (std::fabs(ys[i] - t->y) < 0.01) return static_cast<int>(i);
    return -1;
}

std::vector<QString> Page::nonEmpty() const {
    std::vector<QString> out;
    for (const Text& t : texts)
        if (!t.text.isEmpty()) out.push_back(t.text);
    return out;
}

std::vector<QString> Page::line(int index) const {
    std::vector<QString> out;
    const std::vector<double> ys = baselines();
    if (index < 0 || index >= static_cast<int>(ys.size())) return out;
    for (const Text* t : textsOnLine(ys[static_cast<std::size_t>(index)]))
        if (!t->text.isEmpty()) out.push_back(t->text);
    return out;
}

Report readReport(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot open " + path);
    Bytes in(file.readAll());

    Report report;
    if (in.byte() != 81) in.fail("no file header");
    report.headerPageCount = in.integer();
    in.integer();  // first page
    in.integer();  // last page
    report.pageWidth = in.single();
    report.pageHeight = in.single();
    in.skip(16 + 1 + 16);  // borders, orientation, copies and paper fields
    in.string();           // printer selection

    std::size_t next = in.pos();
    while (next != 0 && next < in.size()) {
        in.seek(next);
        if (in.byte() != 80) in.fail("no page header");
        in.integer();  // previous page
        std::int32_t nextPage = in.integer();
        Page page;
        page.number = in.integer();
        in.byte();  // orientation
        readPageCommands(in, page);
        report.pages.push_back(std::move(page));
        if (nextPage < 0) in.fail("negative page link");
        next = static_cast<std::size_t>(nextPage);
    }
    return report;
}

}  // namespace streamcheck
