#include "import/plan.h"

#include <QDir>
#include <QHash>
#include <algorithm>
#include <optional>

#include "import/commit.h"
#include "import/heap_pages.h"
#include "import/import_error.h"
#include "import/plan_data.h"
#include "import/readers.h"
#include "platform/db/session.h"
#include "store/collection.h"

namespace import {

namespace {

constexpr std::size_t kSeriesName = 0, kSeriesPublisher = 1, kSeriesEntry = 2;
constexpr std::size_t kBookEntry = 0, kComicNo = 1, kEdition = 2, kQty = 6;

QString Stored(const paradox::Value& value) {
    return value.isText() ? QString::fromStdString(value.asText()) : QString();
}

// A book's key is its series (name and publisher, told by its place among
// the series read), its issue number as stored and its edition in any case.
// The hash leaves the edition out (folding its case would build a string per
// book); books of one series and issue share a bucket and are told apart by
// SameIssue.
std::size_t KeyHash(std::uint32_t series, const MappedBook& book) {
    const std::string_view text = book.row.Text(kComicNo);
    return qHashMulti(0, series, QByteArrayView(text.data(), qsizetype(text.size())));
}

// Whether two books of one series are the same book.
bool SameIssue(const MappedBook& a, const MappedBook& b) {
    return a.row.At(kComicNo) == b.row.At(kComicNo) &&
           Stored(a.row.At(kEdition)).compare(Stored(b.row.At(kEdition)), Qt::CaseInsensitive) == 0;
}

void ReadBooks(const QString& path, const ReadOptions& options, const BookSink& sink,
               const Progress& progress) {
    switch (options.format) {
        case Format::Tellico:
            return ReadTellico(path, sink, progress);
        case Format::GCstar:
            return ReadGCstar(path, sink, progress);
        case Format::ComicRack:
            return ReadComicRack(path, sink, progress);
        case Format::ComicFiles:
            return ReadComicFiles(path, sink, progress);
        case Format::Csv:
            return ReadCsv(path, options.columns, sink, progress);
    }
}

// The books of a plan by key: an open-addressed table of each book's key
// hash and place, kept at most half full.  One vector and no allocation per
// book: a node per book left the heap in holes that every later allocation
// searched.
class BookIndex {
public:
    // The place of the book with `hash` that `same` accepts; npos if none.
    template <typename Same>
    std::size_t Find(std::size_t hash, const Same& same) const {
        if (slots_.empty()) return npos;
        for (std::size_t at = hash & Mask(); slots_[at].place != kEmpty; at = (at + 1) & Mask())
            if (slots_[at].hash == std::uint32_t(hash) && same(slots_[at].place))
                return slots_[at].place;
        return npos;
    }
    void Insert(std::size_t hash, std::uint32_t place) {
        if (2 * (count_ + 1) > slots_.size()) Grow();
        Put({std::uint32_t(hash), place});
        ++count_;
    }
    static constexpr std::size_t npos = std::size_t(-1);

private:
    struct Slot {
        std::uint32_t hash = 0;  // the low bits of the key hash
        std::uint32_t place = kEmpty;
    };
    static constexpr std::uint32_t kEmpty = std::uint32_t(-1);

    std::size_t Mask() const { return slots_.size() - 1; }
    void Put(Slot slot) {
        std::size_t at = slot.hash & Mask();
        while (slots_[at].place != kEmpty) at = (at + 1) & Mask();
        slots_[at] = slot;
    }
    void Grow() {
        std::vector<Slot> old(std::max<std::size_t>(1024, 2 * slots_.size()));
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.place != kEmpty) Put(slot);
    }

