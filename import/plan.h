#pragma once
// The plan of an import: every book read from the file, where it came from,
// what it becomes in the two tables and whether it adds a book, merges into
// one already stored or is refused.  Reading the plan changes nothing.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "import/column_map.h"
#include "import/format.h"
#include "import/progress.h"

namespace import {

struct ReadOptions {
    Format format = Format::Csv;
    ColumnMap columns;           // CSV only: the columns of our fields
    bool takeShortened = false;  // store shortened values instead of leaving those rows out
};

// One value that cannot be stored as it is.
struct Problem {
    QString origin;   // "file line 12", "file entry 3"
    QString field;    // "TITLE"
    QString reason;   // "longer than 80 characters"
    QString value;    // as read
    QString becomes;  // as it would be stored
};

// One row of a dry run: a planned book and what happens to it.
enum class Outcome { Added, Merged, Unchanged, Refused };

struct PlanCounts {
    int read = 0;  // books read from the file
    int seriesAdded = 0;
    int booksAdded = 0;
    int booksMerged = 0;     // already stored, blank fields filled in
    int booksUnchanged = 0;  // already stored as they are
    int duplicates = 0;      // read twice: the quantities were added
    int refused = 0;         // left out (no series or issue, or a value to shorten)
};

class PlanData;  // the planned rows (plan_data.h)

class ImportPlan {
public:
    ImportPlan(const QString& source, std::shared_ptr<PlanData> data);
    const QString& source() const { return source_; }

    PlanCounts Counts() const;
    // Values that cannot be stored as they are, with what they would become.
    const std::vector<Problem>& Problems() const;
    // Rows left out whatever the choice (no series name, no issue number).
    const std::vector<Problem>& Refusals() const;
    // With true, rows with a problem are stored with the shortened or
    // transliterated values; with false they are left out.
    void SetTakeShortened(bool take);
    bool TakeShortened() const;

    // The dry-run report: counts, then each problem and refusal on a line.
    QString Report() const;

    const PlanData& data() const { return *data_; }

private:
    QString source_;
    std::shared_ptr<PlanData> data_;
};

// Reads the file (or folder) at `path` and plans it against the collection
// in `collectionDir` (which must exist).  Raises EImportError for a file that
// cannot be read, EImportCancelled when `progress` cancels.
ImportPlan ReadPlan(const QString& path, const ReadOptions& options, const QString& collectionDir,
                    const Progress& progress = {});

}  // namespace import
