// The cache of decoded rows: it takes memory only for the chunks rows are
// read from, and keeps every row at its position through inserts and
// erasures across chunks, read or not.

#include "platform/paradox/row_cache.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/platform/paradox/table_fixtures.h"

using namespace paradox;

namespace {

constexpr std::size_t kChunk = RowCache::kChunkRows;

Row rowOf(int n) { return {Value::integer(n)}; }

}  // namespace

TEST(RowCache, OnlyTheChunksOfRowsReadTakeMemory) {
    RowCache cache;
    cache.reset(100000);
    EXPECT_EQ(cache.size(), 100000u);
    EXPECT_EQ(cache.allocatedChunks(), 0u);
    EXPECT_TRUE(cache.at(5).empty());
    cache.at(99999) = rowOf(1);
    EXPECT_EQ(cache.allocatedChunks(), 2u);
    cache.reset(10);
    EXPECT_EQ(cache.allocatedChunks(), 0u);
}

// Reading rows of many chunks keeps only the chunks used last; a row read
// again counts as recent.
TEST(RowCache, OnlyTheChunksUsedLastKeepTheirRows) {
    RowCache cache;
    const std::size_t chunks = 3 * RowCache::kKeptChunks;
    cache.reset(chunks * kChunk);
    for (std::size_t c = 0; c < chunks; ++c) {
        cache.at(c * kChunk) = rowOf(static_cast<int>(c));
        cache.at(0);  // the first chunk stays in use
        cache.dropUnusedChunks();
    }
    EXPECT_EQ(cache.allocatedChunks(), RowCache::kKeptChunks);
    EXPECT_EQ(cache.at(0), rowOf(0));
    EXPECT_EQ(cache.at((chunks - 1) * kChunk), rowOf(static_cast<int>(chunks - 1)));
    EXPECT_TRUE(cache.at(kChunk).empty());  // dropped long ago: to be decoded again
}

// Random inserts, erasures and reads against a plain vector of rows, on a
// few chunks' worth of rows of which only some were ever read.
TEST(RowCache, RowsKeepTheirPlacesThroughInsertsAndErasures) {
    std::mt19937 random(7);
    RowCache cache;
    std::vector<Row> expected(3 * kChunk + 17);
    cache.reset(expected.size());
    int next = 1;
    for (std::size_t p = kChunk + 5; p < 2 * kChunk; p += 3) {  // rows of one chunk read
        cache.at(p) = rowOf(next);
        expected[p] = rowOf(next++);
    }
    for (int step = 0; step < 3000; ++step) {
        const std::size_t size = expected.size();
        const std::size_t p = random() % (size + 1);
        switch (random() % 3) {
            case 0:  // an insert, at the end too
                cache.insert(p, rowOf(next));
                expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(p), rowOf(next++));
                break;
            case 1:
                if (p == size) break;
                cache.erase(p);
                expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(p));
                break;
            default:  // a read
                if (p == size) break;
                ASSERT_EQ(cache.at(p), expected[p]) << "step " << step;
                if (expected[p].empty()) {  // decoded now
                    expected[p] = rowOf(next);
                    cache.at(p) = rowOf(next++);
                }
                break;
        }
        ASSERT_EQ(cache.size(), expected.size()) << "step " << step;
    }
    for (std::size_t p = 0; p < expected.size(); ++p)
        ASSERT_EQ(cache.at(p), expected[p]) << "row " << p;
}

// A row of a chunk never read moves onto a read one's place: that place
// becomes unread, and the row is decoded again when it is read.
TEST(RowCache, AnUnreadRowMovedOntoAReadPlaceLeavesItUnread) {
    RowCache cache;
    cache.reset(3 * kChunk);
    for (std::size_t p = 0; p < kChunk; ++p) cache.at(p) = rowOf(static_cast<int>(p) + 1);
    cache.erase(kChunk - 1);  // the last read row; the first unread one takes its place
    EXPECT_TRUE(cache.at(kChunk - 1).empty());
    EXPECT_EQ(cache.at(kChunk - 2), rowOf(static_cast<int>(kChunk) - 1));
    cache.erase(0);
    EXPECT_EQ(cache.at(0), rowOf(2));
    EXPECT_TRUE(cache.at(kChunk - 2).empty());
    cache.insert(0, rowOf(1));
    EXPECT_EQ(cache.at(kChunk - 2), rowOf(static_cast<int>(kChunk) - 1));
    EXPECT_TRUE(cache.at(kChunk - 1).empty());
    EXPECT_EQ(cache.size(), 3 * kChunk - 1);
}
