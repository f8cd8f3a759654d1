// The layouts of one highlighted series (listings, detail page, labels),
// finding that series, and the profit/investment summary.

#include <gtest/gtest.h>

#include <QFile>
#include <cmath>

#include "platform/base/exception.h"
#include "store/book_extras.h"
#include "tests/reports/layouts/collection_fixture.h"

namespace {

using streamcheck::Page;
using streamcheck::Text;

constexpr int kFirstBodyLine = 1;
constexpr int kBodyLines = 52;

QString Row(int number) { return Stored(QString::number(number)) + "  1ST"; }

int CountRows(const Page& page) {
    int rows = 0;
    for (const QString& t : page.nonEmpty())
        if (t.endsWith("  1ST")) ++rows;
    return rows;
}

// ---- listings of one series ------------------------------------------------

TEST(SeriesListing, EveryPageRepeatsHeadingsAndTheSeriesLine) {
    TestCollection c;
    c.add({"ALPHA"}, NumberedBooks(3, 500));
    const int beta = c.add({"BETA", "DC"}, NumberedBooks(60));
    auto report = c.run("Listing of Books Owned in Series", c.key(beta));

    ASSERT_EQ(report.pages.size(), 2u);
    for (const Page& page : report.pages) {
        EXPECT_EQ(page.line(kFirstBodyLine), std::vector<QString>{"Series - Publisher"});
        EXPECT_EQ(page.line(kFirstBodyLine + 1).front(), "Comic # - Edition");
        EXPECT_EQ(page.line(kFirstBodyLine + 2), std::vector<QString>{"BETA - DC"});
        EXPECT_TRUE(page.find("BETA - DC")->bold);
        EXPECT_FALSE(page.find("BETA - DC  (Continued)"));
        EXPECT_FALSE(page.find(Row(500)));
    }
    EXPECT_EQ(CountRows(report.pages[0]), kBodyLines - 3);
    EXPECT_EQ(CountRows(report.pages[1]), 60 - (kBodyLines - 3));
    EXPECT_EQ(report.pages[1].lineOf(Row(50)), kFirstBodyLine + 3);
}

TEST(SeriesListing, AllBooksIncludeWantedBooksNotOwned) {
    TestCollection c;
    BookRow wanted;
    wanted.comicNo = "2";
    wanted.qty = 0;
    wanted.wanted = true;
    wanted.title = "SOUGHT";
    wanted.high = 40;
    wanted.perc = 50;
    const int entry = c.add({"ALPHA"}, {BookRow{.comicNo = "1", .title = "HAD"}, wanted});

    const Page all = c.run("All Comic Books in Series", c.key(entry)).pages.at(0);
    EXPECT_EQ(all.line(all.lineOf(Row(2))),
              (std::vector<QString>{Row(2), "SOUGHT", "$20.00", "$40.00"}));
    // The same column set for headings and rows: the issue is centred.
    EXPECT_EQ(all.find(Row(1))->code, 23);
    EXPECT_NEAR(all.find(Row(1))->x, 1.25, 0.005);

    const Page owned = c.run("Owned Books in Series", c.key(entry)).pages.at(0);
    EXPECT_TRUE(owned.find(Row(1)));
    EXPECT_FALSE(owned.find(Row(2)));

    const Page wantedPage = c.run("Wanted Books in Series", c.key(entry)).pages.at(0);
    EXPECT_EQ(wantedPage.line(wantedPage.lineOf(Row(2))),
              (std::vector<QString>{Row(2), "SOUGHT", "$40.00"}));
    EXPECT_FALSE(wantedPage.find(Row(1)));
}

TEST(SeriesListing, ASeriesWithoutCandidatesPrintsItsHeadingsOnOnePage) {
    TestCollection c;
    const int entry = c.add({"ALPHA"}, NumberedBooks(2));
    auto report = c.run("ForSaleBooksinSeries", c.key(entry));
    ASSERT_EQ(report.pages.size(), 1u);
    EXPECT_EQ(report.pages[0].line(kFirstBodyLine + 2), std::vector<QString>{"ALPHA - MARVEL"});
    EXPECT_EQ(report.pages[0].find("Sell Price")->code, 23);
    EXPECT_EQ(CountRows(report.pages[0]), 0);
}

TEST(CurrentSeries, AnEditedNameStillFindsTheSeriesByItsEntry) {
    TestCollection c;
    c.add({"ALPHA"}, NumberedBooks(3, 1));
    const int beta = c.add({"BETA"}, NumberedBooks(3, 10));
    c.add({"GAMMA"}, NumberedBooks(3, 20));
    TCurrentSeriesKey edited = c.key(beta);
    edited.CurrentSeries = "BETA REVISED";  // typed in the window, not saved

    const Page page = c.run("All Comic Books in Series", edited).pages.at(0);
    EXPECT_TRUE(page.find("BETA REVISED - MARVEL"));
    for (int n : {10, 11, 12}) EXPECT_TRUE(page.find(Row(n)));
    for (int n : {1, 2, 20, 21}) EXPECT_FALSE(page.find(Row(n)));
}

TEST(CurrentSeries, ASeriesThatIsGoneIsReportedAndNothingIsRecorded) {
    TestCollection c;
    c.add({"ALPHA"}, NumberedBooks(3));
    TCurrentSeriesKey gone{"OMEGA", "MARVEL", 999};
    try {
        c.run("Wanted Books in Series", gone);
        FAIL() << "expected an error";
    } catch (const Exception& e) {
        EXPECT_NE(e.message().find("OMEGA - MARVEL"), std::string::npos) << e.message();
    }
    EXPECT_FALSE(QFile::exists(c.dir().path() + "/pkeep.rpt"));
    EXPECT_THROW(c.run("Labels for Owned Books in Series"), Exception);  // no series at all
}

// ---- detail page ----------------------------------------------------------

TEST(DetailPage, PrintsTheFirstBookWithLabelsValuesAndStatus) {
    TestCollection c;
    BookRow book;
    book.comicNo = "7";
    book.edition = "2ND";
    book.title = "THE RETURN";
    book.artist = "KIRBY";
    book.writer = "LEE";
    book.qty = 2;
    book.paid = 0;
    book.high = 30;
    book.perc = 80;
    book.location = "SHELF 2";
    book.wanted = book.forSale = book.autograph = true;
    book.note =
        "A NOTE OF MANY WORDS THAT GOES ON AND ON ABOUT THE COVER, THE SPINE, THE "
        "STAPLES, THE CORNERS, THE PAGES, THE SMELL, THE COLOUR OF THE PAPER, THE "
        "PROVENANCE AND THE SHOP WHERE IT WAS FOUND ON A RAINY DAY IN NOVEMBER LAST YEAR";
    BookRow later = book;
    later.comicNo = "12";
    later.title = "LATER";
    const int entry = c.add({"ALPHA"}, {later, book});
    auto report = c.run("Detailed Printout of Comic Book", c.key(entry));

    ASSERT_EQ(report.pages.size(), 1u);
    const Page& page = report.pages[0];
    EXPECT_FALSE(page.find("LATER"));
    const Text* heading = page.find("ALPHA - MARVEL");
    ASSERT_TRUE(heading);
    EXPECT_TRUE(heading->bold);
    // Lines counted from the heading (six to the inch); empty lines carry
    // no text, so they are counted by position.
    const auto lineNo = [&](const QString& text) {
        const Text* t = page.find(text);
        EXPECT_TRUE(t) << text.toStdString();
        return t ? static_cast<int>(std::lround((t->y - heading->y) * 6)) : -100;
    };
    const auto pair = [&](const QString& label, const QString& value) {
        const int line = lineNo(label);
        EXPECT_EQ(lineNo(value), line) << value.toStdString();
        const Text* l = page.find(label);
        const Text* v = page.find(value);
        if (!l || !v) return line;
        EXPECT_TRUE(l->bold);
        EXPECT_EQ(l->code, 25);
        EXPECT_NEAR(l->x, 1.98, 0.005);
        EXPECT_FALSE(v->bold);
        EXPECT_NEAR(v->x, 2.02, 0.005);
        return line;
    };
    EXPECT_EQ(pair("Comic Book - Edition: ", "7 - 2ND"), 3);  // two empty lines between
    EXPECT_EQ(pair("Title: ", "THE RETURN"), 4);
    EXPECT_EQ(pair("Artist: ", "KIRBY"), 5);
    EXPECT_EQ(pair("Writer: ", "LEE"), 6);
    // Notes: three wrapped lines from x 2.0, the first beside the label.
    EXPECT_EQ(lineNo("Special Notes: "), 7);
    std::vector<const Text*> noteLines;
    for (const Text& t : page.texts)
        if (t.code == 24 && std::abs(t.x - 2.0) < 0.005 && !t.text.isEmpty())
            noteLines.push_back(&t);
    ASSERT_EQ(noteLines.size(), 3u);
    QString shown;
    for (std::size_t i = 0; i < noteLines.size(); ++i) {
        EXPECT_EQ(std::lround((noteLines[i]->y - heading->y) * 6), 7 + static_cast<long>(i));
        EXPECT_FALSE(noteLines[i]->bold);
        shown += noteLines[i]->text;
    }
    EXPECT_TRUE(shown.startsWith("A NOTE OF MANY WORDS"));
    EXPECT_FALSE(shown.contains("NOVEMBER LAST YEAR"));  // cut after the third line
    EXPECT_EQ(pair("Quantity Owned: ", " 2"), 11);
    EXPECT_EQ(pair("Price Paid: ", "$0.00"), 12);  // shown also when nothing was paid
    EXPECT_EQ(pair("Graded Value: ", "$24.00"), 13);
    EXPECT_EQ(pair("HighValue: ", "$30.00"), 14);
    EXPECT_EQ(pair("Location: ", "SHELF 2"), 16);
    EXPECT_EQ(lineNo("Status: "), 18);
    EXPECT_EQ(lineNo("This Book is Marked as Wanted"), 18);
    EXPECT_EQ(lineNo("This Book is Marked For Sale"), 19);
    EXPECT_EQ(lineNo("This Book has Been Autographed"), 20);
    EXPECT_NEAR(page.find("This Book has Been Autographed")->x, 2.02, 0.005);
}

TEST(DetailPage, PrintsTheHighlightedBookAndRefusesOneNotStored) {
    TestCollection c;
    const int entry = c.add({"ALPHA"}, NumberedBooks(3, 1, {.high = 75.07, .perc = 50}));
    TCurrentSeriesKey key = c.key(entry);
    key.HasCurrentBook = true;
    key.CurrentComicNo = Stored("2");
    key.CurrentEdition = "1ST";
    const Page page = c.run("DetailedPrintoutofComicBook1", key).pages.at(0);
    EXPECT_EQ(page.line(page.lineOf("Comic Book - Edition: ")),
              (std::vector<QString>{"Comic Book - Edition: ", "2 - 1ST"}));
    EXPECT_EQ(page.line(page.lineOf("Graded Value: ")),
              (std::vector<QString>{"Graded Value: ", "$37.54"}));

    key.CurrentComicNo = Stored("9");  // a new book, not saved yet
    QFile::remove(c.dir().path() + "/pkeep.rpt");
    try {
        c.run("DetailedPrintoutofComicBook1", key);
        FAIL() << "expected an error";
    } catch (const Exception& e) {
        EXPECT_NE(e.message().find("\"9 - 1ST\" is not in the collection"), std::string::npos)
            << e.message();
    }
}

TEST(DetailPage, ShortNoteNoStatusAndNoBooks) {
    TestCollection c;
    BookRow plain;
    plain.comicNo = "1";
    plain.note = "MINT";
    const int entry = c.add({"ALPHA"}, {plain});
    const Page page = c.run("DetailedPrintoutofComicBook1", c.key(entry)).pages.at(0);
    EXPECT_EQ(page.line(page.lineOf("Special Notes: ")),
              (std::vector<QString>{"Special Notes: ", "MINT"}));
    EXPECT_EQ(page.line(page.lineOf("Status: ")), std::vector<QString>{"Status: "});
    EXPECT_FALSE(page.find("This Book is Marked as Wanted"));

    const int empty = c.add({"BETA"});
    auto report = c.run("DetailedPrintoutofComicBook1", c.key(empty));
    ASSERT_EQ(report.pages.size(), 1u);
    const Page& blank = report.pages[0];
    EXPECT_TRUE(blank.find("BETA - MARVEL"));
    EXPECT_TRUE(blank.find(" - "));
    EXPECT_TRUE(blank.find(" 0"));
    EXPECT_EQ(blank.findAll("$0.00").size(), 3u);
}

TEST(DetailPage, ACoverStandsBesideTheFieldsAndTheStandardGradeHasItsLine) {
    TestCollection c;
    const int entry = c.add({"ALPHA"}, NumberedBooks(2, 1,
                                                     {.title = "A TITLE LONG ENOUGH TO "
                                                               "REACH THE COVER IF IT "
                                                               "WERE NOT CUT SHORT",
                                                      .high = 80,
                                                      .perc = 85}));
    store::BookExtrasStore extras(c.dir().path());
    const store::BookKey second{entry, Stored("2"), "1ST"};
    QImage portrait(300, 450, QImage::Format_RGB32);  // 2 by 3, like a comic's cover
    portrait.fill(Qt::darkGreen);
    extras.setCover(second, store::CoverImage::FromImage(portrait));
    store::BookExtras graded;
    graded.grade = "8.0";
    graded.grader = "CGC";
    graded.certificate = "3812345001";
    extras.write(second, graded);

    TCurrentSeriesKey key = c.key(entry);
    key.HasCurrentBook = true;
    key.CurrentComicNo = Stored("2");
    key.CurrentEdition = "1ST";
    const Page page = c.run("DetailedPrintoutofComicBook1", key).pages.at(0);
    ASSERT_EQ(page.bitmaps.size(), 2u);  // the page header's logo, then the cover
    const streamcheck::Rect& cover = page.bitmaps[1];
    const Text* first = page.find("Comic Book - Edition: ");
    ASSERT_TRUE(first);
    EXPECT_NEAR(cover.left, 5.75, 0.005);
    EXPECT_NEAR(cover.right, 7.25, 0.005);               // 300 dots at 200 to the inch
    EXPECT_NEAR(cover.bottom - cover.top, 2.25, 0.005);  // its shape kept
    EXPECT_LT(cover.top, first->y);                      // level with the first field's line
    EXPECT_GT(cover.top, first->y - 0.25);
    // Values end where the cover's space begins.
    const Text* title = page.find(page.line(page.lineOf("Title: ")).at(1));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->code, 22);
    EXPECT_NEAR(title->clip.right, 5.5 - 0.02, 0.005);
    EXPECT_EQ(page.line(page.lineOf("Standard Grade: ")),
              (std::vector<QString>{"Standard Grade: ",
                                    "8.0 VF, graded by CGC, certificate "
                                    "3812345001"}));
    EXPECT_EQ(page.lineOf("Standard Grade: "), page.lineOf("Graded Value: ") + 1);

