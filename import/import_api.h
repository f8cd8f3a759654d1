#pragma once
// What the import offers its callers (pkeep-admin import-from and the
// File > Import... wizard): detect a file's format, read it into a plan
// that says what would be added, merged and refused, and commit that plan
// into the collection as one change.
//
//   import::Format format = import::DetectFormat(path);
//   import::ReadOptions options{format};
//   if (format == import::Format::Csv) options.columns = import::GuessColumns(
//       import::SniffCsv(path).header);
//   import::ImportPlan plan = import::ReadPlan(path, options, collectionDir, progress);
//   show plan.Report() and plan.Problems(); plan.SetTakeShortened(userSaysYes);
//   import::CommitPlan(plan, collectionDir, progress);

#include "import/column_map.h"
#include "import/commit.h"
#include "import/csv_preview.h"
#include "import/format.h"
#include "import/import_error.h"
#include "import/plan.h"
#include "import/progress.h"
