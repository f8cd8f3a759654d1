// Damaged files, the cross-process lock, recovery from the journal, and
// tables the engine may read but not change.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "platform/paradox/errors.h"
#include "platform/paradox/table.h"
#include "tests/platform/paradox/table_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace paradox;
using namespace paradox::testing;
namespace fs = std::filesystem;

namespace {

// A healthy series table with rows in several blocks and memos of each kind.
void makeSeries(const std::string& path, int rows = 120) {
    Table::create(path, seriesSchema());
    auto t = Table::open(path);
    t->beginBatch();
    for (int i = 0; i < rows; ++i)
        t->insert(seriesRow("SERIES " + std::to_string(1000 + i), "PUB",
                            memoText(i % 3 == 0 ? 5000 : i * 3, i)));
    t->commitBatch();
}

std::vector<std::vector<std::uint8_t>> snapshot(const std::vector<std::string>& files) {
    std::vector<std::vector<std::uint8_t>> s;
    for (const auto& f : files) s.push_back(readFile(f));
    return s;
}

// Opening must fail with a damage report naming `file` and leave every file as it was.
void expectDamaged(const std::string& db, const std::string& file, const std::string& words) {
    const std::vector<std::string> files = {db, fs::path(db).replace_extension(".px").string(),
                                            fs::path(db).replace_extension(".mb").string()};
    const auto before = snapshot(files);
    try {
        Table::open(db);
        ADD_FAILURE() << "opened a damaged table (" << words << ")";
    } catch (const ETableDamaged& e) {
        EXPECT_EQ(e.file(), file) << e.what();
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
    EXPECT_EQ(snapshot(files), before) << "a failed open changed the files";
}

void copyTable(const std::string& fromDb, const std::string& toDb) {
    for (const char* ext : {".db", ".px", ".mb"})
        fs::copy_file(fs::path(fromDb).replace_extension(ext),
                      fs::path(toDb).replace_extension(ext));
}

}  // namespace

TEST(TableDamage, EachKindOfDamageIsReportedWithFileAndCause) {
    TestDir dir;
    const std::string good = dir.file("good.db");
    makeSeries(good);
    int n = 0;
    auto fresh = [&]() {
        const std::string db = dir.file("t" + std::to_string(n++) + ".db");
        copyTable(good, db);
        return db;
    };
    auto px = [](const std::string& db) { return fs::path(db).replace_extension(".px").string(); };
    auto mb = [](const std::string& db) { return fs::path(db).replace_extension(".mb").string(); };

    std::string db = fresh();
    truncateFile(db, fileSize(db) - 100);
    expectDamaged(db, db, "truncated");
    db = fresh();
    truncateFile(db, 0);
    expectDamaged(db, db, "shorter than a table header");
    db = fresh();
    damageFile(db, 0x06, {0x05, 0, 0, 0});  // record count
    expectDamaged(db, db, "counts 5 records");
    db = fresh();
    damageFile(db, 0x00, {0x10, 0});  // record size
    expectDamaged(db, db, "record size");
    db = fresh();
    damageFile(db, 0x800, {0xE7, 0x03});  // block 1 links to block 999
    expectDamaged(db, db, "past the end");
    db = fresh();
    damageFile(db, 0x800, {0x01, 0x00});  // block 1 links to itself
    expectDamaged(db, db, "loop");
    db = fresh();
    damageFile(db, 0x800 + 2048 + 2, {0x07, 0x00});  // block 2 claims another predecessor
    expectDamaged(db, db, "links are broken");
    db = fresh();
    damageFile(db, 0x804, {0x01, 0x00});  // a record count that is not a whole record
    expectDamaged(db, db, "record count is invalid");

    db = fresh();
    fs::remove(px(db));
    expectDamaged(db, px(db), "missing");
    db = fresh();
    damageFile(px(db), 0x800 + 6, {'X'});  // first key of the root
    expectDamaged(db, px(db), "disagrees");
    db = fresh();
    damageFile(px(db), 0x06, {0x63});
    expectDamaged(db, px(db), "entries");

    db = fresh();
    fs::remove(mb(db));
    expectDamaged(db, mb(db), "missing");
    db = fresh();
    damageFile(mb(db), 4096, {0x09});  // the first value block's type
    expectDamaged(db, mb(db), "memo");
}

TEST(TableDamage, RandomByteDamageNeverCrashesOrWritesAndHealthyFilesStillOpen) {
    TestDir dir;
    const std::string good = dir.file("good.db");
    makeSeries(good, 60);
    std::mt19937 rng(5);
    int refused = 0;
    for (int i = 0; i < 150; ++i) {
        const std::string db = dir.file("f" + std::to_string(i) + ".db");
        copyTable(good, db);
        const char* ext = i % 3 == 0 ? ".db" : i % 3 == 1 ? ".px" : ".mb";
        const std::string victim = fs::path(db).replace_extension(ext).string();
        const std::uint64_t size = fileSize(victim);
        // Headers and block heads are where damage matters most.
        const std::uint64_t offset =
            rng() % 2 ? rng() % std::min<std::uint64_t>(size, 0x900) : rng() % size;
        damageFile(victim, offset, {static_cast<std::uint8_t>(rng())});
        const auto before = snapshot({db, fs::path(db).replace_extension(".px").string(),
                                      fs::path(db).replace_extension(".mb").string()});
        try {
            auto t = Table::open(db);
            for (std::size_t r = 0; r < t->rowCount(); ++r) t->row(r);
        } catch (const EDatabaseError&) {
            ++refused;
        }
        EXPECT_EQ(snapshot({db, fs::path(db).replace_extension(".px").string(),
                            fs::path(db).replace_extension(".mb").string()}),
                  before);
        fs::remove(db + "-journal");
    }
    EXPECT_GT(refused, 5);
}

TEST(TableLock, ATableHeldByAnotherProcessIsRefusedAsInUse) {
    TestDir dir;
    const std::string path = dir.file("series.db");
    makeSeries(path, 3);
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char c = 0;
        std::shared_ptr<Table> t;
        try {
            t = Table::open(path);
            c = 1;
        } catch (...) {
        }
        if (::write(ready[1], &c, 1) != 1) _exit(2);
        if (::read(release[0], &c, 1) != 1) _exit(2);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 1) << "the child could not open the table";
    try {
        Table::open(dir.file("SERIES.DB"));
        ADD_FAILURE() << "opened a table another process holds";
    } catch (const ETableInUse& e) {
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
    EXPECT_THROW(Table::remove(path), ETableInUse);
    ASSERT_EQ(::write(release[1], &c, 1), 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(Table::open(path)->rowCount(), 3u);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST(TableJournal, AChangeCutShortIsUndoneAndACompleteOneIsKept) {
    TestDir dir;
    const std::string path = dir.file("series.db");
    makeSeries(path, 40);
    const std::string pxPath = dir.file("series.px");
    const auto pxBefore = readFile(pxPath);
    const auto dbBefore = readFile(path);

    // A writer dies right after writing a change (no clean close).
    auto dieAfterInsert = [&]() {
        const pid_t child = ::fork();
        if (child == 0) {
            try {
                auto t = Table::open(path);
                t->insert(seriesRow("AAA FIRST", "NEW", memoText(3000, 1)));
                _exit(0);  // no destructors: as if killed
            } catch (...) {
                _exit(3);
            }
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_TRUE(fs::exists(path + "-journal"));
    };

    dieAfterInsert();
    // Put the old index back, as if its pages never reached the file.
    {
        std::FILE* f = std::fopen(pxPath.c_str(), "r+b");
        std::fwrite(pxBefore.data(), 1, pxBefore.size(), f);
        std::fclose(f);
    }
    {
        auto t = Table::open(path);
        EXPECT_EQ(t->rowCount(), 40u);
        EXPECT_EQ(t->row(0)[0].asText(), "SERIES 1000");
        EXPECT_EQ(t->lastAutoIncrement(), 40);
    }
    EXPECT_EQ(readFile(path), dbBefore);
    EXPECT_FALSE(fs::exists(path + "-journal"));

    dieAfterInsert();  // this time every page made it
    auto t = Table::open(path);
    EXPECT_EQ(t->rowCount(), 41u);
    EXPECT_EQ(t->row(0)[0].asText(), "AAA FIRST");
    EXPECT_EQ(t->row(0)[3].asText(), memoText(3000, 1));
}

TEST(TableReadOnly, AnUnknownSortOrderOpensForReadingAndRefusesChanges) {
    TestDir dir;
    const std::string path = dir.file("series.db");
    makeSeries(path, 30);
    damageFile(path, 0x29, {0x62});  // ANSI Intl
    auto t = Table::open(path);
    EXPECT_FALSE(t->writable());
    EXPECT_NE(t->readOnlyReason().find("sort order"), std::string::npos);
    EXPECT_EQ(t->rowCount(), 30u);
    EXPECT_EQ(t->row(t->lowerBound({Value::text("SERIES 1010")}))[0].asText(), "SERIES 1010");
    const auto before = readFile(path);
    EXPECT_THROW(t->insert(seriesRow("NEW", "P")), EDatabaseError);
    EXPECT_THROW(t->update(0, t->row(0)), EDatabaseError);
    EXPECT_THROW(t->erase(0), EDatabaseError);
    t->saveChanges();
    EXPECT_EQ(readFile(path), before);
}

TEST(TableReadOnly, BlobAndBcdFieldsAreReadAndMakeTheTableReadOnly) {
    TestDir dir;
    const std::string path = dir.file("old.db");
    TableSchema s;
    s.fields = {{"ID", FieldType::Long, 0},
                {"AMOUNT", FieldType::Alpha, 17},
                {"PICTURE", FieldType::Memo, 5}};
    s.keyFieldCount = 1;
    Table::create(path, s);
    {
        auto t = Table::open(path);
        t->insert({Value::integer(1), Value(), Value::text("raw bytes longer than five")});
        t->insert({Value::integer(2), Value(), Value()});
    }
    // Turn AMOUNT into BCD with 2 decimals and PICTURE into a BLOb.
    const std::uint16_t varStart = 0x78;
    damageFile(path, varStart + 2, {0x17, 0x02});
    damageFile(path, varStart + 4, {0x0D});
    // 123.45 in the first record: sign/decimals byte, then 32 digits.
    std::vector<std::uint8_t> bcd(17, 0);
    bcd[0] = 0xC2;
    bcd[14] = 0x01;
    bcd[15] = 0x23;
    bcd[16] = 0x45;
    damageFile(path, 0x800 + 6 + 4, bcd);
    // -7.5 in the second (digits 750): every digit nibble complemented.
    std::vector<std::uint8_t> negative(17, 0xFF);
    negative[0] = 0x42;
    negative[15] = 0xF8;  // 0 7
    negative[16] = 0xAF;  // 5 0
    damageFile(path, 0x800 + 6 + 36 + 4, negative);

    auto t = Table::open(path);
    EXPECT_FALSE(t->writable());
    EXPECT_NE(t->readOnlyReason().find("AMOUNT"), std::string::npos) << t->readOnlyReason();
    EXPECT_EQ(t->schema().fields[1].type, FieldType::Bcd);
    EXPECT_EQ(t->schema().fields[2].type, FieldType::Blob);
    EXPECT_DOUBLE_EQ(t->row(0)[1].asDouble(), 123.45);
    EXPECT_DOUBLE_EQ(t->row(1)[1].asDouble(), -7.5);
    const std::string raw = "raw bytes longer than five";
    EXPECT_EQ(t->row(0)[2].asBytes(), std::vector<std::uint8_t>(raw.begin(), raw.end()));
    EXPECT_TRUE(t->row(1)[2].isNull());
}

namespace {

// ID + (or ID I), NOTE M10: many small records, each with a memo in the
// memo file.
std::string makeManyMemoRows(TestDir& dir, int rows, FieldType idType = FieldType::AutoInc) {
    const std::string db = dir.file("many.db");
    TableSchema schema;
    schema.fields = {{"ID", idType, 0}, {"NOTE", FieldType::Memo, 10}};
    schema.keyFieldCount = 1;
    Table::create(db, schema);
    auto t = Table::open(db);
    t->beginBatch();
    for (int i = 0; i < rows; ++i)
        t->insert({idType == FieldType::AutoInc ? Value() : Value::integer(i + 1),
                   Value::text(memoText(20, i))});
    t->commitBatch();
    return db;
}

// The file offset of the block holding row `row` (rows appended in key
// order fill the blocks one after the other).
std::uint64_t blockOffsetOfRow(const std::string& db, std::size_t row) {
    const std::vector<std::uint8_t> file = readFile(db);
    const std::size_t recordSize = file[0] | file[1] << 8;
    const std::size_t headerSize = file[2] | file[3] << 8;
    const std::size_t blockSize = file[5] * 1024u;
    return headerSize + row / ((blockSize - 6) / recordSize) * blockSize;
}

// The file offset of the memo pointer of row `row` of makeManyMemoRows.
std::uint64_t memoPointerOffset(const std::string& db, std::size_t row) {
    const std::vector<std::uint8_t> file = readFile(db);
    const std::size_t recordSize = file[0] | file[1] << 8;
    const std::size_t perBlock = (file[5] * 1024u - 6) / recordSize;
    return blockOffsetOfRow(db, row) + 6 + row % perBlock * recordSize + 4 + 10;
}

// `read` is refused as damage of `file`, the message naming it and `words`.
void expectRefused(const std::function<void()>& read, const std::string& file,
                   const std::string& words) {
    try {
        read();
        ADD_FAILURE() << "read damaged bytes (" << words << ")";
    } catch (const ETableDamaged& e) {
        EXPECT_EQ(e.file(), file) << e.what();
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
}

}  // namespace

// The check at open reports the first damage in the file, and the
// auto-increment counter follows the highest value stored, wherever it lies.
TEST(TableDamage, TheCheckAtOpenReportsTheFirstDamageAndTheHighestCounter) {
    TestDir dir;
    const int rows = 4000;
    const std::string db = makeManyMemoRows(dir, rows);
    damageFile(db, 0x49, {5, 0, 0, 0});  // the header's counter, far behind
    EXPECT_EQ(Table::open(db)->lastAutoIncrement(), rows);

    damageFile(db, memoPointerOffset(db, rows * 3 / 4), {0x00, 0xFE, 0xFF, 0x7F});
    damageFile(db, memoPointerOffset(db, rows / 4), {0x00, 0xFF, 0xFF, 0x7F});
    try {
        Table::open(db);
        ADD_FAILURE() << "opened a table with damaged memo pointers";
    } catch (const ETableDamaged& e) {
        EXPECT_EQ(e.offset(), 0x7FFFFF00u) << e.what();
        EXPECT_NE(std::string(e.what()).find("outside the memo file"), std::string::npos)
            << e.what();
    }
}

// A table larger than the block cache is checked a block at a time as it is
// read: it opens despite a damaged memo pointer, the rows of other blocks
// read, and the damaged row is refused before anything uses it.
TEST(TableDamage, ALargeTableReportsADamagedMemoPointerWhenItsBlockIsRead) {
    const ScopedBlockCacheLimit limit(16 * 1024);
    TestDir dir;
    const int rows = 4000, damaged = rows * 3 / 4;
    const std::string db = makeManyMemoRows(dir, rows, FieldType::Long);
    ASSERT_GT(fileSize(db), 4 * 16 * 1024u);
    damageFile(db, memoPointerOffset(db, damaged), {0x00, 0xFE, 0xFF, 0x7F});
    auto t = Table::open(db);
    for (int i = 0; i < damaged - 200; ++i) EXPECT_EQ(t->row(i)[1].asText(), memoText(20, i));
    try {
        t->row(damaged);
        ADD_FAILURE() << "read a row with a damaged memo pointer";
    } catch (const ETableDamaged& e) {
        EXPECT_NE(std::string(e.what()).find("outside the memo file"), std::string::npos)
            << e.what();
    }
    EXPECT_THROW(t->row(damaged), ETableDamaged);  // still refused, not cached
    EXPECT_EQ(t->row(rows - 1)[1].asText(), memoText(20, rows - 1));
}

// A table larger than the block cache opens without reading its blocks; each
// block is checked against the chain when it is read, the first time and
// again after the cache dropped it, also once the table's own changes moved
// the chain on.
TEST(TableDamage, ALargeTableChecksEachBlockAgainstTheChainWhenItIsRead) {
    const ScopedBlockCacheLimit limit(16 * 1024);
    TestDir dir;
    const int rows = 4000, middle = rows / 2;
    const std::string db = booksTable(dir.file("books.db"), rows);
    ASSERT_GT(fileSize(db), 4 * 16 * 1024u);
    const std::string copy = dir.file("copy.db");
    for (const char* ext : {".db", ".px", ".mb"})
        fs::copy_file(fs::path(db).replace_extension(ext), fs::path(copy).replace_extension(ext));

    damageFile(copy, blockOffsetOfRow(copy, middle) + 2, {0x00, 0x00});  // previous block
    auto damaged = Table::open(copy);
    EXPECT_EQ(damaged->row(0)[1].asText(), "1000");
    expectRefused([&] { damaged->row(middle); }, copy, "links are broken");
    EXPECT_EQ(damaged->row(rows - 1)[1].asText(), std::to_string(1000 + rows - 1));

    auto t = Table::open(db);
    t->insert(bookRow(rows, "1", "", "T"));  // the last block changes
    for (int i = 0; i <= rows; ++i) ASSERT_FALSE(t->row(i)[1].isNull()) << i;
    damageFile(db, blockOffsetOfRow(db, middle) + 4, {0x00, 0x00});  // its record count
    expectRefused(
        [&] {
            t->lowerBound(
                {Value::integer(middle / 50 + 1), Value::text(std::to_string(1000 + middle))});
        },
        db, "record count");
}

// The memo file is read as its values are used, a frame at a time: a table
// opens despite a damaged memo block, whose values are refused when reached,
// and the first write, which learns the free space, refuses to change it.
TEST(TableDamage, ADamagedMemoBlockIsRefusedWhenItIsReached) {
    const ScopedBlockCacheLimit limit(16 * 1024);
    TestDir dir;
    const int rows = 4000, damaged = rows * 3 / 4;
    const std::string db = makeManyMemoRows(dir, rows, FieldType::Long);
    const std::string mb = fs::path(db).replace_extension(".mb").string();
    ASSERT_GT(fileSize(mb), 4 * 16 * 1024u);
    const std::vector<std::uint8_t> file = readFile(db);
    const std::uint64_t pointer = memoPointerOffset(db, damaged);
    damageFile(mb, (file[pointer + 1] | file[pointer + 2] << 8 | file[pointer + 3] << 16) << 8,
               {0x09});  // the type of the block holding the value
    auto t = Table::open(db);
    EXPECT_EQ(t->row(0)[1].asText(), memoText(20, 0));
    expectRefused([&] { t->row(damaged); }, mb, "holds no memo");
    expectRefused(
        [&] {
            t->insert({Value::integer(rows + 1), Value::text(memoText(20, 1))});
        },
        mb, "unknown type");
    EXPECT_EQ(t->rowCount(), static_cast<std::size_t>(rows));
}

// Another program that ignores the lock cuts the file short while the table
// is open: the table takes no change, so no page is written into the cut
// file, and reading what it holds still works.
TEST(TableDamage, ATableCutShortWhileOpenRefusesChanges) {
    TestDir dir;
    const std::string path = booksTable(dir.file("books.db"), 3000);
    auto t = Table::open(path);
    truncateFile(path, 8192);
    for (std::size_t i = 0; i < t->rowCount(); ++i) t->row(i);
    try {
        t->insert(bookRow(999, "1", "", "T"));
        ADD_FAILURE() << "changed a table cut short behind its back";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("changed by another program"), std::string::npos)
            << e.what();
    }
    t.reset();
    EXPECT_EQ(fileSize(path), 8192u);
}
