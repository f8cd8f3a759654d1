#include "reports/layouts/layout_common.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QRect>
#include <algorithm>
#include <bit>
#include <clocale>
#include <cmath>
#include <iterator>
#include <list>
#include <string>

#include "platform/base/money.h"
#include "platform/db/field.h"
#include "reportengine/base_report.h"
#include "store/graded_value.h"

namespace layout {

void SetHeadingBar(TBaseReport& report) {
    report.ClearTabStops();
    report.AddTabStop(kLeft, tjLeft, kBarWidth, kCellMargin, BoxLineAll, kHeadingShade);
}

void SetColumns(TBaseReport& report, std::span<const Column> columns) {
    report.ClearTabStops();
    double pos = kLeft;
    for (const Column& column : columns) {
        report.AddTabStop(pos, column.justify, column.width, kCellMargin, BoxLineAll, 0);
        pos = kFollowing;
    }
}

void PrintPageHeadings(TBaseReport& report, std::span<const Column> headingColumns,
                       const QString& columnHeadingText) {
    report.SelectFont(kFont, 11);
    report.SetBold(true);
    report.HomePosition();
    SetHeadingBar(report);
    report.PrintTextLine("\tSeries - Publisher");
    SetColumns(report, headingColumns);
    report.PrintTextLine(columnHeadingText);
}

void PrintSeriesHeading(TBaseReport& report, const ReportContext& context, const QString& suffix) {
    SetHeadingBar(report);
    PrintCell(
        report, 0,
        context.series.SERIES->AsString() + " - " + context.series.PUBLISHER->AsString() + suffix,
        true);
}

bool SeriesHeadingFits(const TBaseReport& report, bool hasBooks, bool firstOnPage) {
    return firstOnPage || report.LinesRemaining() >= (hasBooks ? 2 : 1);
}

namespace {

// The money texts already made, while the locale that made them is the
// current one.  Keyed by the amount's bits: 0.0 and -0.0 compare equal but
// need not read the same.
class MoneyTexts {
public:
    const QString* find(double amount) {
        const char* monetary = std::setlocale(LC_MONETARY, nullptr);
        const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
        if (!monetary || !numeric || monetary_ != monetary || numeric_ != numeric) {
            texts_.clear();
            monetary_ = monetary ? monetary : "";
            numeric_ = numeric ? numeric : "";
        }
        auto found = texts_.constFind(std::bit_cast<quint64>(amount));
        return found == texts_.cend() ? nullptr : &*found;
    }
    void keep(double amount, const QString& text) {
        if (texts_.size() < kMaxTexts) texts_.insert(std::bit_cast<quint64>(amount), text);
    }

private:
    static constexpr qsizetype kMaxTexts = 1 << 16;
    std::string monetary_, numeric_;
    QHash<quint64, QString> texts_;
};

}  // namespace

QString Money(double amount) {
    // Formatting in the C library costs thousands of instructions a time,
    // and a listing shows the same few thousand amounts again and again.
    static MoneyTexts known;
    if (const QString* text = known.find(amount)) return *text;
    const QString text = QString::fromStdString(FormatMoney(amount));
    known.keep(amount, text);
    return text;
}

bool PaidShown(double paid) {
    // nearbyint follows the default rounding mode: halves go to even.
    return std::nearbyint(paid) > 0;
}

QString PaidCell(double paid) { return PaidShown(paid) ? Money(paid) : QString(); }

QString YesNo(bool value) { return value ? "Yes" : "No"; }

QString PlainComicNo(const QString& stored) {
    int first = 0;
    while (first < stored.size() && stored[first] == ' ') ++first;
    return stored.mid(first);
}

void ProcessPendingMessages() {
    // A pass of the message loop costs more than recording a row, so it runs
    // at most every kMessageIntervalMs: often enough for repaints, the
    // progress bar and a prompt Cancel.
    static QElapsedTimer sinceLastPass;
    if (sinceLastPass.isValid() && sinceLastPass.elapsed() < kMessageIntervalMs) return;
    QCoreApplication::processEvents();
    sinceLastPass.start();
}

QString CellText(const ReportContext& context, Cell cell) {
    switch (cell) {
        case Cell::ComicAndEdition:
            return context.books.COMIC_NO->AsString() + "  " + context.books.EDITION->AsString();
        case Cell::Title:
            return context.books.TITLE->AsString();
        case Cell::Location:
            return context.books.LOCATION->AsString();
        case Cell::Qty:
            return QString::number(context.books.QTY->AsInteger());
        case Cell::Paid:
            return PaidCell(context.books.PAID->AsFloat());
        case Cell::Graded:
            return Money(
                store::GradedValue(context.books.HIGH->AsFloat(), context.books.PERC->AsInteger()));
        case Cell::Mint:
            return Money(context.books.HIGH->AsFloat());
        case Cell::Autographed:
            return YesNo(context.books.AUTOGRAPH->AsBoolean());
        case Cell::SellPrice:
            return QString();
    }
    return QString();
}

void PrintBookRow(TBaseReport& report, const ReportContext& context, std::span<const Cell> cells) {
    // Each column set has a stop per cell, the first cell in the first stop.
    for (std::size_t stop = 0; stop < cells.size(); ++stop)
        PrintCell(report, stop, CellText(context, cells[stop]), stop + 1 == cells.size());
}

QString OneLine(const QString& text) {
    const auto breaksLine = [](QChar c) { return c == '\r' || c == '\n' || c == '\t'; };
    if (std::none_of(text.begin(), text.end(), breaksLine)) return text;  // the usual case
    QString line;
    line.reserve(text.size());
    for (QChar c : text) {
        if (!breaksLine(c))
            line += c;
        else if (!line.isEmpty() && !line.endsWith(' '))
            line += ' ';
    }
    return line.trimmed();
}

double TextWidthInches(TBaseReport& report, const QString& text) {
    return report.XD2I(report.Canvas().TextWidth(text)) - report.XD2I(0);
}

namespace {

// Text measured on the recording device may come out a few per cent wider
// on another (fonts are rounded to whole pixels): what nearly fills its
// place is clipped too, so that no device draws it past the edge.
constexpr double kWidthAllowance = 0.97;

bool Overflows(TBaseReport& report, const QString& text, double left, double right) {
    return !text.isEmpty() && TextWidthInches(report, text) > (right - left) * kWidthAllowance;
}

// Draws text from x `left` on the current line, clipped to the line's box
// between `left` and `right` (inches, engine coordinates).
void PrintClipped(TBaseReport& report, const QString& text, double left, double right) {
    const double units = report.UnitsFactor();
    const double bottom = (report.CursorY() + report.FontDescent()) / units;
    const double top = bottom - report.LineHeight() / units;
    const QPoint topLeft(report.XI2D(left), report.YI2D(top));
    const QPoint bottomRight(report.XI2D(right), report.YI2D(bottom));
    report.TextRect(
        QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y())),
        left * units, report.CursorY(), text);
}

}  // namespace

void PrintCell(TBaseReport& report, std::size_t stop, const QString& text, bool endLine) {
    // The tab and the text go in two calls, as one "\t" + text would, without
    // building a string per cell.
    static const QString tab = QStringLiteral("\t");
    report.PrintText(tab);
    const QString line = OneLine(text);
    const std::list<TTabStop>& stops = report.TabStops();
    if (stop < stops.size()) {
        const TTabStop& cell = *std::next(stops.begin(), static_cast<std::ptrdiff_t>(stop));
        const double left = cell.Pos + cell.Margin;
        const double right = cell.Pos + cell.Width - cell.Margin;
        if (cell.Width > 0 && Overflows(report, line, left, right)) {
            PrintClipped(report, line, left, right);
            if (endLine) report.EndLine();
            return;
        }
    }
    if (endLine)
        report.PrintTextLine(line);
    else
        report.PrintText(line);
}

void PrintLineCutAt(TBaseReport& report, const QString& text, double right) {
    const double left = report.CursorX() / report.UnitsFactor();
    if (!Overflows(report, text, left, right)) return report.PrintTextLine(text);
    PrintClipped(report, text, left, right);
    report.EndLine();
}

}  // namespace layout
