// pkeep-admin as a user runs it: init, demo, export, import and their
// failures.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <set>

#include "platform/paradox/table.h"
#include "tests/insight/small_collection.h"
#include "tests/tools/admin_support.h"

namespace {

class AdminTest : public ::testing::Test {
protected:
    QString collection() const { return dir.path() + "/collection"; }
    AdminResult admin(const QStringList& args) { return runAdmin(collection(), args); }
    std::shared_ptr<paradox::Table> table(const char* name) {
        return paradox::Table::open((collection() + "/" + name).toStdString());
    }
    TestDir dir;
};

TEST_F(AdminTest, HelpAndUnknownCommands) {
    AdminResult help = admin({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"init", "demo", "export", "import"})
        EXPECT_TRUE(help.out.contains(command)) << command;
    // No usage runs into its summary (as "--list" into "Record a report" did).
    EXPECT_FALSE(help.out.contains(QRegularExpression("--[a-z]+[A-Z]"))) << help.out.toStdString();
    EXPECT_EQ(admin({}).status, 2);
    AdminResult unknown = admin({"frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains("unknown command 'frobnicate'"));
    AdminResult demoHelp = admin({"demo", "--help"});
    EXPECT_EQ(demoHelp.status, 0);
    EXPECT_TRUE(demoHelp.out.contains("--seed"));
    AdminResult badOption = admin({"demo", "--series", "many"});
    EXPECT_EQ(badOption.status, 2);
    EXPECT_TRUE(badOption.err.contains("--series"));
}

TEST_F(AdminTest, InitCreatesTheCollectionOnceAndRefusesToTouchIt) {
    AdminResult init = admin({"init"});
    ASSERT_EQ(init.status, 0) << init.err.toStdString();
    EXPECT_EQ(init.out.count('\n'), 1);  // one summary line
    for (const char* file :
         {"series.db", "series.px", "series.mb", "books.db", "books.px", "books.mb"})
        EXPECT_TRUE(QFileInfo::exists(collection() + "/" + file)) << file;
    QImage logo(collection() + "/PKEEP20.BMP");
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.size(), QSize(128, 128));
    EXPECT_GT(logo.pixelColor(64, 32).red(), 200);  // the star burst is drawn

    ASSERT_EQ(admin({"demo", "--series", "2", "--books", "3"}).status, 0);
    QByteArray before = readAll(collection() + "/series.db");
    AdminResult again = admin({"init"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains("already exists"));
    EXPECT_EQ(readAll(collection() + "/series.db"), before);
    EXPECT_EQ(table("books.db")->rowCount(), 3u);
}

TEST_F(AdminTest, DemoFillsExactlyAndKeepsTheCollectionsRules) {
    EXPECT_EQ(admin({"demo"}).status, 1);  // no collection yet
    ASSERT_EQ(admin({"init"}).status, 0);
    AdminResult demo = admin({"demo", "--series", "30", "--books", "250", "--seed", "7"});
    ASSERT_EQ(demo.status, 0) << demo.err.toStdString();
    {
        auto series = table("series.db");
        auto books = table("books.db");
        ASSERT_EQ(series->rowCount(), 30u);
        ASSERT_EQ(books->rowCount(), 250u);
        std::map<std::int64_t, std::int64_t> qtySum;
        std::set<int> grades;
        for (std::size_t i = 0; i < books->rowCount(); ++i) {
            const paradox::Row& row = books->row(i);
            qtySum[row[0].asInt()] += row[6].asInt();
            const std::string& number = row[1].asText();
            ASSERT_EQ(number.size(), 15u) << number;
            EXPECT_EQ(number.find_first_not_of(' '), number.find_first_of("0123456789")) << number;
            int perc = static_cast<int>(row[10].asInt());
            EXPECT_EQ(perc % 5, 0);
            EXPECT_TRUE(perc >= 5 && perc <= 100);
            grades.insert(perc);
            EXPECT_GE(row[9].asDouble(), row[8].asDouble());  // high >= low
        }
        EXPECT_GT(grades.size(), 5u);
        // Some notes run to paragraphs, some past 1 KB, as collectors' notes do.
        const auto longest = [](const paradox::Table& t, std::size_t field, std::size_t& lines) {
            std::size_t size = 0;
            for (std::size_t i = 0; i < t.rowCount(); ++i) {
                const paradox::Value& note = t.row(i)[field];
                if (!note.isText()) continue;
                size = std::max(size, note.asText().size());
                lines = std::max<std::size_t>(lines, 1 + std::ranges::count(note.asText(), '\n'));
            }
            return size;
        };
        std::size_t bookLines = 0, seriesLines = 0;
        EXPECT_GT(longest(*books, 11, bookLines), 1024u);
        EXPECT_GE(bookLines, 3u);
        EXPECT_GT(longest(*series, 3, seriesLines), 300u);
        EXPECT_GE(seriesLines, 2u);
        std::int64_t seriesWithBooks = 0;
        for (std::size_t i = 0; i < series->rowCount(); ++i) {
            const paradox::Row& row = series->row(i);
            EXPECT_EQ(row[8].asInt(), qtySum[row[2].asInt()]) << row[0].asText();
            seriesWithBooks += qtySum.count(row[2].asInt());
        }
        EXPECT_EQ(static_cast<std::size_t>(seriesWithBooks), qtySum.size());  // no orphan books
    }  // closed: another process may open the tables now
    AdminResult again = admin({"demo", "--series", "1", "--books", "1"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains("not empty"));
}

// A demo whose books cannot all be written (here: the file size limit stops
// the books table's write) leaves both tables empty, so it can run again.
TEST_F(AdminTest, ADemoThatFailsHalfWayLeavesTheCollectionEmpty) {
    ASSERT_EQ(admin({"init"}).status, 0);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PKEEP_DIR", collection());
    process.setProcessEnvironment(env);
    process.start("bash", {"-c",
                           "trap '' XFSZ; ulimit -f 1024; exec \"$0\" demo --series 60 "
                           "--books 30000",
                           PKEEP_ADMIN});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains("nothing was added"));
    EXPECT_EQ(table("series.db")->rowCount(), 0u);
    EXPECT_EQ(table("books.db")->rowCount(), 0u);
    EXPECT_EQ(admin({"demo", "--series", "2", "--books", "5"}).status, 0);
}

// An import is written in chunks, yet stays all or nothing: a row refused
// after some chunks were written, and a process killed after one (here by
// the signal of the file size limit), both leave the collection empty, the
// killed one from the next start on.
TEST_F(AdminTest, AnImportRefusedOrKilledHalfWayLeavesTheCollectionEmpty) {
    const QString sample = dir.path() + "/sample", csv = dir.path() + "/csv";
    ASSERT_EQ(runAdmin(sample, {"init"}).status, 0);
    ASSERT_EQ(runAdmin(sample, {"demo", "--series", "30", "--books", "35000"}).status, 0);
    ASSERT_EQ(runAdmin(sample, {"export", csv}).status, 0);
    ASSERT_EQ(admin({"init"}).status, 0);
    auto expectEmpty = [this] {
        EXPECT_EQ(table("series.db")->rowCount(), 0u);
        EXPECT_EQ(table("books.db")->rowCount(), 0u);
    };

    // The first book again, last: the engine refuses it as a duplicate.
    const QString refused = dir.path() + "/refused";
    QDir().mkpath(refused);
    QFile::copy(csv + "/series.csv", refused + "/series.csv");
    const QByteArray books = readAll(csv + "/books.csv");
    const qsizetype firstBook = books.indexOf("\r\n") + 2;
    qsizetype keyEnd = firstBook;
    for (int comma = 0; comma < 3; ++comma) keyEnd = books.indexOf(',', keyEnd) + 1;
    writeAll(refused + "/books.csv", books + books.mid(firstBook, keyEnd - firstBook) +
                                         ",,,0,,,,100,,,false,false,false\r\n");
    AdminResult refusal = admin({"import", refused});
    EXPECT_EQ(refusal.status, 1);
    EXPECT_TRUE(refusal.err.contains("nothing was added")) << refusal.err.toStdString();
    expectEmpty();

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PKEEP_DIR", collection());
    process.setProcessEnvironment(env);
    process.start("bash", {"-c", "ulimit -f 8500; exec \"$0\" import \"$1\"", PKEEP_ADMIN, csv});
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitStatus(), QProcess::CrashExit) << process.readAllStandardError().data();
    EXPECT_GT(table("books.db")->rowCount(), 0u);  // a chunk was written before the kill
    ASSERT_EQ(admin({"stats"}).status, 0);
    expectEmpty();

    AdminResult imported = admin({"import", csv});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    ASSERT_EQ(admin({"export", dir.path() + "/back"}).status, 0);
    EXPECT_EQ(readAll(dir.path() + "/back/books.csv"), books);
}

TEST_F(AdminTest, SameSeedSameSampleOtherSeedOtherSample) {
    auto exportOf = [this](const QString& name, const char* seed) {
        QString path = dir.path() + "/" + name;
        runAdmin(path, {"init"});
        runAdmin(path, {"demo", "--series", "12", "--books", "80", "--seed", seed});
        runAdmin(path, {"export", path + "/csv"});
        return readAll(path + "/csv/books.csv") + readAll(path + "/csv/series.csv");
    };
    QByteArray first = exportOf("a", "5");
    EXPECT_GT(first.count("\r\n"), 90);
    EXPECT_EQ(exportOf("b", "5"), first);
    EXPECT_NE(exportOf("c", "6"), first);
}

TEST_F(AdminTest, ExportImportExportIsByteForByteAndEntriesContinue) {
    ASSERT_EQ(admin({"init"}).status, 0);
    ASSERT_EQ(admin({"demo", "--series", "25", "--books", "200", "--seed", "3"}).status, 0);
    {  // drop the newest series: the counter must continue after the highest kept
        auto series = table("series.db");
        auto books = table("books.db");
        for (std::size_t i = series->rowCount(); i-- > 0;)
            if (series->row(i)[2].asInt() == 25) series->erase(i);
        for (std::size_t i = books->rowCount(); i-- > 0;)
            if (books->row(i)[0].asInt() == 25) books->erase(i);
    }
    AdminResult exported = admin({"export", dir.path() + "/one"});
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.out.startsWith("Exported 24 series"));

    QString other = dir.path() + "/other";
    ASSERT_EQ(runAdmin(other, {"init"}).status, 0);
    AdminResult imported = runAdmin(other, {"import", dir.path() + "/one"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.contains("Imported 24 series"));
    ASSERT_EQ(runAdmin(other, {"export", dir.path() + "/two"}).status, 0);
    for (const char* file : {"/series.csv", "/books.csv"})
        EXPECT_EQ(readAll(dir.path() + "/two" + file), readAll(dir.path() + "/one" + file)) << file;

    auto series = paradox::Table::open((other + "/series.db").toStdString());
    std::int64_t highest = 0;
    for (std::size_t i = 0; i < series->rowCount(); ++i)
        highest = std::max(highest, series->row(i)[2].asInt());
    paradox::Row fresh(9);
    fresh[0] = paradox::Value::text("FRESH");
    std::size_t position = series->insert(fresh);
    EXPECT_EQ(highest, 24);
    EXPECT_EQ(series->row(position)[2].asInt(), 25);
}

TEST_F(AdminTest, ExportWritesTheDocumentedForm) {
    ASSERT_EQ(admin({"init"}).status, 0);
    {
        auto series = table("series.db");
        paradox::Row row(9);
        row[0] = paradox::Value::text("SAY \"HI\", FOLKS");
        row[1] = paradox::Value::text("ACME");
        row[3] = paradox::Value::text("LINE ONE\r\nLINE TWO");
        row[4] = paradox::Value::boolean(true);
        row[5] = paradox::Value::boolean(false);
        row[8] = paradox::Value::integer(-2);
        series->insert(row);
        auto books = table("books.db");
        paradox::Row book(16);
        book[0] = paradox::Value::integer(1);
        book[1] = paradox::Value::text("             12");
        book[7] = paradox::Value::floating(1234.5);
        book[9] = paradox::Value::floating(-0.25);
        book[12] = paradox::Value::text("CAF\xc3\x89");
        books->insert(book);
    }
    ASSERT_EQ(admin({"export", dir.path() + "/csv"}).status, 0);
    EXPECT_EQ(readAll(dir.path() + "/csv/series.csv"),
              QByteArray(
                  "SERIES,PUBLISHER,ENTRY,SERNOTE,FAVORITE,WANTED,FORSALE,NEW,OWNED\r\n"
                  "\"SAY \"\"HI\"\", FOLKS\",ACME,1,\"LINE ONE\r\nLINE TWO\",true,false,,,-2\r\n"));
    EXPECT_EQ(readAll(dir.path() + "/csv/books.csv"),
              QByteArray("ENTRY,COMIC_NO,EDITION,TITLE,ARTIST,WRITER,QTY,PAID,LOW,HIGH,PERC,"
                         "BOOKNOTE,LOCATION,WANTED,FORSALE,AUTOGRAPH\r\n"
                         "1,             12,,,,,,1234.50,,-0.25,,,CAF\xc3\x89,,,\r\n"));
}

class ImportFailureTest : public AdminTest {
protected:
    void SetUp() override {
        ASSERT_EQ(admin({"init"}).status, 0);
        QDir().mkpath(source());
        writeAll(source() + "/series.csv",
                 "SERIES,PUBLISHER,ENTRY,SERNOTE,FAVORITE,WANTED,FORSALE,NEW,OWNED\r\n"
                 "ALPHA,ACME,4,,false,false,false,,1\r\n"
                 "BETA,ACME,9,,false,false,false,,0\r\n");
    }
    QString source() const { return dir.path() + "/in"; }

    // Imports books.csv with `rows` after the header; expects a refusal that
    // names `where` and an untouched, empty collection.
    void expectRefused(const QByteArray& rows, const QString& where, const QString& why) {
        writeAll(source() + "/books.csv",
                 "ENTRY,COMIC_NO,EDITION,TITLE,ARTIST,WRITER,QTY,PAID,LOW,HIGH,PERC,"
                 "BOOKNOTE,LOCATION,WANTED,FORSALE,AUTOGRAPH\r\n" +
                     rows);
        AdminResult result = admin({"import", source()});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.err.contains(where)) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(why)) << result.err.toStdString();
        EXPECT_EQ(table("series.db")->rowCount(), 0u);
        EXPECT_EQ(table("books.db")->rowCount(), 0u);
    }
};

