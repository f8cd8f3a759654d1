// The rebuild of healthy and damaged tables, checked through the engine and
// through pxlib.  Each damaged input is made from a healthy table by a test.

#include "platform/tutil/rebuild.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "platform/paradox/errors.h"
#include "platform/tutil/tutil.h"
#include "tests/platform/tutil/fixture.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using fixture::DbLayout;

namespace {

class Rebuild : public ::testing::Test {
protected:
    TestDir dir;
    paradox::TableSchema schema = fixture::seriesSchema();
    std::vector<std::string> original;  // row texts before any damage
    std::vector<std::string> messages;

    std::string db() const { return dir.file("series.db"); }
    std::string mb() const { return dir.file("series.mb"); }
    std::string px() const { return dir.file("series.px"); }

    void makeSeries(int rows) {
        fixture::createTable(db(), schema, fixture::seriesRows(rows));
        original = fixture::rowTexts(schema, fixture::readTable(db()));
    }

    tutil::RebuildResult rebuild() {
        const tutil::RebuildRequest request = fixture::rebuildRequest(dir.str(), "series");
        tutil::RebuildProgress progress;
        progress.message = [this](const std::string& m) {
            messages.push_back(m);
            return true;
        };
        return tutil::rebuildTable(request, progress);
    }

    // The rebuilt table opens in the engine and in pxlib (with its new
    // index), both read the same rows, and a full verification is clean.
    std::vector<std::string> rebuiltRows() {
        const auto rows = fixture::rowTexts(schema, fixture::readTable(db()));
        EXPECT_EQ(fixture::pxlibRows(db(), mb(), px()), rows);
        std::vector<std::string> findings;
        EXPECT_EQ(tutil::verifyTable(dir.file("series"), false, findings), TU_LEVEL_HEALTHY)
            << (findings.empty() ? "" : findings.front());
        return rows;
    }

    std::vector<paradox::Row> sideTable(const std::string& name) {
        const std::string path = dir.file(name);
        return fs::exists(path) ? fixture::readTable(path) : std::vector<paradox::Row>{};
    }

    static bool contains(const std::vector<std::string>& rows, const std::string& row) {
        return std::find(rows.begin(), rows.end(), row) != rows.end();
    }

