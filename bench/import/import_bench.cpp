// The import of a 100,000-book collection, from a Tellico .tc file and from
// a CSV file, against the bare bulk load of the same rows into empty tables
// (one batch per table, both saved), in one run; the files list the books
// in the order a collector entered them.  Each step runs in a process of
// its own, five rounds of the three steps, each round starting with
// another step; the medians are compared (one round is at the mercy of the machine: on a virtual
// machine the cost of fresh memory alone varies by a third from one process to the next).  Prints
// each time, the target (the import at most 1.5 times the bulk load) and the ratio of the medians.
//
//   bench_import [DIRECTORY]   (default: a new directory under /tmp; it must
//                               not hold the collections of an earlier run)

#include <zip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/paradox/collection_generator.h"
#include "import/import_api.h"
#include "store/collection.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTargetRatio = 1.5;
constexpr int kSeries = 10000, kBooks = 100000;

double CpuNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Wall-clock milliseconds of `work`; its CPU milliseconds go to `cpuMs`
// (on a loaded machine the steadier figure).
double TimeMs(const std::function<void()>& work, double* cpuMs = nullptr) {
    const auto start = Clock::now();
    const double cpuStart = CpuNowMs();
    work();
    if (cpuMs) *cpuMs = CpuNowMs() - cpuStart;
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

QString Text(const paradox::Value& v) {
    return v.isText() ? QString::fromStdString(v.asText()).trimmed() : QString();
}

QString Escaped(QString text) {
    return text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

// The grade as a collector writes it: 0.5 to 10.
QString Grade(const paradox::Value& perc) {
    const int p = perc.isNull() ? 100 : static_cast<int>(perc.asInt());
    return QString::number(qBound(5, p, 100) / 10.0, 'f', 1);
}

QString Price(const paradox::Value& v) {
    return v.isNull() ? QString() : QStringLiteral("$") + QString::number(v.asDouble(), 'f', 2);
}

// The generated books as Tellico entries and as CSV rows.
void WriteSources(const bench::Collection& c, const QString& tc, const QString& csvPath) {
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tellico "
        "xmlns=\"http://periapsis.org/tellico/\" syntaxVersion=\"11\">\n <collection "
        "title=\"Bench\" type=\"6\">\n";
    QByteArray csv =
        "Series,Publisher,Issue,Edition,Title,Writer,Artist,Qty,Price Paid,Condition\n";
    auto quoted = [](const QString& s) { return "\"" + QString(s).replace('"', "\"\"") + "\""; };
    int id = 0;
    // In the order a collector entered them, not in the tables' key order.
    std::vector<const paradox::Row*> entered;
    for (const paradox::Row& b : c.books) entered.push_back(&b);
    std::shuffle(entered.begin(), entered.end(), std::mt19937(7));
    for (const paradox::Row* book : entered) {
        const paradox::Row& b = *book;
        const paradox::Row& s = c.series[b[0].asInt() - 1];
        QString entry = QStringLiteral(
                            "  <entry id=\"%1\"><title>%2</title><writers><writer>%3"
                            "</writer></writers><artists><artist>%4</artist></artists>"
                            "<series>%5</series><issue>%6</issue><publisher>%7"
                            "</publisher><edition>%8</edition><condition>%9</condition>"
                            "<pur_price>%10</pur_price></entry>\n")
                            .arg(++id)
                            .arg(Escaped(Text(b[3])), Escaped(Text(b[5])), Escaped(Text(b[4])),
                                 Escaped(Text(s[0])), Escaped(Text(b[1])), Escaped(Text(s[1])),
                                 Escaped(Text(b[2])), Grade(b[10]))
                            .arg(Price(b[7]));
        xml += entry.toUtf8();
        csv += QStringList{quoted(Text(s[0])), quoted(Text(s[1])),
                           quoted(Text(b[1])), quoted(Text(b[2])),
                           quoted(Text(b[3])), quoted(Text(b[5])),
                           quoted(Text(b[4])), QString::number(b[6].isNull() ? 1 : b[6].asInt()),
                           Price(b[7]),        Grade(b[10])}
                   .join(',')
                   .toUtf8() +
               '\n';
    }
    xml += " </collection>\n</tellico>\n";
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(tc).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    zip_file_add(archive, "tellico.xml", zip_source_buffer(archive, xml.constData(), xml.size(), 0),
                 0);
    zip_close(archive);
    QFile out(csvPath);
    out.open(QIODevice::WriteOnly);
    out.write(csv);
}

struct Timing {
    double ms, cpuMs;
};

Timing BulkLoad(const bench::Collection& c, const QString& dir) {
    store::CreateCollection(dir);
    Timing timing{};
    timing.ms = TimeMs(
        [&] {
            auto series = paradox::Table::open((dir + "/series.db").toStdString());
            auto books = paradox::Table::open((dir + "/books.db").toStdString());
            series->beginBatch();
            for (const paradox::Row& r : c.series) series->insert(r);
            series->commitBatch();
            books->beginBatch();
            for (const paradox::Row& r : c.books) books->insert(r);
            books->commitBatch();
            series->saveChanges();
            books->saveChanges();
        },
        &timing.cpuMs);
    return timing;
}

Timing Import(const QString& source, const QString& dir) {
    store::CreateCollection(dir);
    double readMs = 0, commitMs = 0, readCpu = 0, commitCpu = 0;
    Timing total{};
    total.ms = TimeMs(
        [&] {
            import::ReadOptions options{import::DetectFormat(source), {}, true};
            if (options.format == import::Format::Csv)
                options.columns = import::GuessColumns(import::SniffCsv(source).header);
            std::optional<import::ImportPlan> plan;
            readMs =
                TimeMs([&] { plan.emplace(import::ReadPlan(source, options, dir)); }, &readCpu);
            import::CommitResult result;
            commitMs = TimeMs([&] { result = import::CommitPlan(*plan, dir); }, &commitCpu);
            if (result.booksAdded < kBooks * 9 / 10)
                std::printf("  (only %d books added from %s)\n", result.booksAdded,
                            qPrintable(source));
        },
        &total.cpuMs);
    std::printf("  %s: reading and planning %.1f ms (CPU %.1f), the commit %.1f ms (CPU %.1f)\n",
                qPrintable(QFileInfo(source).fileName()), readMs, readCpu, commitMs, commitCpu);
    return total;
}

// Runs one step in a fresh process of its own (this program again, with
// --step), as an import from the command line runs: what one step leaves
// in the heap neither speeds up nor slows down the next.  The child's lines
// are passed on; its last gives the timing.
Timing InOwnProcess(const char* step, const QString& dir, int round) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral("/proc/self/exe"),
                {QStringLiteral("--step"), step, dir, QString::number(round)});
    child.waitForFinished(-1);
    Timing timing{};
    bool timed = false;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (std::sscanf(line.constData(), "timing %lf %lf", &timing.ms, &timing.cpuMs) == 2)
            timed = true;
        else if (!line.isEmpty())
            std::printf("%s\n", line.constData());
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || !timed)
        throw std::runtime_error(std::string("the step ") + step + " failed");
    return timing;
}

