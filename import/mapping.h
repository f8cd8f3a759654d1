#pragma once
// A book as read, held to the rules of our two tables: the series key
// (name, publisher) in upper case, the issue number right-aligned to 15
// characters, several people of one role joined with ", ", a condition word
// or a 0.5-10.0 grade as the per cent of mint, prices as amounts.  A value
// that cannot be stored as it is (too long for its field, a character the
// tables' code page lacks, an unreadable price) is a Problem naming the
// value it would become; it is never changed silently.

#include <QString>
#include <optional>
#include <vector>

#include "import/compact_row.h"
#include "import/imported_book.h"
#include "import/plan.h"
#include "platform/paradox/table.h"

namespace import {

// Where the book came from (each of its problems names it) is left with
// the ImportedBook: a plan holds a MappedBook per book, the fewer bytes the
// better.
struct MappedBook {
    QString series, publisher;      // as stored: upper case, fitted
    CompactRow row;                 // the books row; ENTRY is left blank
    std::vector<Problem> problems;  // values changed to fit
    QString refusal;                // why it cannot be stored at all
};

// Where a book came from, its number joined on: "file line 12".
QString JoinedOrigin(const QString& origin, qint64 originNumber);

// Takes the book's values over: most are changed in place, not copied.
MappedBook MapBook(ImportedBook book);

// "$12.99", "12,99 €", "1.234,50", "EUR 3" as an amount; nullopt when the
// text holds no amount.
std::optional<double> ParseAmount(const QString& text);
// A condition word (Mint ... Poor, or its abbreviation NM, VF ...) or a
// 0.5-10.0 grade as the per cent the collection window stores; nullopt
// when the text is neither.
std::optional<int> ParseCondition(const QString& text);

}  // namespace import
