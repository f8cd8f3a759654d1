#pragma once
// The report stream: how a recorded report is laid out, and the one place
// where its bytes are encoded and decoded.
//
// Little-endian throughout.  byte: 1 byte unsigned (booleans 0/1); integer:
// 4 bytes signed (colours 0x00BBGGRR; stream positions are byte offsets from
// the start); float: IEEE single, positions and sizes in inches; string: a
// length byte n and n bytes of UTF-8 (at most 255 bytes, cut on a whole
// character; a string that is not valid UTF-8 is read as Windows-1252);
// point: float x, float y from the paper's top-left corner, origin included;
// rectangle: point left-top, point right-bottom; graphic: byte kind (1 bitmap,
// 2 metafile, 3 icon, 4 other), integer n, n bytes of the picture's own
// saved form.
//
// Stream := file header, then per recorded page: page header, the page's
// commands, end of page (82).
//
// File header          Page header
//   byte    81           byte    80
//   integer page count   integer previous page header position (0: first)
//   integer FirstPage    integer next page header position (0: last)
//   integer LastPage     integer page number
//   float   page width   byte    orientation
//   float   page height
//   float   unprintable left, right, top, bottom
//   byte    orientation
//   integer copies, paper size, paper width, paper length
//   string  printer selection
//
// A page header is followed at once by the page's complete drawing state:
// brush (41 42 43), font (51..58), pen (71..74), then 28 29 26 27.
//
// Commands (code: operands)
//   1 Arc: 4 points            2 BrushCopy: graphic, rect dest, rect source, int colour
//   3 Chord: 4 points          4 CopyRect: rect, int, rect (never written)
//   5 Draw: graphic, point     6 DrawFocusRect: rect      7 Ellipse: 2 points
//   8 FillRect: rect           9 FloodFill: point, int colour, int fill style
//  10 FrameRect: rect         11 LineTo: point           12 MoveTo: point
//  13 Pie: 4 points           14 Polygon / 15 Polyline: int n, n + 1 points
//  16 DrawBitmapScaled: graphic, point, float sx, float sy
//  17 DrawBitmapRect: graphic, point, point               18 Rectangle: 2 points
//  19 ShadeRect: 2 points     20 RoundRect: 2 points, float w, float h (no origin)
//  21 StretchDraw: graphic, rect                           22 TextRect: rect, point, string
//  23/24/25 text centred on / starting at / ending at X: float y, string, float x
//  26 TextBKMode: byte        27 BackgroundColor: int    28 ScaleX / 29 ScaleY: float
//  30 PassThrough: string
//  40 whole brush (read only): int colour, byte style, byte flag[, graphic]
//  41 brush colour: int       42 brush style: byte       43 brush bitmap: byte flag[, graphic]
//  50 whole font (read only): string name, int colour, byte pitch, float height,
//     bytes bold, italic, underline, strike-out
//  51 name: string  52 colour: int  53 pitch: byte  54 height: float (inches)
//  55 bold  56 underline  57 italic  58 strike-out: byte
//  70 whole pen (read only): int colour, byte mode, byte style, float width
//  71 colour: int  72 mode: byte  73 style: byte  74 width: float (inches)

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <bit>
#include <cstdint>
#include <memory>

#include "platform/base/exception.h"

enum TStreamCode : std::uint8_t {
    scArc = 1,
    scBrushCopy,
    scChord,
    scCopyRect,
    scDraw,
    scDrawFocusRect,
    scEllipse,
    scFillRect,
    scFloodFill,
    scFrameRect,
    scLineTo,
    scMoveTo,
    scPie,
    scPolygon,
    scPolyline,
    scDrawBitmapScaled,
    scDrawBitmapRect,
    scRectangle,
    scShadeRect,
    scRoundRect,
    scStretchDraw,
    scTextRect,
    scCenterText,
    scLeftText,
    scRightText,
    scTextBKMode,
    scBackgroundColor,
    scScaleX,
    scScaleY,
    scPassThrough,
    scBrush = 40,
    scBrushColor,
    scBrushStyle,
    scBrushBitmap,
    scFont = 50,
    scFontName,
    scFontColor,
    scFontPitch,
    scFontHeight,
    scFontBold,
    scFontUnderline,
    scFontItalic,
    scFontStrikeOut,
    scPen = 70,
    scPenColor,
    scPenMode,
    scPenStyle,
    scPenWidth,
    scPageHeader = 80,
    scFileHeader = 81,
    scEndOfPage = 82
};

