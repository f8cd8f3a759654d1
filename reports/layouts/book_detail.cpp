// The detail page of one book: the book highlighted in the collection
// window (without one, the first book of its series), as labels and values.
// Labels are bold in a right-justified column ending at x 2.0, values regular
// in a column from x 2.0; the notes are word-wrapped to at most three lines
// between x 2.0 and 5.5.  The report always has exactly one page; with no
// book in the series the labels stand with empty texts and zero amounts.

#include "platform/base/exception.h"
#include "platform/db/field.h"
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reportengine/memo_buf.h"
#include "reports/layouts/layout_common.h"
#include "reports/layouts/page_layouts.h"
#include "store/graded_value.h"

namespace {

using layout::ReportContext;

constexpr double kLabelLeft = 0.5;
constexpr double kLabelWidth = 1.5;
constexpr double kValueWidth = 5.0;
constexpr double kNotesStart = 2.0;
constexpr double kNotesEnd = 5.5;
constexpr int kNotesLines = 3;

void SetLabelAndValueStops(TBaseReport& report) {
    report.ClearTabStops();
    report.AddTabStop(kLabelLeft, tjRight, kLabelWidth, layout::kCellMargin, 0, 0);
    report.AddTabStop(layout::kFollowing, tjLeft, kValueWidth, layout::kCellMargin, 0, 0);
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
    report.SelectFont(layout::kFont, 11);
    report.SetBold(true);
    TDBMemoBuf notes;
    report.HomePosition();
    layout::SetHeadingBar(report);
    layout::PrintCell(
        report, 0,
        context.currentSeries.CurrentSeries + " - " + context.currentSeries.CurrentPublisher, true);

    report.SelectFont(layout::kFont, 10);
    SetLabelAndValueStops(report);
    report.FeedLine();
    report.FeedLine();
    context.showProgress(25);

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
    PrintRow(report, "\tHighValue: ", layout::Money(high));
    report.FeedLine();
    PrintRow(report, "\tLocation: ", context.books.LOCATION->AsString());
    report.FeedLine();
    context.showProgress(100);

    PrintStatus(context, report);
    return false;
}
