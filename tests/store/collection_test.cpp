// The collection tables on disk, checked with an independent Paradox reader
// (pxlib), and the alias directory.
#include <gtest/gtest.h>
extern "C" {
#include <paradox.h>
}

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/base/exception.h"
#include "platform/db/table.h"
#include "store/collection.h"
#include "tests/support/temp_dir.h"

namespace {

struct PxDoc {
    explicit PxDoc(const std::string& path) : doc(PX_new()) {
        ok = doc && PX_open_file(doc, path.c_str()) == 0;
    }
    ~PxDoc() {
        if (doc) {
            PX_close(doc);
            PX_delete(doc);
        }
    }
    pxdoc_t* doc;
    bool ok = false;
};

struct Expected {
    const char* name;
    char type;
    int length;
};

void expectFields(const std::string& path, const std::vector<Expected>& expected) {
    PxDoc px(path);
    ASSERT_TRUE(px.ok) << path;
    ASSERT_EQ(PX_get_num_fields(px.doc), static_cast<int>(expected.size()));
    pxfield_t* fields = PX_get_fields(px.doc);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_STREQ(fields[i].px_fname, expected[i].name);
        EXPECT_EQ(fields[i].px_ftype, expected[i].type) << expected[i].name;
        EXPECT_EQ(fields[i].px_flen, expected[i].length) << expected[i].name;
    }
    EXPECT_EQ(px.doc->px_head->px_primarykeyfields, 3);
    EXPECT_EQ(px.doc->px_head->px_numrecords, 0);
}

class StoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PX_boot(); }
    TestDir dir;
};

TEST_F(StoreTest, SeriesTableHasTheFieldsTypesSizesAndKeyOfTheCollection) {
    store::CreateCollection(dir.path());
    expectFields(dir.file("series.db"), {{"SERIES", pxfAlpha, 60},
                                         {"PUBLISHER", pxfAlpha, 30},
                                         {"ENTRY", pxfAutoInc, 4},
                                         {"SERNOTE", pxfMemoBLOb, 20},  // leader 10 + 10
                                         {"FAVORITE", pxfLogical, 1},
                                         {"WANTED", pxfLogical, 1},
                                         {"FORSALE", pxfLogical, 1},
                                         {"NEW", pxfLogical, 1},
                                         {"OWNED", pxfShort, 2}});
    EXPECT_TRUE(QFile::exists(dir.path() + "/series.px"));
    EXPECT_TRUE(QFile::exists(dir.path() + "/series.mb"));
}

TEST_F(StoreTest, BooksTableHasTheFieldsTypesSizesAndKeyOfTheCollection) {
    store::CreateCollection(dir.path());
    expectFields(dir.file("books.db"), {{"ENTRY", pxfLong, 4},
                                        {"COMIC_NO", pxfAlpha, 15},
                                        {"EDITION", pxfAlpha, 10},
                                        {"TITLE", pxfAlpha, 80},
                                        {"ARTIST", pxfAlpha, 80},
                                        {"WRITER", pxfAlpha, 80},
                                        {"QTY", pxfShort, 2},
                                        {"PAID", pxfCurrency, 8},
                                        {"LOW", pxfCurrency, 8},
                                        {"HIGH", pxfCurrency, 8},
                                        {"PERC", pxfShort, 2},
                                        {"BOOKNOTE", pxfMemoBLOb, 11},
                                        {"LOCATION", pxfMemoBLOb, 11},
                                        {"WANTED", pxfLogical, 1},
                                        {"FORSALE", pxfLogical, 1},
                                        {"AUTOGRAPH", pxfLogical, 1}});
    EXPECT_TRUE(QFile::exists(dir.path() + "/books.px"));
    EXPECT_TRUE(QFile::exists(dir.path() + "/books.mb"));
}

// 322-byte books: 65,535 blocks of 4 KiB hold 12 each, 786,420 books; of
// 16 KiB 50 each, 3,276,750, the smallest size with room for two million.
TEST_F(StoreTest, BooksTableHasBlocksWithRoomForTwoMillionBooks) {
    store::CreateCollection(dir.path());
    PxDoc px(dir.file("books.db"));
    ASSERT_TRUE(px.ok);
    EXPECT_EQ(px.doc->px_head->px_recordsize, 322);
    EXPECT_EQ(px.doc->px_head->px_maxtablesize, 16);
    PxDoc series(dir.file("series.db"));
    ASSERT_TRUE(series.ok);
    EXPECT_EQ(series.doc->px_head->px_maxtablesize, 2);  // 50,000 series fit in 2 KiB blocks
}

TEST_F(StoreTest, CreatingOverAnExistingCollectionIsRefusedAndChangesNothing) {
    store::CreateCollection(dir.path());
    {
        auto series = paradox::Table::open(dir.file("series.db"));
        paradox::Row row(9);
        row[0] = paradox::Value::text("KEEP ME");
        series->insert(row);
    }
    QFile::remove(dir.path() + "/books.db");  // even half a collection is kept
    EXPECT_THROW(store::CreateCollection(dir.path()), EDatabaseError);
    EXPECT_EQ(paradox::Table::open(dir.file("series.db"))->rowCount(), 1u);
}

TEST_F(StoreTest, AliasOpensTheTablesAndANewSeriesGetsTheNextEntry) {
    store::CreateCollection(dir.path());
    store::RegisterAlias(dir.path());
    TTable series;
    series.SetDatabaseName("PKEEP");
    series.SetTableName("series.db");
    series.Open();
    for (const char* name : {"SECOND", "FIRST"}) {
        series.Insert();
        series.FieldByName("SERIES")->SetAsString(name);
        series.FieldByName("OWNED")->SetAsInteger(0);
        series.Post();
    }
    series.SaveChanges();
    series.First();
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "FIRST");
    EXPECT_EQ(series.FieldByName("ENTRY")->AsInteger(), 2);
    series.Close();

    PxDoc px(dir.file("series.db"));
    ASSERT_TRUE(px.ok);
    EXPECT_EQ(px.doc->px_head->px_numrecords, 2);
    float autoinc = 0;
    PX_get_value(px.doc, "autoinc", &autoinc);
    EXPECT_EQ(static_cast<int>(autoinc), 2);
}

TEST(StoreNames, IssueNumbersAreRightAlignedToFifteen) {
    EXPECT_EQ(store::AlignComicNo("2"), QString(14, ' ') + "2");
    EXPECT_EQ(store::AlignComicNo("100"), QString(12, ' ') + "100");
    EXPECT_EQ(store::AlignComicNo(QString(15, '9')), QString(15, '9'));
    EXPECT_EQ(store::AlignComicNo(QString(17, '9')), QString(17, '9'));  // longer kept as typed
    EXPECT_LT(store::AlignComicNo("2"), store::AlignComicNo("10"));
    EXPECT_LT(store::AlignComicNo("10"), store::AlignComicNo("100"));
}

TEST(StoreNames, CollectionDirectoryFollowsTheEnvironment) {
    setenv("PKEEP_DIR", "/tmp/pk-here", 1);
    EXPECT_EQ(store::CollectionDirectory(), "/tmp/pk-here");
    unsetenv("PKEEP_DIR");
    setenv("XDG_DATA_HOME", "/tmp/xdg-data", 1);
    EXPECT_EQ(store::CollectionDirectory(), "/tmp/xdg-data/panel-keep");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(store::CollectionDirectory(), QDir::homePath() + "/.local/share/panel-keep");
}

}  // namespace
