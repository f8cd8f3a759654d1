// Opening a table on a worker thread: the handle, or the open's error, is
// collected once; a preload never collected leaves the table closed.

#include "platform/paradox/table_preload.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>
#include <vector>

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

// Preloads of one table at once get that one table, whichever thread reads
// it; another table opens beside them.
TEST(TablePreload, PreloadsOfOneTableAtOnceShareIt) {
    TestDir dir;
    const std::string books = booksTable(dir.file("books.db"), 20000);
    const std::string other = booksTable(dir.file("other.db"), 50);
    std::vector<std::unique_ptr<TablePreload>> preloads;
    for (int i = 0; i < 6; ++i) {
        preloads.push_back(std::make_unique<TablePreload>(books));
        preloads.push_back(std::make_unique<TablePreload>(other));
    }
    std::vector<std::shared_ptr<Table>> tables;
    for (auto& preload : preloads) tables.push_back(preload->take());

    tables[0]->insert(bookRow(999, "  1", "", "ANOTHER"));
    for (std::size_t i = 0; i < tables.size(); i += 2) EXPECT_EQ(tables[i]->rowCount(), 20001u);
    for (std::size_t i = 1; i < tables.size(); i += 2) EXPECT_EQ(tables[i]->rowCount(), 50u);

    tables.clear();
    preloads.clear();
    const int holder = ::open(books.c_str(), O_RDONLY);
    EXPECT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0) << "the table's lock is still held";
    ::close(holder);
}
