#pragma once
// Reads a recorded report file back into plain page descriptions for the
// layout tests: every text with its position and font, every line and every
// shaded rectangle.  It decodes the bytes itself, following the stream's
// documented layout, so the tests check what the recorder wrote rather than
// what a replay makes of it.

#include <QString>
#include <string>
#include <vector>

namespace streamcheck {

struct Rect {
    double left = 0, top = 0, right = 0, bottom = 0;
};

struct Text {
    int code = 0;  // 23 centred on x, 24 starting at x, 25 ending at x, 22 from x clipped
    double x = 0, y = 0;
    QString text;
    QString font;
    double fontHeight = 0;  // inches
    bool bold = false;
    Rect clip;  // code 22: what of the text is drawn
};

struct Segment {  // a MoveTo ... LineTo pair
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct Page {
    int number = 0;
    std::vector<Text> texts;
    std::vector<Segment> lines;
    std::vector<Rect> shades;   // ShadeRect
    std::vector<Rect> bitmaps;  // DrawBitmapRect targets

    // Texts of the page in recorded order.
    std::vector<QString> textList() const;
    // Texts whose baseline lies within 0.01 inch of y, in recorded order.
    std::vector<const Text*> textsOnLine(double y) const;
    // The first text equal to `s`, or nullptr.
    const Text* find(const QString& s) const;
    // Every text equal to `s`.
    std::vector<const Text*> findAll(const QString& s) const;
    // Baselines of the distinct text lines, top to bottom.
    std::vector<double> baselines() const;
    // Index (from 0) among baselines() of the line holding `text`; -1 if absent.
    int lineOf(const QString& text) const;
    // Non-empty texts, in recorded order.
    std::vector<QString> nonEmpty() const;
    // Non-empty texts on the line of baseline index `line`.
    std::vector<QString> line(int line) const;
};

struct Report {
    int headerPageCount = 0;
    double pageWidth = 0, pageHeight = 0;
    std::vector<Page> pages;
};

// Reads the report file at `path`; throws std::runtime_error when the file
// is missing or does not follow the layout.
Report readReport(const std::string& path);

}  // namespace streamcheck