    // The first book, without extras, prints as before: no cover, no grade.
    key.CurrentComicNo = Stored("1");
    const Page plain = c.run("DetailedPrintoutofComicBook1", key).pages.at(0);
    EXPECT_EQ(plain.bitmaps.size(), 1u);
    EXPECT_FALSE(plain.find("Standard Grade: "));
    EXPECT_EQ(plain.lineOf("HighValue: "), plain.lineOf("Graded Value: ") + 1);
}

// ---- labels -------------------------------------------------------------------

TEST(Labels, ThirtyOnBookASheetFilledRowByRow) {
    TestCollection c;
    BookRow b;
    b.location = "BOX 1";
    const int entry = c.add({"ALPHA"}, NumberedBooks(31, 1, b));
    auto report = c.run("Labels for Owned Books in Series", c.key(entry));

    ASSERT_EQ(report.pages.size(), 2u);
    const Page& first = report.pages[0];
    const Page& second = report.pages[1];
    EXPECT_EQ(first.findAll("Location: BOX 1").size(), 30u);
    EXPECT_EQ(second.nonEmpty(), (std::vector<QString>{"Comic - Edition: 31 - 1ST", "Qty Owned: 1",
                                                       "Location: BOX 1"}));
    // No page header or footer on a label sheet.
    for (const Page& p : report.pages) {
        EXPECT_FALSE(p.find("Labels for Owned Books in Series"));
        EXPECT_FALSE(p.find("Page 1"));
        EXPECT_TRUE(p.bitmaps.empty());
    }
    const Text* one = first.find("Comic - Edition: 1 - 1ST");
    const Text* two = first.find("Comic - Edition: 2 - 1ST");
    const Text* four = first.find("Comic - Edition: 4 - 1ST");
    const Text* last = second.find("Comic - Edition: 31 - 1ST");
    ASSERT_TRUE(one && two && four && last);
    for (const Text* t : {one, two, four, last}) {
        EXPECT_TRUE(t->bold);
        EXPECT_EQ(t->code, 24);
        EXPECT_NEAR(t->fontHeight * 72, 10, 1.5);  // about 10 points
    }
    EXPECT_NEAR(one->x, 0.30, 0.005);   // margin 0.15 + origin 0.15
    EXPECT_NEAR(two->x, 3.10, 0.005);   // next column: 2.8 further
    EXPECT_NEAR(four->x, 0.30, 0.005);  // the second row starts again at the left
    EXPECT_NEAR(two->y, one->y, 0.001);
    EXPECT_NEAR(four->y - one->y, 1.0, 0.001);
    EXPECT_NEAR(last->x, one->x, 0.001);
    EXPECT_NEAR(last->y, one->y, 0.001);
    // The first line of the top row lies 0.5 inch below a page's first line.
    EXPECT_NEAR(one->y, 0.5 + 1.0 / 6, 0.05);
}

