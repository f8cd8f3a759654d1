// Rendering one recorded page on the preview bitmap: page 1 of the all-series
// listing of a 150-series collection, at the preview's default zoom (69),
// at 100 and at 200 per cent.  Each rendering should fit in one screen frame
// (16 ms); the figures and the budget are printed at the end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/db/table.h"
#include "platform/graphics/printers.h"
#include "reportengine/file_preview.h"
#include "reports/preview_form.h"
#include "store/collection.h"

namespace {

constexpr double FrameBudgetMs = 16.0;

struct RecordedListing {
    QTemporaryDir dir;
    QString stream;

    RecordedListing() {
        store::CreateCollection(dir.path());
        store::RegisterAlias(dir.path());
        QImage logo(32, 32, QImage::Format_RGB32);
        logo.fill(Qt::red);
        logo.save(dir.path() + "/PKEEP20.BMP", "BMP");
        TTable series;
        series.SetDatabaseName("PKEEP");
        series.SetTableName("series.db");
        series.Open();
        for (int i = 1; i <= 150; ++i) {
            series.Append();
            series.FieldByName("SERIES")->SetAsString(
                QString("THE AMAZING SERIES NUMBER %1").arg(i));
            series.FieldByName("PUBLISHER")->SetAsString("MARVEL COMICS GROUP");
            series.Post();
        }
        series.Close();
        stream = dir.path() + "/pkeep.rpt";
        QWidget host;
        auto* form = new TPreviewForm(&host);
        form->SetReportFile(stream);
        form->Run.LogoFile = dir.path() + "/PKEEP20.BMP";
        form->RunReport();
    }
};

RecordedListing& Listing() {
    static RecordedListing listing;
    return listing;
}

std::map<int, double> millisecondsAtZoom;

void BM_RenderPage(benchmark::State& state) {
    const int zoom = int(state.range(0));
    QWidget host;
    host.resize(800, 600);
    auto* area = new QScrollArea(&host);
    area->resize(800, 600);
    host.show();
    TFilePreview preview;
    preview.ScrollBox = area;
    preview.FileName = Listing().stream;
    preview.MarginPercent = 1;
    preview.SetZoomFactor(zoom);
    preview.StartPreview();
    for (auto _ : state) {
        preview.RedrawPage();
        benchmark::DoNotOptimize(preview.PageBitmap().constBits());
    }
    preview.EndPreview();
}
BENCHMARK(BM_RenderPage)->Arg(69)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

class FigureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            const int zoom = std::atoi(name.substr(name.find('/') + 1).c_str());
            millisecondsAtZoom[zoom] = run.GetAdjustedRealTime();  // in the run's unit (ms)
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    benchmark::Initialize(&argc, argv);
    Listing();
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nOne page of the all-series listing on the preview bitmap:\n");
    for (const auto& [zoom, ms] : millisecondsAtZoom) {
        std::printf("  zoom %3d %%: %6.2f ms  (%s the %.0f ms frame budget, %.0f %% of it)\n", zoom,
                    ms, ms <= FrameBudgetMs ? "within" : "OVER", FrameBudgetMs,
                    ms / FrameBudgetMs * 100);
    }
    benchmark::Shutdown();
    return 0;
}
