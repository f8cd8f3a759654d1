// Records each report over the whole collection (the listings of every
// series and book, the two complete lists, the summary) on the 10,000-series,
// 100,000-book sample and prints pages, wall-clock and CPU seconds for each.
// The Comic Collection Listing is expected to take less than 5 seconds and
// Missing Issues less than 2; their lines give the ratio of the wall-clock
// time to that target.
//
//   bench_reports [SERIES BOOKS [COMMAND...]]
//
// COMMAND names a Reports menu item (e.g. CollectionBySereis) to record only
// some reports, as when profiling.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "bench/support/sample_collection.h"
#include "platform/graphics/printers.h"
#include "reportengine/file_preview.h"
#include "reports/catalogue.h"
#include "reports/preview_form.h"
#include "store/collection.h"
#include "tools/command.h"
#include "tools/logo.h"

namespace {

// The sample with the logo the page frame prints.
void fillSample(const QString& directory, int series, int books) {
    bench::FillSampleCollection(directory, series, books);
    admin::WriteLogo(QDir(directory).filePath(QString::fromLatin1(admin::kLogoFile)));
}

// The reports with a target time, in seconds.
double TargetSeconds(const QString& name) {
    if (name == "CollectionBySereis") return 5.0;
    if (name == "MissingIssues") return 2.0;
    return 0;
}

struct Figures {
    int pages = 0;
    double seconds = 0;
    double cpuSeconds = 0;
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

Figures record(const TReportCommand& command) {
    const double cpuStart = CpuSeconds();
    QElapsedTimer timer;
    timer.start();
    QPointer<TPreviewForm> form = new TPreviewForm;
    PrepareReport(*form, command, std::nullopt);
    form->RunReport();
    Figures figures{form ? form->RPPreview->PageCount() : 0, timer.nsecsElapsed() / 1e9,
                    CpuSeconds() - cpuStart};
    if (form) form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "en_US.UTF-8");
    const int series = argc > 2 ? std::atoi(argv[1]) : 10000;
    const int books = argc > 2 ? std::atoi(argv[2]) : 100000;

    QTemporaryDir dir;
    fillSample(dir.path(), series, books);
    store::RegisterAlias(dir.path());
    QDir::setCurrent(dir.path());
    SetInstalledPrinters(std::make_unique<TNoPrinters>());

    QStringList names{"CollectionBySereis",
                      "AutographedBooks",
                      "BooksforSale",
                      "WantedBooks1",
                      "CompleteWantList",
                      "CompleteForSaleList",
                      "ProfitInvestmentSummary",
                      "MissingIssues",
                      "AllSeries"};
    if (argc > 3) {
        names.clear();
        for (int i = 3; i < argc; ++i) names << QString::fromLocal8Bit(argv[i]);
    }

    std::printf("%d series, %d books\n", series, books);
    std::printf("%-40s %7s %9s %9s\n", "report", "pages", "seconds", "cpu s");
    for (const QString& name : names) {
        const TReportCommand* command = FindReportCommand(name);
        if (!command) {
            std::fprintf(stderr, "no report command \"%s\"\n", qPrintable(name));
            return 2;
        }
        const Figures f = record(*command);
        std::printf("%-40s %7d %9.2f %9.2f", command->Title, f.pages, f.seconds, f.cpuSeconds);
        if (const double target = TargetSeconds(command->Name); target > 0)
            std::printf("  (%.2f of the %.0f s target: %s)", f.seconds / target, target,
                        f.seconds < target ? "met" : "MISSED");
        std::printf("\n");
        std::fflush(stdout);
    }
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