TEST(Labels, ExactlyThirtyBooksGiveOnePage) {
    TestCollection c;
    const int entry = c.add({"ALPHA"}, NumberedBooks(30));
    EXPECT_EQ(c.run("Labels for Owned Books in Series", c.key(entry)).pages.size(), 1u);
    const int none = c.add({"BETA"});
    auto empty = c.run("Labels for Owned Books in Series", c.key(none));
    ASSERT_EQ(empty.pages.size(), 1u);
    EXPECT_TRUE(empty.pages[0].nonEmpty().empty());
}

TEST(Labels, OwnedLabelsShowPriceAboveHalfAndForSaleLabelsASellingLine) {
    TestCollection c;
    BookRow half{.comicNo = "1",
                 .qty = 2,
                 .paid = 0.50,
                 .high = 10,
                 .perc = 90,
                 .forSale = true,
                 .autograph = true};
    BookRow more{.comicNo = "2", .paid = 0.51, .high = 4, .forSale = true};
    const int entry = c.add({"ALPHA"}, {half, more});

    const Page owned = c.run("LabelsforOwnedBooksinSeries1", c.key(entry)).pages.at(0);
    EXPECT_TRUE(owned.find("Qty Owned: 2"));
    EXPECT_TRUE(owned.find("Qty Owned: 1  Price Paid: $0.51"));
    EXPECT_TRUE(owned.find("This book is Autographed."));
    EXPECT_EQ(owned.findAll("This book is Autographed.").size(), 1u);

    const Page sale = c.run("Labels of For Sale Books in Series", c.key(entry)).pages.at(0);
    EXPECT_TRUE(sale.find("Qty Owned: 2 Graded: $9.00 High: $10.00"));
    EXPECT_TRUE(sale.find("Qty Owned: 1 Graded: $4.00 High: $4.00"));
    EXPECT_EQ(sale.findAll("Selling Price: ____________").size(), 2u);
    EXPECT_NEAR(sale.find("Qty Owned: 1 Graded: $4.00 High: $4.00")->fontHeight * 72, 9, 1.5);
}