    std::vector<Slot> slots_;  // a power of two of them
    std::size_t count_ = 0;
};

// Maps every book as it is read and folds those read twice into one: no
// list of the books as read is ever held.
std::shared_ptr<PlanData> Plan(const QString& path, const ReadOptions& options,
                               const Progress& progress) {
    auto data = std::make_shared<PlanData>();
    data->takeShortened = options.takeShortened;
    BookIndex seen;
    HeapPages heap;
    QHash<std::pair<QString, QString>, std::uint32_t> seriesIndex;
    const auto fold = [&](ImportedBook&& read) {
        ++data->read;
        heap.Grown();
        const QString origin = read.origin;  // shared, not copied
        const qint64 originNumber = read.originNumber;
        MappedBook mapped = MapBook(std::move(read));
        if (!mapped.refusal.isEmpty()) {
            data->refusals.push_back(
                {JoinedOrigin(origin, originNumber), {}, mapped.refusal, {}, {}});
            return;
        }
        std::pair<QString, QString> series(mapped.series, mapped.publisher);
        auto known = seriesIndex.constFind(series);
        if (known == seriesIndex.constEnd()) {
            known = seriesIndex.insert(series, std::uint32_t(data->series.size()));
            data->series.push_back(std::move(series));
        }
        const std::uint32_t seriesAt = *known;
        const std::size_t hash = KeyHash(seriesAt, mapped);
        const std::size_t at = seen.Find(hash, [&](std::size_t b) {
            return data->seriesOf[b] == seriesAt && SameIssue(data->books[b], mapped);
        });
        if (at != BookIndex::npos) {
            MappedBook& first = data->books[at];
            paradox::Row merged = first.row.Expanded();
            const paradox::Row again = mapped.row.Expanded();
            merged[kQty] = paradox::Value::integer(merged[kQty].asInt() + again[kQty].asInt());
            FillBlanks(merged, again);
            first.row = CompactRow(merged);
            first.problems.insert(first.problems.end(), mapped.problems.begin(),
                                  mapped.problems.end());
            ++data->duplicates;
        } else {
            seen.Insert(hash, std::uint32_t(data->books.size()));
            data->seriesOf.push_back(seriesAt);
            // The book shares its series' strings: the plan holds no copy per book.
            mapped.series = data->series[seriesAt].first;
            mapped.publisher = data->series[seriesAt].second;
            data->books.push_back(std::move(mapped));
        }
    };
    ReadBooks(path, options, fold, progress);
    for (const MappedBook& book : data->books)
        data->problems.insert(data->problems.end(), book.problems.begin(), book.problems.end());
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

std::vector<Placement> PlanData::Place(const paradox::Table& seriesTable,
                                       const paradox::Table& booksTable) const {
    // The series' position in its table, by name and publisher in upper case.
    QHash<std::pair<QString, QString>, std::size_t> positions;
    for (std::size_t i = 0; i < seriesTable.rowCount(); ++i) {
        const paradox::Row& row = seriesTable.row(i);
        positions.insert(
            {Stored(row[kSeriesName]).toUpper(), Stored(row[kSeriesPublisher]).toUpper()}, i);
    }
    // Each distinct series' position, once (a mapped series is upper case already).
    std::vector<std::optional<std::size_t>> seriesAt(series.size());
    for (std::size_t s = 0; s < seriesAt.size(); ++s)
        if (const auto found = positions.constFind(series[s]); found != positions.constEnd())
            seriesAt[s] = *found;
    std::vector<Placement> placements(books.size());
    for (std::size_t b = 0; b < books.size(); ++b) {
        const MappedBook& book = books[b];
        Placement& placement = placements[b];
        const std::optional<std::size_t> seriesRowAt = seriesAt[seriesOf[b]];
        if (!seriesRowAt) continue;
        const paradox::Row& seriesRow = seriesTable.row(*seriesRowAt);
        placement.seriesEntry = seriesRow[kSeriesEntry].asInt();
        placement.seriesKey = {seriesRow[kSeriesName], seriesRow[kSeriesPublisher],
                               seriesRow[kSeriesEntry]};
        const std::size_t at = booksTable.find({paradox::Value::integer(placement.seriesEntry),
                                                book.row.At(kComicNo), book.row.At(kEdition)});
        if (at == paradox::Table::npos) continue;
        paradox::Row stored = booksTable.row(at);
        placement.outcome =
            FillBlanks(stored, book.row.Expanded()) ? Outcome::Merged : Outcome::Unchanged;
    }
    return placements;
}

ImportPlan::ImportPlan(const QString& source, std::shared_ptr<PlanData> data)
    : source_(source), data_(std::move(data)) {}

PlanCounts ImportPlan::Counts() const {
    PlanCounts counts;
    counts.read = data_->read;
    counts.duplicates = data_->duplicates;
    counts.refused = static_cast<int>(data_->refusals.size());
    // By their place among the series read, as the commit adds them.
    std::vector<bool> newSeries(data_->series.size(), false);
    for (std::size_t b = 0; b < data_->books.size(); ++b) {
        const MappedBook& book = data_->books[b];
        const Placement& placement = data_->placements[b];
        if (!data_->Taken(book)) {
            ++counts.refused;
            continue;
        }
        if (placement.seriesEntry == 0 && !newSeries[data_->seriesOf[b]]) {
            newSeries[data_->seriesOf[b]] = true;
            ++counts.seriesAdded;
        }
        switch (placement.outcome) {
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
    std::shared_ptr<PlanData> data = Plan(path, options, progress);
    data->collectionDir = collectionDir;
    data->placements = data->Place(*series, *books);
    return ImportPlan(path, std::move(data));
}

}  // namespace import
