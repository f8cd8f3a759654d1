#pragma once
// The rebuild and the verification of one table, as the library's entry
// points run them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/tutil/header.h"

namespace tutil {

// The files of a table: `base` is the name without extension; the others
// are the existing files found without regard to case ("" when missing).
struct TableFiles {
    std::string base;
    std::string db, px, mb;
};
// Finds the table `base` ("dir/series" or "series"); raises
// TableError(TU_ERR_NOTFOUND) when there is no .db.  Finishes or undoes an
// interrupted swap of the table first (TU_ERR_IO when another process holds
// the table meanwhile).
TableFiles locateTable(const std::string& base);

struct RebuildRequest {
    std::string table;  // names without extension
    std::string backup;
    std::string keyViolations;
    std::string problems;
    // The structure the caller described: must be the table's own.
    std::vector<FieldInfo> fields;
    int keyFieldCount = 0;
    // Block size of the rebuilt table in KiB; 0 keeps the table's own.
    int blockSizeKiB = 0;
};

struct RebuildResult {
    std::uint32_t rows = 0;
    std::uint32_t keyViolations = 0;
    std::uint32_t problems = 0;
    std::string keyViolationTable;  // the .DB written, "" when none
    std::string problemTable;
    std::vector<std::string> notes;  // damage found
};

// Progress: percent >= 0, or a message; either returns false to stop.
struct RebuildProgress {
    std::function<bool(int)> percent;
    std::function<bool(const std::string&)> message;
};

// Rebuilds the table (see rebuild.cpp for the steps).  Raises TableError;
// a failed rebuild leaves the original table as it was.
RebuildResult rebuildTable(const RebuildRequest& request, const RebuildProgress& progress);

// Error level of a table (TU_LEVEL_...), with what was found.  A full
// verification holds the table's lock while it reads the rows, as the
// rebuild does (a table open in a running program is refused), unless
// `lock` is false.
int verifyTable(const std::string& base, bool headerOnly, std::vector<std::string>& findings,
                bool lock = true);

// Writes `findings` to a table of one alpha field ERROR at `path` (without
// extension), modelled on `model`.
void writeErrorTable(const std::string& base, const TableHeader& model,
                     const std::vector<std::string>& findings);

}  // namespace tutil
