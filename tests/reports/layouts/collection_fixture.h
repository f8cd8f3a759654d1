#pragma once
// A collection made for one test in its own temporary directory: empty
// tables, a logo bitmap, the alias PKEEP pointing there and the directory
// made current (the report file lands in it).  Series and books are written
// straight into the table files, so each test states exactly the rows it
// needs.  Reports run through the catalogue on a report run and a recorder,
// as the preview window runs them, with no window.

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "reports/layouts/page_layouts.h"
#include "reports/report_run.h"
#include "tests/reports/layouts/stream_pages.h"
#include "tests/support/temp_dir.h"

struct SeriesRow {
    QString name;
    QString publisher = "MARVEL";
    bool favorite = false;
    bool wanted = false;
    bool forSale = false;
    std::optional<int> owned;  // default: the sum of the books' quantities
};

struct BookRow {
    QString comicNo;  // as typed; stored right-aligned to 15 characters
    QString edition = "1ST";
    QString title;
    int qty = 1;
    double paid = 0;
    double high = 0;
    int perc = 100;
    QString note;
    QString location;
    bool wanted = false;
    bool forSale = false;
    bool autograph = false;
    QString artist;
    QString writer;
};

// `count` books numbered first, first + 1, ... with the given template.
std::vector<BookRow> NumberedBooks(int count, int first = 1, BookRow pattern = {});

// The stored form of an issue number.
QString Stored(const QString& comicNo);

class TestCollection {
public:
    TestCollection();
    ~TestCollection();

    // Fills the still empty collection with pkeep-admin's sample of `series`
    // series and `books` books.
    void demo(int series, int books);

    // Adds a series with its books; returns its entry number.
    int add(const SeriesRow& series, const std::vector<BookRow>& books = {});
    TCurrentSeriesKey key(int entry) const;

    // Records the catalogue command (title or item name) as the preview
    // window records it and reads back the recorded report.
    streamcheck::Report run(const QString& command,
                            const std::optional<TCurrentSeriesKey>& current = std::nullopt);

    // Records one page layout straight from the collection's unfiltered
    // tables, with no page frame around it.
    streamcheck::Report recordLayout(TPageLayout page);

    const TestDir& dir() const { return dir_; }

private:
    TestDir dir_;
    QString previousDirectory_;
};
