// A rebuild killed at any moment leaves either the original or the rebuilt
// table, never neither: child processes rebuild and are killed, at random
// moments and at every step of the swap, and the next use of the table
// (which finishes or undoes the swap), through the utility or through the
// engine, finds every row.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/paradox/errors.h"
#include "platform/paradox/table.h"
#include "platform/paradox/table_swap.h"
#include "platform/tutil/rebuild.h"
#include "tests/platform/tutil/fixture.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class CrashedRebuild : public ::testing::Test {
protected:
    TestDir dir;
    paradox::TableSchema schema = fixture::seriesSchema();
    std::vector<std::string> original;

    void SetUp() override {
        fixture::createTable(dir.file("series.db"), schema, fixture::seriesRows(400));
        original = fixture::rowTexts(schema, fixture::readTable(dir.file("series.db")));
    }

    // Runs a rebuild in a child process; `stopAtStep` > 0 ends the child
    // right after that swap step, `killAfter` kills it after that delay.
    void rebuildInChild(int stopAtStep, std::chrono::microseconds killAfter) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            static int stopAt;
            stopAt = stopAtStep;
            if (stopAt > 0)
                paradox::swapStepHook = [](int step) {
                    if (step == stopAt) _exit(3);
                };
            try {
                tutil::rebuildTable(fixture::rebuildRequest(dir.str(), "series"), {});
            } catch (...) {
                _exit(2);
            }
            _exit(0);
        }
        if (killAfter.count() > 0) {
            std::this_thread::sleep_for(killAfter);
            kill(child, SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "the rebuild failed";
    }

    // What the next user of the table finds.
    void expectWholeTable(const std::string& when) {
        tutil::locateTable(dir.file("series"));  // finishes or undoes the swap
        EXPECT_FALSE(fs::exists(dir.file("series.db-rebuild"))) << when;
        EXPECT_EQ(fixture::rowTexts(schema, fixture::readTable(dir.file("series.db"))), original)
            << when;
        EXPECT_EQ(
            fixture::pxlibRows(dir.file("series.db"), dir.file("series.mb"), dir.file("series.px")),
            original)
            << when;
    }
};

TEST_F(CrashedRebuild, StoppedAfterEachStepOfTheSwap) {
    for (int step = 1; step <= 6; ++step) {
        rebuildInChild(step, std::chrono::microseconds(0));
        expectWholeTable("stopped after step " + std::to_string(step));
    }
}

// The program opens its tables through the engine alone: the engine must
// not read a half-swapped table.
TEST_F(CrashedRebuild, OpeningThroughTheEngineFinishesOrUndoesTheSwap) {
    int interrupted = 0;
    for (int step = 1; step <= 6; ++step) {
        rebuildInChild(step, std::chrono::microseconds(0));
        const std::string when = "stopped after step " + std::to_string(step);
        // Work files a crash leaves before the journal exists are named by
        // nothing; the next rebuild clears them.  Those the journal names go
        // with it.
        const bool journalled = fs::exists(dir.file("series.db-rebuild"));
        interrupted += journalled;
        {
            const auto table = paradox::Table::open(dir.file("series.db"));
            std::vector<paradox::Row> rows;
            for (std::size_t i = 0; i < table->rowCount(); ++i) rows.push_back(table->row(i));
            EXPECT_EQ(fixture::rowTexts(schema, rows), original) << when;
        }
        EXPECT_FALSE(fs::exists(dir.file("series.db-rebuild"))) << when;
        for (const auto& entry : fs::directory_iterator(dir.str())) {
            const std::string name = entry.path().filename().string();
            EXPECT_FALSE((journalled && name.starts_with("_rb_")) || name.ends_with(".tmp"))
                << when << ": " << name;
        }
        EXPECT_EQ(
            fixture::pxlibRows(dir.file("series.db"), dir.file("series.mb"), dir.file("series.px")),
            original)
            << when;
    }
    EXPECT_GE(interrupted, 3);  // the journal was there to act on
}

// While someone else holds the table's lock (as a rebuild does during its
// swap), opening it is refused and the swap is left alone.
TEST_F(CrashedRebuild, TheEngineLeavesASwapUnderWayAlone) {
    rebuildInChild(2, std::chrono::microseconds(0));
    const std::string journal = dir.file("series.db-rebuild");
    ASSERT_TRUE(fs::exists(journal));
    const int holder = ::open(dir.file("series.db").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    EXPECT_THROW(paradox::Table::open(dir.file("series.db")), paradox::ETableInUse);
    EXPECT_TRUE(fs::exists(journal));
    EXPECT_TRUE(fs::exists(dir.file("_rb_series.DB")));
    ::close(holder);
    EXPECT_EQ(fixture::rowTexts(schema, fixture::readTable(dir.file("series.db"))), original);
    EXPECT_FALSE(fs::exists(journal));
}

TEST_F(CrashedRebuild, KilledAtRandomMoments) {
    const auto start = std::chrono::steady_clock::now();
    rebuildInChild(0, std::chrono::microseconds(0));
    const auto full = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> delay(1, std::max<long>(2, full.count() * 11 / 10));
    for (int i = 0; i < 8; ++i) {
        const long after = delay(random);
        rebuildInChild(0, std::chrono::microseconds(after));
        expectWholeTable("killed after " + std::to_string(after) + " us");
    }
}

}  // namespace
