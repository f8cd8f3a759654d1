// The table engine against SQLite (default rollback journal,
// synchronous=FULL, the same rows, keys and indexes) and pxlib, on a
// generated collection of 10,000 series and 100,000 books, in one run.
// Prints every figure and the ratio ours / peer (below 1.0 = ours faster).
//
//   paradox_bench [DIRECTORY]   (default: a new directory under /tmp)

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>

extern "C" {
#include <paradox.h>
}

#include "bench/paradox/collection_generator.h"
#include "platform/paradox/table.h"
#include "store/collection.h"

using paradox::Row;
using paradox::Table;
using paradox::Value;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Best of `runs` timings of `work`, in milliseconds of wall-clock time;
// `cleanup` (freeing what was read) runs after each, untimed.  The best CPU
// time is kept in `cpuMs` too: on a loaded machine it is the steadier figure.
double cpuMs = 0;

double cpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double best(
    int runs, const std::function<void()>& work, const std::function<void()>& cleanup = [] {}) {
    double bestMs = 1e300;
    cpuMs = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const double cpuStart = cpuNow();
        work();
        cpuMs = std::min(cpuMs, cpuNow() - cpuStart);
        bestMs = std::min(bestMs, msSince(start));
        cleanup();
    }
    return bestMs;
}

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql) {
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db, sql);
}

// --- SQLite side -------------------------------------------------------

const char* kSeriesDdl =
    "CREATE TABLE series(series TEXT, publisher TEXT, entry INTEGER, sernote TEXT, favorite "
    "INTEGER, "
    "wanted INTEGER, forsale INTEGER, new INTEGER, owned INTEGER, "
    "PRIMARY KEY(series, publisher, entry)) WITHOUT ROWID";
const char* kBooksDdl =
    "CREATE TABLE books(entry INTEGER, comic_no TEXT, edition TEXT, title TEXT, artist TEXT, "
    "writer TEXT, "
    "qty INTEGER, paid REAL, low REAL, high REAL, perc INTEGER, booknote TEXT, location TEXT, "
    "wanted INTEGER, forsale INTEGER, autograph INTEGER, "
    "PRIMARY KEY(entry, comic_no, edition)) WITHOUT ROWID";

void bind(sqlite3_stmt* st, int index, const Value& v) {
    if (v.isNull())
        sqlite3_bind_null(st, index);
    else if (v.isBool())
        sqlite3_bind_int(st, index, v.asBool());
    else if (v.isInt())
        sqlite3_bind_int64(st, index, v.asInt());
    else if (v.isDouble())
        sqlite3_bind_double(st, index, v.asDouble());
    else
        sqlite3_bind_text(st, index, v.asText().data(), static_cast<int>(v.asText().size()),
                          SQLITE_TRANSIENT);
}

// Keys compare as the engine stores them: blank text as the empty string.
Value keyText(const Value& v) { return v.isNull() ? Value::text("") : v; }

void fillSqlite(sqlite3* db, const bench::Collection& c) {
    exec(db, kSeriesDdl);
    exec(db, kBooksDdl);
    exec(db, "BEGIN");
    auto insertAll = [&](const char* sql, const std::vector<Row>& rows, int keyTexts) {
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), db, sql);
        for (const Row& r : rows) {
            for (std::size_t i = 0; i < r.size(); ++i)
                bind(st, static_cast<int>(i + 1),
                     static_cast<int>(i) < keyTexts ? keyText(r[i]) : r[i]);
            check(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    };
    insertAll("INSERT INTO series VALUES(?,?,?,?,?,?,?,?,?)", c.series, 2);
    insertAll("INSERT INTO books VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", c.books, 3);
    exec(db, "COMMIT");
}

// A row read from SQLite into the same values a caller of the engine gets.
void readRow(sqlite3_stmt* st, Row& row) {
    const int n = sqlite3_column_count(st);
    row.clear();
    row.reserve(n);
    for (int i = 0; i < n; ++i) {
        switch (sqlite3_column_type(st, i)) {
            case SQLITE_NULL:
                row.emplace_back();
                break;
            case SQLITE_INTEGER:
                row.push_back(Value::integer(sqlite3_column_int64(st, i)));
                break;
            case SQLITE_FLOAT:
                row.push_back(Value::floating(sqlite3_column_double(st, i)));
                break;
            default:
                row.push_back(Value::text(
                    std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                sqlite3_column_bytes(st, i))));
        }
    }
}

sqlite3* openSqlite(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot open " + path);
    exec(db, "PRAGMA synchronous=FULL");
    return db;
}

