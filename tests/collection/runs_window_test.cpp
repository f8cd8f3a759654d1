// The series page's runs and gaps, and Add Missing Issues as Wanted, on the
// real collection window: the user's moves, the boxes answered through the
// dialogs' seam, the stored rows read back with the engine.
#include <QAction>

#include "collection/series_runs.h"
#include "tests/collection/collection_fixture.h"

namespace {

// The stored books of one series: issue number (without its alignment),
// quantity and wanted flag.
struct StoredBook {
    QString number;
    long long qty;
    bool wanted;
    bool operator==(const StoredBook&) const = default;
};

}  // namespace

class RunsWindowTest : public CollectionWindowTest {
protected:
    std::vector<StoredBook> booksOf(int entry) const {
        std::vector<StoredBook> books;
        for (const paradox::Row& row : storedBooks())
            if (row[col::B_ENTRY].asInt() == entry)
                books.push_back({QString::fromStdString(row[col::COMIC_NO].asText()).trimmed(),
                                 row[col::QTY].asInt(), row[col::B_WANTED].asBool()});
        return books;
    }
    // Runs the command typing `typed` into its box (the offered text is
    // kept in `offered`); further boxes take `answers`.
    void addMissing(const QString& typed) {
        const TScopedInputAnswerer box([this, typed](TInputRequest& request) {
            offered = request.value;
            request.value = typed;
            return true;
        });
        form->AddMissing1->trigger();
    }
    QString offered;
};

TEST_F(RunsWindowTest, SeriesPageShowsTheRunsAndGapsOfTheCurrentSeries) {
    const int alpha = seedSeries("ALPHA", "MARVEL", 5);
    for (const char* number : {"1", "2", "3", "5", "ANNUAL 1", "SPECIAL"})
        seedBook(alpha, number, 1);
    seedBook(alpha, "4", 0);  // wanted, not owned
    const int beta = seedSeries("BETA", "DC", 2);
    for (const char* number : {"1", "3"}) seedBook(beta, number, 1);
    openWindow();
    ASSERT_TRUE(form->SeriesRuns->isVisible());
    EXPECT_TRUE(form->TabSheet1->rect().contains(form->SeriesRuns->geometry()))
        << form->TabSheet1->width() << "x" << form->TabSheet1->height();
    EXPECT_EQ(form->SeriesRuns->OwnedLine(),
              "Owned (6): 1–3, 5, ANNUAL 1; not read as numbers: SPECIAL");
    EXPECT_EQ(form->SeriesRuns->MissingLine(), "Missing (1): 4");
    EXPECT_EQ(form->SeriesRuns->LabelMissing->text(), "Missing (1): 4");

    frame->DBNavigatorMove->BtnClick(TNavigateBtn::nbNext);
    EXPECT_EQ(form->CurrentSeries, "BETA");
    EXPECT_EQ(form->SeriesRuns->OwnedLine(), "Owned (2): 1, 3");
    EXPECT_EQ(form->SeriesRuns->MissingLine(), "Missing (1): 2");

    // A book stored in the window closes the gap at once.
    showBookPage();
    addBook("2", 1);
    save();
    EXPECT_EQ(form->SeriesRuns->OwnedLine(), "Owned (3): 1–3");
    EXPECT_EQ(form->SeriesRuns->MissingLine(), "Missing: none");
}

