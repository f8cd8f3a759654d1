#pragma once
// Progress of a long step, and the caller's way to cancel it.

#include <QtGlobal>
#include <functional>

namespace import {

// Called now and then with the work done so far out of `total` (bytes read
// or rows stored); returning false cancels the step, which then raises
// EImportCancelled.  An empty function neither shows nor cancels.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Reports to `progress` and raises EImportCancelled when it asks to stop.
void ReportProgress(const Progress& progress, qint64 done, qint64 total);

}  // namespace import
