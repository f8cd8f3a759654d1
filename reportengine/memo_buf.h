#pragma once
// TMemoBuf: a private copy of a long text and a read position; hands out one
// word-wrapped line at a time that fits a width on a canvas.  The text is
// held as UTF-8 bytes; a line is never broken inside a character.

#include <QByteArray>
#include <QString>
#include <functional>

class TCanvas;

class TMemoBuf {
public:
    TMemoBuf() = default;
    virtual ~TMemoBuf() = default;

    double PrintStart = 0;  // report units, from the paper's left edge
    double PrintEnd = 0;

    void LoadText(const QString& text);
    void SetData(const char* bytes, int length);
    void Clear();

    // The next word with the spaces before it; "\r" for a line break; empty at
    // the end.
    QByteArray NextWord();
    // The next line that fits width pixels on canvas (the line break is
    // consumed and not returned).
    QString NextLine(TCanvas& canvas, int width);

    bool AtEnd() const { return pos_ >= buffer_.size(); }
    int Position() const { return pos_; }
    int Size() const { return buffer_.size(); }

private:
    int CharLength(int pos) const;  // bytes of the UTF-8 character at pos
    QString BreakWord(TCanvas& canvas, int width);

    QByteArray buffer_;
    int pos_ = 0;
    bool paragraphStart_ = true;
    bool lineStart_ = true;
};

// Where a memo buffer gets a table field's text; the dataset side adapts its
// field to this.
class TMemoSource {
public:
    virtual ~TMemoSource() = default;
    virtual QString MemoText() const = 0;
};

// The memo buffer for memo fields of a table.
class TDBMemoBuf : public TMemoBuf {
public:
    // Loads the field's current text.
    void SetField(const TMemoSource& field) { LoadText(field.MemoText()); }
    void SetField(const std::function<QString()>& text) { LoadText(text()); }
};
