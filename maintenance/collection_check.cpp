#include "maintenance/collection_check.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <memory>

#include "platform/paradox/errors.h"
#include "platform/paradox/table.h"
#include "store/collection.h"

namespace backup {

namespace {

// Columns of the collection tables (store/collection.h).
constexpr int kSeriesEntry = 2;
constexpr int kSeriesOwned = 8;
constexpr int kBookEntry = 0;
constexpr int kBookQty = 6;

const QString kRebuild = QStringLiteral("pkeep-admin rebuild (File, Rebuild Files)");
const QString kRecount =
    QStringLiteral("pkeep-admin verify --recount (Verify Collection offers it)");
const QString kCreateOrRestore =
    QStringLiteral("pkeep-admin init for a new, empty collection, or pkeep-admin restore ARCHIVE");
const QString kRestore = QStringLiteral(
    "restore a backup that has the series (pkeep-admin backups, pkeep-admin restore)");

QString tablePath(const QString& collection, const char* table) {
    return collection + QLatin1Char('/') + QLatin1String(table);
}

std::shared_ptr<paradox::Table> openChecked(const QString& collection, const char* name,
                                            CheckReport& report) {
    const QString path = tablePath(collection, name);
    if (!QFileInfo::exists(path)) {
        // A rebuild repairs a table; it cannot make up a missing one.
        report.problems.push_back(
            {QStringLiteral("Table %1 does not exist").arg(path), 1, kCreateOrRestore});
        return nullptr;
    }
    try {
        return paradox::Table::open(path.toStdString());
    } catch (const paradox::ETableInUse& e) {
        report.problems.push_back(
            {QString::fromUtf8(e.what()), 1,
             QStringLiteral("close the program that has it open, then check again")});
    } catch (const std::exception& e) {
        report.problems.push_back({QString::fromUtf8(e.what()), 1, kRebuild});
    }
    return nullptr;
}

qint64 intOf(const paradox::Value& v) { return v.isNull() ? 0 : v.asInt(); }

// Sum of QTY per series ENTRY.
QHash<qint64, qint64> quantitiesBySeries(const paradox::Table& books) {
    QHash<qint64, qint64> owned;
    for (std::size_t i = 0; i < books.rowCount(); ++i) {
        const paradox::Row& row = books.row(i);
        owned[intOf(row[kBookEntry])] += intOf(row[kBookQty]);
    }
    return owned;
}

void checkRules(const paradox::Table& series, const paradox::Table& books, CheckReport& report) {
    const QHash<qint64, qint64> owned = quantitiesBySeries(books);
    QSet<qint64> entries;
    int wrongCounts = 0;
    for (std::size_t i = 0; i < series.rowCount(); ++i) {
        const paradox::Row& row = series.row(i);
        entries.insert(intOf(row[kSeriesEntry]));
        if (intOf(row[kSeriesOwned]) != owned.value(intOf(row[kSeriesEntry]))) ++wrongCounts;
    }
    int orphans = 0;
    for (std::size_t i = 0; i < books.rowCount(); ++i)
        if (!entries.contains(intOf(books.row(i)[kBookEntry]))) ++orphans;
    if (wrongCounts > 0) {
        report.ownedCountsWrong = true;
        report.problems.push_back(
            {QStringLiteral("%1 series in series.db have an owned count that is not the sum of "
                            "their books' quantities")
                 .arg(wrongCounts),
             wrongCounts, kRecount});
    }
    if (orphans > 0)
        report.problems.push_back(
            {QStringLiteral("%1 books in books.db belong to no series in series.db").arg(orphans),
             orphans, kRestore});
}

}  // namespace

QString CheckReport::text() const {
    QString out = QStringLiteral("%1 series, %2 books\n").arg(series).arg(books);
    if (problems.isEmpty()) return out + QStringLiteral("No problems found.\n");
    for (const CheckProblem& p : problems)
        out += QStringLiteral("Problem: %1\n  Repair: %2\n").arg(p.text, p.repair);
    return out;
}

CheckReport CheckCollection(const QString& collection) {
    CheckReport report;
    const auto series = openChecked(collection, store::kSeriesTable, report);
    const auto books = openChecked(collection, store::kBooksTable, report);
    if (series) report.series = static_cast<qint64>(series->rowCount());
    if (books) report.books = static_cast<qint64>(books->rowCount());
    if (series && books) checkRules(*series, *books, report);
    return report;
}

int RecountOwned(const QString& collection) {
    const auto series =
        paradox::Table::open(tablePath(collection, store::kSeriesTable).toStdString());
    const auto books =
        paradox::Table::open(tablePath(collection, store::kBooksTable).toStdString());
    const QHash<qint64, qint64> owned = quantitiesBySeries(*books);
    int changed = 0;
    series->beginBatch();
    for (std::size_t i = 0; i < series->rowCount(); ++i) {
        paradox::Row row = series->row(i);
        const qint64 sum = owned.value(intOf(row[kSeriesEntry]));
        if (intOf(row[kSeriesOwned]) == sum) continue;
        row[kSeriesOwned] = paradox::Value::integer(sum);
        series->update(i, std::move(row));
        ++changed;
    }
    series->commitBatch();
    series->saveChanges();
    return changed;
}

}  // namespace backup