const QByteArray kGoodBook =
    "4,              1,1ST,,,,1,2.00,1.00,3.00,100,,,false,false,false\r\n";

TEST_F(ImportFailureTest, ValuesOfTheWrongFormAreReportedWithFileAndLine) {
    expectRefused(
        kGoodBook + "4,              2,1ST,,,,abc,2.00,1.00,3.00,100,,,false,false,false\r\n",
        "books.csv line 3", "QTY");
    expectRefused(
        kGoodBook + "4,              2,1ST,,,,1,2.5,1.00,3.00,100,,,false,false,false\r\n",
        "books.csv line 3", "PAID");
    expectRefused(kGoodBook + "4,              2,1ST,,,,1,2.00,1.00,3.00,100,,,yes,false,false\r\n",
                  "books.csv line 3", "WANTED");
    expectRefused(
        "4,              1,1ST,\"TWO\r\nLINES\",,,1,2.00,1.00,3.00,100,,,false,false,false\r\n" +
            QByteArray("4,2,1ST,,,,1,2.00,1.00,3.00,100,,,false,false\r\n"),
        "books.csv line 4", "15 fields where 16");
    expectRefused(kGoodBook + "4,\"unclosed,1ST\r\n", "books.csv line 3", "not closed");
}

TEST_F(ImportFailureTest, RowsTheCollectionCannotHoldAreReported) {
    expectRefused(
        kGoodBook + "5,              2,1ST,,,,1,2.00,1.00,3.00,100,,,false,false,false\r\n",
        "books.csv line 3", "ENTRY 5 names no series");
    expectRefused(kGoodBook + kGoodBook, "books.csv line 3", "");  // the same key twice
    expectRefused(
        kGoodBook + QByteArray("9,              2,1ST,\xe6\xbc\xab,,,1,2.00,1.00,3.00,100,,,"
                               "false,false,false\r\n"),
        "books.csv line 3", "");  // outside the table's code page
}

