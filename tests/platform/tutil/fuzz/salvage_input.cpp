#include "tests/platform/tutil/fuzz/salvage_input.h"

#include <filesystem>

#include "platform/tutil/rebuild.h"
#include "platform/tutil/salvage.h"

namespace tablefuzz {

namespace {

// Reads every byte, so that a row or memo pointing outside what was read
// is caught by the address checks.
std::uint8_t sumOf(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum = std::uint8_t(sum + b);
    return sum;
}

}  // namespace

long salvageInput(const ScratchDir& dir, std::span<const std::uint8_t> input) {
    const std::string db = dir.writeTable(splitInput(input));
    const std::string mb = dir.path() + "/t.mb";
    try {
        const tutil::Salvage salvage =
            tutil::salvageTable(db, std::filesystem::exists(mb) ? mb : std::string());
        volatile std::uint8_t sink = 0;
        const std::size_t recordSize = std::size_t(salvage.header.recordSize);
        for (const tutil::SalvagedRow& row : salvage.rows) {
            sink = sink + sumOf({row.record, recordSize});
            for (const tutil::MemoValue& memo : salvage.memosOf(row))
                sink = sink + sumOf(memo.text());
        }
        return long(salvage.rows.size());
    } catch (const tutil::TableError&) {
        return -1;  // the expected end of a table whose header is unusable
    }
}

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
