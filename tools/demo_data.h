#pragma once
// A realistic sample collection, the same for the same seed on every
// machine: the random numbers come from our own generator (splitmix64), not
// from the standard library's distributions, whose results vary.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/paradox/table.h"

namespace admin {

struct DemoSeries {
    paradox::Row row;                 // ENTRY blank: the engine assigns it
    std::vector<paradox::Row> books;  // ENTRY blank: set once the series has one
};

// Exactly `seriesCount` series holding `bookCount` books in all (rows in the
// column order of the collection tables), handed to `take` one at a time.
// Books need at least one series.
void ForEachDemoSeries(int seriesCount, int bookCount, std::uint64_t seed,
                       const std::function<void(DemoSeries& series)>& take);
// The same sample, held whole.
std::vector<DemoSeries> MakeDemoCollection(int seriesCount, int bookCount, std::uint64_t seed);

}  // namespace admin
