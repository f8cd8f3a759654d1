// pkeep-admin rebuild as a user scripts it: the real program on a real
// collection made by pkeep-admin itself, its output, its exit status and
// what it leaves in the collection directory.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "platform/paradox/table.h"
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
    std::vector<std::string> rows(const char* table, const paradox::TableSchema& schema) {
        return fixture::rowTexts(schema, fixture::readTable(file(table)));
    }
    static QStringList lines(const QString& text) {
        return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool exists(const char* name) const { return QFileInfo::exists(collection() + "/" + name); }

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
    for (const char* backup : kBackups) EXPECT_FALSE(exists(backup)) << backup;

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

    EXPECT_EQ(fixture::readBytes(file("books.db")), before);
    EXPECT_EQ(rows("books.db", fixture::booksSchema()), books);
    for (const char* backup : {"books__.DB", "books__.MB", "books__.PX"})
        EXPECT_TRUE(exists(backup)) << backup;
}

TEST_F(AdminRebuild, AnUnreadableTableFailsAndIsLeftAsItWas) {
    // A books table whose header no longer describes any records.
    fixture::patchBytes(file("books.db"), 0x21, {0, 0});  // zero fields
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

}  // namespace