TEST_F(RunsWindowTest, AddMissingIssuesOffersTheGapsAndAddsThemAsWantedInOneStep) {
    const int entry = seedSeries("ALPHA", "MARVEL", 3);
    for (const char* number : {"1", "4", "6"}) seedBook(entry, number, 1);
    openWindow();
    addMissing("2–3, 5");
    EXPECT_EQ(offered, "2–3, 5");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].type, TMsgDlgType::mtConfirmation);
    EXPECT_TRUE(requests[0].text.startsWith("Add 3 books to ALPHA - MARVEL as wanted"))
        << requests[0].text.toStdString();
    EXPECT_EQ(booksOf(entry), (std::vector<StoredBook>{{"1", 1, false},
                                                       {"2", 0, true},
                                                       {"3", 0, true},
                                                       {"4", 1, false},
                                                       {"5", 0, true},
                                                       {"6", 1, false}}));
    EXPECT_EQ(storedOwned("ALPHA"), 3);
    EXPECT_EQ(form->TableBooks->RecordCount(), 6);                      // the window shows them
    EXPECT_EQ(form->SeriesRuns->MissingLine(), "Missing (3): 2–3, 5");  // still not owned

    // Widened: what the series has, owned or wanted, is not added again.
    requests.clear();
    addMissing("1–8");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].text.startsWith("Add 2 books")) << requests[0].text.toStdString();
    EXPECT_EQ(booksOf(entry).size(), 8u);
    EXPECT_EQ(storedOwned("ALPHA"), 3);
}

TEST_F(RunsWindowTest, CancelBeforeTheStartAddsNothing) {
    const int entry = seedSeries("ALPHA", "MARVEL", 2);
    for (const char* number : {"1", "9"}) seedBook(entry, number, 1);
    openWindow();
    answers = {mrCancel};
    addMissing("1–100");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].text.startsWith("Add 98 books")) << requests[0].text.toStdString();
    EXPECT_EQ(booksOf(entry).size(), 2u);
    // Cancel in the range box asks nothing more.
    requests.clear();
    inputs.clear();
    form->AddMissing1->trigger();
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(booksOf(entry).size(), 2u);
}

TEST_F(RunsWindowTest, BadInputIsRefusedWithItsReasonAndNothingIsAdded) {
    const int entry = seedSeries("ALPHA", "MARVEL", 2);
    for (const char* number : {"1", "3"}) seedBook(entry, number, 1);
    const int empty = seedSeries("BETA", "DC", 0);
    openWindow();
    const struct {
        const char* typed;
        const char* reason;
    } refused[] = {
        // The reader's refusals (a backward range, letters, nothing typed)
        // are tabled in tests/insight/runs_test.cpp; here one of them and
        // the window's own: the series' stored issues, the field's width.
        {"1–1000000", "1–1000000 would add 999,998 books; at most 5,000 are added at once"},
        {"1, 3", "The series already has a book of every issue"},
        {"LONG PREFIX WORDS 1", "The issue number \"LONG PREFIX WORDS 1\" is longer than"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.typed);
        requests.clear();
        addMissing(r.typed);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].type, TMsgDlgType::mtError);
        EXPECT_TRUE(requests[0].text.startsWith(QString::fromUtf8(r.reason)))
            << requests[0].text.toStdString();
        EXPECT_EQ(booksOf(entry).size(), 2u);
    }
    // A series without books has no runs to find gaps between.
    frame->DBNavigatorMove->BtnClick(TNavigateBtn::nbNext);
    ASSERT_EQ(form->CurrentEntry, empty);
    EXPECT_EQ(form->SeriesRuns->OwnedLine(), "Owned: none");
    EXPECT_EQ(form->SeriesRuns->MissingLine(), "Missing: none");
    requests.clear();
    addMissing("1–10");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].text.startsWith("BETA - DC has no books yet"));
    EXPECT_TRUE(booksOf(empty).empty());
}

TEST_F(RunsWindowTest, ABookThatCannotBeStoredTakesTheWholeStepBack) {
    const int entry = seedSeries("ALPHA", "MARVEL", 2);
    for (const char* number : {"1", "5"}) seedBook(entry, number, 1);
    openWindow();
    // The books table's code page has no Greek letters: the last book of the
    // step is refused after the others went in.
    const TScopedInputAnswerer box([](TInputRequest& request) {
        request.value = QStringLiteral("2–4, Ω 1");
        return true;
    });
    EXPECT_THROW(form->AddMissingIssuesClick(), Exception);
    EXPECT_EQ(booksOf(entry).size(), 2u);
    EXPECT_EQ(paradox::Table::open(form->TableBooks->TablePath().toStdString())->rowCount(), 2u);
}
