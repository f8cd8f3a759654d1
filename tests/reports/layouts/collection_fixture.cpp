#include "tests/reports/layouts/collection_fixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <clocale>
#include <memory>
#include <stdexcept>

#include "platform/db/table.h"
#include "platform/graphics/printers.h"
#include "platform/paradox/table.h"
#include "reports/catalogue.h"
#include "reports/report_recorder.h"
#include "store/collection.h"

namespace {

using paradox::Value;

struct RowBuilder {
    const paradox::TableSchema& schema;
    paradox::Row row;
    explicit RowBuilder(const paradox::TableSchema& s) : schema(s), row(s.fields.size()) {}
    RowBuilder& set(const char* field, Value value) {
        int index = schema.fieldIndex(field);
        if (index < 0) throw std::runtime_error(std::string("no field ") + field);
        row[static_cast<std::size_t>(index)] = std::move(value);
        return *this;
    }
};

Value Text(const QString& s) { return Value::text(s.toStdString()); }

}  // namespace

QString Stored(const QString& comicNo) { return comicNo.rightJustified(15, ' '); }

std::vector<BookRow> NumberedBooks(int count, int first, BookRow pattern) {
    std::vector<BookRow> books;
    for (int i = 0; i < count; ++i) {
        pattern.comicNo = QString::number(first + i);
        books.push_back(pattern);
    }
    return books;
}

TestCollection::TestCollection() : previousDirectory_(QDir::currentPath()) {
    std::setlocale(LC_ALL, "en_US.UTF-8");
    SetInstalledPrinters(std::make_unique<TNoPrinters>());
    store::CreateCollection(dir_.path());
    store::RegisterAlias(dir_.path());
    QImage logo(16, 16, QImage::Format_RGB32);
    logo.fill(Qt::darkBlue);
    logo.save(dir_.path() + "/PKEEP20.BMP", "BMP");
    QDir::setCurrent(dir_.path());
}

TestCollection::~TestCollection() { QDir::setCurrent(previousDirectory_); }

int TestCollection::add(const SeriesRow& series, const std::vector<BookRow>& books) {
    auto seriesTable = paradox::Table::open(dir_.file(store::kSeriesTable));
    int owned = 0;
    for (const BookRow& book : books) owned += book.qty;
    RowBuilder s(seriesTable->schema());
    s.set("SERIES", Text(series.name))
        .set("PUBLISHER", Text(series.publisher))
        .set("FAVORITE", Value::boolean(series.favorite))
        .set("WANTED", Value::boolean(series.wanted))
        .set("FORSALE", Value::boolean(series.forSale))
        .set("NEW", Value::boolean(false))
        .set("OWNED", Value::integer(series.owned.value_or(owned)));
    std::size_t position = seriesTable->insert(s.row);
    const int entry = static_cast<int>(
        seriesTable
            ->row(position)[static_cast<std::size_t>(seriesTable->schema().fieldIndex("ENTRY"))]
            .asInt());

    auto booksTable = paradox::Table::open(dir_.file(store::kBooksTable));
    for (const BookRow& book : books) {
        RowBuilder b(booksTable->schema());
        b.set("ENTRY", Value::integer(entry))
            .set("COMIC_NO", Text(Stored(book.comicNo)))
            .set("EDITION", Text(book.edition))
            .set("TITLE", Text(book.title))
            .set("ARTIST", Text(book.artist))
            .set("WRITER", Text(book.writer))
            .set("QTY", Value::integer(book.qty))
            .set("PAID", Value::floating(book.paid))
            .set("LOW", Value::floating(0))
            .set("HIGH", Value::floating(book.high))
            .set("PERC", Value::integer(book.perc))
            .set("BOOKNOTE", Text(book.note))
            .set("LOCATION", Text(book.location))
            .set("WANTED", Value::boolean(book.wanted))
            .set("FORSALE", Value::boolean(book.forSale))
            .set("AUTOGRAPH", Value::boolean(book.autograph));
        booksTable->insert(b.row);
    }
    return entry;
}

void TestCollection::demo(int series, int books) {
    QProcess admin;
    admin.start(PKEEP_ADMIN, {"--dir", dir_.path(), "demo", "--series", QString::number(series),
                              "--books", QString::number(books)});
    if (!admin.waitForFinished(60000) || admin.exitStatus() != QProcess::NormalExit ||
        admin.exitCode() != 0)
        throw std::runtime_error("pkeep-admin demo failed: " +
                                 admin.readAllStandardError().toStdString());
}

TCurrentSeriesKey TestCollection::key(int entry) const {
    auto seriesTable = paradox::Table::open(dir_.file(store::kSeriesTable));
    const auto& schema = seriesTable->schema();
    const auto at = [&](const char* f) { return static_cast<std::size_t>(schema.fieldIndex(f)); };
    for (std::size_t i = 0; i < seriesTable->rowCount(); ++i) {
        const paradox::Row& row = seriesTable->row(i);
        if (row[at("ENTRY")].asInt() == entry)
            return {QString::fromStdString(row[at("SERIES")].asText()),
                    QString::fromStdString(row[at("PUBLISHER")].asText()), entry};
    }
    throw std::runtime_error("no series with entry " + std::to_string(entry));
}

streamcheck::Report TestCollection::run(const QString& command,
                                        const std::optional<TCurrentSeriesKey>& current) {
    const TReportCommand* found = FindReportCommand(command);
    if (!found) throw std::runtime_error("no report command " + command.toStdString());
    QFile::remove(dir_.path() + "/pkeep.rpt");
    TReportRun report;
    report.OpenTables();
    TReportRecorder recorder;
    recorder.FileName = dir_.path() + "/pkeep.rpt";
    report.Attach(recorder);
    PrepareReport(report, recorder, *found, current);
    recorder.Run();
    return streamcheck::readReport(dir_.file("pkeep.rpt"));
}

streamcheck::Report TestCollection::recordLayout(TPageLayout page) {
    TTable series, books;
    for (auto [table, name] :
         {std::pair{&series, store::kSeriesTable}, {&books, store::kBooksTable}}) {
        table->SetDatabaseName(store::kAlias);
        table->SetTableName(name);
        table->Open();
    }
    layout::ReportContext context;
    layout::BindTables(context, series, books);
    TReportRecorder recorder;
    recorder.StreamMode = smFile;
    recorder.FileName = QString::fromStdString(dir_.file("layout.rpt"));
    recorder.SetUnitsFactor(1.0);
    recorder.OnPrintPage = [&](TBaseReport* sender, int&) { return page(context, *sender); };
    recorder.Run();
    return streamcheck::readReport(dir_.file("layout.rpt"));
}
