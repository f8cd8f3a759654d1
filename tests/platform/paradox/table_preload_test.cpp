// Opening a table on a worker thread: the handle, or the open's error, is
// collected once; a preload never collected leaves the table closed.

#include "platform/paradox/table_preload.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/paradox/errors.h"
#include "tests/platform/paradox/table_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace paradox;
using namespace paradox::testing;

TEST(TablePreload, TakeGivesTheOpenTable) {
    TestDir dir;
    const std::string path = booksTable(dir.file("books.db"), 3000);
    TablePreload preload(path);
    const std::shared_ptr<Table> t = preload.take();
    ASSERT_EQ(t->rowCount(), 3000u);
    EXPECT_EQ(t->row(2999)[0].asInt(), 60);
}

TEST(TablePreload, TheOpensErrorComesFromTake) {
    TestDir dir;
    const std::string path = booksTable(dir.file("books.db"), 10);
    const int other = ::open(path.c_str(), O_RDONLY);  // another holder of the lock
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    TablePreload preload(path);
    EXPECT_THROW(preload.take(), ETableInUse);
    ::close(other);
}

TEST(TablePreload, AnUntakenPreloadClosesTheTable) {
    TestDir dir;
    const std::string path = booksTable(dir.file("books.db"), 10);
    { TablePreload preload(path); }
    const int other = ::open(path.c_str(), O_RDONLY);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << "the table's lock is still held";
    ::close(other);
}