    // Names (the SERIES field) of the records in a block, read before damage.
    std::set<std::string> namesInBlock(std::size_t block) {
        const DbLayout l = fixture::layoutOf(db());
        const auto bytes = fixture::readBytes(db());
        std::set<std::string> names;
        for (int i = 0; i < fixture::recordsInBlock(db(), block); ++i) {
            const char* p =
                reinterpret_cast<const char*>(bytes.data() + l.recordOffset(block, std::size_t(i)));
            names.insert(std::string(p, strnlen(p, 60)));
        }
        return names;
    }
};

TEST_F(Rebuild, HealthyTableKeepsEveryRowCounterAndOriginalsAsBackup) {
    makeSeries(200);
    {
        // Delete rows so that the rebuild has something to pack, the last
        // auto-increment value among them.
        auto table = paradox::Table::open(db());
        for (int i = 0; i < 40; ++i) table->erase(table->rowCount() - 1 - std::size_t(i) * 3);
        table->saveChanges();
    }
    const auto before = fixture::rowTexts(schema, fixture::readTable(db()));
    const auto dbBytes = fixture::readBytes(db());
    const auto mbBytes = fixture::readBytes(mb());
    const auto pxBytes = fixture::readBytes(px());
    const std::int32_t counter = paradox::Table::open(db())->lastAutoIncrement();

    const tutil::RebuildResult result = rebuild();

    EXPECT_EQ(result.rows, before.size());
    EXPECT_EQ(result.keyViolations + result.problems, 0u);
    EXPECT_EQ(rebuiltRows(), before);
    EXPECT_EQ(paradox::Table::open(db())->lastAutoIncrement(), counter);
    EXPECT_EQ(counter, 200);
    EXPECT_LT(fs::file_size(db()), dbBytes.size());
    EXPECT_LT(fs::file_size(mb()), mbBytes.size());
    EXPECT_EQ(fixture::readBytes(dir.file("series__.DB")), dbBytes);
    EXPECT_EQ(fixture::readBytes(dir.file("series__.MB")), mbBytes);
    EXPECT_EQ(fixture::readBytes(dir.file("series__.PX")), pxBytes);
    EXPECT_FALSE(fs::exists(dir.file("KEYVIOL.DB")));
    EXPECT_FALSE(fs::exists(dir.file("PROBLEMS.DB")));
    EXPECT_TRUE(messages.empty());
    // New rows continue after the kept counter.
    auto table = paradox::Table::open(db());
    const std::size_t at = table->insert(fixture::seriesRows(1).front());
    EXPECT_EQ(table->row(at)[2].asInt(), 201);
}

TEST_F(Rebuild, EmptyTableStaysEmptyAndValid) {
    makeSeries(0);
    EXPECT_EQ(rebuild().rows, 0u);
    EXPECT_TRUE(rebuiltRows().empty());
}

TEST_F(Rebuild, TruncatedDataFileKeepsRowsOfWholeRecordsAndReportsTheLoss) {
    makeSeries(200);
    const DbLayout l = fixture::layoutOf(db());
    ASSERT_GE(l.fileBlocks, 3u);
    // Cut the last block in the middle of its second record.
    const std::size_t cut = l.recordOffset(l.fileBlocks, 1) + l.recordSize / 2;
    const auto lost = namesInBlock(l.fileBlocks);
    fixture::truncateFile(db(), cut);

    const auto result = rebuild();
    const auto rows = rebuiltRows();
    EXPECT_EQ(rows.size(), original.size() - lost.size() + 1);
    for (const auto& row : original) {
        const std::string name = row.substr(0, row.find('\t'));
        if (!lost.count(name) || name == *lost.begin()) {
            EXPECT_TRUE(contains(rows, row)) << name;
        }
    }
    EXPECT_TRUE(std::any_of(result.notes.begin(), result.notes.end(), [](const std::string& n) {
        return n.find("records lost") != std::string::npos;
    }));
    EXPECT_FALSE(messages.empty());
    // The backup keeps the damaged file as it was.
    EXPECT_EQ(fs::file_size(dir.file("series__.DB")), cut);
}

TEST_F(Rebuild, HeaderCountsThatDisagreeWithTheBlocksLoseNothing) {
    makeSeries(150);
    fixture::patchBytes(db(), 0x06, {3, 0, 0, 0});  // record count
    fixture::patchBytes(db(), 0x0A, {1, 0});        // blocks in use
    fixture::patchBytes(db(), 0x0C, {1, 0});        // blocks in the file
    fixture::patchBytes(db(), 0x10, {1, 0});        // last block
    rebuild();
    EXPECT_EQ(rebuiltRows(), original);
}

TEST_F(Rebuild, BrokenBlockLinksLoseNothing) {
    makeSeries(150);
    const DbLayout l = fixture::layoutOf(db());
    ASSERT_GE(l.fileBlocks, 4u);
    fixture::patchBytes(db(), l.blockOffset(2), {0, 0});        // chain ends early
    fixture::patchBytes(db(), l.blockOffset(3), {0xFF, 0x7F});  // link past the end
    fixture::patchBytes(db(), l.blockOffset(3) + 2, {9, 0});    // wrong previous block
    const auto result = rebuild();
    EXPECT_EQ(rebuiltRows(), original);
    EXPECT_FALSE(result.notes.empty());
}

TEST_F(Rebuild, LoopInTheChainLosesNothing) {
    makeSeries(150);
    const DbLayout l = fixture::layoutOf(db());
    fixture::patchBytes(db(), l.blockOffset(3), {1, 0});  // block 3 leads back to block 1
    rebuild();
    EXPECT_EQ(rebuiltRows(), original);
}

TEST_F(Rebuild, GarbageInABlockSendsItsDamagedRowsToTheProblemTable) {
    makeSeries(150);
    const DbLayout l = fixture::layoutOf(db());
    const auto damagedNames = namesInBlock(2);
    // Garbage over records 2 to 4 of block 2; the block header stays.
    std::vector<std::uint8_t> garbage(l.recordSize * 3);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = std::uint8_t(0x9D + i * 37);
    fixture::patchBytes(db(), l.recordOffset(2, 1), garbage);

    const auto result = rebuild();
    const auto rows = rebuiltRows();
    const auto problems = sideTable("PROBLEMS.DB");
    EXPECT_EQ(result.problems, 3u);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(rows.size() + problems.size(), original.size());
    for (const auto& row : original) {
        const std::string name = row.substr(0, row.find('\t'));
        if (!contains(rows, row)) {
            EXPECT_TRUE(damagedNames.count(name)) << "lost " << name;
        }
    }
    const std::string reason = problems[0].back().asText();
    EXPECT_NE(reason.find("block 2"), std::string::npos) << reason;
    EXPECT_FALSE(fixture::pxlibRows(dir.file("PROBLEMS.DB"), dir.file("PROBLEMS.MB")).empty());
}

TEST_F(Rebuild, UnreadableRecordCountOfABlockLosesNothing) {
    makeSeries(150);
    const DbLayout l = fixture::layoutOf(db());
    fixture::patchBytes(db(), l.blockOffset(2) + 4, {0x35, 0x12});  // record count
    const auto result = rebuild();
    // The engine wipes the slack, so the block's records are its slots that
    // hold anything.
    EXPECT_EQ(rebuiltRows(), original);
    EXPECT_EQ(result.problems, 0u);
    EXPECT_FALSE(result.notes.empty());
}

// What the engine reads from a record is what the rebuild keeps: a logical
// byte other than the two it writes, a money value that is not a number, a
// memo whose leader or modification number disagrees with its stored text.
// Garbage, which the engine would read too, is recognised by a text no one
// could type or a key out of order, and kept apart.
TEST_F(Rebuild, RowsTheEngineReadsAreKeptAsItReadsThemGarbageIsNot) {
    makeSeries(150);
    const DbLayout l = fixture::layoutOf(db());
    const auto at = [&l](std::size_t block, std::size_t slot, std::size_t byte) {
        return l.recordOffset(block, slot) + byte;
    };
    // Series records: SERIES 0, ENTRY 90, SERNOTE 94 (leader 10, tail at
    // 104), FAVORITE 114.  Rows 3 (100 bytes) and 4 (3000) have long memos.
    fixture::patchBytes(db(), at(1, 0, 114), {0x42});
    fixture::patchBytes(db(), at(1, 3, 96), {'#'});
    fixture::patchBytes(db(), at(1, 4, 112), {0x77, 0x66});
    const auto readable = fixture::rowTexts(schema, fixture::readTable(db()));
    const auto block2 = namesInBlock(2);  // in key order
    const std::set<std::string> garbage = {*std::next(block2.begin(), 1),
                                           *std::next(block2.begin(), 3)};
    fixture::patchBytes(db(), at(2, 1, 3), {0x07});                     // a control character
    fixture::patchBytes(db(), at(2, 3, 0), {'Z', 'Z', 'Z', 'Z', 'Z'});  // out of key order

    const auto result = rebuild();
    const auto rows = rebuiltRows();
    EXPECT_EQ(result.problems, 2u);
    std::vector<std::string> expected;
    for (const auto& row : readable)
        if (!garbage.count(row.substr(0, row.find('\t')))) expected.push_back(row);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i], expected[i]) << "row " << i;
    EXPECT_EQ(rows.size(), original.size() - 2);

    schema = fixture::booksSchema();
    fixture::createTable(dir.file("books.db"), schema, fixture::booksRows(60));
    const DbLayout b = fixture::layoutOf(dir.file("books.db"));
    fixture::patchBytes(dir.file("books.db"), b.recordOffset(1, 2) + 271,
                        {0x7F, 0xF8, 0, 0, 0, 0, 0, 1});  // PAID: a NaN
    const auto books = fixture::rowTexts(schema, fixture::readTable(dir.file("books.db")));
    EXPECT_EQ(tutil::rebuildTable(fixture::rebuildRequest(dir.str(), "books"), {}).problems, 0u);
    EXPECT_EQ(fixture::rowTexts(schema, fixture::readTable(dir.file("books.db"))), books);
}

