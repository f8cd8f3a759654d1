// The engine checked against an independent Paradox library (Debian's
// pxlib, run as the separate pxlib_oracle program): tables our engine
// writes are read by pxlib with identical values, with and without the .px,
// and tables pxlib writes are read by our engine with identical values.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/table.h"
#include "tests/platform/paradox/table_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace paradox;
using namespace paradox::testing;

namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(status, 0) << command;
    return out;
}

// pxlib's messages are part of the output, so any complaint fails a test,
// unless `stderrFile` is given to collect them apart.
std::string oracleDump(const std::string& db, bool withIndex, const std::string& stderrFile = "") {
    return run(std::string(PXLIB_ORACLE) + " dump '" + db + "'" + (withIndex ? " --px" : "") +
               (stderrFile.empty() ? " 2>&1" : " 2>'" + stderrFile + "'"));
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string format(const Value& v) {
    char buf[64];
    if (v.isNull()) return "\\N";
    if (v.isBool()) return v.asBool() ? "1" : "0";
    if (v.isInt()) return std::to_string(v.asInt());
    if (v.isDouble()) {
        std::snprintf(buf, sizeof buf, "%.17g", v.asDouble());
        return buf;
    }
    if (v.isText()) return escape(v.asText());
    std::string hex;
    for (std::uint8_t b : v.asBytes()) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        hex += buf;
    }
    return hex;
}

std::string formatRow(const Row& row) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) line += (i ? "\t" : "") + format(row[i]);
    return line;
}

// What pxlib should print for the table as our engine reads it.
std::string expectedDump(const Table& t) {
    std::ostringstream s;
    s << "fields " << t.schema().fields.size() << " records " << t.rowCount() << " autoinc "
      << t.lastAutoIncrement() << "\n";
    for (std::size_t i = 0; i < t.rowCount(); ++i) s << formatRow(t.row(i)) << "\n";
    return s.str();
}

void expectSameLines(const std::string& actual, const std::string& expected) {
    std::istringstream a(actual), e(expected);
    std::string la, le;
    int line = 0;
    while (std::getline(e, le)) {
        ++line;
        ASSERT_TRUE(std::getline(a, la)) << "pxlib printed only " << line - 1 << " lines";
        ASSERT_EQ(la.substr(0, 300), le.substr(0, 300)) << "line " << line;
        ASSERT_EQ(la, le) << "line " << line;
    }
    EXPECT_FALSE(std::getline(a, la)) << "pxlib printed more: " << la;
}

// Creates a table with pxlib from a field list and rows (in key order).
void oracleCreate(const std::string& db, int keys, const std::string& fields,
                  const std::vector<Row>& rows) {
    const std::string fieldList = db + ".fields";
    {
        std::ofstream out(fieldList, std::ios::binary);
        out << fields << "\n";
        for (const Row& r : rows) out << formatRow(r) << "\n";
    }
    run(std::string(PXLIB_ORACLE) + " create '" + db + "' " + std::to_string(keys) + " < '" +
        fieldList + "' 2>&1");
}

TableSchema everyTypeSchema() {
    TableSchema s;
    s.fields = {{"ID", FieldType::AutoInc, 0}, {"NAME", FieldType::Alpha, 40},
                {"S", FieldType::Short, 0},    {"I", FieldType::Long, 0},
                {"M", FieldType::Money, 0},    {"N", FieldType::Number, 0},
                {"L", FieldType::Logical, 0},  {"D", FieldType::Date, 0},
                {"T", FieldType::Time, 0},     {"TS", FieldType::Timestamp, 0},
                {"NOTE", FieldType::Memo, 10}};
    s.keyFieldCount = 1;
    return s;
}

