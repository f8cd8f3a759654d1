// Rebuild of a 100,000-book table, next to the floor: copying the table's
// files.  Prints both times (best of three) and their ratio; the target is a
// rebuild within three times the copy.
//
//   bench_rebuild [BOOKS]
//
// The sample table: 500 books inserted through the engine, with notes and
// locations of every memo length, repeated under new ENTRY numbers (in key
// order) until it holds BOOKS rows.

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "maintenance/tutility.h"
#include "platform/paradox/coding.h"
#include "platform/tutil/pack.h"
#include "platform/tutil/salvage.h"
#include "store/collection.h"

namespace fs = std::filesystem;
using paradox::Value;

namespace {

constexpr int kSeedBooks = 500;
constexpr int kEntriesPerCopy = 100;

double bestOfThree(const std::function<void()>& run) {
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

// GCC 12 misreads the variant move inside Value::text as freeing a stack
// object (a known false positive of -Wfree-nonheap-object).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
Value memo(int i) {
    switch (i % 4) {
        case 0:
            return Value();
        case 1:
            return Value::text("MINT, BAGGED");
        case 2:
            return Value::text("SIGNED AT THE CONVENTION " + std::string(200, '.'));
        default:
            return Value::text(std::string(2500, 'N'));
    }
}
#pragma GCC diagnostic pop

void seedBooks(const std::string& path) {
    auto books = paradox::Table::open(path);
    for (int i = 0; i < kSeedBooks; ++i) {
        const std::string number = std::to_string(i / kEntriesPerCopy + 1);
        books->insert({Value::integer(1 + i % kEntriesPerCopy),
                       Value::text(std::string(15 - number.size(), ' ') + number),
                       Value::text("1ST"), Value::text("TITLE " + std::to_string(i)),
                       Value::text("ARTIST"), Value::text("WRITER"), Value::integer(1),
                       Value::floating(2.5), Value::floating(1.0), Value::floating(9.0),
                       Value::integer(90), memo(i), memo(i + 1), Value::boolean(false),
                       Value::boolean(i % 3 == 0), Value::boolean(false)});
    }
    books->saveChanges();
}

// Repeats the seed rows under ENTRY numbers kEntriesPerCopy apart, so the
// copies follow one another in key order.
void growTo(const std::string& dir, int target) {
    const tutil::Salvage seed = tutil::salvageTable(dir + "/books.db", dir + "/books.mb");
    const tutil::TableHeader& h = seed.header;
    {
        tutil::TablePacker packer(dir + "/big", h, h.fields, h.keyFieldCount);
        std::vector<std::uint8_t> record;
        for (int copy = 0, written = 0; written < target; ++copy) {
            for (const tutil::SalvagedRow& row : seed.rows) {
                if (written++ == target) break;
                record = row.record;
                const auto entry = paradox::coding::getSortableInt(record.data(), 4);
                paradox::coding::putSortableInt(record.data(), 4, *entry + copy * kEntriesPerCopy);
                packer.add(record.data(), row.memos);
            }
        }
        packer.finish(0);
    }
    for (const auto& [from, to] : {std::pair{".DB", ".db"}, {".PX", ".px"}, {".MB", ".mb"}})
        fs::rename(dir + "/big" + from, dir + "/books" + to);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int books = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir work(QDir::tempPath() + "/pkeep-bench-XXXXXX");
    const QString dir = work.path() + "/collection";
    store::CreateCollection(dir);
    seedBooks((dir + "/books.db").toStdString());
    growTo(dir.toStdString(), books);
    QDir::setCurrent(dir);
    std::printf("books table: %zu rows\n", paradox::Table::open("books.db")->rowCount());

    const fs::path copyDir = (work.path() + "/copy").toStdString();
    fs::create_directory(copyDir);
    std::uintmax_t bytes = 0;
    for (const char* name : {"books.db", "books.px", "books.mb"}) bytes += fs::file_size(name);
    const double copy = bestOfThree([&] {
        for (const char* name : {"books.db", "books.px", "books.mb"})
            fs::copy_file(name, copyDir / name, fs::copy_options::overwrite_existing);
    });
    const double rebuild = bestOfThree([] {
        TTUtility utility;
        utility.SetTableName("books.db");
        utility.RebuildTable(utility.GetTableDesc());
        for (const char* name : {"books__.DB", "books__.MB", "books__.PX"}) fs::remove(name);
    });

    std::printf("files: %.1f MB\n", double(bytes) / 1e6);
    std::printf("copy of the files (floor): %8.1f ms\n", copy);
    std::printf("rebuild through TTUtility: %8.1f ms\n", rebuild);
    std::printf("ratio: %.2f (target <= 3.00)\n", rebuild / copy);
    return 0;
}
