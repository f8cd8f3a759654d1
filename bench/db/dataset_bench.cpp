// The dataset layer against the bare table engine on the same sample
// collection (10,000 series, 100,000 books by default), doing the same reads:
//
//   linked walk:   every series from first to last, and under each its books
//                  through the master link (the report listings' work);
//   filtered scan: every book passing "Forsale AND Qty > 0".
//
// Prints the best of several alternating runs of each, and the ratio
// dataset / engine.
// Usage: db_bench [series] [books]
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

#include "platform/db/datasource.h"
#include "platform/db/table.h"
#include "store/collection.h"
#include "tools/demo_data.h"

namespace {

constexpr int kRuns = 9;

// What each read pass adds up, so both sides provably read the same values.
struct Tally {
    long long rows = 0;
    long long qty = 0;
    double high = 0;
    long long textLength = 0;
    bool operator==(const Tally& o) const {
        return rows == o.rows && qty == o.qty && high == o.high && textLength == o.textLength;
    }
};

double seconds(const std::function<Tally()>& pass, Tally& tally) {
    auto start = std::chrono::steady_clock::now();
    tally = pass();
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

// Best times of the two sides, run alternately so that the load of the
// machine falls on both alike.
std::pair<double, double> bestOfBoth(const std::function<Tally()>& engine,
                                     const std::function<Tally()>& dataset, Tally& e, Tally& d) {
    double bestEngine = 1e9, bestDataset = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        bestEngine = std::min(bestEngine, seconds(engine, e));
        bestDataset = std::min(bestDataset, seconds(dataset, d));
    }
    return {bestEngine, bestDataset};
}

void makeSample(const QString& directory, int seriesCount, int bookCount) {
    store::CreateCollection(directory);
    auto series = paradox::Table::open(directory.toStdString() + "/series.db");
    auto books = paradox::Table::open(directory.toStdString() + "/books.db");
    series->beginBatch();
    books->beginBatch();
    for (admin::DemoSeries& one : admin::MakeDemoCollection(seriesCount, bookCount, 1)) {
        std::size_t position = series->insert(one.row);
        for (paradox::Row& book : one.books) {
            book[0] = series->row(position)[2];
            books->insert(std::move(book));
        }
    }
    series->commitBatch();
    books->commitBatch();
}

// --- the bare engine ----------------------------------------------------------------

void engineBook(const paradox::Row& book, Tally& tally) {
    ++tally.rows;
    if (book[6].isInt()) tally.qty += book[6].asInt();
    if (book[9].isDouble()) tally.high += book[9].asDouble();
    if (book[1].isText()) tally.textLength += static_cast<long long>(book[1].asText().size());
}

Tally engineLinkedWalk(const paradox::Table& series, const paradox::Table& books) {
    Tally tally;
    for (std::size_t s = 0; s < series.rowCount(); ++s) {
        const paradox::Row& row = series.row(s);
        tally.textLength += static_cast<long long>(row[0].asText().size());
        std::vector<paradox::Value> key{row[2]};
        std::size_t end = books.upperBound(key);
        for (std::size_t b = books.lowerBound(key); b < end; ++b) engineBook(books.row(b), tally);
    }
    return tally;
}

Tally engineFilteredScan(const paradox::Table& books) {
    Tally tally;
    for (std::size_t b = 0; b < books.rowCount(); ++b) {
        const paradox::Row& row = books.row(b);
        if (row[14].isBool() && row[14].asBool() && row[6].isInt() && row[6].asInt() > 0)
            engineBook(row, tally);
    }
    return tally;
}

// --- the dataset layer ----------------------------------------------------------------

struct BookFields {
    explicit BookFields(TDataSet& books)
        : qty(books.FieldByName("QTY")),
          high(books.FieldByName("HIGH")),
          number(books.FieldByName("COMIC_NO")) {}
    void read(Tally& tally) const {
        ++tally.rows;
        tally.qty += qty->AsInteger();
        tally.high += high->AsFloat();
        tally.textLength += number->AsString().size();
    }
    TField *qty, *high, *number;
};

Tally datasetLinkedWalk(TTable& series, TTable& books) {
    Tally tally;
    BookFields fields(books);
    TField* name = series.FieldByName("SERIES");
    for (series.First(); !series.Eof(); series.Next()) {
        tally.textLength += name->AsString().size();
        for (; !books.Eof(); books.Next()) fields.read(tally);
    }
    return tally;
}

Tally datasetFilteredScan(TTable& books) {
    Tally tally;
    BookFields fields(books);
    for (books.First(); !books.Eof(); books.Next()) fields.read(tally);
    return tally;
}

void report(const char* name, double engine, double dataset, const Tally& a, const Tally& b) {
    std::printf("%-16s engine %8.2f ms   dataset %8.2f ms   ratio %.2f   (%lld rows%s)\n", name,
                engine * 1e3, dataset * 1e3, dataset / engine, b.rows,
                a == b ? "" : ", READS DIFFER");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int seriesCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    int bookCount = argc > 2 ? std::atoi(argv[2]) : 100000;
    QTemporaryDir dir;
    std::printf("building a sample of %d series and %d books...\n", seriesCount, bookCount);
    makeSample(dir.path(), seriesCount, bookCount);
    store::RegisterAlias(dir.path());

    auto engineSeries = paradox::Table::open(dir.path().toStdString() + "/series.db");
    auto engineBooks = paradox::Table::open(dir.path().toStdString() + "/books.db");
    Tally e1, d1, e2, d2;
    TTable series, books, filtered;
    TDataSource dataSeries;
    dataSeries.SetDataSet(&series);
    series.SetDatabaseName("PKEEP");
    series.SetTableName("series.DB");
    books.SetDatabaseName("PKEEP");
    books.SetTableName("books.DB");
    books.SetIndexFieldNames("ENTRY");
    books.SetMasterSource(&dataSeries);
    books.SetMasterFields("ENTRY");
    series.Open();
    books.Open();
    filtered.SetDatabaseName("PKEEP");
    filtered.SetTableName("books.DB");
    filtered.SetFilter("Forsale AND Qty > 0");
    filtered.SetFiltered(true);
    filtered.Open();
    auto [engineWalk, datasetWalk] =
        bestOfBoth([&] { return engineLinkedWalk(*engineSeries, *engineBooks); },
                   [&] { return datasetLinkedWalk(series, books); }, e1, d1);
    auto [engineScan, datasetScan] =
        bestOfBoth([&] { return engineFilteredScan(*engineBooks); },
                   [&] { return datasetFilteredScan(filtered); }, e2, d2);

    report("linked walk", engineWalk, datasetWalk, e1, d1);
    report("filtered scan", engineScan, datasetScan, e2, d2);
    return e1 == d1 && e2 == d2 ? 0 : 1;
}