// The child's side: one step, into a collection of its own, its timing on
// the last line.
int RunStep(const QString& step, const QString& dir, const QString& round) {
    const QString collection = dir + "/" + step + round;
    Timing timing{};
    if (step == QLatin1String("bulk"))
        timing = BulkLoad(bench::generateCollection(kSeries, kBooks, 2024), collection);
    else if (step == QLatin1String("tellico"))
        timing = Import(dir + "/bench.tc", collection);
    else
        timing = Import(dir + "/bench.csv", collection);
    std::printf("timing %.3f %.3f\n", timing.ms, timing.cpuMs);
    return 0;
}

constexpr int kRounds = 5;
using Rounds = std::vector<Timing>;

Timing Median(Rounds rounds) {
    const auto middle = [&](auto member) {
        std::vector<double> v;
        for (const Timing& t : rounds) v.push_back(t.*member);
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    return {middle(&Timing::ms), middle(&Timing::cpuMs)};
}

std::string Range(const Rounds& rounds) {
    std::string text;
    for (const Timing& t : rounds) text += (text.empty() ? "" : ", ") + std::to_string(int(t.ms));
    return text;
}

void Report(const char* what, const Rounds& imports, const Rounds& bulks) {
    const Timing import = Median(imports), bulk = Median(bulks);
    std::printf("%s, median of %d rounds (%s ms; bulk load %s ms):\n", what, kRounds,
                Range(imports).c_str(), Range(bulks).c_str());
    std::printf("  %8.1f ms  bulk load %8.1f ms  ratio %.2f  (target at most %.1f)  %s\n",
                import.ms, bulk.ms, import.ms / bulk.ms, kTargetRatio,
                import.ms / bulk.ms <= kTargetRatio ? "met" : "MISSED");
    std::printf("  %8.1f ms  bulk load %8.1f ms  ratio %.2f  (CPU time)\n", import.cpuMs,
                bulk.cpuMs, import.cpuMs / bulk.cpuMs);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 5 && std::string(argv[1]) == "--step")
            return RunStep(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                           QString::fromLocal8Bit(argv[4]));
        QTemporaryDir temporary(QDir::tempPath() + "/import-bench-XXXXXX");
        const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
        QDir().mkpath(dir);
        std::printf("Generating %d series and %d books in %s\n", kSeries, kBooks, qPrintable(dir));
        WriteSources(bench::generateCollection(kSeries, kBooks, 2024), dir + "/bench.tc",
                     dir + "/bench.csv");
        // Each round starts with another step, so that no step always
        // follows the same one (a process's memory, given back when it
        // ends, is dearer to the next one to take it).
        const char* const steps[] = {"bulk", "tellico", "csv"};
        std::map<std::string, Rounds> timings;
        for (int round = 0; round < kRounds; ++round)
            for (int s = 0; s < 3; ++s) {
                const char* step = steps[(round + s) % 3];
                timings[step].push_back(InOwnProcess(step, dir, round + 1));
            }
        const Rounds& bulk = timings["bulk"];
        const Rounds& tellico = timings["tellico"];
        const Rounds& csv = timings["csv"];
        Report("import of a 100,000-book Tellico file", tellico, bulk);
        Report("import of a 100,000-row CSV file", csv, bulk);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_import: %s\n", e.what());
        return 1;
    }
    return 0;
}