Row everyTypeRow(int i, std::mt19937& rng) {
    auto maybe = [&](Value v) { return rng() % 6 == 0 ? Value() : v; };
    static const std::size_t memoSizes[] = {0,    5,    10,   11,   100,  2048,
                                            2049, 4087, 4088, 4096, 5000, 70000};
    const std::size_t memo = memoSizes[rng() % 12];
    return {Value(),
            maybe(Value::text("NAME \xC3\xA9\xE2\x82\xAC " + std::to_string(i))),
            maybe(Value::integer(static_cast<int>(rng() % 65535) - 32767)),
            maybe(Value::integer(static_cast<std::int64_t>(rng()) - 2147483647)),
            maybe(Value::floating((static_cast<int>(rng() % 2000001) - 1000000) / 100.0)),
            maybe(Value::floating(
                std::ldexp(static_cast<double>(rng()), -static_cast<int>(rng() % 40)))),
            maybe(Value::boolean(rng() % 2)),
            maybe(Value::integer(700000 + static_cast<int>(rng() % 50000))),
            maybe(Value::integer(static_cast<int>(rng() % 86400000))),
            maybe(Value::floating(63116856306000.0 + (rng() % 1000000) * 1000.0)),
            memo ? Value::text(memoText(memo, i)) : Value()};
}

}  // namespace

TEST(PxlibOracle, ReadsTablesOurEngineWroteWithTheSameValues) {
    TestDir dir;
    const std::string all = dir.file("every.db");
    Table::create(all, everyTypeSchema());
    std::mt19937 rng(7);
    {
        auto t = Table::open(all);
        t->beginBatch();
        for (int i = 0; i < 400; ++i) t->insert(everyTypeRow(i, rng));
        for (int i = 0; i < 100; ++i) t->erase(rng() % t->rowCount());
        for (int i = 0; i < 100; ++i) {
            const std::size_t p = rng() % t->rowCount();
            Row r = everyTypeRow(1000 + i, rng);
            r[0] = t->row(p)[0];
            t->update(p, r);
        }
        t->commitBatch();
        for (int i = 0; i < 5; ++i) t->insert(everyTypeRow(2000 + i, rng));  // committed one by one
    }
    auto t = Table::open(all);
    expectSameLines(oracleDump(all, false), expectedDump(*t));
    expectSameLines(oracleDump(all, true), expectedDump(*t));
}

TEST(PxlibOracle, ReadsOurTwoLevelIndexAfterSplitsAndDeletions) {
    TestDir dir;
    const std::string books = dir.file("books.db");
    Table::create(books, booksSchema());
    std::mt19937 rng(11);
    {
        auto t = Table::open(books);
        t->beginBatch();
        for (int i = 0; i < 3000; ++i) {  // random key order: splits everywhere
            std::string no = std::to_string(rng() % 1000);
            try {
                t->insert(bookRow(
                    static_cast<int>(rng() % 300), std::string(15 - no.size(), ' ') + no, "",
                    "TITLE " + std::to_string(i), memoText(rng() % 60, i), i / 7.0, i % 3));
            } catch (const EKeyViolation&) {
            }
        }
        for (int i = 0; i < 600; ++i) t->erase(rng() % t->rowCount());
        t->commitBatch();
    }
    auto t = Table::open(books);
    ASSERT_GT(t->rowCount(), 2000u);
    EXPECT_EQ(readFile(dir.file("books.px"))[0x20], 2) << "expected a two-level index";
    expectSameLines(oracleDump(books, true), expectedDump(*t));
}

