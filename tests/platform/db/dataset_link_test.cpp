// Master-detail links, key searches, shared tables and re-entrant edits
// from inside notifications (the owned-count and cascade rules).
#include <QStringList>

#include "platform/base/exception.h"
#include "tests/platform/db/fixture.h"

namespace {

using V = std::vector<QString>;

class LinkTest : public CollectionTest {
protected:
    void SetUp() override {
        CollectionTest::SetUp();
        bat = addSeries("BAT TALES", "ACME", 3);
        spider = addSeries("SPIDER TALES", "ZED", 4);
        sparrow = addSeries("SPARROW", "ACME", 0);
        addSeries("ZENITH", "ZED", 0);
        for (const char* number : {"100", "2", "10"}) addBook({.entry = bat, .number = number});
        addBook({.entry = spider, .number = "5", .qty = 2});
        addBook({.entry = spider, .number = "8", .qty = 2});
        addBook({.entry = spider, .number = "12", .qty = 0});
        addBook({.entry = spider, .number = "8", .qty = 0, .edition = "2ND"});
        openLinked();
    }

    QStringList numbers() {
        QStringList out;
        for (const QString& n : column(books, "COMIC_NO")) out << n.trimmed();
        return out;
    }

    int bat = 0, spider = 0, sparrow = 0;
};

TEST_F(LinkTest, DetailFollowsTheMasterThroughEveryMove) {
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "BAT TALES");
    EXPECT_EQ(numbers(), QStringList({"2", "10", "100"}));  // right-aligned: numeric order
    EXPECT_EQ(books.RecordCount(), 3);
    series.Next();
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "SPARROW");
    EXPECT_TRUE(books.Eof());
    EXPECT_TRUE(books.IsEmpty());
    EXPECT_EQ(books.RecordCount(), 0);
    series.Next();
    EXPECT_EQ(numbers(), QStringList({"5", "8", "8", "12"}));
    books.Last();
    EXPECT_EQ(books.RecNo(), 4);
    series.Last();
    EXPECT_EQ(books.RecordCount(), 0);
    series.Prior();
    EXPECT_EQ(books.FieldByName("COMIC_NO")->AsString(), QString(14, ' ') + "5");  // back at first
    series.First();
    EXPECT_EQ(books.FieldByName("ENTRY")->AsInteger(), bat);
}

TEST_F(LinkTest, EditingTheMasterKeepsTheDetailsPlace) {
    series.FindKey({"SPIDER TALES", "ZED", spider});
    books.Next();
    books.Next();
    ASSERT_EQ(books.FieldByName("EDITION")->AsString(), "2ND");
    series.Edit();
    series.FieldByName("OWNED")->SetAsInteger(9);
    series.Post();
    EXPECT_EQ(books.FieldByName("EDITION")->AsString(), "2ND");
    EXPECT_EQ(books.RecNo(), 3);
}

TEST_F(LinkTest, DetailPendingRowIsPostedBeforeTheMasterMoves) {
    books.Edit();
    books.FieldByName("TITLE")->SetAsString("FIRST STORY");
    series.Next();
    series.First();
    EXPECT_EQ(books.FieldByName("TITLE")->AsString(), "FIRST STORY");
}

TEST_F(LinkTest, NewDetailRowTakesTheMastersEntry) {
    series.Insert();
    series.FieldByName("SERIES")->SetAsString("NEW ONE");
    series.FieldByName("PUBLISHER")->SetAsString("ACME");
    EXPECT_TRUE(series.FieldByName("ENTRY")->IsNull());
    series.Post();
    int entry = series.FieldByName("ENTRY")->AsInteger();
    EXPECT_EQ(entry, 5);  // the engine's next number
    EXPECT_EQ(books.RecordCount(), 0);
    books.Insert();
    EXPECT_EQ(books.FieldByName("ENTRY")->AsInteger(), entry);
    books.FieldByName("COMIC_NO")->SetAsString(store::AlignComicNo("1"));
    books.Post();
    EXPECT_EQ(books.RecordCount(), 1);
    EXPECT_EQ(books.FieldByName("ENTRY")->AsInteger(), entry);
}

TEST_F(LinkTest, FindNearestOnSeriesTextAndPaddedIssueNumbers) {
    series.FindNearest({"SPI"});
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "SPIDER TALES");
    series.FindNearest({"SPA"});
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "SPARROW");
    series.FindNearest({"ZZZ"});  // past the end: the last row
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "ZENITH");
    series.FindKey({"SPIDER TALES", "ZED", spider});
    books.FindNearest({spider, store::AlignComicNo("7")});
    EXPECT_EQ(books.FieldByName("COMIC_NO")->AsString().trimmed(), "8");
    EXPECT_EQ(books.FieldByName("EDITION")->AsString(), "1ST");
    books.FindNearest({spider, store::AlignComicNo("13")});  // past this series' books
    EXPECT_EQ(books.FieldByName("COMIC_NO")->AsString().trimmed(), "12");
    EXPECT_EQ(books.FieldByName("ENTRY")->AsInteger(), spider);
}

TEST_F(LinkTest, FindKeyIsExactAndKeepsTheCursorWhenMissing) {
    EXPECT_TRUE(series.FindKey({"SPARROW", "ACME", sparrow}));
    EXPECT_EQ(series.RecNo(), 2);
    EXPECT_FALSE(series.FindKey({"SPARROW", "ACME", sparrow + 100}));
    EXPECT_EQ(series.RecNo(), 2);
    EXPECT_FALSE(series.FindKey({"SPAR"}));   // no partial match
    EXPECT_TRUE(series.FindKey({"ZENITH"}));  // leading field alone
    EXPECT_THROW(series.FindKey({"A", "B", 1, 2}), EDatabaseError);
}

