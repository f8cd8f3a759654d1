// The missing-issues reports: for every series with gaps, one row of its
// name and publisher, its owned runs and its missing runs; and for the
// highlighted series, its runs, gaps, unread issue numbers and counts.  The
// runs come from insight::BuildRuns over each series' books (linked to the
// series table by the report command).
//
// A row's cells wrap over as many lines as its longest text needs, broken
// after the commas of the run lists.  The lines of a row are kept in the
// context's state until printed, so a row that does not fit moves to the
// next page whole, and one taller than a page goes on there.  The whole
// report ends with its totals: series with gaps, issues missing, owned
// issue numbers not read as numbers.

#include <deque>
#include <span>
#include <vector>

#include "insight/runs.h"
#include "platform/db/field.h"
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reports/layouts/layout_common.h"
#include "reports/layouts/page_layouts.h"

namespace layout {

// One printed line: a text per column and whether it opens or closes its row.
struct MissingLine {
    std::vector<QString> cells;
    bool firstOfRow = false;
    bool lastOfRow = false;
};

struct MissingIssuesState {
    std::deque<MissingLine> pending;
    long long seriesWithGaps = 0;
    long long missing = 0;
    long long unread = 0;
    bool listStarted = false;
    bool totalsPrinted = false;
};

}  // namespace layout

namespace {

using layout::Column;
using layout::MissingIssuesState;
using layout::MissingLine;
using layout::ReportContext;

inline constexpr Column kCollectionColumns[] = {  // series, owned runs, missing runs
    {3.1, tjLeft},
    {2.2, tjLeft},
    {2.2, tjLeft}};
inline constexpr Column kSeriesColumns[] = {{1.8, tjLeft}, {5.7, tjLeft}};  // label, text
inline constexpr const char* kCollectionHeadingText =
    "\tSeries - Publisher\tOwned Issues\tMissing Issues";

MissingIssuesState& State(ReportContext& context) {
    if (!context.missingIssues) context.missingIssues = std::make_shared<MissingIssuesState>();
    return *context.missingIssues;
}

double Inside(const Column& column) { return column.width - 2 * layout::kCellMargin / 100; }

bool Fits(TBaseReport& report, const QString& text, double width) {
    return layout::TextWidthInches(report, text.trimmed()) <= width * 0.97;
}

// The text cut after each separator, and a piece too wide for a line cut
// again after its spaces.
QStringList Pieces(TBaseReport& report, const QString& text, double width,
                   const QString& separator) {
    QStringList pieces;
    const QStringList parts = text.split(separator);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString part = parts[i] + (i + 1 < parts.size() ? separator : QString());
        if (Fits(report, part, width)) {
            pieces << part;
            continue;
        }
        const QStringList words = part.split(' ');
        for (qsizetype w = 0; w < words.size(); ++w)
            pieces << words[w] + (w + 1 < words.size() ? " " : "");
    }
    return pieces;
}

// The text as lines no wider than `width` inches; a word wider than a line
// has a line of its own (and is cut at the cell's edge).
std::vector<QString> Wrapped(TBaseReport& report, const QString& text, double width,
                             const QString& separator) {
    std::vector<QString> lines;
    QString line;
    for (const QString& piece : Pieces(report, text, width, separator)) {
        if (!line.isEmpty() && !Fits(report, line + piece, width)) {
            lines.push_back(line.trimmed());
            line = piece;
        } else {
            line += piece;
        }
    }
    lines.push_back(line.trimmed());
    return lines;
}

void QueueRow(MissingIssuesState& state, TBaseReport& report, std::span<const Column> columns,
              const std::vector<QString>& texts) {
    std::vector<std::vector<QString>> wrapped;
    std::size_t height = 1;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const QString separator = i == 0 && columns.size() == 3 ? " " : ", ";
        wrapped.push_back(Wrapped(report, texts[i], Inside(columns[i]), separator));
        height = std::max(height, wrapped.back().size());
    }
    for (std::size_t line = 0; line < height; ++line) {
        MissingLine printed{{}, line == 0, line + 1 == height};
        for (const auto& cell : wrapped)
            printed.cells.push_back(line < cell.size() ? cell[line] : QString());
        state.pending.push_back(std::move(printed));
    }
}

// The runs of the books the books table shows; `stepEachBook` counts each
// book in the progress (a report over one series counts its books).
insight::SeriesRuns RunsOfLinkedBooks(ReportContext& context, bool stepEachBook) {
    std::vector<insight::BookIssue> books;
    for (context.booksTable->First(); !context.booksTable->Eof(); context.booksTable->Next()) {
        books.push_back({context.books.COMIC_NO->AsString(), context.books.QTY->AsInteger()});
        if (stepEachBook) context.stepProgress();
    }
    return insight::BuildRuns(books);
}

QString OwnedCell(const insight::SeriesRuns& runs) {
    if (runs.unread.isEmpty()) return runs.ownedText();
    const QString unread = "not read as numbers: " + runs.unreadText();
    return runs.ownedText().isEmpty() ? unread : runs.ownedText() + "; " + unread;
}