// ---- text kept in its place ------------------------------------------------------

// A text cut at its place's edge is recorded clipped to that place.
const Text* Clipped(const Page& page, const QString& text) {
    const Text* t = page.find(text);
    return t && t->code == 22 ? t : nullptr;
}

TEST(TextInPlace, ListingCellsCutLongTextAtTheirEdgeAndJoinLocationLines) {
    TestCollection c;
    const QString location = "BASEMENT CASE 4, LOWER DRAWER, BEHIND THE BOXES OF OLD TAX PAPERS";
    BookRow longOnes{.comicNo = "1000000000000",
                     .edition = "NEWSSTANDS",
                     .high = 75.07,
                     .perc = 50,
                     .location = location};
    BookRow twoLines{.comicNo = "2", .high = 93.10, .perc = 75, .location = "CASE\r\nLOWER DRAWER"};
    const QString name = "THE ASTONISHING AND UNCANNY ADVENTURES OF THE MIGHTY NIGHTOW";
    ASSERT_EQ(name.size(), 60);
    c.add({.name = name, .publisher = "MOONBEAM PUBLISHING", .wanted = true}, {longOnes, twoLines});
    const Page page = c.run("Comic Collection Listing").pages.at(0);

    // Comic and edition in 0.5..2.0, location in 2.0..4.5: clipped inside
    // the cell margins; the cells after them keep their places.
    const Text* comic = Clipped(page, Stored("1000000000000") + "  NEWSSTANDS");
    ASSERT_TRUE(comic);
    EXPECT_NEAR(comic->x, 0.52, 0.011);
    EXPECT_NEAR(comic->clip.left, 0.52, 0.011);
    EXPECT_NEAR(comic->clip.right, 1.98, 0.011);
    const Text* where = Clipped(page, location);
    ASSERT_TRUE(where);
    EXPECT_NEAR(where->clip.left, 2.02, 0.011);
    EXPECT_NEAR(where->clip.right, 4.48, 0.011);
    EXPECT_LT(where->clip.top, where->y);
    EXPECT_GT(where->clip.bottom, where->y);
    EXPECT_EQ(page.line(page.lineOf(location)),
              (std::vector<QString>{Stored("1000000000000") + "  NEWSSTANDS", location, "1",
                                    "$37.54", "$75.07"}));  // 37.535 rounds up
    EXPECT_EQ(page.line(page.lineOf(Row(2))),
              (std::vector<QString>{Row(2), "CASE LOWER DRAWER", "1", "$69.83", "$93.10"}));
    EXPECT_EQ(page.find("CASE LOWER DRAWER")->code, 24);  // it fits: printed as ever

    // The heading bar ends at 8.0 inches, within the paper.
    const Page wanted = c.run("Complete Want List").pages.at(0);
    const Text* suffixed =
        Clipped(wanted, name + " - MOONBEAM PUBLISHING (Entire Series Marked as Wanted)");
    ASSERT_TRUE(suffixed);
    EXPECT_NEAR(suffixed->clip.right, 7.98, 0.011);
}

