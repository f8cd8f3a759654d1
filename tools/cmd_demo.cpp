// pkeep-admin demo: fills an empty collection with a sample of made-up
// series and books, the same for the same seed.
#include "tools/command.h"
#include "tools/demo_data.h"
#include "tools/tables.h"

namespace {

constexpr int kEntryColumn = 2;  // ENTRY in the series table

// Stores a series and then its books, which take the ENTRY the engine gave
// it.
void storeSeries(admin::CollectionTables& tables, admin::DemoSeries& series,
                 const admin::RowStored& rowStored) {
    const std::size_t position = tables.series->insert(series.row);
    const paradox::Value entry = tables.series->row(position)[kEntryColumn];
    rowStored();
    for (paradox::Row& book : series.books) {
        book[0] = entry;
        tables.books->insert(std::move(book));
        rowStored();
    }
}

int run(admin::Context& context, const QStringList& args) {
    admin::Arguments arguments(args, {"--series", "--books", "--seed"});
    if (!arguments.positional().isEmpty())
        throw admin::UsageError("unexpected argument '" + arguments.positional()[0].toStdString() +
                                "'");
    long long seriesCount = arguments.number("--series", 40);
    long long bookCount = arguments.number("--books", 400);
    long long seed = arguments.number("--seed", 1);
    if (seriesCount > 1000000 || bookCount > 10000000)
        throw admin::UsageError("at most 1000000 series and 10000000 books");
    if (seriesCount == 0 && bookCount > 0)
        throw admin::UsageError("books need at least one series (--series 1 or more)");

    admin::CollectionTables tables = admin::OpenCollection(context.directory);
    admin::RequireEmpty(tables, context.directory, "demo");
    admin::FillEmptyCollection(tables, context.directory, [&](const admin::RowStored& rowStored) {
        // Made a series at a time, so that the sample is never held whole.
        admin::ForEachDemoSeries(static_cast<int>(seriesCount), static_cast<int>(bookCount),
                                 static_cast<std::uint64_t>(seed), [&](admin::DemoSeries& series) {
                                     storeSeries(tables, series, rowStored);
                                 });
    });
    context.out << "Added " << seriesCount << " series and " << bookCount << " books to "
                << context.directory << " (seed " << seed << ")\n";
    admin::WarnOfTablesNearlyFull(tables, context.out);
    return 0;
}

admin::Registration registration{
    {"demo", "[--series N] [--books M] [--seed S]",
     "Fill an empty collection with a sample collection", run,
     "Adds exactly N series (default 40) and M books in all (default 400), made up\n"
     "but realistic: issue numbers right-aligned as the collection window stores\n"
     "them, editions, creators, prices, grades, flags, notes and locations, with\n"
     "each series' owned count equal to the sum of its books' quantities.  The same\n"
     "seed (default 1) gives the same sample.\n"}};

}  // namespace