std::size_t sqliteReadAll(sqlite3* db, const char* table, std::vector<Row>& rows) {
    const std::string sql = std::string("SELECT * FROM ") + table;
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, "select");
    while (sqlite3_step(st) == SQLITE_ROW) {
        rows.emplace_back();
        readRow(st, rows.back());
    }
    sqlite3_finalize(st);
    return rows.size();
}

// --- pxlib side --------------------------------------------------------

void quietPxlib(pxdoc_t*, int, const char*, void*) {}

std::size_t pxlibReadAll(const std::string& db, const std::string& paddedMemo) {
    pxdoc_t* doc = PX_new2(quietPxlib, nullptr, nullptr, nullptr);
    if (PX_open_file(doc, db.c_str()) < 0) throw std::runtime_error("pxlib cannot open " + db);
    PX_set_blob_file(doc, paddedMemo.c_str());
    const int records = PX_get_num_records(doc), fields = PX_get_num_fields(doc);
    std::size_t bytes = 0;
    for (int r = 0; r < records; ++r) {
        pxval_t** vals = PX_retrieve_record(doc, r);
        if (!vals) throw std::runtime_error("pxlib cannot read a record");
        for (int i = 0; i < fields; ++i) {
            if (!vals[i]->isnull && (vals[i]->type == pxfAlpha || vals[i]->type == pxfMemoBLOb)) {
                bytes += static_cast<std::size_t>(vals[i]->value.str.len);
                doc->free(doc, vals[i]->value.str.val);
            }
            doc->free(doc, vals[i]);
        }
        doc->free(doc, vals);
    }
    PX_close(doc);
    PX_delete(doc);
    return bytes + static_cast<std::size_t>(records);
}

// --- report --------------------------------------------------------------

void report(const char* what, double ours, double peer, const char* peerName) {
    std::printf("%-58s ours %9.2f ms  %-6s %9.2f ms  ratio %.2f\n", what, ours, peerName, peer,
                ours / peer);
}

void reportCpu(const char* what, double ours, double peer, const char* peerName) {
    std::printf("%-58s ours %9.2f ms  %-6s %9.2f ms  ratio %.2f  (CPU time)\n", what, ours,
                peerName, peer, ours / peer);
}

