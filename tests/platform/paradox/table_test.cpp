// Create, read, insert, update, delete, seek and the shared in-process state
// of the table engine, on real files in a temporary directory.

#include "platform/paradox/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "platform/paradox/errors.h"
#include "tests/platform/paradox/table_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace paradox;
using namespace paradox::testing;

namespace {

// Blank sorts before any text, as the empty string does.
std::string text(const Value& v) { return v.isNull() ? "" : v.asText(); }

// The books' key as a sortable tuple (ENTRY, COMIC_NO, EDITION).
using BookKey = std::tuple<std::int64_t, std::string, std::string>;
BookKey keyOf(const Row& r) { return {r[0].asInt(), text(r[1]), text(r[2])}; }

void expectSameRows(const Table& table, const std::map<BookKey, Row>& model) {
    ASSERT_EQ(table.rowCount(), model.size());
    std::size_t i = 0;
    for (const auto& [key, row] : model) {
        ASSERT_EQ(table.row(i), row) << "row " << i;
        ++i;
    }
}

}  // namespace

TEST(TableCreate, WritesDataIndexAndMemoFilesAndOpensEmpty) {
    TestDir dir;
    Table::create(dir.file("series.db"), seriesSchema());
    EXPECT_TRUE(Table::exists(dir.file("series.db")));
    EXPECT_TRUE(Table::exists(dir.file("SERIES.DB")));  // names are not case sensitive
    EXPECT_GT(fileSize(dir.file("series.px")), 0u);
    EXPECT_EQ(fileSize(dir.file("series.mb")), 4096u);
    auto t = Table::open(dir.file("Series.DB"));
    EXPECT_TRUE(t->writable()) << t->readOnlyReason();
    EXPECT_EQ(t->rowCount(), 0u);
    EXPECT_EQ(t->lastAutoIncrement(), 0);
    ASSERT_EQ(t->schema().fields.size(), 9u);
    EXPECT_EQ(t->schema().keyFieldCount, 3);
    EXPECT_EQ(t->schema().fields[3].name, "SERNOTE");
    EXPECT_EQ(t->schema().fields[3].type, FieldType::Memo);
    EXPECT_EQ(t->schema().fields[3].size, 10);
    EXPECT_EQ(t->schema().fieldIndex("owned"), 8);
    EXPECT_THROW(Table::create(dir.file("SERIES.db"), seriesSchema()), EDatabaseError);
}

TEST(TableCreate, RefusesInvalidSchemas) {
    TestDir dir;
    TableSchema s = seriesSchema();
    s.fields[1].name = "series";  // repeated ignoring case
    EXPECT_THROW(Table::create(dir.file("a.db"), s), EDatabaseError);
    s = seriesSchema();
    s.fields[0].size = 256;
    EXPECT_THROW(Table::create(dir.file("b.db"), s), EDatabaseError);
    s = seriesSchema();
    s.keyFieldCount = 4;  // the memo field cannot be in the key
    EXPECT_THROW(Table::create(dir.file("c.db"), s), EDatabaseError);
    EXPECT_FALSE(Table::exists(dir.file("a.db")));
}

