// A rebuild killed at any moment leaves either the original or the rebuilt
// table, never neither: child processes rebuild and are killed, at random
// moments and at every step of the swap, and the next use of the table
// (which finishes or undoes the swap) finds every row.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/tutil/header.h"
#include "platform/tutil/rebuild.h"
#include "platform/tutil/swap.h"
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
                tutil::swapStepHook = [](int step) {
                    if (step == stopAt) _exit(3);
                };
            try {
                tutil::RebuildRequest request;
                request.table = dir.file("series");
                request.backup = dir.file("series__");
                request.keyViolations = dir.file("KEYVIOL");
                request.problems = dir.file("PROBLEMS");
                const auto header = tutil::readHeader(dir.file("series.db"));
                request.fields = header.fields;
                request.keyFieldCount = header.keyFieldCount;
                tutil::rebuildTable(request, {});
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
