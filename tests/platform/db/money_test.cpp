// Money text from the locale's monetary conventions, and field display.
#include "platform/base/money.h"

#include <gtest/gtest.h>

#include <clocale>

#include "tests/platform/db/fixture.h"

namespace {

TEST(MoneyTest, FormatsWithTheNamedLocale) {
    EXPECT_EQ(FormatMoney(1234.5, "en_US.UTF-8"), "$1,234.50");
    EXPECT_EQ(FormatMoney(0, "en_US.UTF-8"), "$0.00");
    EXPECT_EQ(FormatMoney(-3.456, "en_US.UTF-8"), "-$3.46");
    EXPECT_EQ(FormatMoney(1234567.891, "en_US.UTF-8"), "$1,234,567.89");
    EXPECT_EQ(FormatMoney(12.5, "C"), "12.50");  // the C locale has no currency symbol
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
