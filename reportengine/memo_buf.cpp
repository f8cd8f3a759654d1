// TMemoBuf: word wrapping of a memo text, one line at a time.
#include "reportengine/memo_buf.h"

#include "platform/graphics/canvas.h"

namespace {
constexpr int kMaxRun = 255;  // longest run of spaces skipped, longest word
bool IsBreak(char c) { return c == ' ' || c == '\r' || c == '\n'; }
}  // namespace

void TMemoBuf::LoadText(const QString& text) {
    QByteArray bytes = text.toUtf8();
    SetData(bytes.constData(), int(bytes.size()));
}

void TMemoBuf::SetData(const char* bytes, int length) {
    buffer_ = QByteArray(bytes, std::max(0, length));
    pos_ = 0;
    paragraphStart_ = lineStart_ = true;
}

void TMemoBuf::Clear() { SetData(nullptr, 0); }

int TMemoBuf::CharLength(int pos) const {
    int n = 1;
    while (pos + n < buffer_.size() &&
           (static_cast<unsigned char>(buffer_[pos + n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

QByteArray TMemoBuf::NextWord() {
    const int size = int(buffer_.size());
    if (pos_ >= size) return {};
    int b = pos_;
    while (pos_ < size && buffer_[pos_] == ' ' && pos_ - b < kMaxRun) ++pos_;
    if (lineStart_) {
        // A wrapped line drops its leading spaces; a paragraph's first line
        // keeps its indentation.
        if (!paragraphStart_) b = pos_;
        lineStart_ = paragraphStart_ = false;
    }
    if (pos_ < size && (buffer_[pos_] == '\r' || buffer_[pos_] == '\n')) {
        paragraphStart_ = true;
        if (buffer_[pos_] == '\r' && pos_ + 1 < size && buffer_[pos_ + 1] == '\n') ++pos_;
        ++pos_;
        return QByteArray("\r");
    }
    while (pos_ < size && !IsBreak(buffer_[pos_]) && pos_ - b < kMaxRun) ++pos_;
    // Never end a word inside a character.
    while (pos_ < size && (static_cast<unsigned char>(buffer_[pos_]) & 0xC0) == 0x80) ++pos_;
    return buffer_.mid(b, pos_ - b);
}

QString TMemoBuf::NextLine(TCanvas& canvas, int width) {
    QString line;
    lineStart_ = true;
    int measured = 0;
    do {
        int mark = pos_;
        bool wasParagraph = paragraphStart_, wasLine = lineStart_;
        QByteArray word = NextWord();
        if (word.isEmpty() || word == "\r") return line;
        QString candidate = line + QString::fromUtf8(word);
        measured = canvas.TextWidth(candidate);
        if (measured > width) {
            pos_ = mark;
            paragraphStart_ = wasParagraph;
            lineStart_ = wasLine;
            break;
        }
        line = candidate;
    } while (measured < width);
    if (!line.isEmpty()) return line;
    return BreakWord(canvas, width);
}

QString TMemoBuf::BreakWord(TCanvas& canvas, int width) {
    // The first word alone is wider than the line: break it by characters.
    lineStart_ = paragraphStart_ = false;
    while (pos_ < buffer_.size() && buffer_[pos_] == ' ') ++pos_;
    if (pos_ >= buffer_.size()) return {};
    int n = CharLength(pos_);
    QString line = QString::fromUtf8(buffer_.mid(pos_, n));
    pos_ += n;
    int measured = canvas.TextWidth(line);
    while (measured < width && pos_ < buffer_.size() && !IsBreak(buffer_[pos_])) {
        n = CharLength(pos_);
        QString candidate = line + QString::fromUtf8(buffer_.mid(pos_, n));
        measured = canvas.TextWidth(candidate);
        if (measured > width) break;
        line = candidate;
        pos_ += n;
    }
    return line;
}
