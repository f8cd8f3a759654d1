#pragma once
// The page layouts.  Each prints one page of its report from the
// context's tables and returns true when another page follows; the report
// catalogue names each command's layout and a report run (report_run.h)
// hands the recorder's pages to it.

#include "reports/layouts/report_context.h"

class TBaseReport;

namespace layout {

// series_listing.cpp: the all, favourite, for-sale and wanted series lists.
bool PrintSeriesListPage(ReportContext& context, TBaseReport& report);

// grouped_listings.cpp
bool PrintCollectionPage(ReportContext& context, TBaseReport& report);
bool PrintAutographedBooksPage(ReportContext& context, TBaseReport& report);
bool PrintForSaleBooksPage(ReportContext& context, TBaseReport& report);
bool PrintWantedBooksPage(ReportContext& context, TBaseReport& report);

// complete_lists.cpp
bool PrintCompleteWantPage(ReportContext& context, TBaseReport& report);
bool PrintCompleteForSalePage(ReportContext& context, TBaseReport& report);

// summary.cpp
bool PrintSummaryPage(ReportContext& context, TBaseReport& report);

// series_scoped.cpp: the books of the highlighted series.
bool PrintBooksInSeriesPage(ReportContext& context, TBaseReport& report);
bool PrintAutographedInSeriesPage(ReportContext& context, TBaseReport& report);
bool PrintForSaleInSeriesPage(ReportContext& context, TBaseReport& report);
bool PrintOwnedInSeriesPage(ReportContext& context, TBaseReport& report);
bool PrintWantedInSeriesPage(ReportContext& context, TBaseReport& report);

// book_detail.cpp
bool PrintBookDetailPage(ReportContext& context, TBaseReport& report);

// labels.cpp
bool PrintOwnedLabelsPage(ReportContext& context, TBaseReport& report);
bool PrintForSaleLabelsPage(ReportContext& context, TBaseReport& report);

// missing_issues.cpp: the gaps of every series, and of the highlighted one.
bool PrintMissingIssuesPage(ReportContext& context, TBaseReport& report);
bool PrintMissingInSeriesPage(ReportContext& context, TBaseReport& report);

}  // namespace layout
