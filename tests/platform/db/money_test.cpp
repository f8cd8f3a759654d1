// Money text from the locale's monetary conventions, and field display.
#include "platform/base/money.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "tests/platform/db/fixture.h"

namespace {

TEST(MoneyTest, FormatsWithTheNamedLocale) {
    EXPECT_EQ(FormatMoney(1234.5, "en_US.UTF-8"), "$1,234.50");
    EXPECT_EQ(FormatMoney(0, "en_US.UTF-8"), "$0.00");
    EXPECT_EQ(FormatMoney(-3.456, "en_US.UTF-8"), "-$3.46");
    EXPECT_EQ(FormatMoney(1234567.891, "en_US.UTF-8"), "$1,234,567.89");
    EXPECT_EQ(FormatMoney(12.5, "C"), "12.50");  // the C locale has no currency symbol
}

// Every amount checked by hand: the decimal value it stands for, rounded to
// the cent with halves away from zero.  Binary doubles hold most of these a
// hair below the half (75.07 * 0.5 is 37.534999...).
TEST(MoneyTest, RoundsHalfCentsAwayFromZero) {
    const struct {
        double amount;
        double cents;
        const char* shown;
    } table[] = {
        {75.07 * 50 * 0.01, 37.54, "$37.54"},  // the graded values of the issue
        {93.10 * 75 * 0.01, 69.83, "$69.83"},
        {75.07 * 0.5, 37.54, "$37.54"},
        {1.005, 1.01, "$1.01"},
        {2.675, 2.68, "$2.68"},
        {0.005, 0.01, "$0.01"},
        {1.01 * 50 * 0.01, 0.51, "$0.51"},
        {10.05 * 50 * 0.01, 5.03, "$5.03"},
        {19.99 * 25 * 0.01, 5.00, "$5.00"},
        {33.33 * 5 * 0.01, 1.67, "$1.67"},
        {12.34 * 35 * 0.01, 4.32, "$4.32"},
        {0.0049, 0.0, "$0.00"},
        {1234567.125, 1234567.13, "$1,234,567.13"},
        {-2.675, -2.68, "-$2.68"},
        {-0.005, -0.01, "-$0.01"},
        {-1.2349, -1.23, "-$1.23"},
    };
    for (const auto& row : table) {
        EXPECT_DOUBLE_EQ(RoundToCent(row.amount), row.cents) << row.amount;
        EXPECT_EQ(FormatMoney(row.amount, "en_US.UTF-8"), row.shown) << row.amount;
    }
}

TEST(MoneyTest, ZeroIsNeverNegative) {
    for (double zero : {-0.0, -0.004, (5.0 - 12.5) * 0}) {
        EXPECT_FALSE(std::signbit(RoundToCent(zero))) << zero;
        EXPECT_EQ(FormatMoney(zero, "en_US.UTF-8"), "$0.00") << zero;
    }
}

class ParseMoneyTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* saved = std::setlocale(LC_MONETARY, nullptr);
        restore = saved ? saved : "C";
        ASSERT_NE(std::setlocale(LC_MONETARY, "en_US.UTF-8"), nullptr);
    }
    void TearDown() override { std::setlocale(LC_MONETARY, restore.c_str()); }
    std::string restore;
};

TEST_F(ParseMoneyTest, ReadsMoneyAsItIsShown) {
    const std::pair<const char*, double> accepted[] = {
        {"$12.50", 12.5},
        {"1,234.50", 1234.5},
        {"$1,234,567.89", 1234567.89},
        {"-$3.25", -3.25},
        {"$-3.25", -3.25},
        {"($3.25)", -3.25},
        {" $ 7 ", 7},
        {"USD 7.10", 7.1},
        {"12", 12},
        {"$.50", 0.5},
        {"3.", 3},
        {"123,456", 123456},
    };
    for (const auto& [text, value] : accepted) {
        const std::optional<double> read = ParseMoney(text);
        ASSERT_TRUE(read) << text;
        EXPECT_DOUBLE_EQ(*read, value) << text;
    }
    // Each amount FormatMoney shows reads back as itself.
    for (double amount : {0.0, 0.01, 40.0, 1234.5, -1234.5, 98765432.1})
        EXPECT_DOUBLE_EQ(ParseMoney(FormatMoney(amount)).value_or(-1e300), amount) << amount;
}

TEST_F(ParseMoneyTest, RefusesWhatIsNotMoney) {
    for (const char* text : {"", "$", "abc", "12,34.5", "1,2345", ",123", "1,234,", "$$5", "--5",
                             "5 EUR", "1.2.3", "(5", "1e3", "12.5x"})
        EXPECT_FALSE(ParseMoney(text)) << text;
}

TEST(MoneyTest, FollowsTheProgramLocale) {
    const char* saved = std::setlocale(LC_MONETARY, nullptr);
    std::string restore = saved ? saved : "C";
    ASSERT_NE(std::setlocale(LC_MONETARY, "en_US.UTF-8"), nullptr);
    EXPECT_EQ(FormatMoney(40), "$40.00");
    std::setlocale(LC_MONETARY, restore.c_str());
}

class FieldDisplayTest : public CollectionTest {};

TEST_F(FieldDisplayTest, MoneyLogicalAndBlankFieldsAsShown) {
    std::setlocale(LC_MONETARY, "en_US.UTF-8");
    int entry = addSeries("ALPHA", "ACME");
    addBook({.entry = entry, .number = "7", .qty = 2, .wanted = true, .paid = 1234.5});
    openLinked();
    TField* paid = books.FieldByName("PAID");
    EXPECT_EQ(paid->DataType(), TFieldType::ftCurrency);
    EXPECT_EQ(paid->DisplayText(), "$1,234.50");
    EXPECT_EQ(paid->Text(), "1234.50");
    EXPECT_EQ(paid->AsString(), "1234.5");
    EXPECT_EQ(books.FieldByName("WANTED")->DisplayText(), "True");
    EXPECT_EQ(books.FieldByName("FORSALE")->AsString(), "False");
    EXPECT_TRUE(books.FieldByName("TITLE")->IsNull());
    EXPECT_EQ(books.FieldByName("TITLE")->AsString(), "");
    EXPECT_EQ(books.FieldByName("BOOKNOTE")->AsInteger(), 0);
    EXPECT_EQ(books.FieldByName("COMIC_NO")->Size(), 15);
    EXPECT_EQ(books.FieldByName("QTY")->DataType(), TFieldType::ftSmallint);
    EXPECT_EQ(series.FieldByName("ENTRY")->DataType(), TFieldType::ftAutoInc);
    EXPECT_EQ(series.FieldByName("SERNOTE")->DataType(), TFieldType::ftMemo);
    books.Edit();
    paid->SetAsString("2.75");
    EXPECT_DOUBLE_EQ(paid->AsFloat(), 2.75);
    books.FieldByName("QTY")->SetAsString("");  // an empty entry blanks the field
    EXPECT_TRUE(books.FieldByName("QTY")->IsNull());
    books.FieldByName("AUTOGRAPH")->SetAsBoolean(true);
    books.FieldByName("TITLE")->SetAsString(
        QString::fromUtf8("CAF\xc3\x89 \xe2\x82\xac"));  // in 1252
    books.Post();
    EXPECT_EQ(books.FieldByName("TITLE")->AsString(),
              QString::fromUtf8("CAF\xc3\x89 \xe2\x82\xac"));
    auto row = engine("books.db")->row(0);
    EXPECT_TRUE(row[6].isNull());
    EXPECT_DOUBLE_EQ(row[7].asDouble(), 2.75);
    EXPECT_TRUE(row[15].asBool());
}

}  // namespace
