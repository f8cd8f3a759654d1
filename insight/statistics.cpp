#include "insight/statistics.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "platform/base/exception.h"
#include "platform/base/money.h"
#include "platform/db/session.h"
#include "platform/paradox/table.h"
#include "store/collection.h"
#include "store/condition.h"
#include "store/graded_value.h"

namespace insight {

// The tables keep money to the cent and the graded value is rounded to the
// cent, so a hundred times an amount is a whole number give or take the
// binary noise that llround drops.
Cents ToCents(double amount) { return std::llround(amount * 100.0); }
double FromCents(Cents cents) { return static_cast<double>(cents) / 100.0; }
QString MoneyText(Cents cents) { return QString::fromStdString(FormatMoney(FromCents(cents))); }

QString DifferenceFromSummary() {
    return QStringLiteral(
        "These figures count every copy: a book with a quantity of 3 adds its graded value and "
        "its price paid three times. The Profit/Investment Summary report adds each book's "
        "mint (high) value and price paid once, whatever its quantity, so its value and paid "
        "totals differ from these wherever a book has more than one copy, and its value is the "
        "mint value, not the graded value. The number of books owned is the same in both.");
}

namespace {

constexpr std::size_t kProgressEvery = 4096;
constexpr int kDayNumberToJulianDay = 1721425;  // day 1 is 0001-01-01

// The column of a field the figures need; a table without it raises.
std::size_t Column(const paradox::Table& table, const char* field) {
    const int index = table.schema().fieldIndex(field);
    if (index < 0)
        throw Exception("the table " + table.path() + " has no field " + field +
                        "; it is not a collection table");
    return static_cast<std::size_t>(index);
}

QString Text(const paradox::Value& value) {
    return value.isText() ? QString::fromStdString(value.asText()) : QString();
}
long long Integer(const paradox::Value& value) { return value.isInt() ? value.asInt() : 0; }
double Amount(const paradox::Value& value) {
    if (value.isDouble()) return value.asDouble();
    return value.isInt() ? static_cast<double>(value.asInt()) : 0.0;
}

// amount x times + sum, refusing a total beyond what whole cents can hold
// (only values far outside any real collection get there).
Cents Checked(Cents amount, long long times, Cents sum) {
    Cents product = 0, result = 0;
    if (__builtin_mul_overflow(amount, times, &product) ||
        __builtin_add_overflow(product, sum, &result))
        throw Exception("the collection's money amounts are too large to add up");
    return result;
}

struct SeriesColumns {
    std::size_t entry, name, publisher;
    explicit SeriesColumns(const paradox::Table& t)
        : entry(Column(t, "ENTRY")), name(Column(t, "SERIES")), publisher(Column(t, "PUBLISHER")) {}
};

struct BookColumns {
    std::size_t entry, comicNo, edition, title, qty, paid, high, perc;
    explicit BookColumns(const paradox::Table& t)
        : entry(Column(t, "ENTRY")),
          comicNo(Column(t, "COMIC_NO")),
          edition(Column(t, "EDITION")),
          title(Column(t, "TITLE")),
          qty(Column(t, "QTY")),
          paid(Column(t, "PAID")),
          high(Column(t, "HIGH")),
          perc(Column(t, "PERC")) {}
};

// The purchase dates of the extras table, looked up by a book's key.
class PurchaseDates {
public:
    explicit PurchaseDates(const paradox::Table* extras) : extras_(extras) {
        if (!extras_) return;
        const int bought = extras_->schema().fieldIndex(kBoughtField);
        const bool usable = bought >= 0 && extras_->schema().keyFieldCount == 3 &&
                            extras_->schema().fields[bought].type == paradox::FieldType::Date;
        if (!usable) extras_ = nullptr;
        bought_ = static_cast<std::size_t>(std::max(bought, 0));
    }

