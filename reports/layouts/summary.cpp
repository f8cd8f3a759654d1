// The profit/investment summary: four totals over every owned book of the
// collection, in one pass over the unfiltered, unlinked books table, printed
// as label-and-value lines on a single page.  Paid and high values are
// summed once per book record, not multiplied by the quantity.

#include "platform/db/field.h"
#include "platform/db/table.h"
#include "reportengine/base_report.h"
#include "reports/layouts/layout_common.h"
#include "reports/layouts/page_layouts.h"

namespace {

using layout::ReportContext;

struct Totals {
    long long books = 0;  // copies: a large collection outgrows 32 bits
    double paid = 0;
    double high = 0;
};

void SetSummaryStops(TBaseReport& report) {
    report.ClearTabStops();
    report.AddTabStop(0.8, tjCenter, 1.5, layout::kCellMargin, 0, 0);  // empty lead column
    report.AddTabStop(layout::kFollowing, tjRight, 3.0, layout::kCellMargin, 0, 0);
    report.AddTabStop(layout::kFollowing, tjLeft, 2.0, layout::kCellMargin, 0, 0);
}

void AddBooks(ReportContext& context, TBaseReport& report, Totals& totals) {
    while (report.LinesRemaining() >= 1 && !context.booksTable->Eof()) {
        layout::ProcessPendingMessages();
        const int qty = context.books.QTY->AsInteger();
        if (qty > 0) {
            totals.books += qty;
            totals.paid += context.books.PAID->AsFloat();
            totals.high += context.books.HIGH->AsFloat();
        }
        context.stepProgress();
        context.booksTable->Next();
    }
}

void PrintLabel(TBaseReport& report, const QString& label) {
    report.PrintText("\t");
    report.PrintText("\t" + label);
}

void PrintMoneyLine(TBaseReport& report, const QString& label, double amount) {
    PrintLabel(report, label);
    report.SetBold(true);
    report.PrintText("\t" + layout::Money(amount));
    report.SetBold(false);
    report.PrintTextLine("\t");
}

}  // namespace

bool layout::PrintSummaryPage(ReportContext& context, TBaseReport& report) {
    report.SelectFont(layout::kFont, 11);
    report.HomePosition();
    SetSummaryStops(report);

    Totals totals;
    AddBooks(context, report, totals);

    report.PrintTextLine("\t");
    PrintLabel(report, "Total Number of Books in your collection:");
    report.SetBold(true);
    report.PrintTextLine("\t" + QString::number(totals.books));
    report.SetBold(false);
    report.PrintTextLine("\t");
    PrintMoneyLine(report, "Highest current potential value of collection:", totals.high);
    PrintMoneyLine(report, "Total paid for all comic books owned:", totals.paid);
    PrintLabel(report, "Total profit potential of collection at this time:");
    report.SetBold(true);
    report.PrintText("\t" + layout::Money(totals.high - totals.paid));
    report.SetBold(false);
    return !context.booksTable->Eof();
}
