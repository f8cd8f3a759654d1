#include "import/progress.h"

#include "import/import_error.h"

namespace import {

void ReportProgress(const Progress& progress, qint64 done, qint64 total) {
    if (progress && !progress(done, total)) throw EImportCancelled();
}

}  // namespace import
