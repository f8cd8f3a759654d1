#pragma once
// TReportRecorder: a report recorder that brings its own measuring window.
// Without printers the recorder measures text on its owner's screen, which
// only a top-level window gives it; this one owns a hidden one, so whoever
// records (a preview window that is itself a child window, a tool, a test)
// needs no window of its own.

#include <memory>

#include "reportengine/report_filer.h"

class QWidget;

namespace detail {
// Made before the recorder that measures on it, destroyed after it.
struct MeasuringWindow {
    MeasuringWindow();
    ~MeasuringWindow();
    std::unique_ptr<QWidget> window;
};
}  // namespace detail

class TReportRecorder : private detail::MeasuringWindow, public TReportFiler {
public:
    TReportRecorder();
};
