#include "reports/report_recorder.h"

#include <QWidget>

namespace detail {

MeasuringWindow::MeasuringWindow() : window(std::make_unique<QWidget>()) {}
MeasuringWindow::~MeasuringWindow() = default;

}  // namespace detail

TReportRecorder::TReportRecorder() : MeasuringWindow(), TReportFiler(window.get()) {}
