// The detail page of one book: the book highlighted in the collection
// window (without one, the first book of its series), as labels and values.
// Labels are bold in a right-justified column ending at x 2.0, values regular
// in a column from x 2.0; the notes are word-wrapped to at most three lines
// between x 2.0 and 5.5.  The report always has exactly one page; with no
// book in the series the labels stand with empty texts and zero amounts.
//
// A book with a cover has it printed to the right of its fields, the value
// column then ending where the cover's space begins; a book with a standard
// grade gets a line for it below its graded value.  A book with neither
// prints exactly as one in a collection without extras.

#include <QFileInfo>
#include <QImage>

#include "platform/base/exception.h"
#include "platform/db/field.h"
#include "platform/db/table.h"
#include "platform/graphics/graphic.h"
#include "platform/paradox/table.h"
#include "reportengine/base_report.h"
#include "reportengine/memo_buf.h"
#include "reports/layouts/layout_common.h"
#include "reports/layouts/page_layouts.h"
#include "store/book_extras.h"
#include "store/grade_scale.h"
#include "store/graded_value.h"

namespace {

using layout::ReportContext;

constexpr double kLabelLeft = 0.5;
constexpr double kLabelWidth = 1.5;
constexpr double kValueWidth = 5.0;
constexpr double kNotesStart = 2.0;
constexpr double kNotesEnd = 5.5;
constexpr int kNotesLines = 3;
// The cover's place: right of the notes' end, up to the body's right edge,
// top-aligned with the first field; printed at 200 dots per inch, sharp on
// paper without making the report file large.
constexpr double kCoverLeft = 5.75;
constexpr double kCoverWidth = 2.25;
constexpr double kCoverMaxHeight = 4.0;
constexpr double kValueWidthBesideCover = kNotesEnd - 2.0;
constexpr int kCoverDotsPerInch = 200;

void SetLabelAndValueStops(TBaseReport& report, double valueWidth) {
    report.ClearTabStops();
    report.AddTabStop(kLabelLeft, tjRight, kLabelWidth, layout::kCellMargin, 0, 0);
    report.AddTabStop(layout::kFollowing, tjLeft, valueWidth, layout::kCellMargin, 0, 0);
}

// What the page prints of the book's extras: its cover picture (null when
// it has none or its file cannot be read) and its grade line ("" when it
// has no standard grade).
struct PrintedExtras {
    QImage cover;
    QString grade;
};

QString GradeLine(const store::BookExtras& extras) {
    const std::optional<store::StandardGrade> grade = store::FindStandardGrade(extras.grade);
    QString line = grade ? grade->name() : extras.grade;
    if (line.isEmpty()) return {};
    if (!extras.grader.isEmpty()) line += ", graded by " + extras.grader;
    if (!extras.certificate.isEmpty()) line += ", certificate " + extras.certificate;
    return line;
}

PrintedExtras ReadPrintedExtras(const ReportContext& context) {
    const paradox::Table* books = context.booksTable->EngineTable();
    if (!books || context.booksTable->IsEmpty()) return {};
    const store::BookExtrasStore store(
        QFileInfo(QString::fromStdString(books->path())).absolutePath());
    const store::BookKey key{context.books.ENTRY->AsInteger(), context.books.COMIC_NO->AsString(),
                             context.books.EDITION->AsString()};
    const store::BookExtras extras = store.read(key);
    PrintedExtras printed;
    printed.grade = GradeLine(extras);
    if (!extras.cover.isEmpty())
        printed.cover = store::ReadThumbnail(
            store.coverPath(key),
            QSize(int(kCoverWidth * kCoverDotsPerInch), int(kCoverMaxHeight * kCoverDotsPerInch)));
    return printed;
}

// The cover at the right of the fields, its top level with the top of the
// line about to be printed.
void PrintCover(TBaseReport& report, const QImage& cover) {
    const double width = double(cover.width()) / kCoverDotsPerInch;
    const double height = double(cover.height()) / kCoverDotsPerInch;
    const double top = report.CursorY() - report.LineHeight() + report.FontDescent();
    const TBitmap bitmap(cover.convertToFormat(QImage::Format_RGB32));
    report.DrawBitmapRect(kCoverLeft, top, kCoverLeft + width, top + height, bitmap);
}

// The label in the first stop, the value (one line, cut at the value
// column's edge) in the second.
void PrintRow(TBaseReport& report, const QString& label, const QString& value) {
    report.SetBold(true);
    report.PrintText(label);
    report.SetBold(false);
    layout::PrintCell(report, 1, value, true);
}

void PrintNotes(ReportContext& context, TBaseReport& report, TDBMemoBuf& notes) {
    report.SetBold(true);
    report.PrintText("\tSpecial Notes: ");
    notes.LoadText(context.books.BOOKNOTE->AsString());
    report.SetBold(false);
    notes.PrintStart = kNotesStart;
    notes.PrintEnd = kNotesEnd;
    report.PrintMemo(notes, kNotesLines, true);
    report.FeedLine();
}

// Moves the books table from its first record to the highlighted book.  A
// book not stored (a new or renamed one not yet saved) is an error, so the
// page never shows another book under its name.
void LocateHighlightedBook(ReportContext& context) {
    const TCurrentSeriesKey& key = context.currentSeries;
    if (!key.HasCurrentBook) return;
    for (; !context.booksTable->Eof(); context.booksTable->Next()) {
        if (context.books.COMIC_NO->AsString() == key.CurrentComicNo &&
            context.books.EDITION->AsString() == key.CurrentEdition)
            return;
    }
    throw Exception(
        "The comic book \"" +
        (layout::PlainComicNo(key.CurrentComicNo) + " - " + key.CurrentEdition).toStdString() +
        "\" is not in the collection.  Save or cancel its changes in the "
        "collection window and choose the report again.");
}

void PrintStatus(const ReportContext& context, TBaseReport& report) {
    report.SetBold(true);
    report.PrintText("\tStatus: ");
    report.SetBold(false);
    if (context.books.WANTED->AsBoolean()) report.PrintTextLine("\tThis Book is Marked as Wanted");
    if (context.books.FORSALE->AsBoolean()) {
        report.PrintText("\t");
        report.PrintTextLine("\tThis Book is Marked For Sale");
    }
    if (context.books.AUTOGRAPH->AsBoolean()) {
        report.PrintText("\t");
        report.PrintTextLine("\tThis Book has Been Autographed");
    }
}

}  // namespace