// 254-byte records: 65,535 blocks of 2 KiB hold 8 each (524,280 rows), of
// 4 KiB 16 (1,048,560), of 16 KiB 64 (4,194,240), of 32 KiB 128 (8,388,480).
TEST(TableCreate, RoomForRowsTakesTheSmallestBlockSizeThatHoldsThem) {
    TestDir dir;
    TableSchema schema;
    schema.fields = {{"ID", FieldType::Long, 0}, {"PAD", FieldType::Alpha, 250}};
    schema.keyFieldCount = 1;
    const auto blockCodeFor = [&](std::size_t rows) {
        const std::string path = dir.file("t" + std::to_string(rows) + ".db");
        Table::create(path, schema, {rows, 0});
        return int(readFile(path)[0x05]);
    };
    EXPECT_EQ(blockCodeFor(0), 2);
    EXPECT_EQ(blockCodeFor(524'280), 2);
    EXPECT_EQ(blockCodeFor(524'281), 4);
    EXPECT_EQ(blockCodeFor(1'048'561), 16);
    EXPECT_EQ(blockCodeFor(4'194'241), 32);
    EXPECT_THROW(blockCodeFor(8'388'481), EDatabaseError);
    EXPECT_EQ(Table::open(dir.file("t0.db"))->blockSizeKiB(), 2);
    // An explicit size must be one the format allows and hold a record.
    Table::create(dir.file("one.db"), schema, {0, 1});
    EXPECT_EQ(Table::open(dir.file("one.db"))->blockSizeKiB(), 1);
    EXPECT_THROW(Table::create(dir.file("three.db"), schema, {0, 3}), EDatabaseError);
    schema.fields[1].size = 255;
    schema.fields.push_back({"MORE", FieldType::Alpha, 255});
    schema.fields.push_back({"EVEN", FieldType::Alpha, 255});
    schema.fields.push_back({"LAST", FieldType::Alpha, 255});  // 1,024 bytes
    EXPECT_THROW(Table::create(dir.file("big.db"), schema, {0, 1}), EDatabaseError);
    EXPECT_FALSE(Table::exists(dir.file("three.db")));
    EXPECT_FALSE(Table::exists(dir.file("big.db")));
}

TEST(TableRows, InsertKeepsKeyOrderAssignsAutoIncrementAndSurvivesReopen) {
    TestDir dir;
    const std::string path = dir.file("series.db");
    Table::create(path, seriesSchema());
    {
        auto t = Table::open(path);
        EXPECT_EQ(t->insert(seriesRow("X-MEN", "MARVEL", "MUTANTS")), 0u);
        EXPECT_EQ(t->insert(seriesRow("BATMAN", "DC", "")), 0u);
        EXPECT_EQ(t->insert(seriesRow("SPAWN", "IMAGE", "A NOTE LONGER THAN TEN")), 1u);
        EXPECT_EQ(t->lastAutoIncrement(), 3);
        t->saveChanges();
    }
    auto t = Table::open(path);
    ASSERT_EQ(t->rowCount(), 3u);
    EXPECT_EQ(t->row(0)[0].asText(), "BATMAN");
    EXPECT_EQ(t->row(0)[2].asInt(), 2);
    EXPECT_TRUE(t->row(0)[3].isNull());
    EXPECT_EQ(t->row(1)[0].asText(), "SPAWN");
    EXPECT_EQ(t->row(1)[3].asText(), "A NOTE LONGER THAN TEN");
    EXPECT_EQ(t->row(2)[2].asInt(), 1);
    EXPECT_EQ(t->lastAutoIncrement(), 3);
    // Values are never reused, even after deleting the highest.
    t->erase(1);
    t->insert(seriesRow("ZORRO", "DELL"));
    EXPECT_EQ(t->row(2)[2].asInt(), 4);
}

TEST(TableRows, EveryWritableTypeRoundTripsWithBlankApartFromZero) {
    TestDir dir;
    TableSchema s;
    s.fields = {
        {"K", FieldType::Long, 0},  {"A", FieldType::Alpha, 12},  {"S", FieldType::Short, 0},
        {"M", FieldType::Money, 0}, {"N", FieldType::Number, 0},  {"L", FieldType::Logical, 0},
        {"D", FieldType::Date, 0},  {"T", FieldType::Time, 0},    {"TS", FieldType::Timestamp, 0},
        {"Y", FieldType::Bytes, 3}, {"MEMO", FieldType::Memo, 5}, {"AI", FieldType::AutoInc, 0}};
    s.keyFieldCount = 1;
    Table::create(dir.file("all.db"), s);
    const Row zeros = {Value::integer(1),       Value::text(" lead"),  Value::integer(0),
                       Value::floating(0),      Value::floating(-0.0), Value::boolean(false),
                       Value::integer(1),       Value::integer(0),     Value::floating(0),
                       Value::bytes({0, 1, 0}), Value::text("x"),      Value()};
    const Row blanks = {Value::integer(2), Value(), Value(), Value(), Value(), Value(),
                        Value(),           Value(), Value(), Value(), Value(), Value()};
    const Row others = {Value::integer(-2147483647),
                        Value::text("\xE2\x82\xAC \xC3\xA9t\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D"),
                        Value::integer(-32767),
                        Value::floating(-1234.5),
                        Value::floating(3.14159),
                        Value::boolean(true),
                        Value::integer(730119),
                        Value::integer(47655016),
                        Value::floating(63116856306000.0),
                        Value::bytes({0xFF, 0x00, 0x7F}),
                        Value::text("exactly 5"),
                        Value::integer(77)};
    {
        auto t = Table::open(dir.file("all.db"));
        t->insert(zeros);
        t->insert(blanks);
        t->insert(others);
    }
    auto t = Table::open(dir.file("all.db"));
    ASSERT_EQ(t->rowCount(), 3u);
    Row expectOthers = others;
    EXPECT_EQ(t->row(0), expectOthers);
    Row expectZeros = zeros;
    expectZeros[4] = Value::floating(0.0);  // -0.0 is stored as +0.0
    expectZeros[11] = Value::integer(1);
    EXPECT_EQ(t->row(1), expectZeros);
    EXPECT_FALSE(t->row(1)[2].isNull());
    EXPECT_FALSE(t->row(1)[5].isNull());
    Row expectBlanks = blanks;
    expectBlanks[11] = Value::integer(2);
    EXPECT_EQ(t->row(2), expectBlanks);
    EXPECT_EQ(t->lastAutoIncrement(), 77);  // an explicit value moves the counter on
    t->insert({Value::integer(3), Value(), Value(), Value(), Value(), Value(), Value(), Value(),
               Value(), Value(), Value(), Value()});
    EXPECT_EQ(t->row(t->find({Value::integer(3)}))[11].asInt(), 78);
}

TEST(TableRows, RefusedValuesNameTheFieldAndChangeNothing) {
    TestDir dir;
    const std::string path = dir.file("books.db");
    Table::create(path, booksSchema());
    auto t = Table::open(path);
    t->insert(bookRow(1, "              1", "FIRST", "ORIGIN"));
    t->saveChanges();
    const auto before = readFile(path);
    const auto count = t->changeCount();

    auto expectRefused = [&](Row row, const std::string& field) {
        try {
            t->insert(std::move(row));
            ADD_FAILURE() << "accepted a bad " << field;
        } catch (const EDatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find(field), std::string::npos) << e.what();
        }
    };
    Row r = bookRow(2, "2", "", "");
    r[3] = Value::text("CHECK \xE2\x9C\x93");  // U+2713 is not in Windows-1252
    expectRefused(r, "TITLE");
    r = bookRow(2, "2", "", "");
    r[11] = Value::text("\xE4\xB8\xAD");
    expectRefused(r, "BOOKNOTE");
    r = bookRow(2, "2", "", "");
    r[1] = Value::text(std::string(16, '9'));
    expectRefused(r, "COMIC_NO");
    r = bookRow(2, "2", "", "");
    r[6] = Value::integer(40000);
    expectRefused(r, "QTY");
    r = bookRow(2, "2", "", "");
    r[7] = Value::text("12");
    expectRefused(r, "PAID");
    expectRefused(bookRow(1, "              1", "FIRST", "OTHER TITLE"), "Key violation");
    EXPECT_THROW(t->insert(bookRow(1, "              1", "FIRST", "X")), EKeyViolation);

    EXPECT_EQ(t->rowCount(), 1u);
    EXPECT_EQ(t->changeCount(), count);
    t->saveChanges();
    EXPECT_EQ(readFile(path), before);
}

// A batch cut short by an error (the table handles closed while it unwinds)
// leaves each table as it was before the batch, the one whose change failed
// and the one whose changes all succeeded alike.
TEST(TableRows, ABatchAbandonedByAnErrorChangesNoTable) {
    TestDir dir;
    const std::string seriesPath = dir.file("series.db"), booksPath = dir.file("books.db");
    Table::create(seriesPath, seriesSchema());
    Table::create(booksPath, booksSchema());
    {
        auto books = Table::open(booksPath);
        books->insert(bookRow(1, "1", "", "KEPT"));
    }
    const auto seriesBefore = readFile(seriesPath), booksBefore = readFile(booksPath);
    try {
        auto series = Table::open(seriesPath);
        auto books = Table::open(booksPath);
        series->beginBatch();
        books->beginBatch();
        for (int i = 0; i < 500; ++i)
            series->insert(seriesRow("S" + std::to_string(i), "P", "", 1));
        books->insert(bookRow(2, "1", "", "NEW"));
        books->insert(bookRow(1, "1", "", "DUPLICATE"));  // a key violation ends the batch
        FAIL() << "the duplicate key was accepted";
    } catch (const EKeyViolation&) {
    }
    EXPECT_EQ(readFile(seriesPath), seriesBefore);
    EXPECT_EQ(readFile(booksPath), booksBefore);
    EXPECT_EQ(Table::open(seriesPath)->rowCount(), 0u);
    EXPECT_EQ(Table::open(booksPath)->rowCount(), 1u);
}

TEST(TableRows, RandomInsertsUpdatesAndDeletesMatchAModelAcrossReopen) {
    TestDir dir;
    const std::string path = dir.file("books.db");
    Table::create(path, booksSchema());
    std::map<BookKey, Row> model;
    std::mt19937 rng(42);
    auto randomBook = [&](int i) {
        const int entry = static_cast<int>(rng() % 50) + 1;
        std::string no = std::to_string(rng() % 400);
        no = std::string(15 - no.size(), ' ') + no;
        const std::size_t noteLength = rng() % 5 == 0 ? rng() % 3000 : rng() % 40;
        return bookRow(entry, no, rng() % 3 ? "" : "2ND", "TITLE " + std::to_string(i),
                       memoText(noteLength, i), (rng() % 10000) / 100.0,
                       static_cast<int>(rng() % 4));
    };
    {
        auto t = Table::open(path);
        // Batches keep the test fast (every commit costs an fsync); the first
        // rows and changes are committed one by one.
        for (int i = 0; i < 1500; ++i) {
            if (i >= 50 && i % 50 == 0) t->commitBatch();
            if (i >= 50 && i % 50 == 0) t->beginBatch();
            Row r = randomBook(i);
            const BookKey k = keyOf(r);
            if (model.count(k)) {
                EXPECT_THROW(t->insert(r), EKeyViolation);
                continue;
            }
            const std::size_t p = t->insert(r);
            model[k] = r;
            ASSERT_EQ(p, static_cast<std::size_t>(std::distance(model.begin(), model.find(k))));
        }
        t->commitBatch();
        expectSameRows(*t, model);
        for (int i = 0; i < 800; ++i) {
            if (i >= 60 && i % 20 == 0) t->commitBatch();
            if (i >= 60 && i % 20 == 0) t->beginBatch();
            const std::size_t p = rng() % t->rowCount();
            auto it = std::next(model.begin(), static_cast<std::ptrdiff_t>(p));
            switch (rng() % 3) {
                case 0:
                    t->erase(p);
                    model.erase(it);
                    break;
                case 1: {  // same key, new values
                    Row r = it->second;
                    r[3] = Value::text("UPDATED " + std::to_string(i));
                    r[11] = rng() % 2 ? Value::text(memoText(rng() % 5000, i)) : Value();
                    t->update(p, r);
                    it->second = r;
                    break;
                }
                default: {  // new key
                    Row r = randomBook(10000 + i);
                    if (model.count(keyOf(r)) && keyOf(r) != it->first) {
                        EXPECT_THROW(t->update(p, r), EKeyViolation);
                        break;
                    }
                    model.erase(it);
                    const std::size_t q = t->update(p, r);
                    model[keyOf(r)] = r;
                    ASSERT_EQ(q, static_cast<std::size_t>(
                                     std::distance(model.begin(), model.find(keyOf(r)))));
                }
            }
        }
        t->commitBatch();
        expectSameRows(*t, model);
    }
    auto t = Table::open(path);
    expectSameRows(*t, model);
    t->beginBatch();
    while (t->rowCount() > 0) t->erase(t->rowCount() / 2);
    t->commitBatch();
    t.reset();
    t = Table::open(path);
    EXPECT_EQ(t->rowCount(), 0u);
    t->insert(bookRow(7, "1", "", "AGAIN"));
    EXPECT_EQ(t->rowCount(), 1u);
}

// Rows are decoded when first read: rows never read before changes that
// move them within and across blocks must still read back as stored.
TEST(TableRows, RowsFirstReadAfterChangesAroundThemReadBackRight) {
    TestDir dir;
    const std::string path = dir.file("books.db");
    Table::create(path, booksSchema());
    std::map<BookKey, Row> model;
    {
        auto t = Table::open(path);
        t->beginBatch();
        for (int i = 0; i < 600; ++i) {
            Row r = bookRow(1 + i % 7, std::to_string(1000 + i), "", "TITLE " + std::to_string(i),
                            memoText(i % 3 == 0 ? 700 : 20, i), i / 4.0, i % 3);
            t->insert(r);
            model[keyOf(r)] = r;
        }
        t->commitBatch();
    }
    auto t = Table::open(path);
    t->beginBatch();
    for (int i = 0; i < 150; ++i) {  // inserted between stored rows
        Row r = bookRow(1 + i % 7, std::to_string(1000 + 4 * i) + "A", "",
                        "NEW " + std::to_string(i), memoText(300, 5000 + i));
        t->insert(r);
        model[keyOf(r)] = r;
    }
    for (int i = 0; i < 100; ++i) {  // deleted without being read
        const std::size_t p = (static_cast<std::size_t>(i) * 37) % t->rowCount();
        t->erase(p);
        model.erase(std::next(model.begin(), static_cast<std::ptrdiff_t>(p)));
    }
    t->commitBatch();
    expectSameRows(*t, model);
}

TEST(TableRows, MemosOfEverySizeAreStoredExactlyAndTheirSpaceIsReused) {
    TestDir dir;
    const std::string path = dir.file("series.db");
    Table::create(path, seriesSchema());
    const std::vector<std::size_t> sizes = {0,
                                            1,
                                            9,
                                            10,
                                            11,
                                            16,
                                            17,
                                            100,
                                            2047,
                                            2048,
                                            2049,
                                            4087,
                                            4088,
                                            4096,
                                            5000,
                                            70000,
                                            3 * 1024 * 1024};
    {
        auto t = Table::open(path);
        for (std::size_t i = 0; i < sizes.size(); ++i)
            t->insert(seriesRow("S" + std::to_string(100 + i), "P",
                                memoText(sizes[i], static_cast<int>(i))));
    }
    auto t = Table::open(path);
    ASSERT_EQ(t->rowCount(), sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const Value& v = t->row(i)[3];
        if (sizes[i] == 0) {
            EXPECT_TRUE(v.isNull());
        } else {
            ASSERT_TRUE(v.isText()) << sizes[i];
            EXPECT_EQ(v.asText(), memoText(sizes[i], static_cast<int>(i))) << sizes[i];
        }
    }
    // Rewriting the memos many times must not grow the file without bound.
    const auto grown = fileSize(dir.file("series.mb"));
    for (int round = 0; round < 20; ++round) {
        if (round > 0) t->beginBatch();  // round 0 commits every update alone
        for (std::size_t i = 0; i + 1 < sizes.size(); ++i) {
            Row r = t->row(i);
            r[3] = sizes[i] ? Value::text(memoText(sizes[i], round)) : Value();
            t->update(i, r);
        }
        if (round > 0) t->commitBatch();
    }
    EXPECT_LE(fileSize(dir.file("series.mb")), grown + 128 * 1024);
    t.reset();
    t = Table::open(path);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) {
        if (sizes[i] > 0) {
            EXPECT_EQ(t->row(i)[3].asText(), memoText(sizes[i], 19)) << sizes[i];
        }
    }
}

TEST(TableRows, SpaceFreedInAFullSharedMemoBlockIsUsedAgain) {
    TestDir dir;
    const std::string path = dir.file("series.db");
    Table::create(path, seriesSchema());
    auto t = Table::open(path);
    const auto name = [](int i) { return "S" + std::to_string(1000 + i); };
    // 128 notes of one 16-byte chunk each (longer than the leader) take the
    // 64 slots of two shared blocks; the first filled up during the batch.
    t->beginBatch();
    for (int i = 0; i < 128; ++i) t->insert(seriesRow(name(i), "P", memoText(12, i)));
    t->commitBatch();
    const auto full = fileSize(dir.file("series.mb"));
    for (int i = 62; i >= 0; i -= 2) t->erase(static_cast<std::size_t>(i));
    // The 32 slots freed in the first block take 32 new notes.
    for (int i = 0; i < 32; ++i) t->insert(seriesRow(name(200 + i), "P", memoText(12, 200 + i)));
    EXPECT_EQ(fileSize(dir.file("series.mb")), full);
    t.reset();
    t = Table::open(path);
    ASSERT_EQ(t->rowCount(), 128u);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(t->row(96 + static_cast<std::size_t>(i))[3].asText(), memoText(12, 200 + i));
}

TEST(TableSeek, ExactNearestAndRangeSearchesOnTheKey) {
    TestDir dir;
    const std::string path = dir.file("books.db");
    Table::create(path, booksSchema());
    auto t = Table::open(path);
    t->beginBatch();
    for (int entry = 1; entry <= 300; ++entry)
        for (int no = 1; no <= entry % 7; ++no) {
            std::string n = std::to_string(no * 10);
            t->insert(bookRow(entry, std::string(15 - n.size(), ' ') + n, "", "T"));
        }
    t->commitBatch();
    const auto padded = [](int n) {
        std::string s = std::to_string(n);
        return Value::text(std::string(15 - s.size(), ' ') + s);
    };
    // Range of one series: all rows whose ENTRY equals a value.
    const std::size_t from = t->lowerBound({Value::integer(13)});
    const std::size_t to = t->upperBound({Value::integer(13)});
    EXPECT_EQ(to - from, 13u % 7);
    for (std::size_t p = from; p < to; ++p) EXPECT_EQ(t->row(p)[0].asInt(), 13);
    EXPECT_EQ(t->lowerBound({Value::integer(14)}),
              t->upperBound({Value::integer(13)}));  // 14 % 7 == 0
    EXPECT_EQ(t->row(t->lowerBound({Value::integer(14)}))[0].asInt(), 15);
    // Nearest: first row at or after a partial key.
    const std::size_t near = t->lowerBound({Value::integer(13), padded(25)});
    EXPECT_EQ(t->row(near)[1], padded(30));
    EXPECT_EQ(t->lowerBound({Value::integer(1000)}), t->rowCount());
    EXPECT_EQ(t->lowerBound({Value::integer(-5)}), 0u);
    // Exact key.
    const std::size_t exact = t->find({Value::integer(13), padded(40), Value()});
    ASSERT_NE(exact, Table::npos);
    EXPECT_EQ(t->row(exact)[1], padded(40));
    EXPECT_EQ(t->find({Value::integer(13), padded(41), Value()}), Table::npos);
    EXPECT_EQ(t->find({Value::integer(13), padded(40), Value::text("2ND")}), Table::npos);
}

TEST(TableShared, HandlesOfOneFileShareStateAndSeeChangesAtOnce) {
    TestDir dir;
    const std::string path = dir.file("series.db");
    Table::create(path, seriesSchema());
    auto a = Table::open(path);
    auto b = Table::open(dir.file("SERIES.DB"));
    const auto before = b->changeCount();
    a->insert(seriesRow("HULK", "MARVEL", "GREEN"));
    EXPECT_EQ(b->rowCount(), 1u);
    EXPECT_EQ(b->row(0)[0].asText(), "HULK");
    EXPECT_EQ(b->changeCount(), before + 1);
    Row r = b->row(0);
    r[8] = Value::integer(5);
    b->update(0, r);
    EXPECT_EQ(a->row(0)[8].asInt(), 5);
    b->erase(0);
    EXPECT_EQ(a->rowCount(), 0u);
    EXPECT_THROW(Table::remove(path), EDatabaseError);  // still open
    a.reset();
    b.reset();
    Table::remove(path);
    EXPECT_FALSE(Table::exists(path));
    EXPECT_EQ(fileSize(dir.file("series.px")), 0u);
    EXPECT_EQ(fileSize(dir.file("series.mb")), 0u);
}
