// The CSV codec of export and import.
#include "tools/csv.h"

#include <gtest/gtest.h>

#include <QBuffer>

namespace {

using admin::csv::EImportError;
using admin::csv::ParseFile;
using admin::csv::ParseValue;

TEST(CsvTest, RecordsQuoteOnlyWhatNeedsQuoting) {
    QByteArray out;
    admin::csv::AppendRecord(out, {"plain", "  12", "a,b", "say \"x\"", "two\nlines", ""});
    EXPECT_EQ(out, QByteArray("plain,  12,\"a,b\",\"say \"\"x\"\"\",\"two\nlines\",\r\n"));
}

TEST(CsvTest, ValuesInCLocaleForm) {
    using T = paradox::FieldType;
    EXPECT_EQ(admin::csv::FormatValue(paradox::Value::floating(1234567.125), T::Money),
              "1234567.13");
    EXPECT_EQ(admin::csv::FormatValue(paradox::Value::floating(-0.5), T::Money), "-0.50");
    EXPECT_EQ(admin::csv::FormatValue(paradox::Value::floating(0.1), T::Number), "0.1");
    EXPECT_EQ(admin::csv::FormatValue(paradox::Value::integer(-32768), T::Short), "-32768");
    EXPECT_EQ(admin::csv::FormatValue(paradox::Value::boolean(false), T::Logical), "false");
    EXPECT_EQ(admin::csv::FormatValue(paradox::Value::null(), T::Money), "");
}

TEST(CsvTest, ParsingFollowsQuotesAcrossLinesAndCountsLines) {
    auto records = ParseFile("A,B\r\n\"x\r\ny\",\"q\"\"q\"\n3,\r\n", "t.csv");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].line, 2);
    EXPECT_EQ(records[1].fields, QStringList({"x\r\ny", "q\"q"}));
    EXPECT_EQ(records[2].line, 4);
    EXPECT_EQ(records[2].fields, QStringList({"3", ""}));
}

// A file read from disk a chunk at a time gives the records its bytes give
// in memory, also where a quoted field or a line end spans two chunks.
TEST(CsvTest, ReadingFromADeviceMatchesReadingTheWholeFile) {
    QByteArray data = "A,B\r\n";
    for (int i = 0; data.size() < 3 * (1 << 20); ++i)
        data += "\"row " + QByteArray::number(i) + "\r\n\"\"continued\"\"\"," +
                QByteArray(i % 97, 'x') + "\r\n";
    const auto whole = ParseFile(data, "t.csv");
    QBuffer device(&data);
    device.open(QIODevice::ReadOnly);
    std::size_t n = 0;
    admin::csv::ForEachRecord(device, "t.csv", [&](const admin::csv::Record& record) {
        ASSERT_LT(n, whole.size());
        EXPECT_EQ(record.line, whole[n].line);
        EXPECT_EQ(record.fields, whole[n].fields) << "record " << n;
        ++n;
    });
    EXPECT_EQ(n, whole.size());
    EXPECT_EQ(whole.back().line, 2 * int(whole.size()) - 2);
}

TEST(CsvTest, MalformedFilesNameTheLine) {
    struct Case {
        const char* data;
        const char* expected;
    } cases[] = {
        {"A\r\n\"open\r\n", "t.csv line 2: a quoted field is not closed"},
        {"A\r\nB\r\nx\"y\r\n", "t.csv line 3: a quote inside an unquoted field"},
        {"A\r\n\"x\"y\r\n", "t.csv line 2: text follows the closing quote"},
        {"A\r\n\xff\xfe\r\n", "t.csv line 2: the text is not valid UTF-8"},
        {"\xEF\xBB\xBF"
         "A\r\n",
         "t.csv line 1: the file starts with a byte-order mark"},
    };
    for (const Case& test : cases) {
        try {
            ParseFile(test.data, "t.csv");
            ADD_FAILURE() << test.expected;
        } catch (const EImportError& e) {
            EXPECT_NE(e.message().find(test.expected), std::string::npos) << e.message();
        }
    }
}

TEST(CsvTest, ValuesAreCheckedAgainstTheirField) {
    using T = paradox::FieldType;
    EXPECT_EQ(ParseValue("", {"QTY", T::Short, 0}), paradox::Value::null());
    EXPECT_EQ(ParseValue("-7", {"QTY", T::Short, 0}), paradox::Value::integer(-7));
    EXPECT_THROW(ParseValue("40000", {"QTY", T::Short, 0}), EImportError);
    EXPECT_THROW(ParseValue("1.0", {"QTY", T::Short, 0}), EImportError);
    EXPECT_EQ(ParseValue("12.50", {"PAID", T::Money, 0}), paradox::Value::floating(12.5));
    EXPECT_THROW(ParseValue("12.5", {"PAID", T::Money, 0}), EImportError);
    EXPECT_THROW(ParseValue("1,234.50", {"PAID", T::Money, 0}), EImportError);
    EXPECT_EQ(ParseValue("true", {"WANTED", T::Logical, 0}), paradox::Value::boolean(true));
    EXPECT_THROW(ParseValue("True", {"WANTED", T::Logical, 0}), EImportError);
    EXPECT_EQ(ParseValue("  7", {"COMIC_NO", T::Alpha, 15}), paradox::Value::text("  7"));
    EXPECT_THROW(ParseValue(QString(16, 'x'), {"COMIC_NO", T::Alpha, 15}), EImportError);
    EXPECT_EQ(ParseValue(QString(300, 'x'), {"BOOKNOTE", T::Memo, 1}),
              paradox::Value::text(std::string(300, 'x')));
}

}  // namespace