TEST_F(Rebuild, MissingOrDamagedIndexIsRebuilt) {
    makeSeries(150);
    fs::remove(px());
    rebuild();
    EXPECT_EQ(rebuiltRows(), original);

    fixture::writeBytes(px(), std::vector<std::uint8_t>(3000, 0xEE));
    rebuild();
    EXPECT_EQ(rebuiltRows(), original);
}

TEST_F(Rebuild, MissingMemoFileBlanksLongMemosAndReportsTheirRows) {
    makeSeries(50);
    fs::remove(mb());
    const auto result = rebuild();
    const auto rebuilt = fixture::readTable(db());
    const auto problems = sideTable("PROBLEMS.DB");
    ASSERT_EQ(rebuilt.size(), original.size());
    std::size_t longMemos = 0;
    const auto before = fixture::seriesRows(50);
    for (std::size_t i = 0; i < before.size(); ++i) {
        const auto& note = before[i][3];
        const bool stored = note.isText() && note.asText().size() > 10;
        if (!stored) {
            EXPECT_EQ(fixture::rowText(schema, rebuilt[i]), original[i]);
            continue;
        }
        ++longMemos;
        EXPECT_TRUE(rebuilt[i][3].isNull() || rebuilt[i][3].asText().empty()) << i;
        // The problem row keeps the text the record itself held.
        const auto match =
            std::find_if(problems.begin(), problems.end(),
                         [&](const paradox::Row& p) { return p[0] == rebuilt[i][0]; });
        ASSERT_NE(match, problems.end()) << i;
        EXPECT_EQ((*match)[3].asText(), note.asText().substr(0, 10));
    }
    EXPECT_EQ(result.problems, longMemos);
    EXPECT_EQ(problems.size(), longMemos);
    rebuiltRows();
}

