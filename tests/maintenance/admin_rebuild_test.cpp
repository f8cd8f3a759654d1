// pkeep-admin rebuild as a user scripts it: the real program on a real
// collection made by pkeep-admin itself, its output, its exit status and
// what it leaves in the collection directory.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

#include "platform/paradox/errors.h"
#include "platform/paradox/table.h"
#include "store/book_extras.h"
#include "tests/platform/tutil/fixture.h"
#include "tests/tools/admin_support.h"

namespace {

const char* const kBackups[] = {"series__.DB", "series__.MB", "series__.PX",
                                "books__.DB",  "books__.MB",  "books__.PX"};

class AdminRebuild : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(admin({"init"}).status, 0);
        const AdminResult demo = admin({"demo", "--series", "30", "--books", "600"});
        ASSERT_EQ(demo.status, 0) << demo.err.toStdString();
        series = rows("series.db", fixture::seriesSchema());
        books = rows("books.db", fixture::booksSchema());
        ASSERT_EQ(series.size(), 30u);
        ASSERT_EQ(books.size(), 600u);
    }

    QString collection() const { return dir.path() + "/collection"; }
    std::string file(const char* name) const { return (collection() + "/" + name).toStdString(); }
    AdminResult admin(const QStringList& args) { return runAdmin(collection(), args); }
    // Runs the tool from the directory above the collection, with `extra`
    // in its environment.
    AdminResult adminElsewhere(const QStringList& args, const QStringList& extra = {}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PKEEP_DIR", collection());
        for (const QString& setting : extra)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(PKEEP_ADMIN, args);
        process.waitForFinished(120000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    std::vector<std::string> rows(const char* table, const paradox::TableSchema& schema) {
        return fixture::rowTexts(schema, fixture::readTable(file(table)));
    }
    static QStringList lines(const QString& text) {
        return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool exists(const char* name) const { return QFileInfo::exists(collection() + "/" + name); }
    // An empty books table in blocks of `kib` KiB in place of the collection's.
    void recreateBooks(int kib) {
        paradox::Table::remove(file("books.db"));
        paradox::Table::create(file("books.db"), fixture::booksSchema(), {0, kib});
    }

    TestDir dir;
    std::vector<std::string> series, books;
};

TEST_F(AdminRebuild, RebuildsBothTablesReportsProgressAndDeletesTheBackups) {
    const AdminResult result = admin({"rebuild"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();

    // Each table: its heading, percent lines rising to 100, its completion.
    const QStringList out = lines(result.out);
    const qsizetype seriesAt = out.indexOf("Rebuilding the Series Database");
    const qsizetype seriesDone = out.indexOf("Series Rebuild Complete");
    const qsizetype booksAt = out.indexOf("Rebuilding the Books Database");
    const qsizetype booksDone = out.indexOf("Books Rebuild Complete");
    ASSERT_EQ(seriesAt, 0) << result.out.toStdString();
    ASSERT_LT(seriesAt, seriesDone);
    ASSERT_LT(seriesDone, booksAt);
    ASSERT_LT(booksAt, booksDone);
    EXPECT_EQ(booksDone, out.size() - 1);
    for (const auto& [from, to] : {std::pair{seriesAt, seriesDone}, {booksAt, booksDone}}) {
        int last = -1;
        for (qsizetype i = from + 1; i < to; ++i) {
            ASSERT_TRUE(out[i].startsWith("  ") && out[i].endsWith('%')) << out[i].toStdString();
            const int percent = out[i].trimmed().chopped(1).toInt();
            EXPECT_GT(percent, last);
            last = percent;
        }
        EXPECT_EQ(last, 100);
    }

    for (const char* backup : kBackups) EXPECT_FALSE(exists(backup)) << backup;
    EXPECT_FALSE(exists("KEYVIOL.DB"));
    EXPECT_FALSE(exists("PROBLEMS.DB"));
    EXPECT_EQ(rows("series.db", fixture::seriesSchema()), series);
    EXPECT_EQ(rows("books.db", fixture::booksSchema()), books);
    EXPECT_EQ(fixture::pxlibRows(file("books.db"), file("books.mb"), file("books.px")), books);
}

// A collection with book extras gets its extras table rebuilt after the
// books, with every row (dates and notes included) and its block size kept.
TEST_F(AdminRebuild, TheExtrasTableIsRebuiltAfterTheBooks) {
    {
        store::BookExtrasStore extras(collection());
        auto booksTable = paradox::Table::open(file("books.db"));
        for (std::size_t i = 0; i < booksTable->rowCount(); i += 7) {
            store::BookExtras values;
            values.grade = "9.4";
            values.bought = QDate(2001, 1, 1).addDays(qint64(i));
            values.source = QString("stall %1").arg(i);
            extras.write(store::BookKey::OfRow(booksTable->row(i)), values);
        }
    }
    // A deleted row leaves room that the rebuild packs away.
    paradox::Table::open(file("extras.db"))->erase(3);
    const std::vector<std::string> before = rows("extras.db", store::ExtrasSchema());
    ASSERT_EQ(before.size(), 85u);

    const AdminResult result = admin({"rebuild"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    const QStringList out = lines(result.out);
    const qsizetype booksDone = out.indexOf("Books Rebuild Complete");
    const qsizetype extrasAt = out.indexOf("Rebuilding the Book Extras");
    ASSERT_GT(extrasAt, booksDone) << result.out.toStdString();
    EXPECT_EQ(out.indexOf("Extras Rebuild Complete"), out.size() - 1);
    EXPECT_EQ(rows("extras.db", store::ExtrasSchema()), before);
    EXPECT_EQ(fixture::pxlibRows(file("extras.db"), file("extras.mb"), file("extras.px")).size(),
              85u);
    EXPECT_EQ(paradox::Table::open(file("extras.db"))->blockSizeKiB(), 16);
    for (const char* backup : {"extras__.DB", "extras__.MB", "extras__.PX"})
        EXPECT_FALSE(exists(backup)) << backup;
}

TEST_F(AdminRebuild, DamagedRowsAreReportedAndSavedBesideTheRebuiltTable) {
    // Garbage over the second record of the books table's first block: the
    // row cannot be read, every other row must survive.
    const fixture::DbLayout layout = fixture::layoutOf(file("books.db"));
    fixture::patchBytes(file("books.db"), layout.recordOffset(1, 1),
                        std::vector<std::uint8_t>(layout.recordSize, 0xFF));

    const AdminResult result = admin({"rebuild"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains("damaged row saved in")) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains("Books Rebuild Complete"));
    EXPECT_TRUE(exists("PROBLEMS.DB"));
    // The damaged original is kept: it may hold more than the rebuild could
    // read.  The healthy series table's backups go.
    EXPECT_TRUE(result.out.contains("The original files are kept as books__.DB"))
        << result.out.toStdString();
    for (const char* backup : {"books__.DB", "books__.MB", "books__.PX"})
        EXPECT_TRUE(exists(backup)) << backup;
    for (const char* backup : {"series__.DB", "series__.MB", "series__.PX"})
        EXPECT_FALSE(exists(backup)) << backup;

    const std::vector<std::string> rebuilt = rows("books.db", fixture::booksSchema());
    EXPECT_EQ(rebuilt.size(), books.size() - 1);
    for (const std::string& row : rebuilt)
        EXPECT_NE(std::find(books.begin(), books.end(), row), books.end()) << row;
}

TEST_F(AdminRebuild, ALockedTableFailsWithItsMessageAndKeepsEverything) {
    // Backups left by an earlier, interrupted maintenance run: a failed
    // rebuild must not delete them.
    for (const char* ext : {".DB", ".MB", ".PX"}) {
        const QString name = collection() + "/books__" + ext;
        ASSERT_TRUE(QFile::copy(collection() + "/books" + QString(ext).toLower(), name));
    }
    const auto before = fixture::readBytes(file("books.db"));
    AdminResult result;
    {
        // The program holds the books table open.
        const auto open = paradox::Table::open(file("books.db"));
        result = admin({"rebuild"});
    }
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.contains("Series Rebuild Complete"));
    EXPECT_FALSE(result.out.contains("Books Rebuild Complete"));
    EXPECT_TRUE(result.err.contains("in use")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Trying TURebuildTable")) << result.err.toStdString();
    EXPECT_FALSE(result.err.contains('\r')) << "a raw CR reaches the terminal";

    EXPECT_EQ(fixture::readBytes(file("books.db")), before);
    EXPECT_EQ(rows("books.db", fixture::booksSchema()), books);
    for (const char* backup : {"books__.DB", "books__.MB", "books__.PX"})
        EXPECT_TRUE(exists(backup)) << backup;
}

TEST_F(AdminRebuild, AnUnreadableTableFailsAndIsLeftAsItWas) {
    // A books table whose header no longer says where its records start
    // (a descriptor the known structure cannot stand in for).
    fixture::patchBytes(file("books.db"), 0x02, {0x00, 0x01});  // header size
    const auto damaged = fixture::readBytes(file("books.db"));
    const auto memo = fixture::readBytes(file("books.mb"));

    const AdminResult result = admin({"rebuild"});
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(result.out.contains("Books Rebuild Complete"));
    EXPECT_TRUE(result.err.contains("books")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("damaged")) << result.err.toStdString();
    EXPECT_EQ(fixture::readBytes(file("books.db")), damaged);
    EXPECT_EQ(fixture::readBytes(file("books.mb")), memo);
    EXPECT_TRUE(exists("books.px"));
    EXPECT_EQ(rows("series.db", fixture::seriesSchema()), series);
}

// One byte after the NUL that ends a text: every reader reads the row as it
// was, so the rebuild keeps it, in the series table (where the text is part
// of the key) and in the books table.
TEST_F(AdminRebuild, AStrayByteAfterATextKeepsTheRow) {
    const fixture::DbLayout seriesLayout = fixture::layoutOf(file("series.db"));
    const fixture::DbLayout booksLayout = fixture::layoutOf(file("books.db"));
    // (Not in a block's first record, whose key the index repeats.)
    fixture::patchBytes(file("series.db"), seriesLayout.recordOffset(1, 1) + 59, {'X'});  // SERIES
    fixture::patchBytes(file("books.db"), booksLayout.recordOffset(1, 0) + 29 + 79,
                        {'X'});  // TITLE
    ASSERT_EQ(rows("series.db", fixture::seriesSchema()), series);
    ASSERT_EQ(rows("books.db", fixture::booksSchema()), books);

    const AdminResult result = admin({"rebuild"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_FALSE(exists("PROBLEMS.DB")) << result.out.toStdString();
    EXPECT_EQ(rows("series.db", fixture::seriesSchema()), series);
    EXPECT_EQ(rows("books.db", fixture::booksSchema()), books);
    EXPECT_EQ(fixture::pxlibRows(file("series.db"), file("series.mb"), file("series.px")), series);
}

// A header of 0x400 bytes, which the engine opens, is rebuilt like any other.
TEST_F(AdminRebuild, ATableWithA0x400ByteHeaderIsRebuilt) {
    ASSERT_EQ(fixture::rewriteHeaders(file("series.db"), file("series.px"), 12, 0x400), 0x400u);
    ASSERT_EQ(rows("series.db", fixture::seriesSchema()), series);

    const AdminResult result = admin({"rebuild"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains("Series Rebuild Complete")) << result.out.toStdString();
    EXPECT_EQ(rows("series.db", fixture::seriesSchema()), series);
    EXPECT_EQ(fixture::pxlibRows(file("series.db"), file("series.mb"), file("series.px")), series);
}

// A damaged size byte of a logical field, a damaged password marker or
// field number: the engine refuses the table, and the rebuild must give back
// one it opens.
TEST_F(AdminRebuild, ADamagedFieldDescriptorIsRebuiltSoThatTheTableOpens) {
    const auto header = fixture::readBytes(file("books.db"));
    const std::size_t fieldNumbers = 0x58 + std::size_t(header[0x66] | header[0x67] << 8);
    const struct {
        const char* what;
        std::size_t offset;
        std::uint8_t byte;
    } damages[] = {
        {"size byte of the logical field WANTED", 0x78 + 2 * 13 + 1, 5},
        {"password marker at 0x25", 0x25, 1},
        {"number of the field TITLE", fieldNumbers + 2 * 3, 9},
    };
    for (const auto& damage : damages) {
        fixture::patchBytes(file("books.db"), damage.offset, {damage.byte});
        EXPECT_THROW(paradox::Table::open(file("books.db")), EDatabaseError) << damage.what;

        const AdminResult result = admin({"rebuild"});
        ASSERT_EQ(result.status, 0) << damage.what << ": " << result.err.toStdString();
        EXPECT_EQ(rows("books.db", fixture::booksSchema()), books) << damage.what;
        EXPECT_EQ(fixture::pxlibRows(file("books.db"), file("books.mb"), file("books.px")), books)
            << damage.what;
    }
}

// A descriptor damaged so that no reader can lay out the records: the tool
// knows the books table's structure and rebuilds the descriptor from it.
TEST_F(AdminRebuild, ADescriptorNoReaderCanReadIsRebuiltFromTheBooksStructure) {
    // Each case starts from the healthy files: a rebuild rewrites the memo
    // file too, and the old .db points into the old one.
    std::map<std::string, std::vector<std::uint8_t>> healthy;
    for (const char* name : {"books.db", "books.mb", "books.px"})
        healthy[name] = fixture::readBytes(file(name));
    const struct {
        const char* what;
        std::size_t offset;
        std::uint8_t byte;
    } damages[] = {
        {"type code of TITLE", 0x78 + 2 * 3, 0x33},
        {"size of COMIC_NO", 0x78 + 2 * 1 + 1, 16},
        {"field count", 0x21, 15},
    };
    for (const auto& damage : damages) {
        for (const auto& [name, bytes] : healthy) fixture::writeBytes(file(name.c_str()), bytes);
        fixture::patchBytes(file("books.db"), damage.offset, {damage.byte});
        EXPECT_THROW(paradox::Table::open(file("books.db")), EDatabaseError) << damage.what;

        const AdminResult result = admin({"rebuild"});
        ASSERT_EQ(result.status, 0) << damage.what << ": " << result.err.toStdString();
        EXPECT_TRUE(result.out.contains("rebuilt from the table's known structure"))
            << result.out.toStdString();
        EXPECT_TRUE(result.out.contains("Books Rebuild Complete"));
        EXPECT_EQ(rows("books.db", fixture::booksSchema()), books) << damage.what;
        EXPECT_EQ(fixture::pxlibRows(file("books.db"), file("books.mb"), file("books.px")), books)
            << damage.what;
    }
}

// One flipped byte makes the table look password-protected.  The tool has
// no window to ask in: it says how to give the password and fails.
TEST_F(AdminRebuild, APasswordProtectedTableIsRefusedWithHowToGiveThePassword) {
    fixture::patchBytes(file("books.db"), 0x5C, {0x01});
    const auto damaged = fixture::readBytes(file("books.db"));

    AdminResult result = admin({"rebuild"});
    EXPECT_EQ(result.status, 1) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("books.db is password-protected")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("--password")) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains("Books Rebuild Complete"));

    result = admin({"rebuild", "--password", "secret"});
    EXPECT_EQ(result.status, 1) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("password-protected")) << result.err.toStdString();
    EXPECT_EQ(fixture::readBytes(file("books.db")), damaged);
    for (const char* backup : {"books__.DB", "books__.MB", "books__.PX"})
        EXPECT_FALSE(exists(backup)) << backup;
}

// The tool killed after each rename of its swaps of the two tables, then
// another command run from another directory: it must find the whole table,
// the original or the rebuilt one.
TEST_F(AdminRebuild, KilledAtEveryStepOfTheSwapThenUsedFromAnotherDirectory) {
    ASSERT_EQ(adminElsewhere({"export", dir.path() + "/before"}).status, 0);
    const QByteArray seriesCsv = readAll(dir.path() + "/before/series.csv");
    const QByteArray booksCsv = readAll(dir.path() + "/before/books.csv");
    ASSERT_FALSE(seriesCsv.isEmpty());
    int killed = 0;
    for (int step = 1; step < 30; ++step) {
        const AdminResult rebuild = adminElsewhere(
            {"rebuild"},
            {"LD_PRELOAD=" KILL_AT_RENAME, "PK_KILL_AFTER_RENAME=" + QString::number(step)});
        if (rebuild.status != -1) break;  // it got past its last rename
        ++killed;
        const QString when = QStringLiteral("killed after rename %1").arg(step);
        const QString to = dir.path() + "/after" + QString::number(step);
        const AdminResult exported = adminElsewhere({"export", to});
        ASSERT_EQ(exported.status, 0) << when.toStdString() << ": " << exported.err.toStdString();
        EXPECT_EQ(readAll(to + "/series.csv"), seriesCsv) << when.toStdString();
        EXPECT_EQ(readAll(to + "/books.csv"), booksCsv) << when.toStdString();
        EXPECT_FALSE(exists("series.db-rebuild") || exists("books.db-rebuild"))
            << when.toStdString();
    }
    // Per table: three backups, the journal, three work files.
    EXPECT_GE(killed, 14);
}

// A books table of `blocks` full blocks in place of books.db: keys in order
// (ENTRY = block number, COMIC_NO = slot), amounts 2.5, the rest blank, written
// block by block as the format lays them out.  The index is left out: the
// rebuild writes a new one.
void writeLargeBooks(const std::string& db, std::uint16_t blocks) {
    const fixture::DbLayout layout = fixture::layoutOf(db);
    std::vector<std::uint8_t> header = fixture::readBytes(db);
    header.resize(layout.headerSize);
    const std::size_t perBlock = (layout.blockSize - 6) / layout.recordSize;
    auto put16 = [](std::uint8_t* p, unsigned v) {
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
    };
    const std::uint32_t records = std::uint32_t(blocks * perBlock);
    for (int i = 0; i < 4; ++i) header[0x06 + i] = std::uint8_t(records >> (8 * i));
    for (std::size_t at : {0x0A, 0x0C, 0x10, 0x3A}) put16(&header[at], blocks);
    put16(&header[0x0E], 1);
    put16(&header[0x4D], 0);
    std::ofstream out(db, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    std::vector<std::uint8_t> block(layout.blockSize);
    for (unsigned b = 1; b <= blocks; ++b) {
        std::fill(block.begin(), block.end(), 0);
        put16(&block[0], b < blocks ? b + 1 : 0);
        put16(&block[2], b - 1);
        put16(&block[4], unsigned((perBlock - 1) * layout.recordSize));
        for (std::size_t slot = 0; slot < perBlock; ++slot) {
            std::uint8_t* record = &block[6 + slot * layout.recordSize];
            const std::uint32_t entry = b ^ 0x80000000u;  // sortable Long, big-endian
            for (int i = 0; i < 4; ++i) record[i] = std::uint8_t(entry >> (24 - 8 * i));
            char comicNo[16];
            std::snprintf(comicNo, sizeof comicNo, "%15u", unsigned(slot + 1));
            std::memcpy(record + 4, comicNo, 15);
            // PAID, LOW, HIGH 2.5 (a sortable double, big-endian): pxlib
            // reads a blank amount as 0.
            for (std::size_t money : {271, 279, 287})
                record[money] = 0xC0, record[money + 1] = 0x04;
        }
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size()));
    }
}

// Past 32,767 blocks an index entry's block number no longer fits a signed
// Short: the rebuilt index must still lead every reader to every block.
TEST_F(AdminRebuild, ABooksTablePast32767BlocksGetsAnIndexEveryReaderFollows) {
    constexpr std::uint16_t kBlocks = 32769;  // block 32768 is the first beyond
    recreateBooks(4);                         // 12 books to a block
    writeLargeBooks(file("books.db"), kBlocks);
    ASSERT_TRUE(QFile::remove(collection() + "/books.px"));

    const AdminResult result = admin({"rebuild"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    // pxlib reads the rebuilt .db; its reader of the index knows two levels
    // only, and this index has three.
    constexpr int kEvery = 997;
    const std::vector<std::string> read =
        fixture::pxlibRows(file("books.db"), file("books.mb"), {}, kEvery);
    const auto table = paradox::Table::open(file("books.db"));
    ASSERT_EQ(table->rowCount(), std::size_t(kBlocks) * 12);
    ASSERT_EQ(read.size(), table->rowCount());
    for (std::size_t i = 0; i < read.size(); i += kEvery)
        ASSERT_EQ(fixture::rowText(fixture::booksSchema(), table->row(i)), read[i]) << i;
    EXPECT_EQ(fixture::rowText(fixture::booksSchema(), table->row(read.size() - 1)), read.back());
    EXPECT_TRUE(read.back().starts_with("32769\t             12\t")) << read.back();
}

// 322-byte books in 1 KiB blocks, 3 to a block: 90 % of 65,535 blocks is
// 58,981.5, so the 58,982nd block in use brings the warning.
TEST_F(AdminRebuild, ABooksTableNinetyPercentFullIsWarnedOfWithTheCommandThatGivesItRoom) {
    EXPECT_NE(admin({"rebuild", "--block-size", "3"}).status, 0);  // no such size
    recreateBooks(1);
    for (std::uint16_t blocks : {58981, 58982}) {
        writeLargeBooks(file("books.db"), blocks);
        QFile::remove(collection() + "/books.px");
        const AdminResult result = admin({"rebuild"});
        ASSERT_EQ(result.status, 0) << result.err.toStdString();
        EXPECT_EQ(result.out.contains("Warning"), blocks == 58982) << result.out.toStdString();
        if (blocks == 58982) {
            EXPECT_EQ(lines(result.out).back().toStdString(),
                      "Warning: The books table is 90 % full: 58,982 of its 65,535 blocks of 1 KiB "
                      "are in use. Rebuild it into larger blocks before it fills: pkeep-admin "
                      "rebuild --block-size 2 (or File, Rebuild Files with blocks of 2 KiB).");
        }
    }
}

// A books table full at 65,535 blocks of 1 KiB refuses a book; rebuilt into
// 2 KiB blocks, as the warning says, every book is there for pxlib, row for
// row, and the table takes more books than the old blocks could hold.
TEST_F(AdminRebuild, AFullBooksTableRebuiltIntoLargerBlocksKeepsEveryBookAndTakesMore) {
    recreateBooks(1);
    writeLargeBooks(file("books.db"), 65535);
    QFile::remove(collection() + "/books.px");
    ASSERT_EQ(admin({"rebuild"}).status, 0);  // writes the index
    std::vector<std::string> before;
    paradox::Row extra;
    {
        const auto table = paradox::Table::open(file("books.db"));
        ASSERT_EQ(table->rowCount(), 3u * 65535);
        before = fixture::rowTexts(fixture::booksSchema(), fixture::readTable(file("books.db")));
        extra = table->row(table->rowCount() - 1);
        extra[1] = paradox::Value::text("             99");
        EXPECT_THROW(table->insert(extra), paradox::ETableFull);
    }

    const AdminResult result = admin({"rebuild", "--block-size", "2"});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains("Warning")) << result.out.toStdString();
    const fixture::DbLayout layout = fixture::layoutOf(file("books.db"));
    EXPECT_EQ(layout.blockSize, 2048u);
    EXPECT_EQ(layout.fileBlocks, 32768u);  // 196,605 books, 6 to a block
    // pxlib's reader of the index knows two levels only, and this one has three.
    EXPECT_EQ(fixture::pxlibRows(file("books.db"), file("books.mb")), before);
    const auto table = paradox::Table::open(file("books.db"));
    table->insert(extra);
    table->saveChanges();
    EXPECT_EQ(table->rowCount(), 3u * 65535 + 1);
}

}  // namespace
