#pragma once
// The five charts of the Statistics window, drawn from the figures.  Each
// function returns a new chart for a QChartView to own.

#include <QString>

#include "insight/statistics.h"

class QChart;

namespace insight {

inline constexpr int kChartCount = 5;
inline constexpr int kPublishersCharted = 10;  // the rest share one bar

// The chart's title, also the tab's caption and the printed page's title.
QString ChartTitle(int index);
QChart* BuildChart(int index, const CollectionStatistics& figures);

}  // namespace insight