double bareFsyncMs(const std::string& dir) {
    const std::string path = dir + "/fsync.probe";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    std::vector<char> page(4096, 'x');
    const double ms = best(1, [&] {
        for (int i = 0; i < 200; ++i) {
            if (::pwrite(fd, page.data(), page.size(), 0) != 4096 || ::fsync(fd) != 0)
                throw std::runtime_error("fsync probe failed");
        }
    });
    ::close(fd);
    ::unlink(path.c_str());
    return ms / 200;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::string dir = argc > 1 ? argv[1] : "";
        if (dir.empty()) {
            char templ[] = "/tmp/paradox-bench-XXXXXX";
            if (!::mkdtemp(templ)) throw std::runtime_error("cannot make a directory");
            dir = templ;
        }
        fs::create_directories(dir);
        const std::string seriesDb = dir + "/series.db", booksDb = dir + "/books.db",
                          sqlitePath = dir + "/pkeep.sqlite";
        for (const auto& p : {seriesDb, booksDb, sqlitePath})
            if (fs::exists(p)) throw std::runtime_error(p + " exists; give an empty directory");

        std::printf("Generating 10,000 series and 100,000 books in %s\n", dir.c_str());
        const bench::Collection c = bench::generateCollection(10000, 100000, 2024);

        // 0. Bulk load, best of three runs each, the two loads taking turns;
        // every run fills new files, and the last run's are kept for the reads.
        const auto ourBulkLoad = [&] {
            for (const auto& p : {seriesDb, booksDb})
                if (Table::exists(p)) Table::remove(p);
            Table::create(seriesDb, store::SeriesSchema());
            Table::create(booksDb, store::BooksSchema());
            auto series = Table::open(seriesDb);
            auto books = Table::open(booksDb);
            series->beginBatch();
            for (const Row& r : c.series) series->insert(r);
            series->commitBatch();
            books->beginBatch();
            for (const Row& r : c.books) books->insert(r);
            books->commitBatch();
            series->saveChanges();
            books->saveChanges();
        };
        const auto sqliteBulkLoad = [&] {
            fs::remove(sqlitePath);
            sqlite3* db = openSqlite(sqlitePath);
            fillSqlite(db, c);
            sqlite3_close(db);
        };
        double ourLoad = 1e300, ourLoadCpu = 1e300, sqliteLoad = 1e300, sqliteLoadCpu = 1e300;
        for (int run = 0; run < 3; ++run) {
            ourLoad = std::min(ourLoad, best(1, ourBulkLoad));
            ourLoadCpu = std::min(ourLoadCpu, cpuMs);
            sqliteLoad = std::min(sqliteLoad, best(1, sqliteBulkLoad));
            sqliteLoadCpu = std::min(sqliteLoadCpu, cpuMs);
        }
        std::printf("books.db %.1f MB, books.mb %.1f MB, SQLite file %.1f MB\n\n",
                    fs::file_size(booksDb) / 1e6, fs::file_size(dir + "/books.mb") / 1e6,
                    fs::file_size(sqlitePath) / 1e6);
        report("bulk load of both tables (one transaction each)", ourLoad, sqliteLoad, "SQLite");
        reportCpu("bulk load of both tables", ourLoadCpu, sqliteLoadCpu, "SQLite");

        // 1. Open both tables and read every row (freeing them is not timed).
        std::size_t checksum = 0;
        std::shared_ptr<Table> heldSeries, heldBooks;
        const auto release = [&] {
            heldSeries.reset();
            heldBooks.reset();
        };
        const double ourOpenAll = best(
            5,
            [&] {
                heldSeries = Table::open(seriesDb);
                heldBooks = Table::open(booksDb);
                for (std::size_t i = 0; i < heldSeries->rowCount(); ++i)
                    checksum += heldSeries->row(i).size();
                for (std::size_t i = 0; i < heldBooks->rowCount(); ++i)
                    checksum += heldBooks->row(i).size();
            },
            release);
        const double ourOpenAllCpu = cpuMs;
        const double ourOpenBooks = best(
            5,
            [&] {
                heldBooks = Table::open(booksDb);
                for (std::size_t i = 0; i < heldBooks->rowCount(); ++i)
                    checksum += heldBooks->row(i).size();
            },
            release);
        const double ourOpenBooksCpu = cpuMs;
        std::vector<Row> seriesRows, bookRows;
        const auto freeRows = [&] {
            seriesRows = {};
            bookRows = {};
        };
        const double sqliteOpenAll = best(
            5,
            [&] {
                sqlite3* db = openSqlite(sqlitePath);
                checksum += sqliteReadAll(db, "series", seriesRows);
                checksum += sqliteReadAll(db, "books", bookRows);
                sqlite3_close(db);
            },
            freeRows);
        const double sqliteOpenAllCpu = cpuMs;
        const double sqliteOpenBooks = best(
            5,
            [&] {
                sqlite3* db = openSqlite(sqlitePath);
                checksum += sqliteReadAll(db, "books", bookRows);
                sqlite3_close(db);
            },
            freeRows);
        const double sqliteOpenBooksCpu = cpuMs;
        report("open both tables and read every row", ourOpenAll, sqliteOpenAll, "SQLite");
        reportCpu("open both tables and read every row", ourOpenAllCpu, sqliteOpenAllCpu, "SQLite");
        report("open the books table and read every row (goal < 200 ms)", ourOpenBooks,
               sqliteOpenBooks, "SQLite");
        reportCpu("open the books table and read every row", ourOpenBooksCpu, sqliteOpenBooksCpu,
                  "SQLite");

        auto series = Table::open(seriesDb);
        auto books = Table::open(booksDb);
        sqlite3* sdb = openSqlite(sqlitePath);

        // 2. Nearest-key seeks on the series name, and range reads of one series' books.
        std::mt19937 rng(1);
        std::vector<std::string> probes;
        for (int i = 0; i < 10000; ++i) {
            const std::string& name = c.series[rng() % c.series.size()][0].asText();
            probes.push_back(name.substr(0, 1 + rng() % name.size()));
        }
        const double ourSeek = best(3, [&] {
            for (const auto& p : probes) {
                const std::size_t at = series->lowerBound({Value::text(p)});
                if (at < series->rowCount()) checksum += series->row(at)[0].asText().size();
            }
        });
        sqlite3_stmt* seek = nullptr;
        check(
            sqlite3_prepare_v2(
                sdb,
                "SELECT * FROM series WHERE series >= ? ORDER BY series, publisher, entry LIMIT 1",
                -1, &seek, nullptr),
            sdb, "prepare");
        Row row;
        const double sqliteSeek = best(3, [&] {
            for (const auto& p : probes) {
                sqlite3_bind_text(seek, 1, p.data(), static_cast<int>(p.size()), SQLITE_STATIC);
                if (sqlite3_step(seek) == SQLITE_ROW) {
                    readRow(seek, row);
                    checksum += row[0].asText().size();
                }
                sqlite3_reset(seek);
            }
        });
        report("10,000 nearest-key seeks (series, partial name)", ourSeek, sqliteSeek, "SQLite");

        std::vector<int> entries;
        for (int i = 0; i < 10000; ++i)
            entries.push_back(1 + static_cast<int>(rng() % c.series.size()));
        const double ourRange = best(3, [&] {
            for (int e : entries) {
                const std::size_t from = books->lowerBound({Value::integer(e)});
                const std::size_t to = books->upperBound({Value::integer(e)});
                for (std::size_t p = from; p < to; ++p) checksum += books->row(p).size();
            }
        });
        sqlite3_stmt* range = nullptr;
        check(sqlite3_prepare_v2(sdb,
                                 "SELECT * FROM books WHERE entry = ? ORDER BY comic_no, edition",
                                 -1, &range, nullptr),
              sdb, "prepare");
        const double sqliteRange = best(3, [&] {
            for (int e : entries) {
                sqlite3_bind_int(range, 1, e);
                while (sqlite3_step(range) == SQLITE_ROW) {
                    readRow(range, row);
                    checksum += row.size();
                }
                sqlite3_reset(range);
            }
        });
        report("10,000 range reads of one series' books", ourRange, sqliteRange, "SQLite");

        // 3. Durable updates: update one book, then save (one transaction each in SQLite).
        std::vector<std::size_t> targets;
        for (int i = 0; i < 200; ++i) targets.push_back(rng() % books->rowCount());
        const double ourUpdates = best(1, [&] {
            for (std::size_t p : targets) {
                Row r = books->row(p);
                r[6] = Value::integer((r[6].isNull() ? 0 : r[6].asInt()) + 1);
                books->update(p, r);
                books->saveChanges();
            }
        });
        sqlite3_stmt* update = nullptr;
        check(sqlite3_prepare_v2(
                  sdb,
                  "UPDATE books SET qty = qty + 1 WHERE entry = ? AND comic_no = ? AND edition = ?",
                  -1, &update, nullptr),
              sdb, "prepare");
        const double sqliteUpdates = best(1, [&] {
            for (std::size_t p : targets) {
                const Row& r = c.books[p];
                exec(sdb, "BEGIN");
                bind(update, 1, r[0]);
                bind(update, 2, keyText(r[1]));
                bind(update, 3, keyText(r[2]));
                check(sqlite3_step(update), sdb, "update");
                sqlite3_reset(update);
                exec(sdb, "COMMIT");
            }
        });
        report("one durable update of a book (mean of 200)", ourUpdates / 200, sqliteUpdates / 200,
               "SQLite");
        std::printf("%-58s %10.2f ms  (the floor)\n",
                    "one bare fsync of a 4 KiB write on the same disk", bareFsyncMs(dir));
        sqlite3_finalize(seek);
        sqlite3_finalize(range);
        sqlite3_finalize(update);
        sqlite3_close(sdb);
        series.reset();
        books.reset();

        // 4. A full sequential read of the books table by pxlib (memo file
        // attached through a padded copy, the workaround its 0.6.8 needs).
        const std::string padded = dir + "/books.mb.pad";
        fs::copy_file(dir + "/books.mb", padded);
        {
            std::FILE* f = std::fopen(padded.c_str(), "ab");
            std::fputc(0, f);
            std::fclose(f);
        }
        const double pxlibRead = best(3, [&] { checksum += pxlibReadAll(booksDb, padded); });
        report("full sequential read of the books table", ourOpenBooks, pxlibRead, "pxlib");
        reportCpu("full sequential read of the books table", ourOpenBooksCpu, cpuMs, "pxlib");
        fs::remove(padded);
        // The budget: no read slower than SQLite's, open included.
        const double worstReadRatio =
            std::max({ourOpenAll / sqliteOpenAll, ourOpenBooks / sqliteOpenBooks,
                      ourSeek / sqliteSeek, ourRange / sqliteRange});
        std::printf("\nbudget: table reads at most 1.00x SQLite: worst read ratio %.2f (%s)\n",
                    worstReadRatio, worstReadRatio <= 1.0 ? "within budget" : "OVER budget");
        const double loadRatio = ourLoad / sqliteLoad;
        std::printf(
            "budget: bulk load at most 1.00x SQLite: %.0f ms against %.0f ms, ratio %.2f (%s)\n",
            ourLoad, sqliteLoad, loadRatio, loadRatio <= 1.0 ? "within budget" : "OVER budget");
        std::printf("\n(checksum %zu)\n", checksum);
        if (argc <= 1) fs::remove_all(dir);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "paradox_bench: %s\n", e.what());
        return 1;
    }
}
