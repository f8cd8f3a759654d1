#pragma once
// Pieces every book layout shares: the shaded heading bar, boxed column
// sets, the cell texts of a book row (money, the empty price-paid rule,
// graded value by store::GradedValue, issue number) and the heading rows
// that open each page.
//
// Positions are inches from the paper's left edge; cell margins are given
// in hundredths of an inch, as AddTabStop takes them.

#include <QString>
#include <span>

#include "reportengine/report_types.h"
#include "reports/layouts/report_context.h"

class TBaseReport;

namespace layout {

inline constexpr const char* kFont = "Arial";
inline constexpr double kLeft = 0.5;          // every table starts here
inline constexpr double kBarWidth = 7.5;      // heading bar: the full body width
inline constexpr double kCellMargin = 2;      // hundredths of an inch
inline constexpr int kHeadingShade = 10;      // per cent grey of heading bars
inline constexpr double kFollowing = -32768;  // AddTabStop: right after the previous stop

struct Column {
    double width;
    TTextJustify justify;
};

// The column sets of the book tables (widths in inches, side by side from
// x 0.5, each spanning to x 8.0).  Where the column-heading row centres the
// issue column and the book rows left-justify it, there are two variants.
inline constexpr Column kOwnedColumns[] = {  // comic, location, qty, paid, graded, mint
    {1.5, tjLeft},   {2.5, tjLeft},   {0.5, tjCenter},
    {1.0, tjCenter}, {1.0, tjCenter}, {1.0, tjCenter}};
inline constexpr Column kTitleValueHeadings[] = {  // comic, title, graded, mint
    {1.5, tjCenter},
    {4.0, tjLeft},
    {1.0, tjCenter},
    {1.0, tjCenter}};
inline constexpr Column kTitleValueRows[] = {
    {1.5, tjLeft}, {4.0, tjLeft}, {1.0, tjCenter}, {1.0, tjCenter}};
inline constexpr Column kForSaleHeadings[] = {  // comic, autographed, qty, paid, graded, mint, sell
    {1.5, tjCenter}, {1.5, tjCenter}, {0.5, tjCenter}, {1.0, tjCenter},
    {1.0, tjCenter}, {1.0, tjCenter}, {1.0, tjCenter}};
inline constexpr Column kForSaleRows[] = {{1.5, tjLeft},   {1.5, tjCenter}, {0.5, tjCenter},
                                          {1.0, tjCenter}, {1.0, tjCenter}, {1.0, tjCenter},
                                          {1.0, tjCenter}};
inline constexpr Column kWantedHeadings[] = {  // comic, title, mint
    {1.5, tjCenter},
    {5.0, tjLeft},
    {1.0, tjCenter}};
inline constexpr Column kWantedRows[] = {{1.5, tjLeft}, {5.0, tjLeft}, {1.0, tjCenter}};

inline constexpr const char* kOwnedHeadingText =
    "\tComic # - Edition\tLocation\tQty\tPrice Paid\tGraded Value\tMint Value";
inline constexpr const char* kTitleValueHeadingText =
    "\tComic # - Edition\tTitle\tGraded Value\tMint Value";
inline constexpr const char* kForSaleHeadingText =
    "\tComic # - Edition\tAutographed\tQty\tPrice Paid\tGraded Value\tMint Value\tSell Price";
inline constexpr const char* kWantedHeadingText = "\tComic # - Edition\tTitle\tMint Value";

// Replaces the tab stops by the one shaded, boxed bar across the body.
void SetHeadingBar(TBaseReport& report);
// Replaces the tab stops by boxed, unshaded cells side by side from x 0.5.
void SetColumns(TBaseReport& report, std::span<const Column> columns);

// The page's opening rows: Arial 11 bold from the top of the body, the bar
// "Series - Publisher", then the column headings in `headingColumns`.
void PrintPageHeadings(TBaseReport& report, std::span<const Column> headingColumns,
                       const QString& columnHeadingText);

// Prints "\t" + SERIES + " - " + PUBLISHER + suffix in the heading bar
// (in the font already selected) and ends the line.
void PrintSeriesHeading(TBaseReport& report, const ReportContext& context, const QString& suffix);

// A series heading keeps its first book line with it: true when the heading
// and, for a series with a book to list, one book line still fit on the
// page.  The first series of a page always fits, so no page stays empty.
bool SeriesHeadingFits(const TBaseReport& report, bool hasBooks, bool firstOnPage);

// Money in the user's currency format.
QString Money(double amount);
// Price paid as a listing cell: empty when it rounds (halves to even) to a
// whole amount of 0 or less.
bool PaidShown(double paid);
QString PaidCell(double paid);
QString YesNo(bool value);
// The issue number without the leading spaces it is stored with.
QString PlainComicNo(const QString& stored);

// Lets the window repaint and take a Cancel click during recording; called
// for every row, it lets pending messages run at most every
// kMessageIntervalMs milliseconds.
inline constexpr int kMessageIntervalMs = 20;
void ProcessPendingMessages();

// The cells of a book row, read from the current book of the report's
// books table.
enum class Cell {
    ComicAndEdition,  // the stored issue number, two spaces, the edition
    Title,
    Location,
    Qty,
    Paid,  // empty by the price-paid rule
    Graded,
    Mint,
    Autographed,  // "Yes" / "No"
    SellPrice,    // always empty: the buyer writes it in
};
QString CellText(const ReportContext& context, Cell cell);

// The rows that go with the column sets above.
inline constexpr Cell kOwnedCells[] = {Cell::ComicAndEdition, Cell::Location, Cell::Qty, Cell::Paid,
                                       Cell::Graded,          Cell::Mint};
inline constexpr Cell kTitleValueCells[] = {Cell::ComicAndEdition, Cell::Title, Cell::Graded,
                                            Cell::Mint};
inline constexpr Cell kForSaleCells[] = {
    Cell::ComicAndEdition, Cell::Autographed, Cell::Qty,      Cell::Paid,
    Cell::Graded,          Cell::Mint,        Cell::SellPrice};
inline constexpr Cell kWantedCells[] = {Cell::ComicAndEdition, Cell::Title, Cell::Mint};

// Prints one book row: every cell as a tab and its text, the last one ending
// the line.
void PrintBookRow(TBaseReport& report, const ReportContext& context, std::span<const Cell> cells);

// ---- text that must stay in its place ---------------------------------------
// A cell or a label holds one line: the line breaks of a memo (a location
// kept on two lines) and tabs become single spaces.
QString OneLine(const QString& text);
// Prints "\t" + text, `stop` being the index of the tab stop the tab moves
// to, and ends the line when `endLine`.  Text wider than the cell's inside
// (between its margins) is cut at that edge, as a grid cuts a cell: it
// starts at the cell's left margin and is clipped at the right one.
void PrintCell(TBaseReport& report, std::size_t stop, const QString& text, bool endLine);
// The width of text in the current font, in inches.
double TextWidthInches(TBaseReport& report, const QString& text);
// Prints text as a line from the cursor, clipped at x `right` (inches, in
// the engine's coordinates, that is before its origin is added).
void PrintLineCutAt(TBaseReport& report, const QString& text, double right);

}  // namespace layout
