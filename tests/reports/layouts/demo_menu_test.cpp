// Every Reports menu command on a fresh sample collection (the one a first
// start creates): each opens a preview of its report, and the rows it lists
// are exactly the series or books its selection takes, counted here from the
// table files themselves.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <algorithm>
#include <map>

#include "app/main_form.h"
#include "platform/paradox/table.h"
#include "reportengine/file_preview.h"
#include "reportengine/report_filer.h"
#include "reports/catalogue.h"
#include "reports/preview_form.h"
#include "store/collection.h"
#include "tests/reports/layouts/collection_fixture.h"

namespace {

struct Series {
    QString name, publisher;
    int entry = 0, owned = 0;
    bool favorite = false, wanted = false, forSale = false;
    QString heading() const { return name + " - " + publisher; }
};

struct Book {
    int entry = 0;
    QString comicNo, edition;
    int qty = 0;
    bool wanted = false, forSale = false, autograph = false;
    QString row() const { return comicNo + "  " + edition; }
};

class Fields {
public:
    Fields(const paradox::Table& table, std::size_t row) : table_(table), row_(table.row(row)) {}
    QString text(const char* f) const {
        const paradox::Value& v = at(f);
        return v.isNull() ? QString() : QString::fromStdString(v.asText());
    }
    int number(const char* f) const { return at(f).isNull() ? 0 : int(at(f).asInt()); }
    bool flag(const char* f) const { return !at(f).isNull() && at(f).asBool(); }

private:
    const paradox::Value& at(const char* f) const {
        return row_[static_cast<std::size_t>(table_.schema().fieldIndex(f))];
    }
    const paradox::Table& table_;
    const paradox::Row& row_;
};

// What the sample holds, read from the table files.
struct Sample {
    std::vector<Series> series;
    std::vector<Book> books;
    explicit Sample(const TestDir& dir) {
        auto s = paradox::Table::open(dir.file(store::kSeriesTable));
        for (std::size_t i = 0; i < s->rowCount(); ++i) {
            Fields f(*s, i);
            series.push_back({f.text("SERIES"), f.text("PUBLISHER"), f.number("ENTRY"),
                              f.number("OWNED"), f.flag("FAVORITE"), f.flag("WANTED"),
                              f.flag("FORSALE")});
        }
        auto b = paradox::Table::open(dir.file(store::kBooksTable));
        for (std::size_t i = 0; i < b->rowCount(); ++i) {
            Fields f(*b, i);
            books.push_back({f.number("ENTRY"), f.text("COMIC_NO"), f.text("EDITION"),
                             f.number("QTY"), f.flag("WANTED"), f.flag("FORSALE"),
                             f.flag("AUTOGRAPH")});
        }
    }
    const Series& of(const Book& book) const {
        return *std::find_if(series.begin(), series.end(),
                             [&](const Series& s) { return s.entry == book.entry; });
    }
};

using Counts = std::map<QString, int>;

// How often each text of `universe` occurs in the report.
Counts Occurrences(const streamcheck::Report& report, const Counts& universe) {
    Counts found;
    for (const auto& page : report.pages)
        for (const QString& t : page.nonEmpty())
            if (universe.count(t)) ++found[t];
    return found;
}

template <typename Item, typename Key, typename Take>
Counts Expected(const std::vector<Item>& items, Key key, Take take) {
    Counts counts;
    for (const Item& item : items)
        if (take(item)) ++counts[key(item)];
    return counts;
}

class DemoReportsMenu : public ::testing::Test {
protected:
    void SetUp() override {
        collection.demo(40, 400);  // what a first start adds
        qputenv("XDG_CONFIG_HOME", collection.dir().path().toUtf8());
        frame = std::make_unique<TMainForm>();
        installReportsMenu(*frame, [this] { return current; });
    }
    void TearDown() override { frame.reset(); }

    // Runs the menu item and reads back the report its preview shows.
    streamcheck::Report trigger(const TReportCommand& command) {
        const QString file = collection.dir().path() + "/pkeep.rpt";
        QFile::remove(file);
        frame->findChild<QAction*>(command.Name)->trigger();
        EXPECT_TRUE(PreviewForm);
        if (!PreviewForm) return {};
        EXPECT_EQ(PreviewForm->RPReport->Title, command.Title);
        EXPECT_EQ(PreviewForm->windowTitle(), QString("Report Preview - ") + command.Title);
        EXPECT_TRUE(PreviewForm->RPPreview->Printing()) << "the preview shows the report";
        const auto report = streamcheck::readReport(file.toStdString());
        EXPECT_EQ(PreviewForm->RPPreview->PageCount(), int(report.pages.size()));
        EXPECT_GE(report.pages.size(), 1u);
        return report;
    }

