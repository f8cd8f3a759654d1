// Printing the Comic Collection Listing of the 10,000-series, 100,000-book
// sample through a real CUPS queue (a private print server whose device
// writes each job to a file), against printing the same recorded pages to a
// PDF file as `pkeep-admin report --pdf` does (its print step: the printer
// replay onto the PDF printer).  The report is recorded once beforehand by
// `pkeep-admin report --rpt`; both figures replay that stream, the queue's
// until its job has reached the device.  Target: the queue takes at most
// twice the PDF's time.
//
//   bench_print_queue [SERIES BOOKS]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "platform/graphics/printers.h"
#include "reportengine/file_printer.h"
#include "store/collection.h"
#include "tests/support/print_server.h"
#include "tools/command.h"
#include "tools/logo.h"

namespace {

constexpr double kTargetRatio = 2.0;

int series = 10000;
int books = 100000;
QTemporaryDir* scratch = nullptr;
TestPrintServer* server = nullptr;
std::map<std::string, double> secondsOf;
std::map<std::string, int> pagesOf;

void RunAdmin(const QString& directory, const QString& name, const QStringList& arguments) {
    QTextStream out(stdout);
    admin::Context context{directory, out};
    for (const admin::Command& command : admin::Commands())
        if (QString(command.name) == name) command.run(context, arguments);
}

QString Collection() { return scratch->filePath("collection"); }
QString Stream() { return scratch->filePath("listing.rpt"); }

// The sample collection and its Collection Listing, recorded once.
void RecordListing() {
    QDir().mkpath(Collection());
    store::CreateCollection(Collection());
    admin::WriteLogo(QDir(Collection()).filePath(QString::fromLatin1(admin::kLogoFile)));
    RunAdmin(Collection(), "demo",
             {"--series", QString::number(series), "--books", QString::number(books)});
    RunAdmin(Collection(), "report", {"CollectionBySereis", "--rpt", Stream()});
}

int PdfPages(const QString& pdf) {
    QProcess info;
    info.start("pdfinfo", {pdf});
    info.waitForFinished(120000);
    for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

// Replays the recorded listing on the program's printer, as the preview
// window's Print button and `pkeep-admin report --pdf` do.
void PrintListing() {
    TFilePrinter printer;
    printer.FileName = Stream();
    printer.RefreshPrinterSetup();
    printer.Run();
}

void BM_PrintToPdf(benchmark::State& state) {
    const QString pdf = scratch->filePath("listing.pdf");
    for (auto _ : state) {
        SetInstalledPrinters(std::make_unique<TPdfFilePrinters>(pdf));
        PrintListing();
    }
    pagesOf["pdf"] = PdfPages(pdf);
    QFile::remove(pdf);
}

void BM_PrintToCupsQueue(benchmark::State& state) {
    if (!server->Ready()) {
        state.SkipWithError(qPrintable("no private print server: " + server->Problem()));
        return;
    }
    int jobs = int(server->JobFiles().size());
    for (auto _ : state) {
        SetInstalledPrinters(std::make_unique<TSystemPrinters>());
        PrintListing();
        if (!server->WaitForJobs(++jobs, 600000)) state.SkipWithError("the job never arrived");
    }
    if (!server->JobFiles().isEmpty()) pagesOf["queue"] = PdfPages(server->JobFiles().back());
}

BENCHMARK(BM_PrintToPdf)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_PrintToCupsQueue)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

class FigureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.benchmark_name();
            secondsOf[name.find("Pdf") != std::string::npos ? "pdf" : "queue"] =
                run.GetAdjustedRealTime();  // in the run's unit (s)
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "en_US.UTF-8");
    benchmark::Initialize(&argc, argv);
    if (argc > 2) {
        series = std::atoi(argv[1]);
        books = std::atoi(argv[2]);
    }
    QTemporaryDir dir;
    scratch = &dir;
    TestPrintServer printServer;
    server = &printServer;
    std::printf("%d series, %d books\n", series, books);
    RecordListing();
    QDir::setCurrent(Collection());

    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    QDir::setCurrent(QDir::tempPath());

    std::printf("\nPrinting the Comic Collection Listing:\n");
    std::printf("  to a PDF file (as pkeep-admin report --pdf): %8.2f s, %d pages\n",
                secondsOf["pdf"], pagesOf["pdf"]);
    if (secondsOf.count("queue")) {
        std::printf("  through a CUPS queue:                        %8.2f s, %d pages\n",
                    secondsOf["queue"], pagesOf["queue"]);
        const double ratio = secondsOf["queue"] / secondsOf["pdf"];
        std::printf("  ratio: %.2f x (target at most %.0f x: %s)\n", ratio, kTargetRatio,
                    ratio <= kTargetRatio ? "met" : "MISSED");
    } else {
        std::printf("  through a CUPS queue: not run (%s)\n", qPrintable(printServer.Problem()));
    }
    benchmark::Shutdown();
    return 0;
}