TEST_F(Rebuild, DamagedMemoBlockAffectsOnlyItsRows) {
    makeSeries(50);
    // Zero the memo file's second block (the first block of values).
    auto bytes = fixture::readBytes(mb());
    std::fill(bytes.begin() + 4096, bytes.begin() + 8192, 0x00);
    fixture::writeBytes(mb(), bytes);
    const auto result = rebuild();
    const auto rows = rebuiltRows();
    EXPECT_EQ(rows.size(), original.size());
    EXPECT_GT(result.problems, 0u);
    std::size_t unchanged = 0;
    for (const auto& row : original) unchanged += contains(rows, row);
    EXPECT_EQ(unchanged + result.problems, original.size());
}

TEST_F(Rebuild, RepeatedKeysGoToTheKeyViolationTable) {
    makeSeries(40);
    const DbLayout l = fixture::layoutOf(db());
    // Give record 6 of block 1 the key of record 5.
    const auto bytes = fixture::readBytes(db());
    const auto key =
        std::vector<std::uint8_t>(bytes.begin() + std::ptrdiff_t(l.recordOffset(1, 4)),
                                  bytes.begin() + std::ptrdiff_t(l.recordOffset(1, 4) + 94));
    fixture::patchBytes(db(), l.recordOffset(1, 5), key);
    const auto result = rebuild();
    const auto rows = rebuiltRows();
    const auto violations = sideTable("KEYVIOL.DB");
    EXPECT_EQ(result.keyViolations, 1u);
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_EQ(rows.size(), original.size() - 1);
    EXPECT_EQ(violations[0][0], fixture::readTable(db())[4][0]);
    // The repeated row keeps its own values after the key.
    auto afterKey = [](const std::string& row) {
        std::size_t at = 0;
        for (int i = 0; i < 3; ++i) at = row.find('\t', at) + 1;
        return row.substr(at);
    };
    EXPECT_EQ(afterKey(fixture::rowText(schema, violations[0])), afterKey(original[5]));
    // A second rebuild's key violations do not overwrite the first ones.
    rebuild();
    EXPECT_TRUE(fs::exists(dir.file("KEYVIOL.DB")));
}

