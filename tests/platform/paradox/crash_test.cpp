// Crash safety: a writer child process changes two tables (saving after
// every change) and is killed with SIGKILL at random moments.  After every
// kill both tables must open, pass pxlib's reading, and hold exactly the
// state after the last saved change or after the one that was running.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <thread>

#include "platform/paradox/errors.h"
#include "platform/paradox/table.h"
#include "tests/platform/paradox/table_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace paradox;
using namespace paradox::testing;

namespace {

using SeriesKey = std::tuple<std::string, std::string, std::int64_t>;
using BookKey = std::tuple<std::int64_t, std::string, std::string>;

std::string str(const Value& v) { return v.isNull() ? "" : v.asText(); }
SeriesKey seriesKey(const Row& r) { return {str(r[0]), str(r[1]), r[2].asInt()}; }
BookKey bookKey(const Row& r) { return {r[0].asInt(), str(r[1]), str(r[2])}; }

// The collection as it should be after a number of operations.
struct Model {
    std::map<SeriesKey, Row> series;
    std::map<BookKey, Row> books;
    std::int32_t autoInc = 0;
};

enum class Kind { Insert, Update, Erase };
struct Op {
    bool onSeries;
    Kind kind;
    std::size_t position;
    Row row;  // insert: the row; update: values for the changed fields
};

// Operation `i`, chosen from the table sizes only, so the writer and the
// model choose the same.
Op makeOp(int i, std::size_t seriesCount, std::size_t bookCount) {
    std::mt19937 rng(1000 + i);
    Op op;
    op.onSeries = rng() % 3 == 0;
    const std::size_t count = op.onSeries ? seriesCount : bookCount;
    const unsigned pick = rng() % 10;
    op.kind = count == 0 || pick < 5 ? Kind::Insert : pick < 8 ? Kind::Update : Kind::Erase;
    op.position = count ? rng() % count : 0;
    static const std::size_t memoSizes[] = {0, 3, 40, 300, 2100, 9000};
    const std::string memo = memoText(memoSizes[rng() % 6], i);
    if (op.onSeries) {
        op.row = seriesRow("SERIES " + std::to_string(rng() % 5000), "PUB " + std::to_string(i),
                           memo, static_cast<int>(rng() % 100));
    } else {
        std::string no = std::to_string(i);
        op.row = bookRow(static_cast<int>(rng() % 40), std::string(15 - no.size(), ' ') + no, "",
                         "TITLE " + std::to_string(i), memo, (rng() % 10000) / 100.0,
                         static_cast<int>(rng() % 5));
    }
    return op;
}

// The update keeps the key; it changes the note and the counters.
Row updated(const Row& old, const Op& op, bool onSeries) {
    Row r = old;
    if (onSeries) {
        r[3] = op.row[3];
        r[8] = op.row[8];
    } else {
        r[3] = op.row[3];
        r[7] = op.row[7];
        r[11] = op.row[11];
    }
    return r;
}

template <typename Map>
typename Map::iterator nth(Map& m, std::size_t n) {
    return std::next(m.begin(), static_cast<std::ptrdiff_t>(n));
}

void applyToModel(int i, Model& m) {
    const Op op = makeOp(i, m.series.size(), m.books.size());
    if (op.onSeries) {
        if (op.kind == Kind::Insert) {
            Row r = op.row;
            r[2] = Value::integer(++m.autoInc);
            m.series[seriesKey(r)] = r;
        } else if (op.kind == Kind::Update) {
            auto it = nth(m.series, op.position);
            it->second = updated(it->second, op, true);
        } else {
            m.series.erase(nth(m.series, op.position));
        }
    } else {
        if (op.kind == Kind::Insert) {
            m.books[bookKey(op.row)] = op.row;
        } else if (op.kind == Kind::Update) {
            auto it = nth(m.books, op.position);
            it->second = updated(it->second, op, false);
        } else {
            m.books.erase(nth(m.books, op.position));
        }
    }
}

void applyToTables(int i, Table& series, Table& books, bool save = true) {
    const Op op = makeOp(i, series.rowCount(), books.rowCount());
    Table& t = op.onSeries ? series : books;
    if (op.kind == Kind::Insert)
        t.insert(op.row);
    else if (op.kind == Kind::Update)
        t.update(op.position, updated(t.row(op.position), op, op.onSeries));
    else
        t.erase(op.position);
    if (save) t.saveChanges();
}

template <typename Map>
bool same(const Table& t, const Map& m) {
    if (t.rowCount() != m.size()) return false;
    std::size_t i = 0;
    for (const auto& [key, row] : m)
        if (t.row(i++) != row) return false;
    return true;
}

bool matches(const Table& series, const Table& books, const Model& m) {
    return same(series, m.series) && same(books, m.books) &&
           series.lastAutoIncrement() == m.autoInc;
}

// Runs the writer from operation `first` on; it reports every saved
// operation's number through `fd`.  With `readAllFirst`, each operation is
// held back in a batch while every row of both tables is read, so that the
// blocks it changed are the least recently used when it is saved.  Never
// returns.
[[noreturn]] void writer(const std::string& dir, int first, int fd, bool readAllFirst) {
    try {
        auto series = Table::open(dir + "/series.db");
        auto books = Table::open(dir + "/books.db");
        for (int i = first;; ++i) {
            if (readAllFirst) {
                series->beginBatch();
                books->beginBatch();
            }
            applyToTables(i, *series, *books, !readAllFirst);
            if (readAllFirst) {
                for (Table* t : {series.get(), books.get()}) {
                    for (std::size_t r = 0; r < t->rowCount(); ++r) t->row(r);
                    t->commitBatch();
                    t->saveChanges();
                }
            }
            if (::write(fd, &i, sizeof i) != sizeof i) break;
        }
    } catch (const std::exception&) {
        _exit(3);
    }
    _exit(0);
}

void killAWriterAtRandomMoments(bool readAllFirst = false) {
    TestDir dir;
    const std::string seriesPath = dir.file("series.db"), booksPath = dir.file("books.db");
    Table::create(seriesPath, seriesSchema());
    Table::create(booksPath, booksSchema());
    Model model;
    int done = 0;  // operations applied to the tables so far
    {
        auto series = Table::open(seriesPath);
        auto books = Table::open(booksPath);
        series->beginBatch();
        books->beginBatch();
        for (; done < 400; ++done) {
            applyToTables(done, *series, *books, false);
            applyToModel(done, model);
        }
        series->commitBatch();
        books->commitBatch();
    }
    std::mt19937 rng(99);
    int kills = 0, runningApplied = 0;
    // At least 30 kills and 20 operations; on a slow machine the delays grow
    // until the writer gets some work done between kills.
    std::uint32_t maxDelayUs = 120000;
    for (int round = 0; (round < 30 || done < 420) && round < 150; ++round) {
        const int doneBefore = done;
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            writer(dir.str(), done, pipeFds[1], readAllFirst);
        }
        ::close(pipeFds[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + rng() % maxDelayUs));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        kills += WIFSIGNALED(status);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself with status " << status;
        int lastSaved = done - 1, number;
        while (::read(pipeFds[0], &number, sizeof number) == sizeof number) lastSaved = number;
        ::close(pipeFds[0]);

        // Every saved operation is present; the one running may be either way.
        for (; done <= lastSaved; ++done) applyToModel(done, model);
        auto series = Table::open(seriesPath);
        auto books = Table::open(booksPath);
        if (!matches(*series, *books, model)) {
            ++runningApplied;
            Model next = model;
            applyToModel(done, next);
            ASSERT_TRUE(matches(*series, *books, next))
                << "round " << round << ": torn state after op " << done;
            model = next;
            ++done;
        }
        if (done == doneBefore) maxDelayUs = std::min<std::uint32_t>(2 * maxDelayUs, 1000000);
    }
    EXPECT_GE(kills, 30);
    std::printf("%d operations, %d kills, %d with the running operation complete\n", done - 400,
                kills, runningApplied);
    EXPECT_GE(done, 420) << "the writer made too little progress to test much";
}

}  // namespace

TEST(CrashSafety, TablesSurviveAWriterKilledAtRandomMoments) { killAWriterAtRandomMoments(); }

// With a block cache of only the few blocks in use, every change reads back
// blocks that were dropped, and reads between the change and its saving
// push its blocks out of use: the change must still be saved whole, its
// original bytes journalled before they reach the file.
TEST(CrashSafety, TablesSurviveAKilledWriterWhoseBlocksLeaveTheCache) {
    const ScopedBlockCacheLimit limit(0);
    killAWriterAtRandomMoments(true);
}
