#pragma once
// The figures of the Statistics window and of `pkeep-admin stats`, computed
// in one pass over the collection's tables.
//
// Every copy counts: a book with QTY 3 adds three times its graded value
// and three times its price paid, as the collection window's profitability
// multiplies by QTY.  Books with QTY 0 or less are wanted, not owned, and
// add nothing.  Money is summed in whole cents, so the totals are exact
// however many books there are.
//
// Purchase dates come from the BOUGHT date field of the extras table
// (extras.db, keyed like books.db) when the collection has one; without it
// the money spent per year is empty.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace paradox {
class Table;
}

namespace insight {

using Cents = std::int64_t;

// An amount of money in whole cents, from the double a table holds.
Cents ToCents(double amount);
double FromCents(Cents cents);
// The amount as the user reads money (FormatMoney, the current locale).
QString MoneyText(Cents cents);

struct PublisherTotal {
    QString publisher;
    long long books = 0;  // copies owned
    Cents value = 0;      // graded value of every copy
    Cents paid = 0;       // price paid for every copy
};

struct ValuableBook {
    QString series, publisher, comicNo, edition, title;
    int qty = 0;
    Cents value = 0;  // the graded value of one copy
};

struct ConditionCount {
    QString word;  // kNoGradeWord for grades below the first step
    long long books = 0;
};

struct SeriesTotal {
    QString series, publisher;
    long long books = 0;
    Cents value = 0;
};

struct YearSpent {
    int year = 0;
    long long books = 0;
    Cents paid = 0;
};

inline constexpr int kMostValuableCount = 10;
inline constexpr int kTopSeriesCount = 20;
inline constexpr const char* kNoGradeWord = "No grade";
inline constexpr const char* kNoSeriesName = "(books without a series)";
inline constexpr const char* kExtrasTable = "extras.db";
inline constexpr const char* kBoughtField = "BOUGHT";

struct CollectionStatistics {
    long long bookRecords = 0;  // rows of the books table, owned or not
    long long books = 0;        // copies owned: the sum of QTY above 0
    Cents value = 0;
    Cents paid = 0;
    std::vector<PublisherTotal> publishers;  // by value, largest first
    std::vector<ValuableBook> mostValuable;  // by value of one copy, at most 10
    std::vector<ConditionCount> conditions;  // every word, Poor to Mint, then no grade
    std::vector<SeriesTotal> topSeries;      // by value, at most 20
    std::vector<YearSpent> spentByYear;      // earliest year first
    long long booksWithoutPurchaseDate = 0;  // copies owned
};

// Why these figures differ from the profit/investment summary report, for
// the window and the tool to say beside them.
QString DifferenceFromSummary();

// Called as the pass goes on; returns false to stop it.
using Progress = std::function<bool(std::size_t done, std::size_t total)>;

// The figures of the tables; `extras` may be null.  nullopt when `progress`
// stopped the pass.
std::optional<CollectionStatistics> ComputeStatistics(const paradox::Table& series,
                                                      const paradox::Table& books,
                                                      const paradox::Table* extras,
                                                      const Progress& progress = {});

// The figures of the collection in `directory` (the two tables, and the
// extras table when it exists).  A missing or damaged table raises.
std::optional<CollectionStatistics> ComputeStatistics(const QString& directory,
                                                      const Progress& progress = {});

}  // namespace insight
