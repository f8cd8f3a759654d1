// The salvage fuzzer's inputs replayed as regular tests (the fuzzer itself,
// tests/platform/tutil/fuzz, needs clang): the rebuild keeps every row of
// each seed table, and every finding ends in a salvage and a rebuilt table,
// or a clear error.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/platform/tutil/fuzz/salvage_input.h"

namespace fs = std::filesystem;

namespace {

using tablefuzz::inputsIn;
using tablefuzz::readInput;

void replayEach(const char* folder) {
    const tablefuzz::ScratchDir dir;
    for (const fs::path& input : inputsIn(folder)) {
        SCOPED_TRACE(input.filename().string());
        const auto bytes = readInput(input);
        tablefuzz::salvageInput(dir, bytes);
        tablefuzz::rebuildInput(dir, bytes);
    }
}

TEST(SalvageFuzzInputs, EverySeedTableIsRebuiltWithEveryRow) {
    const tablefuzz::ScratchDir dir;
    const auto seeds = inputsIn(TABLE_FUZZ_SEEDS);
    ASSERT_GE(seeds.size(), 10u);
    for (const fs::path& seed : seeds) {
        const auto bytes = readInput(seed);
        const long rowsBefore =
            tablefuzz::readWholeTable(dir.writeTable(tablefuzz::splitInput(bytes)));
        EXPECT_EQ(tablefuzz::salvageInput(dir, bytes), rowsBefore) << seed.filename();
        const tablefuzz::RebuildOutcome outcome = tablefuzz::rebuildInput(dir, bytes);
        EXPECT_TRUE(outcome.rebuilt) << seed.filename();
        EXPECT_EQ(outcome.rowsKept, rowsBefore) << seed.filename();
    }
}

TEST(SalvageFuzzInputs, EveryFindingEndsInATableOrAClearError) {
    replayEach(SALVAGE_FUZZ_REGRESSIONS);
}

}  // namespace
