#include "reports/layouts/report_context.h"

#include "platform/db/table.h"

namespace layout {

void BindTables(ReportContext& context, TTable& series, TTable& books) {
    context.seriesTable = &series;
    context.booksTable = &books;
    const auto seriesField = [&series](const char* name) { return series.FieldByName(name); };
    const auto bookField = [&books](const char* name) { return books.FieldByName(name); };
    context.series = {seriesField("SERIES"),  seriesField("PUBLISHER"), seriesField("ENTRY"),
                      seriesField("SERNOTE"), seriesField("FAVORITE"),  seriesField("WANTED"),
                      seriesField("FORSALE"), seriesField("NEW"),       seriesField("OWNED")};
    context.books = {
        bookField("ENTRY"),    bookField("COMIC_NO"), bookField("EDITION"), bookField("TITLE"),
        bookField("ARTIST"),   bookField("WRITER"),   bookField("QTY"),     bookField("PAID"),
        bookField("LOW"),      bookField("HIGH"),     bookField("PERC"),    bookField("BOOKNOTE"),
        bookField("LOCATION"), bookField("WANTED"),   bookField("FORSALE"), bookField("AUTOGRAPH")};
}

}  // namespace layout
