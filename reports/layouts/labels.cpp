// Sheets of labels, one per book of the highlighted series: 3 columns by 10
// rows, filled row by row.  The report command removes the page header and
// footer, so a sheet carries nothing but labels.  Each label is placed by
// moving the engine's origin to its corner and starting its text at the
// top-left of the page; every line is bold and printed without tab stops.

#include <QStringList>
#include <algorithm>

#include "platform/db/field.h"
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reports/layouts/layout_common.h"
#include "reports/preview_form.h"
#include "store/graded_value.h"

namespace {

constexpr int kColumns = 3;
constexpr int kRows = 10;
constexpr double kSheetLeftMargin = 0.15;
constexpr double kFirstColumnX = 0.15;
constexpr double kColumnPitch = 2.8;
constexpr double kFirstRowY = 0.5;
constexpr double kRowPitch = 1.0;

using LabelText = QStringList (*)(const TPreviewForm&);

QString FirstLine(const TPreviewForm& form) {
    return "Comic - Edition: " + layout::PlainComicNo(form.TableBooksCOMIC_NO->AsString()) + " - " +
           form.TableBooksEDITION->AsString();
}

QString QtyOwned(const TPreviewForm& form) {
    return "Qty Owned: " + QString::number(form.TableBooksQTY->AsInteger());
}

void AddAutographLine(const TPreviewForm& form, QStringList& lines) {
    if (form.TableBooksAUTOGRAPH->AsBoolean()) lines << "This book is Autographed.";
}

QStringList OwnedLabel(const TPreviewForm& form) {
    QString second = QtyOwned(form);
    const double paid = form.TableBooksPAID->AsFloat();
    if (layout::PaidShown(paid)) second += "  Price Paid: " + layout::Money(paid);
    QStringList lines{FirstLine(form), second, "Location: " + form.TableBooksLOCATION->AsString()};
    AddAutographLine(form, lines);
    return lines;
}

QStringList ForSaleLabel(const TPreviewForm& form) {
    const double high = form.TableBooksHIGH->AsFloat();
    const QString second =
        QtyOwned(form) +
        " Graded: " + layout::Money(store::GradedValue(high, form.TableBooksPERC->AsInteger())) +
        " High: " + layout::Money(high);
    QStringList lines{FirstLine(form), second, "Selling Price: ____________"};
    AddAutographLine(form, lines);
    return lines;
}

// Where a label's lines are cut (inches, before the origin is added): as far
// inside the label's right edge as they start inside its left one, and
// never beyond the printable area of the paper.
double LabelTextRight(const TBaseReport& report) {
    const double labelRight = kColumnPitch - kSheetLeftMargin;
    const double printableRight = report.PageWidth() / report.UnitsFactor() -
                                  report.UnprintableRight - report.OriginX() / report.UnitsFactor();
    return std::min(labelRight, printableRight);
}

void PrintLabel(TBaseReport& report, const QStringList& lines, int column, int row) {
    report.SetOriginX(kFirstColumnX + kColumnPitch * column);
    report.SetOriginY(kFirstRowY + kRowPitch * row);
    report.HomePosition();
    const double right = LabelTextRight(report);
    for (const QString& line : lines) layout::PrintLineCutAt(report, layout::OneLine(line), right);
}

bool PrintLabelSheet(TPreviewForm& form, TBaseReport& report, int fontSize, LabelText text) {
    report.SetMarginLeft(kSheetLeftMargin);
    report.SetMarginRight(0);
    report.SetMarginTop(0);
    report.SetMarginBottom(0);
    report.SelectFont(layout::kFont, fontSize);
    report.SetBold(true);

    for (int row = 0; row < kRows && !form.TableBooks->Eof(); ++row) {
        for (int column = 0; column < kColumns && !form.TableBooks->Eof(); ++column) {
            // A book not owned leaves its position empty.
            if (form.TableBooksQTY->AsInteger() > 0) PrintLabel(report, text(form), column, row);
            form.StepProgress();
            form.TableBooks->Next();
        }
    }
    return !form.TableBooks->Eof();
}

}  // namespace

bool TPreviewForm::RPOwnedLabelReportPrintPage(TBaseReport* Sender, int&) {
    return PrintLabelSheet(*this, *Sender, 10, OwnedLabel);
}

bool TPreviewForm::RPForSaleLabelReportPrintPage(TBaseReport* Sender, int&) {
    return PrintLabelSheet(*this, *Sender, 9, ForSaleLabel);
}
