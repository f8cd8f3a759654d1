#pragma once
// TReportRun: one report's data and page frame, apart from any window.
//
// It owns its own instances of the two collection tables (both filtered; the
// books follow the series row once a report links them), the layouts' report
// context over them, the progress count, and the standard page frame every
// report shares: the progress total before the first page, a logo and the
// title at the top of each page, a footer line with page number, product line
// and date at the bottom.  The preview window owns one and forwards to it;
// anything else records a report with one and a plain recorder.
//
// Every page layout has the recorder's page signature: it prints one page
// and returns true when another page follows.  Until a report chooses
// another, the recorder prints the listing of series.

#include <QDateTime>
#include <QString>
#include <memory>

#include "platform/graphics/graphic.h"
#include "reports/layouts/report_context.h"

class TBaseReport;
class TDataSource;
class TTable;

using TPageLayout = bool (*)(layout::ReportContext& context, TBaseReport& report);

class TReportRun {
public:
    TReportRun();
    ~TReportRun();
    TReportRun(const TReportRun&) = delete;
    TReportRun& operator=(const TReportRun&) = delete;

    std::unique_ptr<TTable> TableSeries;
    std::unique_ptr<TTable> TableBooks;
    std::unique_ptr<TDataSource> DataSeries;
    std::unique_ptr<TDataSource> DataBooks;

    // What the page layouts work on: these tables and their fields, the
    // progress as callbacks (showProgress reaches whoever shows it), the
    // collection window's current series and the listings' page-to-page
    // state.
    layout::ReportContext Report;

    int ProgressCount = 0;
    int ProgressTotal = 0;
    // The progress counts books rather than series.
    bool BooksDriven = false;
    // The logo bitmap every page header draws; read again whenever the file
    // differs from the one last read.
    QString LogoFile = "PKEEP20.BMP";

    // Opens both tables and binds the report context to them; throws when
    // a table cannot be opened.
    void OpenTables();
    bool TablesOpen() const;

    // Gives `recorder` the reports' page setup (inches, margins, portrait,
    // full scale) and hooks the page frame and the listing of series in.
    void Attach(TBaseReport& recorder);
    // Makes `page` the recorder's page layout, on this run's context.
    void SetPageLayout(TBaseReport& recorder, TPageLayout page);

    // ---- Page frame ---------------------------------------------------------
    // Counts the records of the table whose records the layouts step
    // through, and moves it to its first record.
    void CountProgressTotal();
    void PrintHeader(TBaseReport& report);
    void PrintFooter(TBaseReport& report);

    // Counts one record of the table that drives a page's main loop:
    // ProgressCount + 1, progress := ProgressCount * 100 / ProgressTotal.
    void StepProgress();

    // Positions TableSeries on the collection window's current series by a
    // key search on the primary index; the outcome is ignored.
    void LocateCurrentSeries(const TCurrentSeriesKey& key);

private:
    const TBitmap& Logo();

    // The logo as last read, and the file's path, size and time then.
    struct LoadedLogo {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        TBitmap bitmap;
    } logo_;
};