TEST_F(LinkTest, SearchPostsAModifiedRowAndDropsAnUnmodifiedOne) {
    series.Edit();
    series.FieldByName("OWNED")->SetAsInteger(11);
    series.FindNearest({"Z"});
    EXPECT_EQ(series.State(), TDataSetState::dsBrowse);
    series.First();
    EXPECT_EQ(series.FieldByName("OWNED")->AsInteger(), 11);
    series.Insert();
    series.FindNearest({"Z"});  // an untouched new row is dropped
    EXPECT_EQ(series.RecordCount(), 4);
}

TEST_F(LinkTest, TwoInstancesSeeEachOthersPostsAtOnce) {
    TTable other;
    other.SetDatabaseName("pkeep");
    other.SetTableName("SERIES.db");
    other.Open();
    other.FindKey({"SPARROW"});
    series.Last();
    ASSERT_EQ(series.FieldByName("SERIES")->AsString(), "ZENITH");
    other.Edit();
    other.FieldByName("OWNED")->SetAsInteger(42);
    other.Post();
    series.FindKey({"SPARROW"});
    EXPECT_EQ(series.FieldByName("OWNED")->AsInteger(), 42);
    other.Insert();
    other.FieldByName("SERIES")->SetAsString("AARDVARK");
    other.Post();
    EXPECT_EQ(series.RecordCount(), 5);
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "SPARROW");  // still on its row
    EXPECT_EQ(series.RecNo(), 3);
    other.First();
    other.Delete();
    other.FindKey({"SPARROW"});
    other.Delete();  // the row the first instance stands on
    EXPECT_EQ(series.FieldByName("SERIES")->AsString(), "SPIDER TALES");
    EXPECT_EQ(series.RecordCount(), 3);
}

TEST_F(LinkTest, BookPostUpdatesTheSeriesFromAfterPost) {
    int savedQty = 0, savedOwned = 0;
    books.BeforeEdit = [&](TDataSet*) {
        savedQty = books.FieldByName("QTY")->AsInteger();
        savedOwned = series.FieldByName("OWNED")->AsInteger();
    };
    books.AfterPost = [&](TDataSet*) {
        int newOwned = books.FieldByName("QTY")->AsInteger() + savedOwned - savedQty;
        series.Edit();
        series.FieldByName("OWNED")->SetAsInteger(newOwned);
        series.Post();
        series.SaveChanges();
        books.SaveChanges();
    };
    books.Next();  // issue 10
    books.Edit();
    books.FieldByName("QTY")->SetAsInteger(5);  // 1 -> 5
    books.Post();
    EXPECT_EQ(series.FieldByName("OWNED")->AsInteger(), 7);
    EXPECT_EQ(books.FieldByName("COMIC_NO")->AsString().trimmed(), "10");
    EXPECT_EQ(series.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(engine("series.db")->row(0)[8].asInt(), 7);
}

TEST_F(LinkTest, DeletingABookInTheMiddleRemovesThatBook) {
    books.BeforeDelete = [&](TDataSet*) {
        series.Edit();
        series.FieldByName("OWNED")->SetAsInteger(series.FieldByName("OWNED")->AsInteger() -
                                                  books.FieldByName("QTY")->AsInteger());
        series.Post();
    };
    books.Next();  // issue 10
    books.Delete();
    EXPECT_EQ(numbers(), QStringList({"2", "100"}));
    EXPECT_EQ(series.FieldByName("OWNED")->AsInteger(), 2);
}

TEST_F(LinkTest, CascadeDeletionFromTheSeriesOwnBeforeDelete) {
    std::vector<int> owned;
    books.BeforeDelete = [&](TDataSet*) {
        series.Edit();
        series.FieldByName("OWNED")->SetAsInteger(series.FieldByName("OWNED")->AsInteger() -
                                                  books.FieldByName("QTY")->AsInteger());
        series.Post();
        owned.push_back(series.FieldByName("OWNED")->AsInteger());
    };
    series.BeforeDelete = [&](TDataSet*) {
        while (!books.Eof()) books.Delete();
    };
    series.FindKey({"SPIDER TALES"});
    series.Delete();
    EXPECT_EQ(owned, (std::vector<int>{2, 0, 0, 0}));
    EXPECT_EQ(column(series, "SERIES"), (V{"BAT TALES", "SPARROW", "ZENITH"}));
    EXPECT_EQ(engine("books.db")->rowCount(), 3u);  // only BAT TALES' books remain
    EXPECT_FALSE(series.FindKey({"SPIDER TALES"}));
}

TEST_F(LinkTest, SaveChangesOfAClosedTableIsRefused) {
    series.SaveChanges();
    series.Close();
    EXPECT_EQ(books.RecordCount(), 7);  // no master: every book is visible
    EXPECT_THROW(series.SaveChanges(), EDatabaseError);
}

TEST_F(LinkTest, UnknownTableAliasOrIndexIsAClearError) {
    TTable table;
    table.SetDatabaseName("PKEEP");
    table.SetTableName("comics.db");
    EXPECT_THROW(table.Open(), EDatabaseError);
    table.SetDatabaseName("NOALIAS");
    table.SetTableName("series.db");
    EXPECT_THROW(table.Open(), EDatabaseError);
    table.SetDatabaseName("PKEEP");
    table.SetIndexFieldNames("PUBLISHER");
    try {
        table.Open();
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.message().find("PUBLISHER"), std::string::npos);
    }
    EXPECT_FALSE(table.Active());
}

}  // namespace