// Rows are read from a mapping of the files, which a writer cutting the
// file short would turn into a crash: a full verification takes the lock the
// engine holds while a table is open, as the rebuild does.
TEST_F(Rebuild, AFullVerificationOfATableOpenInTheEngineIsRefused) {
    makeSeries(20);
    auto open = paradox::Table::open(db());
    std::vector<std::string> findings;
    try {
        tutil::verifyTable(dir.file("series"), false, findings);
        ADD_FAILURE() << "the verification read a table open in the engine";
    } catch (const tutil::TableError& e) {
        EXPECT_EQ(e.code, TU_ERR_IO);
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
    EXPECT_EQ(tutil::verifyTable(dir.file("series"), true, findings), TU_LEVEL_HEALTHY);
    open.reset();
    EXPECT_EQ(tutil::verifyTable(dir.file("series"), false, findings), TU_LEVEL_HEALTHY);
}

TEST_F(Rebuild, FailureLeavesTheOriginalAsItWas) {
    makeSeries(100);
    // Make record 2 a repeated key, so the key-violation table is needed,
    // and put that table in a directory that does not exist.
    const auto bytes = fixture::readBytes(db());
    const DbLayout l = fixture::layoutOf(db());
    fixture::patchBytes(
        db(), l.recordOffset(1, 1),
        std::vector<std::uint8_t>(bytes.begin() + std::ptrdiff_t(l.recordOffset(1, 0)),
                                  bytes.begin() + std::ptrdiff_t(l.recordOffset(1, 0) + 94)));
    const auto damaged = fixture::readBytes(db());
    tutil::RebuildRequest request = fixture::rebuildRequest(dir.str(), "series");
    request.keyViolations = dir.file("missing/KEYVIOL");
    EXPECT_THROW(tutil::rebuildTable(request, {}), tutil::TableError);
    EXPECT_EQ(fixture::readBytes(db()), damaged);
    for (const auto& entry : fs::directory_iterator(dir.str()))
        EXPECT_EQ(entry.path().filename().string().rfind("_rb_", 0), std::string::npos)
            << entry.path();
    EXPECT_FALSE(fs::exists(dir.file("series__.DB")));
}

// A disk that fills up while the rebuilt files are written (here a file
// size limit, which fails writes the same way): a clear error, the work
// files gone, the original untouched.
TEST_F(Rebuild, AWriteFailureIsReportedAndLeavesTheOriginal) {
    makeSeries(400);
    ASSERT_GT(fs::file_size(mb()), std::uintmax_t{256} << 10);
    const auto before = fixture::readBytes(db());
    const auto memoBefore = fixture::readBytes(mb());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256 << 10, 256 << 10};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            rebuild();
        } catch (const tutil::TableError& e) {
            const std::string what = e.what();
            _exit(e.code == TU_ERR_IO && what.find("Cannot write") != std::string::npos &&
                          what.find("File too large") != std::string::npos
                      ? 0
                      : 2);
        }
        _exit(1);  // the rebuild claimed success
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error raised, 2: not the write error";
    EXPECT_EQ(fixture::readBytes(db()), before);
    EXPECT_EQ(fixture::readBytes(mb()), memoBefore);
    for (const auto& entry : fs::directory_iterator(dir.str()))
        EXPECT_EQ(entry.path().filename().string().rfind("_rb_", 0), std::string::npos)
            << entry.path();
    EXPECT_FALSE(fs::exists(dir.file("series__.DB")));
    EXPECT_EQ(fixture::rowTexts(schema, fixture::readTable(db())), original);
}

