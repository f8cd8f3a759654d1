#pragma once
// The rows behind an ImportPlan: the books as mapped, once per key (a book
// read twice adds its quantity), and what each does to the collection.

#include <QString>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "import/mapping.h"
#include "import/plan.h"
#include "platform/paradox/table.h"

namespace import {

// Where a book goes in the collection: the series' ENTRY when it is stored
// already (0 when the import adds it), the book's outcome when it is taken.
struct Placement {
    std::int64_t seriesEntry = 0;
    paradox::Row seriesKey;  // SERIES, PUBLISHER, ENTRY as stored, when it is
    Outcome outcome = Outcome::Added;
};

class PlanData {
public:
    QString collectionDir;
    int read = 0;
    int duplicates = 0;
    bool takeShortened = false;
    std::deque<MappedBook> books;  // grows without moving the books read before
    // The distinct series (name, publisher as mapped) and each book's among them.
    std::vector<std::pair<QString, QString>> series;
    std::vector<std::uint32_t> seriesOf;
    std::vector<Placement> placements;  // against the collection as it was read
    std::vector<Problem> problems;
    std::vector<Problem> refusals;

    // Whether the book goes into the collection with the user's choice.
    bool Taken(const MappedBook& book) const { return takeShortened || book.problems.empty(); }
    // Each book's place in the collection's tables as they are now.
    std::vector<Placement> Place(const paradox::Table& series, const paradox::Table& books) const;
};

// Fills the blank fields of `stored` from `imported` (never the key, QTY or
// a value already there); true when one was filled.
bool FillBlanks(paradox::Row& stored, const paradox::Row& imported);

}  // namespace import
