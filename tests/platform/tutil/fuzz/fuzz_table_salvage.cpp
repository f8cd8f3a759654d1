// libFuzzer target: the rebuild of a table whose files come from arbitrary
// bytes (split as tests/platform/paradox/fuzz/table_input.h describes): the
// salvage of every readable row and memo, the rebuilt, key-violation and
// problem tables written, the swap, and the rebuilt table read back through
// the engine.  Every input must end in a rebuilt table or a clear error;
// anything else (a crash, a hang, a read out of bounds, another exception)
// is a finding.  Findings are kept in regressions/ and replayed by the
// regular tests.
#include <cstddef>
#include <cstdint>

#include "tests/platform/tutil/fuzz/salvage_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tablefuzz::ScratchDir dir;
    tablefuzz::rebuildInput(dir, {data, size});
    return 0;
}