TEST_F(Rebuild, DescriptionOfAnotherStructureIsRefused) {
    makeSeries(10);
    tutil::RebuildRequest request = fixture::rebuildRequest(dir.str(), "series");
    request.fields.pop_back();
    try {
        tutil::rebuildTable(request, {});
        FAIL() << "no error";
    } catch (const tutil::TableError& e) {
        EXPECT_EQ(e.code, TU_ERR_DESCRIPTION);
    }
    EXPECT_EQ(fixture::rowTexts(schema, fixture::readTable(db())), original);
}

// A field descriptor damaged beyond reading (an unknown type code, a wrong
// text size, a wrong field count) is rebuilt from the structure the caller
// knows the table to have, when the stored field names agree with it; with
// no known structure, or another one, the table is refused as it was.
TEST_F(Rebuild, ADamagedDescriptorIsRebuiltFromTheKnownStructureOnly) {
    makeSeries(120);
    const tutil::RebuildRequest known = fixture::rebuildRequest(dir.str(), "series");
    const auto healthy = fixture::readBytes(db());
    const std::pair<std::size_t, std::uint8_t> damages[] = {
        {0x78 + 2 * 1, 0x33},    // type code of PUBLISHER
        {0x78 + 2 * 0 + 1, 59},  // size of SERIES
        {0x21, 8},               // field count
    };
    for (const auto& [offset, byte] : damages) {
        fixture::writeBytes(db(), healthy);
        fixture::patchBytes(db(), offset, {byte});
        tutil::RebuildRequest unknown = known, other = known;
        unknown.fields.clear();
        other.fields.pop_back();
        for (const auto* request : {&unknown, &other})
            EXPECT_THROW(tutil::rebuildTable(*request, {}), tutil::TableError) << offset;
        tutil::rebuildTable(known, {});
        EXPECT_EQ(rebuiltRows(), original) << offset;
        fs::remove(dir.file("series__.DB"));
    }
}

// Every header the engine opens, the rebuild takes: a table at each file
// version (levels 3, 4, 5 and 7), with headers of every size class the
// engine accepts (any multiple of 0x200 that holds the header: the smallest,
// 0x400, 0x600, 0x800 and beyond), written by the engine's header writer over
// a healthy table's blocks.  The rebuilt table keeps its version and reads
// the same in the engine and in pxlib.
TEST_F(Rebuild, EveryFileVersionAndHeaderSizeTheEngineOpensIsRebuilt) {
    makeSeries(120);
    std::map<std::string, std::vector<std::uint8_t>> healthy;
    for (const std::string& file : {db(), mb(), px()}) healthy[file] = fixture::readBytes(file);
    const std::size_t sizes[] = {0, 0x600, 0x400, 0x800, 0x1000};
    for (std::uint8_t version = 3; version <= 12; ++version) {
        const std::size_t size = sizes[version % std::size(sizes)];
        for (const auto& [file, bytes] : healthy) fixture::writeBytes(file, bytes);
        const std::size_t written = fixture::rewriteHeaders(db(), px(), version, size);
        SCOPED_TRACE("version " + std::to_string(version) + ", header size " +
                     std::to_string(written));
        ASSERT_EQ(fixture::rowTexts(schema, fixture::readTable(db())), original);

        rebuild();
        EXPECT_EQ(rebuiltRows(), original);
        EXPECT_EQ(fixture::readBytes(db()).at(0x39), version);
        fs::remove(dir.file("series__.DB"));
    }
}

