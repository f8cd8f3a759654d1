// pkeep-admin import DIR: reads series.csv and books.csv (as export writes
// them) into an empty collection, keeping every ENTRY.  All or nothing:
// every row is checked before the first is stored, and if the engine still
// refuses one, or the process is killed midway, the collection is made
// empty again.
#include <QDir>
#include <QFile>
#include <algorithm>
#include <functional>
#include <limits>
#include <map>

#include "collection/valuation.h"
#include "platform/paradox/table.h"
#include "store/collection.h"
#include "tools/command.h"
#include "tools/csv.h"
#include "tools/extras_csv.h"
#include "tools/tables.h"

namespace {

using admin::csv::EImportError;

// Field positions in the rows of the two tables (store/collection.h).
constexpr std::size_t kSeriesEntry = 2, kOwned = 8;
constexpr std::size_t kBookEntry = 0, kQty = 6, kPerc = 10;
// The engine numbers a new series after the highest ENTRY, so the highest
// must leave room for one more.
constexpr std::int64_t kLastEntry = std::numeric_limits<std::int32_t>::max() - 1;

[[noreturn]] void fault(const QString& file, int line, const QString& reason) {
    throw EImportError(
        QStringLiteral("%1 line %2: %3").arg(file).arg(line).arg(reason).toStdString());
}

// The rows of one CSV file, read as they are needed: the files are read
// twice (checked, then stored) rather than held, as a million books would
// not fit in memory.
class CsvRows {
public:
    CsvRows(const QString& directory, const QString& fileName, const paradox::TableSchema& schema)
        : path_(QDir(directory).filePath(fileName)), fileName_(fileName), schema_(schema) {
        for (const paradox::FieldDef& field : schema.fields)
            header_ << QString::fromStdString(field.name);
    }
    const QString& fileName() const { return fileName_; }

    // Hands each row after the header to `take` with the line it starts on.
    void forEach(const std::function<void(int line, paradox::Row& row)>& take) const {
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly))
            throw Exception(
                QStringLiteral("cannot read %1: %2").arg(path_, file.errorString()).toStdString());
        bool headerSeen = false;
        admin::csv::ForEachRecord(file, fileName_, [&](const admin::csv::Record& record) {
            if (!headerSeen) {
                if (record.fields != header_)
                    fault(fileName_, 1, "the header must be " + header_.join(','));
                headerSeen = true;
                return;
            }
            paradox::Row row = parse(record);
            take(record.line, row);
        });
        if (!headerSeen) fault(fileName_, 1, "the header must be " + header_.join(','));
    }

private:
    paradox::Row parse(const admin::csv::Record& record) const {
        if (record.fields.size() != header_.size())
            fault(fileName_, record.line,
                  QStringLiteral("%1 fields where %2 are needed")
                      .arg(record.fields.size())
                      .arg(header_.size()));
        paradox::Row row;
        row.reserve(std::size_t(header_.size()));
        for (int f = 0; f < header_.size(); ++f) {
            try {
                row.push_back(admin::csv::ParseValue(record.fields[f], schema_.fields[f]));
            } catch (const EImportError& e) {
                fault(fileName_, record.line,
                      header_[f] + ": " + QString::fromStdString(e.message()));
            }
        }
        return row;
    }

    QString path_, fileName_;
    const paradox::TableSchema& schema_;
    QStringList header_;
};

// A blank number reads as 0, as the collection window reads it.
std::int64_t numberOrZero(const paradox::Value& value) {
    return value.isNull() ? 0 : value.asInt();
}

// What the checks keep of each series while the rows stream past.
struct SeriesSeen {
    int line = 0;
    std::int64_t owned = 0;     // as the file gives it
    std::int64_t booksQty = 0;  // the sum of its books' QTY
};
using SeriesByEntry = std::map<std::int64_t, SeriesSeen>;

// Every series keeps its number, so each needs one the engine could have
// given.
void checkSeriesEntry(const CsvRows& file, int line, const paradox::Row& row,
                      SeriesByEntry& series) {
    const paradox::Value& entry = row[kSeriesEntry];
    if (entry.isNull()) fault(file.fileName(), line, "ENTRY is blank");
    if (entry.asInt() < 1 || entry.asInt() > kLastEntry)
        fault(file.fileName(), line,
              QStringLiteral("ENTRY %1 is out of range (1 to %2, so that a new series "
                             "still gets the next number)")
                  .arg(entry.asInt())
                  .arg(kLastEntry));
    auto [it, added] = series.emplace(entry.asInt(), SeriesSeen{line, numberOrZero(row[kOwned])});
    if (!added)
        fault(file.fileName(), line,
              QStringLiteral("ENTRY %1 is already used on line %2")
                  .arg(entry.asInt())
                  .arg(it->second.line));
}

