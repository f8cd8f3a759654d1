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
#include "reports/layouts/page_layouts.h"
#include "store/graded_value.h"

namespace {

using layout::ReportContext;

constexpr int kColumns = 3;
constexpr int kRows = 10;
constexpr double kSheetLeftMargin = 0.15;
constexpr double kFirstColumnX = 0.15;
constexpr double kColumnPitch = 2.8;
constexpr double kFirstRowY = 0.5;
constexpr double kRowPitch = 1.0;

using LabelText = QStringList (*)(const layout::ReportContext&);

QString FirstLine(const ReportContext& context) {
    return "Comic - Edition: " + layout::PlainComicNo(context.books.COMIC_NO->AsString()) + " - " +
           context.books.EDITION->AsString();
}

QString QtyOwned(const ReportContext& context) {
    return "Qty Owned: " + QString::number(context.books.QTY->AsInteger());
}

void AddAutographLine(const ReportContext& context, QStringList& lines) {
    if (context.books.AUTOGRAPH->AsBoolean()) lines << "This book is Autographed.";
}

QStringList OwnedLabel(const ReportContext& context) {
    QString second = QtyOwned(context);
    const double paid = context.books.PAID->AsFloat();
    if (layout::PaidShown(paid)) second += "  Price Paid: " + layout::Money(paid);
    QStringList lines{FirstLine(context), second,
                      "Location: " + context.books.LOCATION->AsString()};
    AddAutographLine(context, lines);
    return lines;
}

QStringList ForSaleLabel(const ReportContext& context) {
    const double high = context.books.HIGH->AsFloat();
    const QString second =
        QtyOwned(context) +
        " Graded: " + layout::Money(store::GradedValue(high, context.books.PERC->AsInteger())) +
        " High: " + layout::Money(high);
    QStringList lines{FirstLine(context), second, "Selling Price: ____________"};
    AddAutographLine(context, lines);
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

bool PrintLabelSheet(ReportContext& context, TBaseReport& report, int fontSize, LabelText text) {
    report.SetMarginLeft(kSheetLeftMargin);
    report.SetMarginRight(0);
    report.SetMarginTop(0);
    report.SetMarginBottom(0);
    report.SelectFont(layout::kFont, fontSize);
    report.SetBold(true);

    for (int row = 0; row < kRows && !context.booksTable->Eof(); ++row) {
        for (int column = 0; column < kColumns && !context.booksTable->Eof(); ++column) {
            // A book not owned leaves its position empty.
            if (context.books.QTY->AsInteger() > 0) PrintLabel(report, text(context), column, row);
            context.stepProgress();
            context.booksTable->Next();
        }
    }
    return !context.booksTable->Eof();
}

}  // namespace

bool layout::PrintOwnedLabelsPage(ReportContext& context, TBaseReport& report) {
    return PrintLabelSheet(context, report, 10, OwnedLabel);
}

bool layout::PrintForSaleLabelsPage(ReportContext& context, TBaseReport& report) {
    return PrintLabelSheet(context, report, 9, ForSaleLabel);
}