// One header rule: damage the engine finds in a header, the rebuild reports
// in the engine's words, and leaves the table as it was.
TEST_F(Rebuild, HeaderDamageIsReportedAsTheEngineReportsIt) {
    makeSeries(20);
    const auto healthy = fixture::readBytes(db());
    tutil::RebuildRequest request = fixture::rebuildRequest(dir.str(), "series");
    request.fields.clear();  // no known structure to stand in
    const std::pair<std::size_t, std::vector<std::uint8_t>> damages[] = {
        {0x00, {0x10, 0x00}},  // record size
        {0x02, {0x00, 0x01}},  // header size
        {0x04, {5}},           // file type
        {0x05, {7}},           // block size code
        {0x21, {0, 0}},        // field count
        {0x23, {0, 0}},        // key field count of a keyed table
        {0x39, {2}},           // file version
        {0x78 + 2, {0x33}},    // type code of PUBLISHER
    };
    for (const auto& [offset, bytes] : damages) {
        fixture::writeBytes(db(), healthy);
        fixture::patchBytes(db(), offset, bytes);
        std::string engineReport;
        try {
            paradox::Table::open(db());
        } catch (const paradox::ETableDamaged& e) {
            engineReport = e.fault();  // without the advice to rebuild
        }
        ASSERT_FALSE(engineReport.empty()) << offset;
        try {
            tutil::rebuildTable(request, {});
            ADD_FAILURE() << "rebuilt despite damage at " << offset;
        } catch (const tutil::TableError& e) {
            EXPECT_EQ(e.code, TU_ERR_DAMAGED) << offset;
            EXPECT_EQ(e.what(), engineReport);
        }
        auto expected = healthy;
        std::copy(bytes.begin(), bytes.end(), expected.begin() + std::ptrdiff_t(offset));
        EXPECT_EQ(fixture::readBytes(db()), expected) << offset;
    }
}

// The rebuild reads the files through windows it lets go of as it moves on:
// a table of several windows (of blocks and of rows) comes back row for row.
TEST_F(Rebuild, BooksTableWithMoneyAndTwoMemosRoundTrips) {
    schema = fixture::booksSchema();
    paradox::Table::create(dir.file("books.db"), schema);
    {
        auto table = paradox::Table::open(dir.file("books.db"));
        table->beginBatch();  // one change, not 9,000
        for (const auto& row : fixture::booksRows(9000)) table->insert(row);
        table->commitBatch();
    }
    const auto before = fixture::rowTexts(schema, fixture::readTable(dir.file("books.db")));
    tutil::rebuildTable(fixture::rebuildRequest(dir.str(), "books"), {});
    const auto after = fixture::rowTexts(schema, fixture::readTable(dir.file("books.db")));
    EXPECT_EQ(after, before);
    EXPECT_EQ(fixture::pxlibRows(dir.file("books.db"), dir.file("books.mb"), dir.file("books.px")),
              after);
}

// Memo values are written out in large pieces: a file many times the size
// of a piece, with values bigger than one piece between small ones, must
// come back byte for byte.
TEST_F(Rebuild, MemoFileManyTimesTheWriteSizeRoundTrips) {
    // Text that differs at every position, so a shifted value shows.
    auto text = [](int row, std::size_t size) {
        std::string t = "ROW " + std::to_string(row) + ":";
        std::uint32_t x = 2654435761u * std::uint32_t(row + 1);
        while (t.size() < size) {
            x = x * 1103515245u + 12345u;
            t.push_back(char('A' + (x >> 16) % 26));
        }
        return t;
    };
    std::vector<paradox::Row> rows = fixture::seriesRows(240);
    for (int i = 0; i < int(rows.size()); ++i) {
        const std::size_t size = i % 60 == 7  ? (5u << 20) + std::size_t(i)  // over one piece
                                 : i % 3 == 0 ? 100 + std::size_t(i)         // suballocated
                                              : 3000 + std::size_t(i);       // a run of its own
        rows[std::size_t(i)][3] = paradox::Value::text(text(i, size));
    }
    fixture::createTable(db(), schema, rows);
    original = fixture::rowTexts(schema, fixture::readTable(db()));

    rebuild();
    EXPECT_GT(fs::file_size(mb()), std::uintmax_t{20} << 20);
    EXPECT_EQ(rebuiltRows(), original);
}

// Randomly damaged copies of both tables, single bytes and runs of bytes
// anywhere in the data blocks: every row that pxlib still reads as it was
// written, the rebuilt table holds too.  PKEEP_DAMAGED_COPIES sets the number
// of copies of each table for a longer run by hand.
class RandomDamage : public ::testing::Test {
protected:
    struct Totals {
        int copies = 0, fewer = 0, more = 0, failed = 0;
        std::size_t rebuilt = 0, pxlib = 0;
    };

