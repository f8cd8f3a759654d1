// The table reader's fuzz inputs replayed as regular tests (the fuzzer
// itself, tests/platform/paradox/fuzz, needs clang): every seed is a sound
// table that the engine reads whole, row for row as pxlib does, and every
// finding of the fuzzer ends in rows read or a clear error.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/platform/paradox/fuzz/table_input.h"

namespace fs = std::filesystem;

namespace {

using tablefuzz::inputsIn;
using tablefuzz::readInput;

// Records pxlib counts in the table, from its "fields N records R" line.
long pxlibRecords(const std::string& db) {
    FILE* pipe = ::popen((std::string(PXLIB_ORACLE) + " dump '" + db + "' 2>&1").c_str(), "r");
    long fields = -1, records = -1;
    if (pipe && std::fscanf(pipe, "fields %ld records %ld", &fields, &records) != 2) records = -1;
    if (pipe) {
        char buf[4096];
        while (std::fread(buf, 1, sizeof buf, pipe) > 0) {
        }
        EXPECT_EQ(::pclose(pipe), 0) << db;
    }
    return records;
}

TEST(TableFuzzInputs, EverySeedIsATableTheEngineAndPxlibReadWhole) {
    const tablefuzz::ScratchDir dir;
    const auto seeds = inputsIn(TABLE_FUZZ_SEEDS);
    ASSERT_GE(seeds.size(), 10u);
    for (const fs::path& seed : seeds) {
        const auto bytes = readInput(seed);
        const std::string db = dir.writeTable(tablefuzz::splitInput(bytes));
        const long rows = tablefuzz::readWholeTable(db);
        EXPECT_GE(rows, 0) << seed.filename() << " does not open";
        EXPECT_EQ(rows, pxlibRecords(db)) << seed.filename();
    }
}

TEST(TableFuzzInputs, EveryFindingEndsInRowsOrAClearError) {
    const tablefuzz::ScratchDir dir;
    for (const fs::path& input : inputsIn(TABLE_FUZZ_REGRESSIONS)) {
        SCOPED_TRACE(input.filename().string());
        const auto bytes = readInput(input);
        tablefuzz::readWholeTable(dir.writeTable(tablefuzz::splitInput(bytes)));
    }
}

}  // namespace
