// The detail page of one book: the book highlighted in the collection
// window (without one, the first book of its series), as labels and values.
// Labels are bold in a right-justified column ending at x 2.0, values regular
// in a column from x 2.0; the notes are word-wrapped to at most three lines
// between x 2.0 and 5.5.  The report always has exactly one page; with no
// book in the series the labels stand with empty texts and zero amounts.

#include <QProgressBar>

#include "platform/base/exception.h"
#include "platform/db/field.h"
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reportengine/memo_buf.h"
#include "reports/layouts/layout_common.h"
#include "reports/preview_form.h"
#include "store/graded_value.h"

namespace {

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

void PrintNotes(TPreviewForm& form, TBaseReport& report, TDBMemoBuf& notes) {
    report.SetBold(true);
    report.PrintText("\tSpecial Notes: ");
    notes.LoadText(form.TableBooksBOOKNOTE->AsString());
    report.SetBold(false);
    notes.PrintStart = kNotesStart;
    notes.PrintEnd = kNotesEnd;
    report.PrintMemo(notes, kNotesLines, true);
    report.FeedLine();
}

// Moves the books table from its first record to the highlighted book.  A
// book not stored (a new or renamed one not yet saved) is an error, so the
// page never shows another book under its name.
void LocateHighlightedBook(TPreviewForm& form) {
    const TCurrentSeriesKey& key = form.CurrentSeriesKey;
    if (!key.HasCurrentBook) return;
    for (; !form.TableBooks->Eof(); form.TableBooks->Next()) {
        if (form.TableBooksCOMIC_NO->AsString() == key.CurrentComicNo &&
            form.TableBooksEDITION->AsString() == key.CurrentEdition)
            return;
    }
    throw Exception(
        "The comic book \"" +
        (layout::PlainComicNo(key.CurrentComicNo) + " - " + key.CurrentEdition).toStdString() +
        "\" is not in the collection.  Save or cancel its changes in the "
        "collection window and choose the report again.");
}

void PrintStatus(const TPreviewForm& form, TBaseReport& report) {
    report.SetBold(true);
    report.PrintText("\tStatus: ");
    report.SetBold(false);
    if (form.TableBooksWANTED->AsBoolean()) report.PrintTextLine("\tThis Book is Marked as Wanted");
    if (form.TableBooksFORSALE->AsBoolean()) {
        report.PrintText("\t");
        report.PrintTextLine("\tThis Book is Marked For Sale");
    }
    if (form.TableBooksAUTOGRAPH->AsBoolean()) {
        report.PrintText("\t");
        report.PrintTextLine("\tThis Book has Been Autographed");
    }
}

}  // namespace

bool TPreviewForm::RPIndividualBookReportPrintPage(TBaseReport* Sender, int&) {
    TBaseReport& report = *Sender;
    LocateHighlightedBook(*this);
    report.SelectFont(layout::kFont, 11);
    report.SetBold(true);
    TDBMemoBuf notes;
    report.HomePosition();
    layout::SetHeadingBar(report);
    layout::PrintCell(report, 0,
                      CurrentSeriesKey.CurrentSeries + " - " + CurrentSeriesKey.CurrentPublisher,
                      true);

    report.SelectFont(layout::kFont, 10);
    SetLabelAndValueStops(report);
    report.FeedLine();
    report.FeedLine();
    ProgressBar->setValue(25);

    const QString comicNo = layout::PlainComicNo(TableBooksCOMIC_NO->AsString());
    PrintRow(report, "\tComic Book - Edition: ", comicNo + " - " + TableBooksEDITION->AsString());
    ProgressBar->setValue(50);
    PrintRow(report, "\tTitle: ", TableBooksTITLE->AsString());
    PrintRow(report, "\tArtist: ", TableBooksARTIST->AsString());
    PrintRow(report, "\tWriter: ", TableBooksWRITER->AsString());
    ProgressBar->setValue(75);
    PrintNotes(*this, report, notes);

    const double high = TableBooksHIGH->AsFloat();
    PrintRow(report, "\tQuantity Owned: ", " " + QString::number(TableBooksQTY->AsInteger()));
    PrintRow(report, "\tPrice Paid: ", layout::Money(TableBooksPAID->AsFloat()));
    PrintRow(report, "\tGraded Value: ",
             layout::Money(store::GradedValue(high, TableBooksPERC->AsInteger())));
    PrintRow(report, "\tHighValue: ", layout::Money(high));
    report.FeedLine();
    PrintRow(report, "\tLocation: ", TableBooksLOCATION->AsString());
    report.FeedLine();
    ProgressBar->setValue(100);

    PrintStatus(*this, report);
    return false;
}
