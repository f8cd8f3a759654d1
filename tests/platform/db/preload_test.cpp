// A table read in the background before Open(): Open() gives the same rows
// and the same errors as an open without it.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/paradox/errors.h"
#include "tests/platform/db/fixture.h"

using PreloadTest = CollectionTest;

TEST_F(PreloadTest, APreloadedTableOpensWithItsRows) {
    addSeries("SPIDER-MAN", "MARVEL");
    addSeries("BATMAN", "DC");
    series.SetDatabaseName("PKEEP");
    series.SetTableName("series.db");
    series.Preload();
    series.Open();
    EXPECT_EQ(column(series, "SERIES"), (std::vector<QString>{"BATMAN", "SPIDER-MAN"}));
}

TEST_F(PreloadTest, ATableInUseIsReportedByOpen) {
    const std::string path = dir.file("series.db");
    const int other = ::open(path.c_str(), O_RDONLY);  // another program's lock
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    series.SetDatabaseName("PKEEP");
    series.SetTableName("series.db");
    series.Preload();
    EXPECT_THROW(series.Open(), paradox::ETableInUse);
    EXPECT_FALSE(series.Active());
    ::close(other);
    series.Open();  // the failed preload is not kept
    EXPECT_TRUE(series.Active());
}

TEST_F(PreloadTest, RenamingTheTableDropsThePreload) {
    const int entry = addSeries("SPIDER-MAN", "MARVEL");
    addBook({entry, "7"});
    books.SetDatabaseName("PKEEP");
    books.SetTableName("series.db");
    books.Preload();
    books.SetTableName("books.db");
    books.Open();
    EXPECT_EQ(books.FieldByName("COMIC_NO")->AsString().trimmed(), "7");
}

TEST_F(PreloadTest, AnUnknownDatabaseIsLeftForOpenToReport) {
    series.SetDatabaseName("NO-SUCH-ALIAS");
    series.SetTableName("series.db");
    series.Preload();  // must not throw: the window calls it while it is built
    EXPECT_THROW(series.Open(), EDatabaseError);
}