// Rows of the right form that the collection window would never store.
TEST_F(ImportFailureTest, RowsAgainstTheCollectionsRulesAreRefused) {
    const QByteArray kSeries =
        "SERIES,PUBLISHER,ENTRY,SERNOTE,FAVORITE,WANTED,FORSALE,NEW,OWNED\r\n";
    const QByteArray kAlpha = "ALPHA,ACME,4,,false,false,false,,1\r\n";
    const auto book = [](const char* qty, const char* paid, const char* perc) {
        return QByteArray("4,              1,1ST,,,,") + qty + "," + paid + ",1.00,3.00," + perc +
               ",,,false,false,false\r\n";
    };
    struct Case {
        QByteArray series, books;  // the rows after the headers
        const char* where;
        const char* why;
    } cases[] = {
        {kAlpha, book("-3", "2.00", "100"), "books.csv line 2", "QTY -3 is below 0"},
        {kAlpha, book("1", "2.00", "-50"), "books.csv line 2", "PERC -50 is not a grade"},
        {kAlpha, book("1", "2.00", "1000"), "books.csv line 2", "PERC 1000 is not a grade"},
        {kAlpha, book("1", "1000000000000000000000000000000.00", "100"), "books.csv line 2",
         "PAID: 1000000000000000000000000000000.00 is too large"},
        {kAlpha, book("1", "2.00", "100") + book("2", "2.00", "100").replace("  1,", "  2,"),
         "series.csv line 2", "OWNED is 1, but the QTY of the series' books add up to 3"},
        {kAlpha + "BETA,ACME,2147483647,,false,false,false,,0\r\n", book("1", "2.00", "100"),
         "series.csv line 3", "ENTRY 2147483647 is out of range"},
        {kAlpha + "BETA,ACME,0,,false,false,false,,0\r\n", book("1", "2.00", "100"),
         "series.csv line 3", "ENTRY 0 is out of range"},
        // The quote left open on line 3 runs on to the quoted title of line 6.
        {kAlpha,
         book("1", "2.00", "100") + "4,\"   2,1ST,,,,0,,,,100,,,false,false,false\r\n" +
             book("0", "2.00", "100").replace("  1,", "  3,") +
             book("0", "2.00", "100").replace("  1,", "  4,") +
             "4,              5,1ST,\"A, B\",,,0,,,,100,,,false,false,false\r\n",
         "books.csv line 3", "the quoted field that opens here is not closed (line 6"},
    };
    const QByteArray kBooks =
        "ENTRY,COMIC_NO,EDITION,TITLE,ARTIST,WRITER,QTY,PAID,LOW,HIGH,"
        "PERC,BOOKNOTE,LOCATION,WANTED,FORSALE,AUTOGRAPH\r\n";
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        // A collection of its own, so that each case stands alone.
        const QString target = dir.path() + "/case" + QString::number(++number);
        ASSERT_EQ(runAdmin(target, {"init"}).status, 0);
        writeAll(source() + "/series.csv", kSeries + c.series);
        writeAll(source() + "/books.csv", kBooks + c.books);
        AdminResult result = runAdmin(target, {"import", source()});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.err.contains(QString(c.where) + ": ")) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(c.why)) << result.err.toStdString();
        for (const char* name : {"/series.db", "/books.db"})
            EXPECT_EQ(paradox::Table::open((target + name).toStdString())->rowCount(), 0u);
    }

    // The limits themselves are the program's own values, and so is a grade
    // between the slider's steps, as another program may have stored it.
    writeAll(source() + "/series.csv", kSeries + "ALPHA,ACME,2147483646,,false,false,false,,0\r\n");
    writeAll(source() + "/books.csv",
             kBooks +
                 "2147483646,              1,1ST,,,,0,9999999999999.99,-9999999999999.99,"
                 "0.00,37,,,false,false,false\r\n");
    AdminResult limits = admin({"import", source()});
    ASSERT_EQ(limits.status, 0) << limits.err.toStdString();
    ASSERT_EQ(admin({"export", dir.path() + "/back"}).status, 0);
    EXPECT_TRUE(readAll(dir.path() + "/back/books.csv")
                    .contains("9999999999999.99,-9999999999999.99,0.00,37,"));
}

