// libFuzzer target: the rebuild's salvage of a table whose files come from
// arbitrary bytes (split as tests/platform/paradox/fuzz/table_input.h
// describes): every row and memo it finds is read to its last byte.  Every
// input must end in rows found or a clear error; anything else (a crash, a
// hang, a read out of bounds, another exception) is a finding.  Findings
// are kept in regressions/; the regular tests replay them through the whole
// rebuild (salvage, rebuilt and side tables written, swap, the result read
// back by the engine).  The whole rebuild writes and syncs a dozen files,
// which would make a million inputs take hours on a small machine.
#include <cstddef>
#include <cstdint>

#include "tests/platform/tutil/fuzz/salvage_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tablefuzz::ScratchDir dir;
    tablefuzz::salvageInput(dir, {data, size});
    return 0;
}
