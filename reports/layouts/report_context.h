#pragma once
// What a page layout works on, without the window that shows the report:
// the report's two tables and the fields the layouts print, the progress
// callbacks, the series of the highlighted-item reports and the state a
// listing carries from one page to the next.  A report run (report_run.h)
// fills one and hands it to the layouts (page_layouts.h).
//
// The field members are named after the table fields they read.

#include <QString>
#include <functional>
#include <memory>

class TField;
class TTable;

// The key of the collection window's current series, handed to the
// highlighted-item reports so that they start at the same series.
struct TCurrentSeriesKey {
    QString CurrentSeries;
    QString CurrentPublisher;
    int CurrentEntry = 0;
    // The window's current book of that series (issue number as stored,
    // edition), which the book detail page prints; none: the first book.
    bool HasCurrentBook = false;
    QString CurrentComicNo = {};
    QString CurrentEdition = {};
};

namespace layout {

struct MissingIssuesState;  // missing_issues.cpp

struct SeriesFields {
    TField* SERIES = nullptr;
    TField* PUBLISHER = nullptr;
    TField* ENTRY = nullptr;
    TField* SERNOTE = nullptr;
    TField* FAVORITE = nullptr;
    TField* WANTED = nullptr;
    TField* FORSALE = nullptr;
    TField* NEW = nullptr;
    TField* OWNED = nullptr;
};

struct BookFields {
    TField* ENTRY = nullptr;
    TField* COMIC_NO = nullptr;
    TField* EDITION = nullptr;
    TField* TITLE = nullptr;
    TField* ARTIST = nullptr;
    TField* WRITER = nullptr;
    TField* QTY = nullptr;
    TField* PAID = nullptr;
    TField* LOW = nullptr;
    TField* HIGH = nullptr;
    TField* PERC = nullptr;
    TField* BOOKNOTE = nullptr;
    TField* LOCATION = nullptr;
    TField* WANTED = nullptr;
    TField* FORSALE = nullptr;
    TField* AUTOGRAPH = nullptr;
};

struct ReportContext {
    TTable* seriesTable = nullptr;
    TTable* booksTable = nullptr;
    SeriesFields series;
    BookFields books;
    // Counts one record of the table that drives the page's main loop.
    std::function<void()> stepProgress = [] {};
    // Sets the progress to a per cent, for a page that is not a listing.
    std::function<void(int)> showProgress = [](int) {};
    // The collection window's current series (highlighted-item reports).
    TCurrentSeriesKey currentSeries;
    // A series whose books go on past the end of a page: the next page
    // repeats its heading.
    bool seriesContinued = false;
    // The complete lists: the current series has printed its heading.
    bool seriesListed = false;
    // The missing-issues reports: lines still to print and the totals.
    std::shared_ptr<MissingIssuesState> missingIssues;
};

// Points the context at two open tables and their fields.
void BindTables(ReportContext& context, TTable& series, TTable& books);

}  // namespace layout
