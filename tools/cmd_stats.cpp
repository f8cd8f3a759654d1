// pkeep-admin stats: the figures of the Statistics window, as text or as
// JSON (--json), computed by the same pass over the tables.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "insight/statistics.h"
#include "platform/base/money.h"
#include "tools/command.h"
#include "tools/tables.h"

namespace {

using insight::Cents;
using insight::CollectionStatistics;

QString Money(Cents cents) {
    return QString::fromStdString(FormatMoney(insight::FromCents(cents)));
}
// In JSON an amount is a number of currency units with at most two decimals.
QJsonValue Amount(Cents cents) { return insight::FromCents(cents); }

QString OrNone(const QString& text, const char* none) {
    return text.isEmpty() ? QString::fromLatin1(none) : text;
}

void PrintText(const CollectionStatistics& s, QTextStream& out) {
    out << "Books owned: " << s.books << " (" << s.bookRecords << " book records)\n"
        << "Graded value: " << Money(s.value) << "\n"
        << "Price paid: " << Money(s.paid) << "\n";
    out << "\nValue by publisher (books, graded value, price paid):\n";
    for (const auto& p : s.publishers)
        out << "  " << OrNone(p.publisher, "(no publisher)") << "\t" << p.books << "\t"
            << Money(p.value) << "\t" << Money(p.paid) << "\n";
    out << "\nTen most valuable books (graded value of one copy):\n";
    int rank = 0;
    for (const auto& b : s.mostValuable) {
        out << "  " << ++rank << ". " << b.series << " #" << b.comicNo;
        if (!b.edition.isEmpty()) out << " (" << b.edition << ")";
        out << "\t" << Money(b.value) << "\tqty " << b.qty << "\n";
    }
    out << "\nBooks by condition:\n";
    for (const auto& c : s.conditions) out << "  " << c.word << "\t" << c.books << "\n";
    out << "\nTop 20 series by value (books, graded value):\n";
    rank = 0;
    for (const auto& t : s.topSeries)
        out << "  " << ++rank << ". " << t.series << " (" << OrNone(t.publisher, "no publisher")
            << ")\t" << t.books << "\t" << Money(t.value) << "\n";
    out << "\nMoney spent per year (books, price paid):\n";
    for (const auto& y : s.spentByYear)
        out << "  " << y.year << "\t" << y.books << "\t" << Money(y.paid) << "\n";
    out << "  Books without a purchase date: " << s.booksWithoutPurchaseDate << "\n";
    out << "\n" << insight::DifferenceFromSummary() << "\n";
}

QJsonObject Json(const CollectionStatistics& s) {
    QJsonArray publishers, books, conditions, series, years;
    for (const auto& p : s.publishers)
        publishers.append(QJsonObject{{"publisher", p.publisher},
                                      {"books", p.books},
                                      {"value", Amount(p.value)},
                                      {"paid", Amount(p.paid)}});
    for (const auto& b : s.mostValuable)
        books.append(QJsonObject{{"series", b.series},
                                 {"publisher", b.publisher},
                                 {"comicNo", b.comicNo},
                                 {"edition", b.edition},
                                 {"title", b.title},
                                 {"qty", b.qty},
                                 {"value", Amount(b.value)}});
    for (const auto& c : s.conditions)
        conditions.append(QJsonObject{{"condition", c.word}, {"books", c.books}});
    for (const auto& t : s.topSeries)
        series.append(QJsonObject{{"series", t.series},
                                  {"publisher", t.publisher},
                                  {"books", t.books},
                                  {"value", Amount(t.value)}});
    for (const auto& y : s.spentByYear)
        years.append(QJsonObject{{"year", y.year}, {"books", y.books}, {"paid", Amount(y.paid)}});
    return {
        {"bookRecords", s.bookRecords}, {"books", s.books},
        {"value", Amount(s.value)},     {"paid", Amount(s.paid)},
        {"byPublisher", publishers},    {"mostValuable", books},
        {"byCondition", conditions},    {"topSeries", series},
        {"spentByYear", years},         {"booksWithoutPurchaseDate", s.booksWithoutPurchaseDate}};
}

int run(admin::Context& context, const QStringList& args) {
    const admin::Arguments arguments(args, {}, {QStringLiteral("--json")});
    const bool json = arguments.has(QStringLiteral("--json"));
    if (!arguments.positional().isEmpty()) throw admin::UsageError("stats takes no arguments");
    admin::OpenCollection(context.directory);  // says how to make one when there is none
    const std::optional<CollectionStatistics> figures =
        insight::ComputeStatistics(context.directory);
    if (json)
        context.out << QJsonDocument(Json(*figures)).toJson(QJsonDocument::Indented);
    else
        PrintText(*figures, context.out);
    return 0;
}

admin::Registration registration{
    {"stats", "[--json]", "Print the collection's statistics (as the Statistics window)", run,
     "Books owned, graded value and price paid by publisher, the ten most\n"
     "valuable books, books by condition, the top 20 series by value and the\n"
     "money spent per year where purchase dates exist.  Every copy counts (a\n"
     "value times QTY).  --json prints the same figures as JSON, amounts as\n"
     "numbers with two decimals at most.\n"}};

}  // namespace