    // The year the book was bought, or 0 when no date is recorded.
    int Year(const paradox::Row& book, const BookColumns& columns) const {
        if (!extras_) return 0;
        const std::size_t at =
            extras_->find({book[columns.entry], book[columns.comicNo], book[columns.edition]});
        if (at == paradox::Table::npos) return 0;
        const long long day = Integer(extras_->row(at)[bought_]);
        if (day <= 0) return 0;
        return QDate::fromJulianDay(day + kDayNumberToJulianDay).year();
    }

private:
    const paradox::Table* extras_;
    std::size_t bought_ = 0;
};

// What the pass adds up for one series (or for books without one).
struct SeriesSum {
    QString name, publisher;
    long long books = 0;
    Cents value = 0, paid = 0;
};

struct OwnedBook {
    Cents value;  // one copy
    std::size_t row;
    std::size_t series;
};

class Pass {
public:
    Pass(const paradox::Table& series, const paradox::Table& books, const paradox::Table* extras,
         const Progress& progress)
        : seriesTable_(series),
          booksTable_(books),
          seriesColumns_(series),
          bookColumns_(books),
          dates_(extras),
          progress_(progress),
          total_(series.rowCount() + books.rowCount()) {}

    std::optional<CollectionStatistics> Run() {
        if (!ReadSeries() || !ReadBooks()) return std::nullopt;
        if (progress_ && !progress_(total_, total_)) return std::nullopt;
        return Figures();
    }

private:
    bool Step() {
        ++done_;
        return done_ % kProgressEvery != 0 || !progress_ || progress_(done_, total_);
    }

    bool ReadSeries() {
        sums_.reserve(seriesTable_.rowCount() + 1);
        for (std::size_t i = 0; i < seriesTable_.rowCount(); ++i) {
            const paradox::Row& row = seriesTable_.row(i);
            indexOfEntry_.emplace(Integer(row[seriesColumns_.entry]), sums_.size());
            sums_.push_back({Text(row[seriesColumns_.name]), Text(row[seriesColumns_.publisher])});
            if (!Step()) return false;
        }
        return true;
    }

    std::size_t SeriesOf(const paradox::Row& book) {
        const auto found = indexOfEntry_.find(Integer(book[bookColumns_.entry]));
        if (found != indexOfEntry_.end()) return found->second;
        if (!noSeries_) {
            noSeries_ = sums_.size();
            sums_.push_back({QString::fromLatin1(kNoSeriesName), QString()});
        }
        return *noSeries_;
    }

    bool ReadBooks() {
        owned_.reserve(booksTable_.rowCount());
        for (std::size_t i = 0; i < booksTable_.rowCount(); ++i) {
            AddBook(i, booksTable_.row(i));
            if (!Step()) return false;
        }
        return true;
    }

    void AddBook(std::size_t position, const paradox::Row& row) {
        ++figures_.bookRecords;
        const long long qty = Integer(row[bookColumns_.qty]);
        if (qty <= 0) return;  // wanted, not owned
        const int perc = static_cast<int>(Integer(row[bookColumns_.perc]));
        const Cents copyValue = ToCents(store::GradedValue(Amount(row[bookColumns_.high]), perc));
        const Cents value = Checked(copyValue, qty, 0);
        const Cents paid = Checked(ToCents(Amount(row[bookColumns_.paid])), qty, 0);
        const std::size_t series = SeriesOf(row);
        SeriesSum& sum = sums_[series];
        sum.books += qty;
        sum.value = Checked(value, 1, sum.value);
        sum.paid = Checked(paid, 1, sum.paid);
        conditionCopies_[store::GradeStep(perc)] += qty;
        owned_.push_back({copyValue, position, series});
        if (const int year = dates_.Year(row, bookColumns_)) {
            YearSpent& spent = years_[year];
            spent.year = year;
            spent.books += qty;
            spent.paid = Checked(paid, 1, spent.paid);
        } else {
            figures_.booksWithoutPurchaseDate += qty;
        }
    }

    CollectionStatistics Figures() {
        for (const SeriesSum& sum : sums_) {
            figures_.books += sum.books;
            figures_.value = Checked(sum.value, 1, figures_.value);
            figures_.paid = Checked(sum.paid, 1, figures_.paid);
        }
        FillPublishers();
        FillMostValuable();
        FillConditions();
        FillTopSeries();
        for (const auto& [year, spent] : years_) figures_.spentByYear.push_back(spent);
        return std::move(figures_);
    }

    void FillPublishers() {
        std::map<QString, PublisherTotal> byName;
        for (const SeriesSum& sum : sums_) {
            if (sum.books == 0) continue;
            PublisherTotal& total = byName[sum.publisher];
            total.publisher = sum.publisher;
            total.books += sum.books;
            total.value = Checked(sum.value, 1, total.value);
            total.paid = Checked(sum.paid, 1, total.paid);
        }
        for (auto& [name, total] : byName) figures_.publishers.push_back(std::move(total));
        std::stable_sort(
            figures_.publishers.begin(), figures_.publishers.end(),
            [](const PublisherTotal& a, const PublisherTotal& b) { return a.value > b.value; });
    }