    TestCollection collection;
    std::unique_ptr<TMainForm> frame;
    std::optional<TCurrentSeriesKey> current;
};

TEST_F(DemoReportsMenu, EveryCommandListsWhatItsSelectionTakes) {
    const Sample sample(collection.dir());
    ASSERT_EQ(sample.series.size(), 40u);
    ASSERT_EQ(sample.books.size(), 400u);

    // The highlighted series: the one with the most books.
    std::map<int, int> booksOf;
    for (const Book& b : sample.books) ++booksOf[b.entry];
    const Series* highlighted = &sample.series.front();
    for (const Series& s : sample.series)
        if (booksOf[s.entry] > booksOf[highlighted->entry]) highlighted = &s;
    current = TCurrentSeriesKey{highlighted->name, highlighted->publisher, highlighted->entry};

    const auto rowOf = [](const Book& b) { return b.row(); };
    const auto labelOf = [](const Book& b) {
        return "Comic - Edition: " + b.comicNo.trimmed() + " - " + b.edition;
    };
    const auto headingOf = [](const Series& s) { return s.heading(); };
    const auto nameOf = [](const Series& s) { return s.name; };
    const Counts allRows = Expected(sample.books, rowOf, [](const Book&) { return true; });
    const Counts allLabels = Expected(sample.books, labelOf, [](const Book&) { return true; });
    const Counts allHeadings =
        Expected(sample.series, headingOf, [](const Series&) { return true; });
    const Counts allNames = Expected(sample.series, nameOf, [](const Series&) { return true; });
    const auto inHighlighted = [&](const Book& b) { return b.entry == highlighted->entry; };
    const auto ownedSeries = [&](const Book& b) { return sample.of(b).owned > 0; };

    // Book rows per command; nullopt where the command lists no book rows.
    const std::map<QString, std::function<bool(const Book&)>> bookRows{
        {"CollectionBySereis", [&](const Book& b) { return ownedSeries(b) && b.qty > 0; }},
        {"AutographedBooks",
         [&](const Book& b) { return ownedSeries(b) && b.autograph && b.qty > 0; }},
        {"BooksforSale", [&](const Book& b) { return ownedSeries(b) && b.forSale && b.qty > 0; }},
        {"WantedBooks1", [&](const Book& b) { return b.wanted; }},
        // A series marked as a whole lists all its books (for sale: those
        // owned); any other only its marked books.
        {"CompleteWantList", [&](const Book& b) { return sample.of(b).wanted || b.wanted; }},
        {"CompleteForSaleList",
         [&](const Book& b) { return b.qty > 0 && (sample.of(b).forSale || b.forSale); }},
        {"AllComicBooksinSeries", inHighlighted},
        {"AutographedBooksinSeries",
         [&](const Book& b) { return inHighlighted(b) && b.autograph && b.qty > 0; }},
        {"ForSaleBooksinSeries",
         [&](const Book& b) { return inHighlighted(b) && b.forSale && b.qty > 0; }},
        {"OwnedBooksinSeries", [&](const Book& b) { return inHighlighted(b) && b.qty > 0; }},
        {"WantedBooksinSeries", [&](const Book& b) { return inHighlighted(b) && b.wanted; }},
    };
    const std::map<QString, std::function<bool(const Book&)>> labels{
        {"LabelsforOwnedBooksinSeries1",
         [&](const Book& b) { return inHighlighted(b) && b.qty > 0; }},
        {"LabelsforForSaleBooksinSeries1",
         [&](const Book& b) { return inHighlighted(b) && b.forSale && b.qty > 0; }},
    };
    const std::map<QString, std::function<bool(const Series&)>> seriesRows{
        {"AllSeries", [](const Series&) { return true; }},
        {"FavoriteSeries", [](const Series& s) { return s.favorite; }},
        {"SeriesForSale", [](const Series& s) { return s.forSale; }},
        {"WantedSeries", [](const Series& s) { return s.wanted; }},
    };

    int checkedLists = 0;
    for (const TReportCommand& command : ReportCommands()) {
        SCOPED_TRACE(command.Name);
        const auto report = trigger(command);
        if (report.pages.empty()) continue;
        const QString name = command.Name;
        if (auto rows = bookRows.find(name); rows != bookRows.end()) {
            const Counts expected = Expected(sample.books, rowOf, rows->second);
            EXPECT_EQ(Occurrences(report, allRows), expected);
            ++checkedLists;
        }
        if (auto taken = labels.find(name); taken != labels.end()) {
            EXPECT_EQ(Occurrences(report, allLabels),
                      Expected(sample.books, labelOf, taken->second));
            ++checkedLists;
        }
        if (auto taken = seriesRows.find(name); taken != seriesRows.end()) {
            EXPECT_EQ(Occurrences(report, allNames),
                      Expected(sample.series, nameOf, taken->second));
            ++checkedLists;
        }
        if (name == "CollectionBySereis") {
            // A heading for every owned series and for no other.
            Counts headings = Occurrences(report, allHeadings);
            for (const Series& s : sample.series)
                EXPECT_EQ(headings.count(s.heading()) > 0, s.owned > 0)
                    << s.heading().toStdString();
        }
        if (command.AtCurrentSeries && !command.WithoutHeaderFooter) {
            for (const auto& page : report.pages)
                EXPECT_TRUE(page.find(highlighted->heading())) << "every page names the series";
        }
        if (name == "DetailedPrintoutofComicBook1") {
            ASSERT_EQ(report.pages.size(), 1u);
            std::vector<const Book*> own;
            for (const Book& b : sample.books)
                if (inHighlighted(b)) own.push_back(&b);
            const Book* first = *std::min_element(own.begin(), own.end(), [](auto* a, auto* b) {
                return std::make_pair(a->comicNo, a->edition) <
                       std::make_pair(b->comicNo, b->edition);
            });
            EXPECT_TRUE(report.pages[0].find(first->comicNo.trimmed() + " - " + first->edition))
                << "the detail page shows the series' first book";
        }
        if (name == "ProfitInvestmentSummary") {
            EXPECT_EQ(report.pages.size(), 1u);
        }
    }
    EXPECT_EQ(checkedLists, 17);
    EXPECT_EQ(frame->ClientArea->subWindowList().size(), static_cast<int>(ReportCommands().size()));
}

}  // namespace
