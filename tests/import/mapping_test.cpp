// Values held to our tables' rules: grades, prices, and what is shortened
// or refused, with the plan that lists it.
#include "import/mapping.h"

#include "tests/import/import_fixture.h"

namespace {

using import_test::ImportTest;
using import_test::WriteFile;

TEST(ImportMapping, ConditionWordsAndGradesGiveTheSlidersPerCent) {
    const std::vector<std::pair<const char*, int>> cases = {
        {"Mint", 100},  {"Near Mint", 95}, {"near-mint", 95}, {"Very Fine", 90}, {"VF", 90},
        {"Fine", 75},   {"Very Good", 55}, {"Good", 35},      {"Fair", 15},      {"Poor", 5},
        {"NM 9.4", 95}, {"9.2", 90},       {"9,8", 100},      {"0.5", 5},        {"10.0", 100},
        {"5", 50},      {"1.8", 20},
    };
    for (const auto& [text, perc] : cases) EXPECT_EQ(import::ParseCondition(text), perc) << text;
    for (const char* text : {"", "0.4", "11", "Shiny", "Gem Mint 10.5"})
        EXPECT_EQ(import::ParseCondition(text), std::nullopt) << text;
}

TEST(ImportMapping, PricesInTheirLocalForms) {
    const std::vector<std::pair<const char*, double>> cases = {
        {"$12.99", 12.99}, {"12,99 €", 12.99}, {"1.234,50", 1234.5}, {"1,234.50", 1234.5},
        {"EUR 3", 3.0},    {"£0.5", 0.5},      {"1,234", 1234.0},    {"7", 7.0},
    };
    for (const auto& [text, amount] : cases) {
        ASSERT_TRUE(import::ParseAmount(text).has_value()) << text;
        EXPECT_DOUBLE_EQ(*import::ParseAmount(text), amount) << text;
    }
    // No amount unless all of its digits and signs read as one number.
    for (const char* text : {"free", "12-50", "3.5-"})
        EXPECT_EQ(import::ParseAmount(text), std::nullopt) << text;
}

TEST(ImportMapping, ValuesThatDoNotFitAreListedWithWhatTheyBecome) {
    import::ImportedBook book;
    book.origin = "f line 2";
    book.series = "Über-Comic";
    book.issue = "Special Edition 1234";  // 20 characters
    book.title = QString(90, 'T');
    book.writers = {"Ōtomo", "Ann"};
    book.paid = "ask me";
    book.condition = "shiny";
    const import::MappedBook mapped = import::MapBook(book);
    EXPECT_TRUE(mapped.refusal.isEmpty());
    EXPECT_EQ(mapped.series, QString::fromUtf8("ÜBER-COMIC"));
    std::map<QString, import::Problem> byField;
    for (const import::Problem& p : mapped.problems) byField[p.field] = p;
    ASSERT_EQ(byField.size(), 5u);
    EXPECT_EQ(byField["COMIC_NO"].reason, "longer than 15 characters");
    EXPECT_EQ(byField["COMIC_NO"].becomes, "Special Edition");
    EXPECT_EQ(byField["TITLE"].becomes, QString(80, 'T'));
    EXPECT_EQ(byField["WRITER"].becomes, "Otomo, Ann");
    EXPECT_TRUE(byField["WRITER"].reason.contains("outside the tables' code page"));
    EXPECT_EQ(byField["PAID"].becomes, "(blank)");
    EXPECT_EQ(byField["PERC"].becomes, "100");
    EXPECT_EQ(byField["TITLE"].origin, "f line 2");
}

TEST(ImportMapping, WhiteSpaceRunsBecomeOneSpace) {
    import::ImportedBook book;
    book.series = "Spawn  Kills";
    book.publisher = "Image ";
    book.issue = "Annual\t3";
    book.edition = "Gold Foil";  // single spaces: as it is
    book.title = QString::fromUtf8("Hell\u00A0\u00A0and back");
    const import::MappedBook mapped = import::MapBook(book);
    EXPECT_EQ(mapped.series, "SPAWN KILLS");
    EXPECT_EQ(mapped.publisher, "IMAGE");
    EXPECT_EQ(mapped.row.At(1).asText(), "       Annual 3");
    EXPECT_EQ(mapped.row.At(2).asText(), "Gold Foil");
    EXPECT_EQ(mapped.row.At(3).asText(), "Hell and back");
    EXPECT_TRUE(mapped.problems.empty());
}

// A planned row keeps every kind of value as it was, a long note too (its
// length past one byte) and the fields after it.
TEST(ImportMapping, PlannedRowsKeepEveryValue) {
    using paradox::Value;
    const paradox::Row row = {Value(),
                              Value::text("      12"),
                              Value::text(""),
                              Value::text(std::string(300, 'n')),
                              Value::integer(-7),
                              Value::floating(12.99),
                              Value::boolean(true),
                              Value::boolean(false),
                              Value::bytes({0, 1, 255}),
                              Value::text("last")};
    const import::CompactRow compact(row);
    EXPECT_EQ(compact.Expanded(), row);
    EXPECT_EQ(compact.At(9), Value::text("last"));
    EXPECT_EQ(compact.Text(3).size(), 300u);
    EXPECT_EQ(compact.Text(4), "");  // not a text
}

TEST_F(ImportTest, RowsToShortenAreLeftOutUnlessTheUserTakesThem) {
    WriteFile(file("long.csv"),
              "Series,Issue,Title\n"
              "Hellboy,1,Seed of Destruction\n"
              "Hellboy,Director's Cut Edition 2,\n"
              ",3,no series\n");
    import::ReadOptions options{import::Format::Csv,
                                import::GuessColumns(import::SniffCsv(file("long.csv")).header)};
    // The wizard's preview: the first rows as they would be stored.
    const import::CsvPreview preview = import::PreviewCsv(file("long.csv"), options.columns, 3);
    ASSERT_EQ(preview.rows.size(), 3u);
    EXPECT_EQ(preview.header.mid(0, 4),
              (QStringList{"SERIES", "PUBLISHER", "COMIC_NO", "EDITION"}));
    EXPECT_EQ(preview.header.last(), "PROBLEMS");
    const QStringList& first = preview.rows[0];
    EXPECT_EQ(first.mid(0, 5),
              (QStringList{"HELLBOY", "", "              1", "", "Seed of Destruction"}));
    EXPECT_EQ(first[preview.header.indexOf("QTY")], "1");
    EXPECT_EQ(first[preview.header.indexOf("PERC")], "100");
    EXPECT_EQ(first.last(), "");
    EXPECT_EQ(preview.rows[1].last(), "COMIC_NO longer than 15 characters: \"Director's Cut\"");
    EXPECT_EQ(preview.rows[2].last(), "no series name");

    import::ImportPlan plan = import::ReadPlan(file("long.csv"), options, collection());
    EXPECT_EQ(plan.Counts().booksAdded, 1);
    EXPECT_EQ(plan.Counts().refused, 2);
    const QString report = plan.Report();
    EXPECT_TRUE(
        report.contains("1 series and 1 books to add, 0 books to merge into those stored, "
                        "0 books stored already, 2 refused"))
        << report.toStdString();
    EXPECT_TRUE(
        report.contains("long.csv line 3: COMIC_NO longer than 15 characters: "
                        "\"Director's Cut Edition 2\" would become \"Director's Cut\""))
        << report.toStdString();
    EXPECT_TRUE(report.contains("long.csv line 4: no series name")) << report.toStdString();
    import::CommitPlan(plan, collection());
    EXPECT_EQ(Books().size(), 1u);

    plan.SetTakeShortened(true);
    EXPECT_EQ(plan.Counts().booksAdded, 2);
    import::CommitPlan(plan, collection());
    const std::vector<import_test::BookRow> books = Books();
    ASSERT_EQ(books.size(), 2u);
    EXPECT_NE(Find(books, "HELLBOY", "Director's Cut"), nullptr);
}

}  // namespace
