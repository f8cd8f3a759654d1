#include "tests/platform/tutil/fuzz/salvage_input.h"

#include "platform/tutil/rebuild.h"

namespace tablefuzz {

RebuildOutcome rebuildInput(const ScratchDir& dir, std::span<const std::uint8_t> input) {
    const std::string db = dir.writeTable(splitInput(input));
    RebuildOutcome outcome;
    try {
        tutil::RebuildRequest request;
        request.table = dir.path() + "/t";
        request.backup = request.table + "__";
        request.keyViolations = dir.path() + "/KEYVIOL";
        request.problems = dir.path() + "/PROBLEMS";
        // The structure the utility reads from the table's own header.
        const tutil::TableHeader header = tutil::readHeader(db);
        request.fields = header.fields;
        request.keyFieldCount = header.keyFieldCount;
        tutil::rebuildTable(request, {});
        outcome.rebuilt = true;
    } catch (const tutil::TableError&) {
        return outcome;  // the expected end of a table the rebuild cannot read
    }
    outcome.rowsKept = readWholeTable(db);
    return outcome;
}

}  // namespace tablefuzz
