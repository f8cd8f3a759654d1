// Encoding and bounded decoding of the report stream's items (layout in
// report_stream.h).
#include "reportengine/report_stream.h"

#include <QBuffer>
#include <QFileDevice>
#include <QStringDecoder>
#include <algorithm>
#include <bit>
#include <cstring>

// ---- strings ---------------------------------------------------------------------------

QByteArray EncodeStreamString(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= 255) return bytes;
    qsizetype cut = 255;
    // Step back over continuation bytes (10xxxxxx) to a character's start.
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
    return bytes.left(cut);
}

namespace {

// Windows-1252 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeCp1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        text += QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

bool IsAscii(const QByteArray& bytes) {
    for (char ch : bytes) {
        if (static_cast<unsigned char>(ch) >= 0x80) return false;
    }
    return true;
}

}  // namespace

QString DecodeStreamString(const QByteArray& bytes) {
    if (IsAscii(bytes)) return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return DecodeCp1252(bytes);
}

// ---- writer -----------------------------------------------------------------------------------

void TStreamWriter::Open(QIODevice* device) {
    device_ = device;
    used_ = 0;
    flushed_ = 0;
    device_->seek(0);
}

void TStreamWriter::Grow(std::size_t n) {
    const std::size_t capacity = std::max({capacity_ * 2, used_ + n, kFlushSize * 2});
    auto bigger = std::make_unique<char[]>(capacity);
    if (used_ > 0) std::memcpy(bigger.get(), pending_.get(), used_);
    pending_ = std::move(bigger);
    capacity_ = capacity;
}

void TStreamWriter::Flush() {
    if (!device_ || used_ == 0) return;
    device_->seek(flushed_);
    device_->write(pending_.get(), qint64(used_));
    flushed_ += qint64(used_);
    used_ = 0;
}

void TStreamWriter::Close() {
    if (!device_) return;
    Flush();
    // A discarded page may have left longer content behind the end.
    if (auto* buffer = qobject_cast<QBuffer*>(device_)) {
        buffer->buffer().truncate(flushed_);
    } else if (auto* file = qobject_cast<QFileDevice*>(device_)) {
        file->resize(flushed_);
    }
    device_ = nullptr;
}

void TStreamWriter::Bytes(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    std::memcpy(Room(std::size_t(bytes.size())), bytes.constData(), std::size_t(bytes.size()));
}

void TStreamWriter::String(const QString& text) {
    QByteArray bytes = EncodeStreamString(text);
    Byte(static_cast<std::uint8_t>(bytes.size()));
    Bytes(bytes);
}

void TStreamWriter::RawString(const QByteArray& bytes) {
    QByteArray kept = bytes.left(255);
    Byte(static_cast<std::uint8_t>(kept.size()));
    Bytes(kept);
}

void TStreamWriter::Graphic(TGraphicKind kind, const QByteArray& bytes) {
    Byte(kind);
    Int(static_cast<std::int32_t>(bytes.size()));
    Bytes(bytes);
}

void TStreamWriter::PatchInt(qint64 pos, std::int32_t v) {
    if (pos >= flushed_) {
        PutInt(pending_.get() + (pos - flushed_), v);
        return;
    }
    char bytes[4];
    PutInt(bytes, v);
    device_->seek(pos);
    device_->write(bytes, 4);
}

void TStreamWriter::Truncate(qint64 pos) {
    if (pos >= flushed_) {
        used_ = std::size_t(pos - flushed_);
        return;
    }
    // Earlier bytes stay on the device until overwritten; Close() cuts them.
    used_ = 0;
    flushed_ = pos;
}

// ---- reader -----------------------------------------------------------------------------------

void TStreamReader::Open(QIODevice* device) {
    device_ = device;
    size_ = device->size();
    pos_ = 0;
    data_ = nullptr;
    windowStart_ = windowSize_ = 0;
    if (auto* buffer = qobject_cast<QBuffer*>(device)) {
        data_ = buffer->data().constData();
    } else if (!window_) {
        window_ = std::make_unique<char[]>(std::size_t(kWindowSize));
    }
}

void TStreamReader::Seek(qint64 pos) {
    if (pos < 0 || pos > size_) throw EStreamReadError();
    pos_ = pos;
}

void TStreamReader::Need(qint64 n) {
    if (n < 0 || n > size_ - pos_) throw EStreamReadError();
}

void TStreamReader::FillWindow(qint64 n) {
    const qint64 wanted = std::min(kWindowSize, size_ - pos_);
    windowSize_ = 0;
    if (!device_->seek(pos_)) throw EStreamReadError();
    const qint64 got = device_->read(window_.get(), wanted);
    if (got < n) throw EStreamReadError();
    windowStart_ = pos_;
    windowSize_ = got;
}

const char* TStreamReader::Take(qint64 n) {
    Need(n);
    const char* at;
    if (data_) {
        at = data_ + pos_;
    } else {
        if (pos_ < windowStart_ || pos_ + n > windowStart_ + windowSize_) FillWindow(n);
        at = window_.get() + (pos_ - windowStart_);
    }
    pos_ += n;
    return at;
}

QByteArray TStreamReader::Bytes(qint64 n) {
    if (data_ || n <= kWindowSize) return QByteArray(Take(n), n);
    // Larger than the window (a picture): straight from the device.
    Need(n);
    QByteArray bytes(n, Qt::Uninitialized);
    if (!device_->seek(pos_) || device_->read(bytes.data(), n) != n) throw EStreamReadError();
    pos_ += n;
    return bytes;
}

std::uint8_t TStreamReader::Byte() { return static_cast<std::uint8_t>(*Take(1)); }

std::int32_t TStreamReader::Int() {
    const char* p = Take(4);
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= std::uint32_t(static_cast<unsigned char>(p[i])) << (8 * i);
    return static_cast<std::int32_t>(u);
}

float TStreamReader::Float() { return std::bit_cast<float>(Int()); }

QString TStreamReader::String() {
    int n = Byte();
    return DecodeStreamString(Bytes(n));
}

TGraphicKind TStreamReader::GraphicKind() { return static_cast<TGraphicKind>(Byte()); }

QByteArray TStreamReader::GraphicBytes() {
    std::int32_t n = Int();
    return Bytes(n);
}