    // Rows of `rows` that are rows of `original`, each original row once.
    static std::size_t intact(const std::vector<std::string>& original,
                              const std::vector<std::string>& rows) {
        std::map<std::string, int> left;
        for (const auto& row : original) ++left[row];
        std::size_t n = 0;
        for (const auto& row : rows)
            if (auto it = left.find(row); it != left.end() && it->second > 0) --it->second, ++n;
        return n;
    }

    // Overwrites one byte, or a run of up to 40, inside the data blocks.
    static std::string damage(const std::string& db, std::mt19937& random, bool run) {
        auto bytes = fixture::readBytes(db);
        const DbLayout l = fixture::layoutOf(db);
        const std::size_t length = run ? 2 + random() % 39 : 1;
        const std::size_t at = l.headerSize + random() % (bytes.size() - l.headerSize - length);
        for (std::size_t i = 0; i < length; ++i)
            bytes[at + i] =
                run ? std::uint8_t(random()) : std::uint8_t(bytes[at] ^ (1 + random() % 255));
        fixture::writeBytes(db, bytes);
        const std::size_t inBlock = (at - l.headerSize) % l.blockSize;
        return std::to_string(length) + " bytes at block " +
               std::to_string((at - l.headerSize) / l.blockSize + 1) + " byte " +
               std::to_string(inBlock) +
               (inBlock < 6
                    ? ""
                    : " (record byte " + std::to_string((inBlock - 6) % l.recordSize) + ")");
    }

    void damageCopies(const std::string& name, const paradox::TableSchema& schema,
                      const std::vector<paradox::Row>& rows, int copies, std::uint32_t seed) {
        const std::string healthy = dir.file("healthy");
        fs::create_directory(healthy);
        fixture::createTable(healthy + "/" + name + ".db", schema, rows);
        const auto original =
            fixture::rowTexts(schema, fixture::readTable(healthy + "/" + name + ".db"));
        std::mt19937 random(seed);
        for (int copy = 0; copy < copies; ++copy) {
            const std::string folder = dir.file(name + std::to_string(copy));
            fs::create_directory(folder);
            for (const char* ext : {".db", ".px", ".mb"})
                fs::copy_file(healthy + "/" + name + ext, folder + "/" + name + ext);
            const std::string db = folder + "/" + name + ".db";
            const std::string what = damage(db, random, copy % 2 == 1);
            const std::size_t byPxlib =
                intact(original, fixture::pxlibReadableRows(db, folder + "/" + name + ".mb"));
            std::size_t byRebuild = 0;
            try {
                tutil::rebuildTable(fixture::rebuildRequest(folder, name), {});
                byRebuild = intact(original, fixture::rowTexts(schema, fixture::readTable(db)));
            } catch (const std::exception& e) {
                ++totals.failed;
                std::cout << name << " copy " << copy << " (" << what << "): " << e.what() << "\n";
            }
            EXPECT_GE(byRebuild, byPxlib) << name << " copy " << copy << ": " << what;
            ++totals.copies;
            totals.fewer += byRebuild < byPxlib;
            totals.more += byRebuild > byPxlib;
            totals.rebuilt += byRebuild;
            totals.pxlib += byPxlib;
            fs::remove_all(folder);
        }
    }

    TestDir dir;
    Totals totals;
};

TEST_F(RandomDamage, TheRebuildKeepsEveryRowPxlibReadsIntact) {
    const char* setting = std::getenv("PKEEP_DAMAGED_COPIES");
    const int copies = setting ? std::atoi(setting) : 20;
    damageCopies("series", fixture::seriesSchema(), fixture::seriesRows(150), copies, 22);
    damageCopies("books", fixture::booksSchema(), fixture::booksRows(300), copies, 23);
    std::cout << totals.copies << " damaged copies: the rebuild kept " << totals.rebuilt
              << " intact rows, pxlib read " << totals.pxlib << "; the rebuild kept fewer in "
              << totals.fewer << ", more in " << totals.more << ", failed in " << totals.failed
              << "\n";
}

}  // namespace
