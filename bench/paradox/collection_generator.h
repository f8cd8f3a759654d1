#pragma once
// A realistic collection for the benchmark: series and their books with the
// field lists of the collection tables (store::SeriesSchema, BooksSchema), in
// key order.

#include <string>
#include <vector>

#include "platform/paradox/table.h"

namespace bench {

struct Collection {
    std::vector<paradox::Row>
        series;  // SERIES, PUBLISHER, ENTRY, SERNOTE, FAVORITE, WANTED, FORSALE, NEW, OWNED
    std::vector<paradox::Row> books;  // ENTRY, COMIC_NO, EDITION, TITLE, ..., AUTOGRAPH
};

// `seriesCount` series with `bookCount` books spread over them; both lists
// sorted by their keys, ENTRY numbered 1..seriesCount in series key order.
Collection generateCollection(int seriesCount, int bookCount, unsigned seed);

}  // namespace bench