// Each book must belong to a series, and holds the values the book page
// stores: a quantity of none or more, a grade the per cent of mint.
void checkBook(const CsvRows& file, int line, const paradox::Row& row, SeriesByEntry& series) {
    const paradox::Value& entry = row[kBookEntry];
    if (entry.isNull()) fault(file.fileName(), line, "ENTRY is blank");
    auto owner = series.find(entry.asInt());
    if (owner == series.end())
        fault(file.fileName(), line, QStringLiteral("ENTRY %1 names no series").arg(entry.asInt()));
    const std::int64_t qty = numberOrZero(row[kQty]);
    if (!valuation::isQuantity(qty))
        fault(file.fileName(), line, QStringLiteral("QTY %1 is below 0").arg(qty));
    const std::int64_t perc = numberOrZero(row[kPerc]);
    if (!valuation::isGradePerCent(perc))
        fault(file.fileName(), line,
              QStringLiteral("PERC %1 is not a grade (0 to %2 per cent)")
                  .arg(perc)
                  .arg(valuation::kMaxPerc));
    owner->second.booksQty += qty;
}

// A series' OWNED is the sum of its books' QTY, as the collection window
// keeps it.
void checkOwnedCounts(const CsvRows& file, const SeriesByEntry& series) {
    // In file order, so the first faulty line is the one reported.
    std::vector<std::pair<int, const SeriesSeen*>> byLine;
    for (const auto& [entry, seen] : series) byLine.emplace_back(seen.line, &seen);
    std::sort(byLine.begin(), byLine.end());
    for (const auto& [line, seen] : byLine)
        if (seen->owned != seen->booksQty)
            fault(file.fileName(), line,
                  QStringLiteral("OWNED is %1, but the QTY of the series' books add up to %2")
                      .arg(seen->owned)
                      .arg(seen->booksQty));
}

void storeRows(paradox::Table& table, const CsvRows& file, const admin::RowStored& rowStored) {
    file.forEach([&](int line, paradox::Row& row) {
        try {
            table.insert(std::move(row));
        } catch (const std::exception& e) {
            fault(file.fileName(), line, QString::fromUtf8(e.what()));
        }
        rowStored();
    });
}

int run(admin::Context& context, const QStringList& args) {
    admin::Arguments arguments(args, {});
    if (arguments.positional().size() != 1) throw admin::UsageError("import needs one directory");
    const QString source = arguments.positional()[0];
    admin::CollectionTables tables = admin::OpenCollection(context.directory);
    admin::RequireEmpty(tables, context.directory, "import");
    const CsvRows series(source, "series.csv", tables.series->schema());
    const CsvRows books(source, "books.csv", tables.books->schema());
    SeriesByEntry seen;
    std::size_t bookCount = 0;
    series.forEach([&](int line, paradox::Row& row) { checkSeriesEntry(series, line, row, seen); });
    books.forEach([&](int line, paradox::Row& row) {
        checkBook(books, line, row, seen);
        ++bookCount;
    });
    admin::ExtrasImport extras(source, context.directory);
    admin::FillEmptyCollection(tables, context.directory, [&](const admin::RowStored& rowStored) {
        storeRows(*tables.series, series, rowStored);
        storeRows(*tables.books, books, rowStored);
        // Counted once the engine has taken every book, so that a book it
        // refuses (one listed twice) is reported as such, not as a count.
        checkOwnedCounts(series, seen);
        extras.store(*tables.books);
    });
    extras.commit();
    context.out << "Imported " << seen.size() << " series and " << bookCount << " books from "
                << source << " into " << context.directory << "\n";
    admin::WarnOfTablesNearlyFull(tables, context.out);
    return 0;
}

admin::Registration registration{
    {"import", "DIR", "Read DIR/series.csv and DIR/books.csv into an empty collection", run,
     "Reads the files that 'pkeep-admin export' writes.  Every series keeps its\n"
     "ENTRY number; new series then continue after the highest.  The rows must keep\n"
     "the collection window's rules: QTY 0 or more, PERC 0 to 100,\n"
     "each series' OWNED the sum of its books' QTY, amounts below 10000000000000.\n"
     "DIR/extras.csv, when there is one, brings the books' extras and DIR/covers/\n"
     "their cover files; each row must belong to a book of books.csv.\n"
     "A faulty row is reported with its file, line and reason, and nothing is\n"
     "imported.\n"}};

}  // namespace