// Book extras and covers go through export and import unchanged; a faulty
// extras row stops the whole import.
TEST_F(ImportFailureTest, ExtrasAndCoversRoundTripAndAFaultyRowImportsNothing) {
    QDir().mkpath(source() + "/covers");
    QImage image(20, 30, QImage::Format_RGB32);
    image.fill(qRgb(200, 100, 0));
    image.save(source() + "/covers/4_1_1ST.jpg", "JPG");
    image.save(source() + "/covers/4_2_1ST.png", "PNG");
    writeAll(source() + "/books.csv",
             "ENTRY,COMIC_NO,EDITION,TITLE,ARTIST,WRITER,QTY,PAID,LOW,HIGH,PERC,"
             "BOOKNOTE,LOCATION,WANTED,FORSALE,AUTOGRAPH\r\n" +
                 kGoodBook +
                 "4,              2,1ST,,,,0,2.00,1.00,3.00,100,,,false,false,false\r\n");
    const QByteArray header =
        "ENTRY,COMIC_NO,EDITION,GRADE,GRADER,CERT,BOUGHT,SOURCE,UPC,COVER\r\n";
    const QByteArray good =
        "4,              1,1ST,9.8,CGC,4012345001,2021-03-14,\"Shop, Main St.\",036000291452,"
        "4_1_1ST.jpg\r\n"
        "4,              2,1ST,,,,,,03600029145300111,4_2_1ST.png\r\n";
    writeAll(source() + "/extras.csv", header + good);
    AdminResult imported = admin({"import", source()});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    ASSERT_EQ(admin({"export", dir.path() + "/back"}).status, 0);
    for (const char* file : {"/extras.csv", "/covers/4_1_1ST.jpg", "/covers/4_2_1ST.png"})
        EXPECT_EQ(readAll(dir.path() + "/back" + file), readAll(source() + file)) << file;
    EXPECT_EQ(table("extras.db")->rowCount(), 2u);

    const struct {
        QByteArray row;
        const char* why;
    } faults[] = {
        {"4,              3,1ST,,,,,,,\r\n", "no book 4 \"3\" 1ST"},
        {"4,              2,1ST,9.7,,,,,,\r\n", "GRADE 9.7"},
        {"4,              2,1ST,,,77,,,,\r\n", "CERT"},
        {"4,              2,1ST,,,,2023-02-29,,,\r\n", "does not exist"},
        {"4,              2,1ST,,,,,,12345,\r\n", "UPC 12345"},
        {"4,              2,1ST,,,,,,,missing.jpg\r\n", "missing.jpg does not exist"},
        {"4,              2,1ST,,,,,,,4_1_1ST.jpg\r\n", "already the cover of the book on line 2"},
    };
    for (const auto& fault : faults) {
        ASSERT_TRUE(QDir(collection()).removeRecursively());
        ASSERT_EQ(admin({"init"}).status, 0);
        writeAll(source() + "/extras.csv", header + good.left(good.indexOf('\n') + 1) + fault.row);
        AdminResult result = admin({"import", source()});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.err.contains("extras.csv line 3")) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(fault.why)) << result.err.toStdString();
        EXPECT_EQ(table("books.db")->rowCount(), 0u);
        EXPECT_FALSE(QFile::exists(collection() + "/extras.db"));
        EXPECT_TRUE(QDir(collection() + "/covers").isEmpty());
    }
}