TEST(TextInPlace, DetailValuesStopAtTheValueColumnsEdge) {
    TestCollection c;
    BookRow book{.comicNo = "1", .title = QString(80, 'W'), .location = "CASE\nLOWER DRAWER"};
    const int entry = c.add({"ALPHA"}, {book});
    const Page page = c.run("DetailedPrintoutofComicBook1", c.key(entry)).pages.at(0);
    const Text* title = Clipped(page, QString(80, 'W'));
    ASSERT_TRUE(title);
    EXPECT_NEAR(title->clip.left, 2.02, 0.011);
    EXPECT_NEAR(title->clip.right, 6.98, 0.011);
    EXPECT_EQ(page.line(page.lineOf("Location: ")),
              (std::vector<QString>{"Location: ", "CASE LOWER DRAWER"}));
}

TEST(TextInPlace, LabelTextStaysInItsLabelAndOnThePaper) {
    TestCollection c;
    BookRow rich{.high = 99999999.99, .location = "CASE\r\nLOWER DRAWER", .forSale = true};
    const int entry = c.add({"ALPHA"}, NumberedBooks(3, 1, rich));
    const Page sale = c.run("Labels of For Sale Books in Series", c.key(entry)).pages.at(0);
    const QString line = "Qty Owned: 1 Graded: $99,999,999.99 High: $99,999,999.99";
    const auto cut = sale.findAll(line);
    ASSERT_EQ(cut.size(), 3u);
    for (int column = 0; column < 3; ++column) {
        const Text* t = cut[static_cast<std::size_t>(column)];
        EXPECT_EQ(t->code, 22);
        EXPECT_NEAR(t->x, 0.30 + 2.8 * column, 0.011);
        EXPECT_NEAR(t->clip.right, 2.8 * (column + 1), 0.011);  // before the next label
        EXPECT_LE(t->clip.right, 8.5);
    }
    const Page owned = c.run("Labels for Owned Books in Series", c.key(entry)).pages.at(0);
    EXPECT_EQ(owned.findAll("Location: CASE LOWER DRAWER").size(), 3u);
}

