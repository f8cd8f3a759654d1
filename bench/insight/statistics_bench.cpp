// Opens the Statistics window on the 10,000-series, 100,000-book sample
// (half of the books with a purchase date) and prints the wall-clock time
// until every chart is built and drawn, against the 1 s target, with the
// time of the figures' pass alone beside it.  Median of five openings.
//
//   bench_insight [SERIES BOOKS]
#include <QApplication>
#include <QChartView>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "bench/support/sample_collection.h"
#include "insight/statistics.h"
#include "insight/statistics_charts.h"
#include "insight/statistics_form.h"
#include "platform/paradox/table.h"
#include "store/collection.h"

namespace {

constexpr double kTargetSeconds = 1.0;
constexpr int kRuns = 5;

// Every other book gets a purchase date in the extras table, spread over 20 years.
void addPurchaseDates(const QString& directory) {
    using T = paradox::FieldType;
    paradox::TableSchema schema;
    schema.fields = {{"ENTRY", T::Long},
                     {"COMIC_NO", T::Alpha, 15},
                     {"EDITION", T::Alpha, 10},
                     {"BOUGHT", T::Date}};
    schema.keyFieldCount = 3;
    const std::string path = QDir(directory).filePath(insight::kExtrasTable).toStdString();
    paradox::Table::create(path, schema);
    auto extras = paradox::Table::open(path);
    auto books = paradox::Table::open(QDir(directory).filePath(store::kBooksTable).toStdString());
    const qint64 dayOne = QDate(1, 1, 1).toJulianDay();
    extras->beginBatch();
    for (std::size_t i = 0; i < books->rowCount(); i += 2) {
        const paradox::Row& book = books->row(i);
        const QDate bought = QDate(2005, 1, 1).addDays(static_cast<qint64>(i % 7300));
        extras->insert({book[0], book[1], book[2],
                        paradox::Value::integer(bought.toJulianDay() - dayOne + 1)});
    }
    extras->commitBatch();
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Wall-clock and CPU seconds of one measurement.
struct Time {
    double wall = 0, cpu = 0;
};

class Stopwatch {
public:
    Stopwatch() : cpu_(CpuSeconds()) { timer_.start(); }
    Time elapsed() const { return {timer_.nsecsElapsed() / 1e9, CpuSeconds() - cpu_}; }

private:
    QElapsedTimer timer_;
    double cpu_;
};

double median(const std::vector<Time>& times, double Time::*part) {
    std::vector<double> seconds;
    for (const Time& time : times) seconds.push_back(time.*part);
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

void print(const char* what, const std::vector<Time>& times) {
    std::printf("%-40s %8.3f %8.3f\n", what, median(times, &Time::wall), median(times, &Time::cpu));
}

Time openWindow(const QString& directory) {
    Stopwatch watch;
    TStatisticsForm form(directory);
    form.show();
    form.Calculate();
    for (int i = 0; i < insight::kChartCount; ++i) form.ChartView(i)->grab();  // each drawn once
    QApplication::processEvents();
    return watch.elapsed();
}

Time computeOnly(const QString& directory) {
    Stopwatch watch;
    insight::ComputeStatistics(directory);
    return watch.elapsed();
}

// The pass over tables already open (what the pass costs beyond opening them).
Time passOnly(const QString& directory) {
    auto series = paradox::Table::open(QDir(directory).filePath(store::kSeriesTable).toStdString());
    auto books = paradox::Table::open(QDir(directory).filePath(store::kBooksTable).toStdString());
    auto extras =
        paradox::Table::open(QDir(directory).filePath(insight::kExtrasTable).toStdString());
    Stopwatch watch;
    insight::ComputeStatistics(*series, *books, extras.get());
    return watch.elapsed();
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "en_US.UTF-8");
    const int series = argc > 2 ? std::atoi(argv[1]) : 10000;
    const int books = argc > 2 ? std::atoi(argv[2]) : 100000;

    QTemporaryDir dir;
    bench::FillSampleCollection(dir.path(), series, books);
    addPurchaseDates(dir.path());

    std::vector<Time> window, pass, opened;
    for (int run = 0; run < kRuns; ++run) {
        window.push_back(openWindow(dir.path()));
        pass.push_back(computeOnly(dir.path()));
        opened.push_back(passOnly(dir.path()));
    }
    std::printf("%d series, %d books, median of %d     wall s    cpu s\n", series, books, kRuns);
    print("Statistics window with all charts", window);
    print("  the figures alone", pass);
    print("  the figures, tables already open", opened);
    const double wall = median(window, &Time::wall);
    std::printf("Window: %.2f of the %.0f s target (%s)\n", wall / kTargetSeconds, kTargetSeconds,
                wall <= kTargetSeconds ? "met" : "MISSED");
    return 0;
}
