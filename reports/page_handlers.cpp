// The preview window's page handlers: the names the report commands wire to
// the recorder, each forwarding to its layout with the window's report
// context.
#include "reports/layouts/page_layouts.h"
#include "reports/preview_form.h"

bool TPreviewForm::RPSeriesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintSeriesListPage(Report, *Sender);
}

bool TPreviewForm::RPCollectionReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintCollectionPage(Report, *Sender);
}

bool TPreviewForm::RPAutographBookReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintAutographedBooksPage(Report, *Sender);
}

bool TPreviewForm::RPForSaleBookReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintForSaleBooksPage(Report, *Sender);
}

bool TPreviewForm::RPWantedBookReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintWantedBooksPage(Report, *Sender);
}

bool TPreviewForm::RPCompleteWantReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintCompleteWantPage(Report, *Sender);
}

bool TPreviewForm::RPCompleteForSaleReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintCompleteForSalePage(Report, *Sender);
}

bool TPreviewForm::RPSummaryReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintSummaryPage(Report, *Sender);
}

bool TPreviewForm::RPBooksInSeriesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintBooksInSeriesPage(Report, *Sender);
}

bool TPreviewForm::RPAutographedInSeriesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintAutographedInSeriesPage(Report, *Sender);
}

bool TPreviewForm::RPForSaleInSeriesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintForSaleInSeriesPage(Report, *Sender);
}

bool TPreviewForm::RPOwnedInSeriesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintOwnedInSeriesPage(Report, *Sender);
}

bool TPreviewForm::RPWantedInSeriesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintWantedInSeriesPage(Report, *Sender);
}

bool TPreviewForm::RPIndividualBookReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintBookDetailPage(Report, *Sender);
}

bool TPreviewForm::RPOwnedLabelReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintOwnedLabelsPage(Report, *Sender);
}

bool TPreviewForm::RPForSaleLabelReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintForSaleLabelsPage(Report, *Sender);
}

bool TPreviewForm::RPMissingIssuesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintMissingIssuesPage(Report, *Sender);
}

bool TPreviewForm::RPMissingInSeriesReportPrintPage(TBaseReport* Sender, int&) {
    return layout::PrintMissingInSeriesPage(Report, *Sender);
}