// ---- summary --------------------------------------------------------------------

std::vector<QString> Values(const Page& page) {
    std::vector<QString> values;
    for (const Text& t : page.texts)
        if (t.bold && !t.text.isEmpty()) values.push_back(t.text);
    return values;
}

TEST(Summary, EmptyCollectionGivesZeros) {
    TestCollection c;
    auto report = c.run("Profit/Investment Summary");
    ASSERT_EQ(report.pages.size(), 1u);
    EXPECT_EQ(Values(report.pages[0]), (std::vector<QString>{"0", "$0.00", "$0.00", "$0.00"}));
}

TEST(Summary, CountsCopiesButSumsValuesOncePerBook) {
    TestCollection c;
    c.add({"ALPHA"}, {BookRow{.comicNo = "1", .qty = 3, .paid = 10, .high = 20},
                      BookRow{.comicNo = "2", .qty = 0, .high = 50, .wanted = true}});
    const Page page = c.run("Collection Profit/Investment Summary").pages.at(0);
    EXPECT_EQ(Values(page), (std::vector<QString>{"3", "$20.00", "$10.00", "$10.00"}));
    const Text* label = page.find("Total Number of Books in your collection:");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->code, 25);
    EXPECT_NEAR(label->x, 5.28, 0.005);  // right-justified in the stop 2.3 .. 5.3
    EXPECT_FALSE(label->bold);
    EXPECT_EQ(page.find("3")->code, 24);
    EXPECT_NEAR(page.find("3")->x, 5.32, 0.005);
    // An empty line between the count and the money lines (six lines an inch).
    const auto y = [&](const char* text) { return page.find(text)->y; };
    EXPECT_NEAR(y("Highest current potential value of collection:") -
                    y("Total Number of Books in your collection:"),
                2.0 / 6, 0.02);
    EXPECT_NEAR(y("Total profit potential of collection at this time:") -
                    y("Total paid for all comic books owned:"),
                1.0 / 6, 0.02);
}