    // Equal values keep the table's order (series entry, issue, edition).
    void FillMostValuable() {
        const auto count = std::min<std::size_t>(kMostValuableCount, owned_.size());
        std::partial_sort(owned_.begin(), owned_.begin() + count, owned_.end(),
                          [](const OwnedBook& a, const OwnedBook& b) {
                              return a.value != b.value ? a.value > b.value : a.row < b.row;
                          });
        for (std::size_t i = 0; i < count; ++i) {
            const paradox::Row& row = booksTable_.row(owned_[i].row);
            const SeriesSum& series = sums_[owned_[i].series];
            figures_.mostValuable.push_back(
                {series.name, series.publisher, Text(row[bookColumns_.comicNo]).trimmed(),
                 Text(row[bookColumns_.edition]), Text(row[bookColumns_.title]),
                 static_cast<int>(Integer(row[bookColumns_.qty])), owned_[i].value});
        }
    }

    void FillConditions() {
        std::map<QString, long long> byWord;
        std::vector<QString> order;
        for (int step = 1; step <= store::kGradeSteps; ++step) {
            const QString word = store::ConditionWord(step);
            if (order.empty() || order.back() != word) order.push_back(word);
            byWord[word] += conditionCopies_[step];
        }
        for (const QString& word : order) figures_.conditions.push_back({word, byWord[word]});
        figures_.conditions.push_back({QString::fromLatin1(kNoGradeWord), conditionCopies_[0]});
    }

    void FillTopSeries() {
        std::vector<const SeriesSum*> ranked;
        for (const SeriesSum& sum : sums_)
            if (sum.books > 0) ranked.push_back(&sum);
        std::stable_sort(ranked.begin(), ranked.end(), [](const SeriesSum* a, const SeriesSum* b) {
            return a->value != b->value ? a->value > b->value : a->books > b->books;
        });
        ranked.resize(std::min<std::size_t>(ranked.size(), kTopSeriesCount));
        for (const SeriesSum* sum : ranked)
            figures_.topSeries.push_back({sum->name, sum->publisher, sum->books, sum->value});
    }

    const paradox::Table& seriesTable_;
    const paradox::Table& booksTable_;
    const SeriesColumns seriesColumns_;
    const BookColumns bookColumns_;
    const PurchaseDates dates_;
    const Progress& progress_;
    const std::size_t total_;
    std::size_t done_ = 0;

    std::unordered_map<long long, std::size_t> indexOfEntry_;
    std::vector<SeriesSum> sums_;
    std::optional<std::size_t> noSeries_;
    std::vector<OwnedBook> owned_;
    long long conditionCopies_[store::kGradeSteps + 1] = {};
    std::map<int, YearSpent> years_;
    CollectionStatistics figures_;
};

std::shared_ptr<paradox::Table> OpenTable(const QString& directory, const char* name) {
    const QString path = TSession::TablePath(directory, QString::fromLatin1(name));
    if (!paradox::Table::exists(path.toStdString()))
        throw Exception(QStringLiteral("no collection table %1").arg(path).toStdString());
    return paradox::Table::open(path.toStdString());
}

}  // namespace

std::optional<CollectionStatistics> ComputeStatistics(const paradox::Table& series,
                                                      const paradox::Table& books,
                                                      const paradox::Table* extras,
                                                      const Progress& progress) {
    return Pass(series, books, extras, progress).Run();
}

std::optional<CollectionStatistics> ComputeStatistics(const QString& directory,
                                                      const Progress& progress) {
    const auto series = OpenTable(directory, store::kSeriesTable);
    const auto books = OpenTable(directory, store::kBooksTable);
    const QString extrasPath = TSession::TablePath(directory, QString::fromLatin1(kExtrasTable));
    std::shared_ptr<paradox::Table> extras;
    if (paradox::Table::exists(extrasPath.toStdString()))
        extras = paradox::Table::open(extrasPath.toStdString());
    return ComputeStatistics(*series, *books, extras.get(), progress);
}

}  // namespace insight
