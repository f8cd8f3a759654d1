#pragma once
// Storing a plan: both tables change together or not at all.  Before the
// first row is written, the two tables' files are copied aside and a marker
// says that an import is under way; the marker goes once both tables
// reached the disk.  Whoever opens the collection next and finds the marker
// left behind (the process was killed) puts the copies back.

#include <QString>

#include "import/plan.h"
#include "import/progress.h"

namespace import {

struct CommitResult {
    int seriesAdded = 0;
    int booksAdded = 0;
    int booksMerged = 0;
};

// Stores `plan` into the collection in `collectionDir`.  Raises
// EImportCancelled when `progress` cancels and any Exception on failure; in
// both cases the collection is as it was before.  A collection changed since
// the plan was read is placed again first, so that merging stays by key.
// No window of this process may hold the tables open meanwhile: an import
// that fails puts the files back from under them.
CommitResult CommitPlan(const ImportPlan& plan, const QString& collectionDir,
                        const Progress& progress = {});

// Puts the collection in `collectionDir` back as it was before an import
// that was cut short; does nothing when there was none.  Call before the
// tables are opened.  Raises EImportError when another process is still
// importing into it.
void RecoverInterruptedImport(const QString& collectionDir);

}  // namespace import
