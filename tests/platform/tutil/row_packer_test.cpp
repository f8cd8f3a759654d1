// Rows packed straight into new table files: given in any order, they come
// back in key order, the same rows the engine stores when it inserts them,
// as the engine and pxlib read them.

#include "platform/tutil/row_packer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/paradox/errors.h"
#include "tests/platform/tutil/fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class RowPackerTest : public ::testing::Test {
protected:
    TestDir dir;

    // The rows inserted through the engine into table `name`, and packed
    // (shuffled when `shuffle`) into `name`_packed; both as the engine reads them.
    void packBoth(const std::string& name, const paradox::TableSchema& schema,
                  const std::vector<paradox::Row>& rows, bool shuffle) {
        const std::string db = dir.file(name + ".db"), base = dir.file(name + "_packed");
        paradox::Table::create(db, schema);
        {
            tutil::RowPacker packer(db, base, rows.size());  // while the table is empty
            std::vector<paradox::Row> shuffled = rows;
            if (shuffle) std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(11));
            for (const paradox::Row& row : shuffled) packer.add(row);
            ASSERT_TRUE(packer.finish());
            EXPECT_EQ(packer.files(),
                      (std::vector<std::string>{base + ".DB", base + ".PX", base + ".MB"}));
        }
        auto table = paradox::Table::open(db);
        table->beginBatch();
        for (const paradox::Row& row : rows) table->insert(row);
        table->commitBatch();
        table.reset();
        inserted = fixture::rowTexts(schema, fixture::readTable(db));
        packed = fixture::rowTexts(schema, fixture::readTable(base + ".DB"));
    }
    std::vector<std::string> inserted, packed;
};

TEST_F(RowPackerTest, ShuffledRowsComeBackInKeyOrderAsTheEngineStoresThem) {
    // Several blocks of books, memos of every length (some in the .mb).
    packBoth("books", fixture::booksSchema(), fixture::booksRows(3000), true);
    ASSERT_EQ(inserted.size(), 3000u);
    EXPECT_EQ(packed, inserted);
    EXPECT_EQ(fixture::pxlibRows(dir.file("books_packed.DB"), dir.file("books_packed.MB"),
                                 dir.file("books_packed.PX")),
              inserted);

    // ENTRY left blank is numbered in the order the rows come, as inserted.
    packBoth("series", fixture::seriesSchema(), fixture::seriesRows(500), false);
    EXPECT_EQ(packed, inserted);
}

TEST_F(RowPackerTest, RepeatedKeyOrBadValueIsRefused) {
    paradox::Table::create(dir.file("model.db"), fixture::seriesSchema());
    std::vector<paradox::Row> rows = fixture::seriesRows(3);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i][2] = paradox::Value::integer(int(i) + 1);
    {
        tutil::RowPacker packer(dir.file("model.db"), dir.file("twice"), 4);
        for (const paradox::Row& row : rows) packer.add(row);
        packer.add(rows[1]);
        EXPECT_FALSE(packer.finish());
    }
    tutil::RowPacker packer(dir.file("model.db"), dir.file("bad"), 1);
    paradox::Row tooLong = rows[0];
    tooLong[0] = paradox::Value::text(std::string(61, 'X'));  // SERIES holds 60
    EXPECT_THROW(packer.add(tooLong), EDatabaseError);
}

}  // namespace
