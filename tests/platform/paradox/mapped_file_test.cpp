// Large table files are mapped copy-on-write: the image must grow, shrink
// and move like a plain buffer, never write to the file by itself, and
// survive the file being cut short behind its back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/paradox/errors.h"
#include "platform/paradox/file_image.h"
#include "platform/paradox/file_io.h"
#include "platform/paradox/table.h"
#include "tests/platform/paradox/table_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace paradox;
using namespace paradox::testing;

namespace {

constexpr std::size_t kFileSize = FileImage::kMapFrom + 12345;  // not a whole page

std::uint8_t patternAt(std::size_t i) { return static_cast<std::uint8_t>(i * 7 + i / 4096); }

std::string patternFile(TestDir& dir) {
    const std::string path = dir.file("image.bin");
    FileHandle f = FileHandle::createNew(path);
    std::vector<std::uint8_t> bytes(kFileSize);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = patternAt(i);
    f.writeAt(0, bytes.data(), bytes.size());
    return path;
}

FileHandle openForReading(const std::string& path) {
    bool writable = false;
    return FileHandle::openExisting(path, writable);
}

bool holdsPattern(const FileImage& image, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (image.data()[i] != patternAt(i)) return false;
    return true;
}

bool allZero(const std::uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

TEST(FileImage, ChangesStayInMemoryAndGrowthIsZeroed) {
    TestDir dir;
    const std::string path = patternFile(dir);
    const FileHandle file = openForReading(path);
    FileImage image(file);
    ASSERT_TRUE(image.mapped());
    ASSERT_EQ(image.size(), kFileSize);
    EXPECT_TRUE(holdsPattern(image, 0, kFileSize));

    std::memset(image.data() + 100, 0xEE, 5000);
    image.resize(kFileSize + 3 * 4096);
    EXPECT_TRUE(allZero(image.data() + kFileSize, 3 * 4096));
    std::memset(image.data() + kFileSize, 0xAB, 3 * 4096);
    // Nothing reached the file: it changes only through explicit writes.
    EXPECT_EQ(fileSize(path), kFileSize);
    const std::vector<std::uint8_t> onDisk = readFile(path);
    EXPECT_EQ(onDisk[100], patternAt(100));
    EXPECT_EQ(onDisk[5099], patternAt(5099));

    // Cut short (the owner then cuts the file too), then grown again: the
    // regrown part is zero, not the file's old bytes and not a fault.
    image.resize(5000);
    truncateFile(path, 5000);
    image.resize(kFileSize);
    EXPECT_TRUE(allZero(image.data() + 5000, kFileSize - 5000));
    EXPECT_FALSE(image.readFailed());
}

TEST(FileImage, OutgrowingItsRangeMovesTheBytes) {
    TestDir dir;
    const std::string path = patternFile(dir);
    const FileHandle file = openForReading(path);
    FileImage image(file);
    image.data()[0] = 0x55;
    const std::size_t big = kFileSize + (std::size_t{64} << 20);
    image.resize(big);
    EXPECT_FALSE(image.mapped());
    ASSERT_EQ(image.size(), big);
    EXPECT_EQ(image.data()[0], 0x55);
    EXPECT_TRUE(holdsPattern(image, 1, kFileSize));
    EXPECT_TRUE(allZero(image.data() + kFileSize, 1 << 20));
}

TEST(FileImage, SmallFilesAreRead) {
    TestDir dir;
    const std::string path = dir.file("small.bin");
    FileHandle::createNew(path).writeAt(0, reinterpret_cast<const std::uint8_t*>("abc"), 3);
    const FileHandle file = openForReading(path);
    FileImage image(file);
    EXPECT_FALSE(image.mapped());
    ASSERT_EQ(image.size(), 3u);
    EXPECT_EQ(std::memcmp(image.data(), "abc", 3), 0);
}

// Another program cuts the file short: the lost pages read as zeros instead
// of ending the program, and the image says so.
TEST(FileImage, AFileCutShortBehindItsBackReadsAsLost) {
    TestDir dir;
    const std::string path = patternFile(dir);
    const FileHandle file = openForReading(path);
    FileImage image(file);
    truncateFile(path, 4096);
    EXPECT_FALSE(image.readFailed());
    EXPECT_EQ(image.data()[200000], 0);
    EXPECT_TRUE(image.readFailed());
    EXPECT_EQ(image.data()[100], patternAt(100));
}

// A table whose file another program cut short while it was open refuses
// every change, so nothing is written from an image with holes in it.
TEST(MappedTable, ATableCutShortWhileOpenRefusesChanges) {
    TestDir dir;
    const std::string path = booksTable(dir.file("books.db"), 3000);
    ASSERT_GE(fileSize(path), FileImage::kMapFrom);
    auto t = Table::open(path);
    truncateFile(path, 8192);
    for (std::size_t i = 0; i < t->rowCount(); ++i) t->row(i);  // no crash
    try {
        t->insert(bookRow(999, "1", "", "T"));
        ADD_FAILURE() << "changed a table with unreadable pages";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("could not be read from the disk"), std::string::npos)
            << e.what();
    }
    t.reset();
    EXPECT_EQ(fileSize(path), 8192u);
}