TEST(PxlibOracle, OurEngineReadsTablesPxlibWrote) {
    TestDir dir;
    // Keyed, with memos around every storage boundary, rows in key order.
    const std::string series = dir.file("series.db");
    const std::size_t sizes[] = {0, 1, 10, 11, 2048, 2049, 4087, 4088, 4096, 5000};
    std::vector<Row> rows;
    for (std::size_t i = 0; i < std::size(sizes); ++i)
        rows.push_back({Value::text("SERIES " + std::to_string(10 + i)),
                        Value::text("PUB \xC3\xA9"), Value::integer(static_cast<int>(i) + 1),
                        sizes[i] ? Value::text(memoText(sizes[i], static_cast<int>(i))) : Value(),
                        Value::boolean(i % 2),
                        i % 3 ? Value::integer(static_cast<int>(i) * 7 - 20) : Value(),
                        i % 4 ? Value::floating(i * 1.25 - 3) : Value()});
    oracleCreate(
        series, 3,
        "SERIES:A:60\tPUBLISHER:A:30\tENTRY:+:0\tSERNOTE:M:10\tFAVORITE:L:0\tOWNED:S:0\tPAID:$:0",
        rows);
    auto t = Table::open(series);
    ASSERT_EQ(t->rowCount(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(t->row(i), rows[i]) << "row " << i;
    EXPECT_EQ(t->lastAutoIncrement(), static_cast<std::int32_t>(rows.size()));
    EXPECT_EQ(t->schema().fields[3].size, 10);
    EXPECT_EQ(t->lowerBound({Value::text("SERIES 15")}), 5u);
    // pxlib writes the ANSIINTL sort order, which the engine does not
    // implement: the table is readable but refuses changes.
    EXPECT_FALSE(t->writable());
    EXPECT_NE(t->readOnlyReason().find("ANSIINTL"), std::string::npos) << t->readOnlyReason();
    EXPECT_THROW(t->insert(rows[0]), EDatabaseError);
    EXPECT_THROW(t->erase(0), EDatabaseError);

    // Unkeyed, with the other numeric and date types.
    const std::string other = dir.file("other.db");
    std::vector<Row> more;
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {
        Row r = everyTypeRow(i, rng);
        r[0] = Value::integer(i + 1);
        if (r[10].isText() && r[10].asText().size() > 5000) r[10] = Value::text("SHORTER");
        more.push_back(r);
    }
    oracleCreate(
        other, 0,
        "ID:+:0\tNAME:A:40\tS:S:0\tI:I:0\tM:$:0\tN:N:0\tL:L:0\tD:D:0\tT:T:0\tTS:@:0\tNOTE:M:10",
        more);
    auto u = Table::open(other);
    ASSERT_EQ(u->rowCount(), more.size());
    for (std::size_t i = 0; i < more.size(); ++i) ASSERT_EQ(u->row(i), more[i]) << "row " << i;
}

TEST(PxlibOracle, ReadsAnIndexThatShrankAndAnEmptiedTable) {
    TestDir dir;
    const std::string books = dir.file("books.db");
    Table::create(books, booksSchema());
    auto t = Table::open(books);
    t->beginBatch();
    for (int i = 0; i < 2500; ++i) t->insert(bookRow(i, "1", "", "T", "NOTE " + std::to_string(i)));
    t->commitBatch();
    const auto grownIndex = fileSize(dir.file("books.px"));
    t->beginBatch();
    for (int i = 0; i < 2400; ++i) t->erase(t->rowCount() / 3);
    t->commitBatch();
    // The index file is cut to the blocks it needs: pxlib takes every block
    // of it for an index block.
    EXPECT_LT(fileSize(dir.file("books.px")), grownIndex);
    EXPECT_EQ(readFile(dir.file("books.px"))[0x20], 1);
    expectSameLines(oracleDump(books, true), expectedDump(*t));
    t->beginBatch();
    while (t->rowCount() > 0) t->erase(0);
    t->commitBatch();
    // An emptied table keeps block 1 with the empty-block count.  pxlib reads
    // that count unsigned and warns (on stderr, bypassing its error handler)
    // that the block holds records, but returns none.
    const std::string complaints = dir.file("stderr.txt");
    expectSameLines(oracleDump(books, false, complaints), expectedDump(*t));
    const auto warning = readFile(complaints);
    EXPECT_NE(std::string(warning.begin(), warning.end())
                  .find("does not match number of records in header"),
              std::string::npos);
}

namespace {

// Makes many changes to a large books table at `books`, growing every file
// and cutting the index back; returns the dump of the rows at the end of the
// session.  `inSession` looks at the table before it closes.
std::string changeALargeTable(const std::string& books,
                              const std::function<void(const Table&)>& inSession = {}) {
    Table::create(books, booksSchema());
    {
        auto t = Table::open(books);
        t->beginBatch();
        for (int i = 0; i < 4000; ++i) {
            const std::string no = std::to_string(i % 40);
            t->insert(bookRow(i / 40, std::string(15 - no.size(), ' ') + no, "", "TITLE",
                              memoText(i % 90, i), i, 1));
        }
        t->commitBatch();
    }
    std::mt19937 rng(5);
    std::string dump;
    {
        auto t = Table::open(books);
        t->beginBatch();
        for (int i = 0; i < 3000; ++i) {
            const std::string no = std::to_string(1000 + rng() % 5000);
            try {
                t->insert(bookRow(static_cast<int>(rng() % 150),
                                  std::string(15 - no.size(), ' ') + no, "2ND", "NEW",
                                  memoText(rng() % 3000, i), 1.5, 2));
            } catch (const EKeyViolation&) {
            }
        }
        t->commitBatch();
        for (int i = 0; i < 5000; ++i) t->erase(rng() % t->rowCount());  // committed one by one
        for (int i = 0; i < 200; ++i) {
            const std::size_t p = rng() % t->rowCount();
            Row r = t->row(p);
            r[11] = Value::text(memoText(rng() % 5000, i));
            t->update(p, r);
        }
        dump = expectedDump(*t);
        if (inSession) inSession(*t);
    }
    return dump;
}

}  // namespace

// Many changes to a large table reach the files exactly.
TEST(PxlibOracle, ReadsChangesMadeToALargeTable) {
    TestDir dir;
    const std::string books = dir.file("books.db");
    const std::string inSession = changeALargeTable(books);
    auto t = Table::open(books);
    EXPECT_EQ(expectedDump(*t), inSession);
    expectSameLines(oracleDump(books, true), inSession);
}

// The same through a block cache far smaller than the table: the changes
// land on blocks that were dropped and read back, every row and memo reads
// as pxlib reads it, and the caches of the table and memo files keep to
// their limit.
TEST(PxlibOracle, ATableLargerThanTheBlockCacheReadsAndChangesExactly) {
    constexpr std::size_t kLimit = 64 * 1024;
    const ScopedBlockCacheLimit limit(kLimit);
    TestDir dir;
    const std::string books = dir.file("books.db");
    const std::string inSession =
        changeALargeTable(books, [&](const Table& t) { EXPECT_LE(cachedBlockBytes(t), kLimit); });
    EXPECT_GT(fileSize(books), 10 * kLimit);
    EXPECT_GT(fileSize(std::filesystem::path(books).replace_extension(".mb").string()),
              10 * kLimit);
    auto t = Table::open(books);
    EXPECT_LE(cachedBlockBytes(*t), kLimit);
    EXPECT_EQ(expectedDump(*t), inSession);
    EXPECT_LE(cachedBlockBytes(*t), kLimit);
    EXPECT_LE(cachedMemoBytes(*t), kLimit);
    expectSameLines(oracleDump(books, true), inSession);
}

// Index entries name data blocks by number; past block 32,767 a number that
// were written as a signed Short would read as blank or negative.  A table
// grown past it by appending in key order and then by inserts between its
// rows opens again, and pxlib walks every block of it.
TEST(PxlibOracle, ATableOfMoreThan32767BlocksOpensAndReads) {
    TestDir dir;
    const std::string path = dir.file("wide.db");
    TableSchema schema;
    schema.fields = {{"ID", FieldType::Long, 0}, {"PAD", FieldType::Alpha, 250}};
    schema.keyFieldCount = 1;
    Table::create(path, schema);  // 254-byte records: 8 to a 2 KiB block
    const auto blocks = [&] { return coding::getU16(readFile(path).data() + 0x0C); };
    constexpr int kFullBlocks = 32767;
    {
        auto t = Table::open(path);
        t->beginBatch();
        for (int i = 0; i < 8 * kFullBlocks; ++i)
            t->insert({Value::integer(2 * i), Value::text("A")});
        t->commitBatch();
        ASSERT_EQ(blocks(), kFullBlocks);
        t->insert({Value::integer(2 * 8 * kFullBlocks), Value::text("LAST")});  // block 32768
        t->beginBatch();
        for (int i = 0; i < 2000; ++i)  // splits full blocks all along the table
            t->insert({Value::integer(2 * 131 * i + 1), Value::text("B")});
        t->commitBatch();
    }
    EXPECT_GT(blocks(), 32768);
    auto t = Table::open(path);  // checks the index against the blocks
    EXPECT_EQ(t->rowCount(), 8u * kFullBlocks + 1 + 2000);
    EXPECT_EQ(t->row(t->rowCount() - 1)[1].asText(), "LAST");
    expectSameLines(oracleDump(path, false), expectedDump(*t));
}

// Every block size the format allows, from 1 KiB to 32 KiB: the header
// says the size asked for and pxlib reads the rows, memos included, over
// several blocks of each.
TEST(PxlibOracle, TablesOfEveryBlockSizeAreReadByPxlib) {
    TestDir dir;
    for (int kib : {1, 2, 4, 16, 32}) {
        const std::string path = dir.file("books" + std::to_string(kib) + ".db");
        Table::create(path, booksSchema(), {0, kib});
        auto t = Table::open(path);
        t->beginBatch();
        for (int i = 0; i < 400; ++i)
            t->insert(bookRow(1 + i % 7, std::to_string(i), "1ST", "TITLE " + std::to_string(i),
                              i % 3 ? memoText(std::size_t(i) * 11, i) : "", 1.5 * i, i % 4));
        t->commitBatch();
        EXPECT_EQ(int(readFile(path)[0x05]), kib);
        EXPECT_GE(t->usedBlocks(), 4u) << kib;
        expectSameLines(oracleDump(path, true), expectedDump(*t));
        expectSameLines(oracleDump(path, false), expectedDump(*t));
    }
}

// A data file holds at most 65,535 blocks.  At that limit a row that needs
// another block is refused as full, alone or in a batch, and nothing
// changes: the files keep their bytes, the table opens again with the same
// rows and pxlib reads every one of them.
TEST(PxlibOracle, AFullTableRefusesARowAndStaysReadable) {
    TestDir dir;
    const std::string path = dir.file("full.db");
    TableSchema schema;
    schema.fields = {{"ID", FieldType::Long, 0},
                     {"PAD", FieldType::Alpha, 255},
                     {"MORE", FieldType::Alpha, 255}};
    schema.keyFieldCount = 1;
    Table::create(path, schema, {0, 1});  // 514-byte records: 1 to a 1 KiB block
    constexpr int kRows = 65535;
    std::vector<std::uint8_t> db, px;
    {
        auto t = Table::open(path);
        t->beginBatch();
        for (int i = 0; i < kRows; ++i) t->insert({Value::integer(2 * i), Value::text("A"), {}});
        t->commitBatch();
        ASSERT_EQ(t->usedBlocks(), Table::kMaxBlocks);
        db = readFile(path);
        px = readFile(dir.file("full.px"));
        EXPECT_THROW(t->insert({Value::integer(1), Value::text("B"), {}}), ETableFull);
        EXPECT_THROW(t->insert({Value::integer(2 * kRows), Value::text("C"), {}}), ETableFull);
        t->beginBatch();
        t->erase(0);
        t->insert({Value::integer(3), Value::text("D"), {}});  // in the block row 0 left
        EXPECT_THROW(t->insert({Value::integer(5), Value::text("E"), {}}), ETableFull);
        EXPECT_EQ(t->rowCount(), std::size_t(kRows));
        EXPECT_EQ(t->row(0)[0].asInt(), 0);  // the whole batch was undone
    }
    EXPECT_EQ(readFile(path), db);
    EXPECT_EQ(readFile(dir.file("full.px")), px);
    auto t = Table::open(path);
    EXPECT_EQ(t->rowCount(), std::size_t(kRows));
    // pxlib's reader of the index knows two levels only, and this one has three.
    expectSameLines(oracleDump(path, false), expectedDump(*t));
}