TEST(Summary, RecordsFromTheTablesWithoutAPreviewWindow) {
    TestCollection c;
    c.add({"ALPHA"}, {BookRow{.comicNo = "1", .qty = 2, .paid = 7.5, .high = 12},
                      BookRow{.comicNo = "2", .qty = 0, .paid = 99, .high = 99},
                      BookRow{.comicNo = "3", .qty = 1, .paid = 4, .high = 1}});
    c.add({"BETA"}, {BookRow{.comicNo = "1", .qty = 4, .paid = 3, .high = 8}});
    const streamcheck::Report report = c.recordLayout(layout::PrintSummaryPage);
    ASSERT_EQ(report.pages.size(), 1u);
    // 2 + 1 + 4 copies; 12 + 1 + 8 high and 7.50 + 4 + 3 paid, the book
    // not owned left out; no page frame, so only the four values are bold.
    EXPECT_EQ(Values(report.pages[0]), (std::vector<QString>{"7", "$21.00", "$14.50", "$6.50"}));
}

TEST(Summary, PayingAboveTheHighValuesShowsANegativeProfit) {
    TestCollection c;
    c.add({"ALPHA"}, {BookRow{.comicNo = "1", .paid = 1250, .high = 200},
                      BookRow{.comicNo = "2", .paid = 10.5, .high = 40}});
    const Page page = c.run("ProfitInvestmentSummary").pages.at(0);
    EXPECT_EQ(Values(page), (std::vector<QString>{"2", "$240.00", "$1,260.50", "-$1,020.50"}));
}

}  // namespace
