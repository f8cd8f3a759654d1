#include "import/plan.h"

#include <QDir>
#include <QHash>
#include <set>

#include "import/commit.h"
#include "import/import_error.h"
#include "import/plan_data.h"
#include "import/readers.h"
#include "platform/db/session.h"
#include "store/collection.h"

namespace import {

namespace {

constexpr std::size_t kSeriesName = 0, kSeriesPublisher = 1, kSeriesEntry = 2;
constexpr std::size_t kBookEntry = 0, kComicNo = 1, kEdition = 2, kQty = 6;
const QChar kKeySeparator(0x1F);

QString Stored(const paradox::Value& value) {
    return value.isText() ? QString::fromStdString(value.asText()) : QString();
}

QString SeriesKey(const QString& series, const QString& publisher) {
    return series.toUpper() + kKeySeparator + publisher.toUpper();
}

QString BookKey(const MappedBook& book) {
    return SeriesKey(book.series, book.publisher) + kKeySeparator + Stored(book.row[kComicNo]) +
           kKeySeparator + Stored(book.row[kEdition]).toUpper();
}

ImportedBooks ReadBooks(const QString& path, const ReadOptions& options, const Progress& progress) {
    switch (options.format) {
        case Format::Tellico:
            return ReadTellico(path, progress);
        case Format::GCstar:
            return ReadGCstar(path, progress);
        case Format::ComicRack:
            return ReadComicRack(path, progress);
        case Format::ComicFiles:
            return ReadComicFiles(path, progress);
        case Format::Csv:
            return ReadCsv(path, options.columns, progress);
    }
    return {};
}

// Maps every book and folds those read twice into one.
std::shared_ptr<PlanData> Plan(const ImportedBooks& read, const ReadOptions& options) {
    auto data = std::make_shared<PlanData>();
    data->read = static_cast<int>(read.size());
    data->takeShortened = options.takeShortened;
    QHash<QString, std::size_t> seen;
    for (const ImportedBook& imported : read) {
        MappedBook mapped = MapBook(imported);
        if (!mapped.refusal.isEmpty()) {
            data->refusals.push_back({mapped.origin, {}, mapped.refusal, {}, {}});
            continue;
        }
        const QString key = BookKey(mapped);
        if (const auto it = seen.constFind(key); it != seen.constEnd()) {
            PlannedBook& first = data->books[*it];
            first.book.row[kQty] =
                paradox::Value::integer(first.book.row[kQty].asInt() + mapped.row[kQty].asInt());
            FillBlanks(first.book.row, mapped.row);
            first.book.problems.insert(first.book.problems.end(), mapped.problems.begin(),
                                       mapped.problems.end());
            ++data->duplicates;
        } else {
            seen.insert(key, data->books.size());
            data->books.push_back({std::move(mapped), 0, {}, Outcome::Added});
        }
    }
    for (const PlannedBook& planned : data->books)
        data->problems.insert(data->problems.end(), planned.book.problems.begin(),
                              planned.book.problems.end());
    return data;
}

// The collection's tables, opened for a look.
std::pair<std::shared_ptr<paradox::Table>, std::shared_ptr<paradox::Table>> OpenTables(
    const QString& directory) {
    std::pair<std::shared_ptr<paradox::Table>, std::shared_ptr<paradox::Table>> tables;
    const QString series = TSession::TablePath(directory, QString::fromLatin1(store::kSeriesTable));
    const QString books = TSession::TablePath(directory, QString::fromLatin1(store::kBooksTable));
    for (const QString& path : {series, books})
        if (!paradox::Table::exists(path.toStdString()))
            throw EImportError(QStringLiteral("no collection table %1 (create a collection first)")
                                   .arg(path)
                                   .toStdString());
    tables.first = paradox::Table::open(series.toStdString());
    tables.second = paradox::Table::open(books.toStdString());
    return tables;
}

}  // namespace

bool FillBlanks(paradox::Row& stored, const paradox::Row& imported) {
    constexpr std::size_t kFirstValue = 3;  // after ENTRY, COMIC_NO, EDITION
    bool filled = false;
    for (std::size_t f = kFirstValue; f < stored.size() && f < imported.size(); ++f) {
        if (f == kQty || !stored[f].isNull() || imported[f].isNull()) continue;
        stored[f] = imported[f];
        filled = true;
    }
    return filled;
}

void PlanData::Classify(const paradox::Table& series, const paradox::Table& booksTable) {
    QHash<QString, std::size_t> positions;  // the series' position in its table
    for (std::size_t i = 0; i < series.rowCount(); ++i) {
        const paradox::Row& row = series.row(i);
        positions.insert(SeriesKey(Stored(row[kSeriesName]), Stored(row[kSeriesPublisher])), i);
    }
    for (PlannedBook& planned : books) {
        const auto found =
            positions.constFind(SeriesKey(planned.book.series, planned.book.publisher));
        planned.seriesEntry = 0;
        planned.seriesKey.clear();
        planned.outcome = Outcome::Added;
        if (found == positions.constEnd()) continue;
        const paradox::Row& seriesRow = series.row(*found);
        planned.seriesEntry = seriesRow[kSeriesEntry].asInt();
        planned.seriesKey = {seriesRow[kSeriesName], seriesRow[kSeriesPublisher],
                             seriesRow[kSeriesEntry]};
        const std::size_t at =
            booksTable.find({paradox::Value::integer(planned.seriesEntry),
                             planned.book.row[kComicNo], planned.book.row[kEdition]});
        if (at == paradox::Table::npos) continue;
        paradox::Row stored = booksTable.row(at);
        planned.outcome =
            FillBlanks(stored, planned.book.row) ? Outcome::Merged : Outcome::Unchanged;
    }
}

ImportPlan::ImportPlan(const QString& source, std::shared_ptr<PlanData> data)
    : source_(source), data_(std::move(data)) {}

PlanCounts ImportPlan::Counts() const {
    PlanCounts counts;
    counts.read = data_->read;
    counts.duplicates = data_->duplicates;
    counts.refused = static_cast<int>(data_->refusals.size());
    std::set<QString> newSeries;
    for (const PlannedBook& planned : data_->books) {
        if (!data_->Taken(planned)) {
            ++counts.refused;
            continue;
        }
        if (planned.seriesEntry == 0)
            newSeries.insert(SeriesKey(planned.book.series, planned.book.publisher));
        switch (planned.outcome) {
            case Outcome::Added:
                ++counts.booksAdded;
                break;
            case Outcome::Merged:
                ++counts.booksMerged;
                break;
            case Outcome::Unchanged:
                ++counts.booksUnchanged;
                break;
            case Outcome::Refused:
                ++counts.refused;
                break;
        }
    }
    counts.seriesAdded = static_cast<int>(newSeries.size());
    return counts;
}

const std::vector<Problem>& ImportPlan::Problems() const { return data_->problems; }
const std::vector<Problem>& ImportPlan::Refusals() const { return data_->refusals; }
void ImportPlan::SetTakeShortened(bool take) { data_->takeShortened = take; }
bool ImportPlan::TakeShortened() const { return data_->takeShortened; }

QString ImportPlan::Report() const {
    const PlanCounts c = Counts();
    QString report;
    report += QStringLiteral("Read %1 books from %2").arg(c.read).arg(source_);
    if (c.duplicates > 0)
        report += QStringLiteral(" (%1 listed more than once: their quantities are added)")
                      .arg(c.duplicates);
    report += QStringLiteral(
                  ".\n%1 series and %2 books to add, %3 books to merge into those "
                  "stored, %4 books stored already, %5 refused.\n")
                  .arg(c.seriesAdded)
                  .arg(c.booksAdded)
                  .arg(c.booksMerged)
                  .arg(c.booksUnchanged)
                  .arg(c.refused);
    if (!data_->problems.empty()) {
        report +=
            data_->takeShortened
                ? QStringLiteral("\nValues that cannot be stored as they are (stored as shown):\n")
                : QStringLiteral(
                      "\nValues that cannot be stored as they are (their books are "
                      "left out; --allow-shortened stores them as shown):\n");
        for (const Problem& p : data_->problems)
            report += QStringLiteral("  %1: %2 %3: \"%4\" would become \"%5\"\n")
                          .arg(p.origin, p.field, p.reason, p.value, p.becomes);
    }
    if (!data_->refusals.empty()) {
        report += QStringLiteral("\nRefused:\n");
        for (const Problem& p : data_->refusals)
            report += QStringLiteral("  %1: %2\n").arg(p.origin, p.reason);
    }
    return report;
}

ImportPlan ReadPlan(const QString& path, const ReadOptions& options, const QString& collectionDir,
                    const Progress& progress) {
    RecoverInterruptedImport(collectionDir);
    const auto [series, books] = OpenTables(collectionDir);
    std::shared_ptr<PlanData> data = Plan(ReadBooks(path, options, progress), options);
    data->collectionDir = collectionDir;
    data->Classify(*series, *books);
    return ImportPlan(path, std::move(data));
}

}  // namespace import