TEST_F(ImportFailureTest, WrongHeaderMissingFileAndNonEmptyCollection) {
    writeAll(source() + "/books.csv", "ENTRY,NUMBER\r\n");
    AdminResult header = admin({"import", source()});
    EXPECT_EQ(header.status, 1);
    EXPECT_TRUE(header.err.contains("books.csv line 1: the header must be ENTRY,COMIC_NO"));
    QFile::remove(source() + "/books.csv");
    AdminResult missing = admin({"import", source()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("books.csv"));
    ASSERT_EQ(admin({"demo", "--series", "1", "--books", "0"}).status, 0);
    AdminResult notEmpty = admin({"import", source()});
    EXPECT_EQ(notEmpty.status, 1);
    EXPECT_TRUE(notEmpty.err.contains("not empty"));
}

// The statistics of the hand-made collection (figures worked out beside
// its rows), as text and as JSON.
TEST_F(AdminTest, StatsPrintsTheFiguresAsTextAndJson) {
    AdminResult none = admin({"stats"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains("pkeep-admin init")) << none.err.toStdString();
    small_collection::Write(collection());
    EXPECT_EQ(admin({"stats", "--csv"}).status, 2);

    AdminResult text = admin({"stats"});
    ASSERT_EQ(text.status, 0) << text.err.toStdString();
    for (const char* line :
         {"Books owned: 9 (8 book records)\n", "Graded value: $1,091.74\n", "Price paid: $136.70\n",
          "  ZENITH\t1\t$950.00\t$1.00\n", "  2. ALPHA #3\t$37.54\tqty 1\n", "  Fine\t3\n",
          "  2. ALPHA (ACME)\t4\t$127.54\n", "  2019\t4\t$32.50\n",
          "Books without a purchase date: 4\n", "Profit/Investment Summary"})
        EXPECT_TRUE(text.out.contains(QString::fromUtf8(line))) << line << text.out.toStdString();

    AdminResult json = admin({"stats", "--json"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonObject s = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(s["books"].toInt(), 9);
    EXPECT_EQ(s["value"].toDouble(), 1091.74);
    EXPECT_EQ(s["paid"].toDouble(), 136.70);
    EXPECT_EQ(s["byPublisher"][1]["publisher"].toString(), "ACME");
    EXPECT_EQ(s["byPublisher"][1]["value"].toDouble(), 137.74);
    EXPECT_EQ(s["mostValuable"][1]["comicNo"].toString(), "3");
    EXPECT_EQ(s["mostValuable"][1]["value"].toDouble(), 37.54);
    EXPECT_EQ(s["byCondition"][8]["condition"].toString(), "No grade");
    EXPECT_EQ(s["byCondition"][8]["books"].toInt(), 1);
    EXPECT_EQ(s["topSeries"].toArray().size(), 4);
    EXPECT_EQ(s["spentByYear"][1]["year"].toInt(), 2021);
    EXPECT_EQ(s["spentByYear"][1]["paid"].toDouble(), 1.00);
}

}  // namespace
