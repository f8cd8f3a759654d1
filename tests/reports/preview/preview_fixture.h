#pragma once
// Shared pieces of the preview tests: a real collection in a temporary
// directory, a small recorded report with known boxes and texts, and readers
// of PDF output (poppler's pdftotext, pdfinfo and pdftoppm).

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

// A collection in its own directory, reached through the alias PKEEP, with
// a logo bitmap (a solid red square) beside the tables.
class TestCollection {
public:
    TestCollection();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.path() + "/" + name; }
    // Series named "SERIES 001", "SERIES 002", ... with publisher
    // "PUBLISHER 001", ...; every `favoriteEvery`-th one is a favourite.
    void addSeries(int count, int favoriteEvery = 0);

private:
    TestDir dir_;
};

// Records a report of `pages` pages into `fileName`: on page n the text
// "PAGE n TEXT" starts at x 1.0 in on the baseline y 1.5 in (Arial 12) and a
// black box covers x 1.0..3.0 in, y 2.0..3.0 in.
void RecordBoxesReport(const QString& fileName, int pages = 3);

// The page of the boxes report as pixels at `dpi`.
QRect ExpectedBox(int dpi);

// Text of a PDF file (pages separated by form feeds).
QStringList PdfPageTexts(const QString& pdf);
int PdfPageCount(const QString& pdf);
// The words of a PDF with their boxes in points from the page's top-left.
struct PdfWord {
    int page = 0;  // from 1
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};
std::vector<PdfWord> PdfWords(const QString& pdf);
QString PdfTitle(const QString& pdf);
// The pictures drawn in a PDF (poppler's pdfimages): page and object number
// of each.
std::vector<std::pair<int, int>> PdfImages(const QString& pdf);
// One page rendered at `dpi`.
QImage RenderPdfPage(const QString& pdf, int page, int dpi);

// Bounding box of the dark pixels (all channels below 100) inside `region`.
QRect DarkBox(const QImage& image, const QRect& region);
// Bounding box of the strongly red pixels inside `region`.
QRect RedBox(const QImage& image, const QRect& region);