// Box lines close a row at its first and last line, and at the page's edges.
void PrintLine(TBaseReport& report, std::span<const Column> columns, const MissingLine& line,
               bool pageTop) {
    int box = BoxLineLeft | BoxLineRight;
    if (line.firstOfRow || pageTop) box |= BoxLineTop;
    if (line.lastOfRow || report.LinesRemaining() <= 1) box |= BoxLineBottom;
    report.ClearTabStops();
    double pos = layout::kLeft;
    for (const Column& column : columns) {
        report.AddTabStop(pos, column.justify, column.width, layout::kCellMargin, box, 0);
        pos = layout::kFollowing;
    }
    for (std::size_t stop = 0; stop < line.cells.size(); ++stop)
        layout::PrintCell(report, stop, line.cells[stop], stop + 1 == line.cells.size());
}

// Prints the waiting lines while they fit; true when all were printed.
bool PrintPending(MissingIssuesState& state, TBaseReport& report, std::span<const Column> columns,
                  bool& pageTop) {
    while (!state.pending.empty() && report.LinesRemaining() >= 1) {
        layout::ProcessPendingMessages();
        PrintLine(report, columns, state.pending.front(), pageTop);
        pageTop = false;
        state.pending.pop_front();
    }
    return state.pending.empty();
}

void StartPage(TBaseReport& report, std::span<const Column> columns, const QString& headings) {
    report.SelectFont(layout::kFont, 11);
    report.SetBold(true);
    report.HomePosition();
    layout::SetColumns(report, columns);
    report.PrintTextLine(headings);
    report.SelectFont(layout::kFont, 10);
    report.SetBold(false);
}

// Takes the current series into the totals, and its row when it has gaps.
void QueueSeries(ReportContext& context, MissingIssuesState& state, TBaseReport& report) {
    const insight::SeriesRuns runs = RunsOfLinkedBooks(context, false);
    state.unread += runs.unread.size();
    if (!runs.hasGaps()) return;
    ++state.seriesWithGaps;
    state.missing += runs.missing;
    const QString series =
        context.series.SERIES->AsString() + " - " + context.series.PUBLISHER->AsString();
    QueueRow(state, report, kCollectionColumns, {series, OwnedCell(runs), runs.gapsText()});
}

QString TotalsText(const MissingIssuesState& state) {
    return QStringLiteral(
               "Series with gaps: %1     Issues missing: %2     "
               "Owned issue numbers not read as numbers: %3")
        .arg(state.seriesWithGaps)
        .arg(state.missing)
        .arg(state.unread);
}

// True when the totals were printed (they need a blank line and their own).
bool PrintTotals(MissingIssuesState& state, TBaseReport& report) {
    if (report.LinesRemaining() < 2) return false;
    report.ClearTabStops();
    report.AddTabStop(layout::kLeft, tjLeft, layout::kBarWidth, layout::kCellMargin, 0, 0);
    report.PrintTextLine("\t");
    report.SetBold(true);
    layout::PrintCell(report, 0, TotalsText(state), true);
    report.SetBold(false);
    state.totalsPrinted = true;
    return true;
}

}  // namespace

bool layout::PrintMissingIssuesPage(ReportContext& context, TBaseReport& report) {
    MissingIssuesState& state = State(context);
    StartPage(report, kCollectionColumns, kCollectionHeadingText);
    bool pageTop = true;
    while (PrintPending(state, report, kCollectionColumns, pageTop)) {
        if (context.seriesTable->Eof()) return !PrintTotals(state, report);
        QueueSeries(context, state, report);
        context.stepProgress();
        context.seriesTable->Next();
        // A row that does not fit below others starts the next page.
        if (!pageTop && state.pending.size() > static_cast<std::size_t>(report.LinesRemaining()))
            return true;
    }
    return true;
}

bool layout::PrintMissingInSeriesPage(ReportContext& context, TBaseReport& report) {
    MissingIssuesState& state = State(context);
    report.SelectFont(layout::kFont, 11);
    report.SetBold(true);
    report.HomePosition();
    layout::SetHeadingBar(report);
    layout::PrintCell(
        report, 0,
        context.currentSeries.CurrentSeries + " - " + context.currentSeries.CurrentPublisher, true);
    report.SelectFont(layout::kFont, 10);
    report.SetBold(false);
    if (!state.listStarted) {
        state.listStarted = true;
        const insight::SeriesRuns runs = RunsOfLinkedBooks(context, true);
        QueueRow(state, report, kSeriesColumns, {"Owned issues", runs.ownedText()});
        QueueRow(state, report, kSeriesColumns, {"Missing issues", runs.gapsText()});
        if (!runs.unread.isEmpty())
            QueueRow(state, report, kSeriesColumns, {"Not read as numbers", runs.unreadText()});
        QueueRow(state, report, kSeriesColumns,
                 {"Counts", QStringLiteral("%1 issues owned (%2 copies), %3 missing")
                                .arg(runs.ownedIssues)
                                .arg(runs.ownedCopies)
                                .arg(runs.missing)});
    }
    bool pageTop = true;
    return !PrintPending(state, report, kSeriesColumns, pageTop);
}
