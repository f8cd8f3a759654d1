// libFuzzer target: a table whose files come from arbitrary bytes (split as
// table_input.h describes), opened through the engine and read to the end:
// every row, every memo, the first and last row found by key.  Every input
// must end in rows read or a clear error (an EDatabaseError); anything else
// (a crash, a hang, a read out of bounds, another exception) is a finding.
// Findings are kept in regressions/ and replayed by the regular tests.
#include <cstddef>
#include <cstdint>

#include "tests/platform/paradox/fuzz/table_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tablefuzz::ScratchDir dir;
    tablefuzz::readWholeTable(dir.writeTable(tablefuzz::splitInput({data, size})));
    return 0;
}