bool layout::PrintBookDetailPage(ReportContext& context, TBaseReport& report) {
    LocateHighlightedBook(context);
    const PrintedExtras extras = ReadPrintedExtras(context);
    report.SelectFont(layout::kFont, 11);
    report.SetBold(true);
    TDBMemoBuf notes;
    report.HomePosition();
    layout::SetHeadingBar(report);
    layout::PrintCell(
        report, 0,
        context.currentSeries.CurrentSeries + " - " + context.currentSeries.CurrentPublisher, true);

    report.SelectFont(layout::kFont, 10);
    SetLabelAndValueStops(report, extras.cover.isNull() ? kValueWidth : kValueWidthBesideCover);
    report.FeedLine();
    report.FeedLine();
    context.showProgress(25);
    if (!extras.cover.isNull()) PrintCover(report, extras.cover);

    const QString comicNo = layout::PlainComicNo(context.books.COMIC_NO->AsString());
    PrintRow(report,
             "\tComic Book - Edition: ", comicNo + " - " + context.books.EDITION->AsString());
    context.showProgress(50);
    PrintRow(report, "\tTitle: ", context.books.TITLE->AsString());
    PrintRow(report, "\tArtist: ", context.books.ARTIST->AsString());
    PrintRow(report, "\tWriter: ", context.books.WRITER->AsString());
    context.showProgress(75);
    PrintNotes(context, report, notes);

    const double high = context.books.HIGH->AsFloat();
    PrintRow(report, "\tQuantity Owned: ", " " + QString::number(context.books.QTY->AsInteger()));
    PrintRow(report, "\tPrice Paid: ", layout::Money(context.books.PAID->AsFloat()));
    PrintRow(report, "\tGraded Value: ",
             layout::Money(store::GradedValue(high, context.books.PERC->AsInteger())));
    if (!extras.grade.isEmpty()) PrintRow(report, "\tStandard Grade: ", extras.grade);
    PrintRow(report, "\tHighValue: ", layout::Money(high));
    report.FeedLine();
    PrintRow(report, "\tLocation: ", context.books.LOCATION->AsString());
    report.FeedLine();
    context.showProgress(100);

    PrintStatus(context, report);
    return false;
}