enum TGraphicKind : std::uint8_t { gkBitmap = 1, gkMetafile = 2, gkIcon = 3, gkOther = 4 };

// The stream ended inside a record, or a position lies outside it.
class EStreamReadError : public Exception {
public:
    EStreamReadError() : Exception("Stream read error: the report file ends inside a record.") {}
};

// The bytes of a string as stored: UTF-8, cut to at most 255 bytes on a
// whole character.
QByteArray EncodeStreamString(const QString& text);
// UTF-8 when valid, else Windows-1252.
QString DecodeStreamString(const QByteArray& bytes);

// Appends to a device, buffering; earlier fields can be patched.  The
// appends are inline: a report writes millions of small items.
class TStreamWriter {
public:
    void Open(QIODevice* device);  // writes from the device's start
    void Close();                  // flushes and cuts the device to End()
    bool IsOpen() const { return device_ != nullptr; }
    qint64 Pos() const { return flushed_ + qint64(used_); }

    void Byte(std::uint8_t v) { *Room(1) = char(v); }
    void Bool(bool v) { Byte(v ? 1 : 0); }
    void Int(std::int32_t v) {
        PutInt(Room(4), v);
        if (used_ >= kFlushSize) Flush();
    }
    void Float(float v) { Int(std::bit_cast<std::int32_t>(v)); }
    void String(const QString& text);
    void RawString(const QByteArray& bytes);  // at most 255 bytes kept
    void Bytes(const QByteArray& bytes);
    void Graphic(TGraphicKind kind, const QByteArray& bytes);
    // Overwrites the integer at pos (an earlier position).
    void PatchInt(qint64 pos, std::int32_t v);
    // Drops everything from pos on (pos <= Pos()).
    void Truncate(qint64 pos);
    void Flush();

private:
    static constexpr std::size_t kFlushSize = 1 << 16;
    static void PutInt(char* at, std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    }
    // n bytes more at the end of the pending bytes.
    char* Room(std::size_t n) {
        if (capacity_ - used_ < n) Grow(n);
        char* at = pending_.get() + used_;
        used_ += n;
        return at;
    }
    void Grow(std::size_t n);

    QIODevice* device_ = nullptr;
    std::unique_ptr<char[]> pending_;  // bytes not yet on the device: [0, used_)
    std::size_t capacity_ = 0, used_ = 0;
    qint64 flushed_ = 0;
};

// Bounded reads from a device: a read past the end raises EStreamReadError.
// A buffer in memory is read in place; any other device through a window of
// its bytes, so a report far larger than memory pages as fast as a small one.
class TStreamReader {
public:
    void Open(QIODevice* device);
    void Close() { device_ = nullptr; }
    bool IsOpen() const { return device_ != nullptr; }
    qint64 Pos() const { return pos_; }
    qint64 Size() const { return size_; }
    qint64 Remaining() const { return size_ - pos_; }
    // Raises EStreamReadError outside 0..Size().
    void Seek(qint64 pos);

    std::uint8_t Byte();
    std::int32_t Int();
    float Float();
    QString String();
    QByteArray Bytes(qint64 n);
    // A graphic's kind and bytes.
    TGraphicKind GraphicKind();
    QByteArray GraphicBytes();

private:
    static constexpr qint64 kWindowSize = 1 << 16;
    void Need(qint64 n);
    // The n bytes at the read position (n <= kWindowSize), valid until the
    // next read; moves past them.
    const char* Take(qint64 n);
    void FillWindow(qint64 n);
    QIODevice* device_ = nullptr;
    qint64 pos_ = 0;
    qint64 size_ = 0;
    // The device's bytes when it is a buffer in memory: reads avoid the device.
    const char* data_ = nullptr;
    // Otherwise the device's bytes [windowStart_, windowStart_ + windowSize_).
    std::unique_ptr<char[]> window_;
    qint64 windowStart_ = 0, windowSize_ = 0;
};
