#pragma once
// The rebuild of one fuzz input's table, shared by the salvage fuzzer and
// by the test that replays its inputs.  The input is split into the table's
// files as tests/platform/paradox/fuzz/table_input.h describes.

#include <cstdint>
#include <span>

#include "tests/platform/paradox/fuzz/table_input.h"

namespace tablefuzz {

struct RebuildOutcome {
    bool rebuilt = false;  // false: the rebuild refused the table with a clear error
    long rowsKept = -1;    // rows the engine reads from the rebuilt table; -1: it does not open
};

// Salvages table t from the input's files, as the rebuild does first, and
// reads every byte of every row and memo found.  Returns the rows found;
// -1 when the salvage refused the table with a clear error.
long salvageInput(const ScratchDir& dir, std::span<const std::uint8_t> input);

// Rebuilds table t in `dir` (backup, key violation and problem tables
// beside it), then reads the rebuilt table through the engine.
RebuildOutcome rebuildInput(const ScratchDir& dir, std::span<const std::uint8_t> input);

}  // namespace tablefuzz
