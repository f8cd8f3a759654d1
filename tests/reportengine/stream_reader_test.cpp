// The stream reader: page seeking, the codes it replays or steps over, and
// damaged streams, which give a clear error and nothing worse.
#include <gtest/gtest.h>

#include <QFile>
#include <bit>

#include "tests/reportengine/report_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

void PatchInt(QByteArray& b, int pos, std::int32_t v) {
    for (int i = 0; i < 4; ++i) b[pos + i] = char((std::uint32_t(v) >> (8 * i)) & 0xFF);
}

std::int32_t IntAt(const QByteArray& b, int pos) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= std::uint32_t(std::uint8_t(b[pos + i])) << (8 * i);
    return std::int32_t(u);
}

// A stream of pages, each printing "page n", recorded with the given hook.
QByteArray Record(int pages, const std::function<void(TBaseReport*, int)>& extra = {},
                  int firstPage = 1) {
    MemoryFiler m;
    m.filer.FirstPage = firstPage;
    m.filer.OnPrintPage = [&](TBaseReport* r, int& page) {
        r->SelectFont("Arial", 10);
        r->PrintText(QString("page %1").arg(page));
        if (extra) extra(r, page);
        return page < pages;
    };
    m.filer.Run();
    return m.Bytes();
}

// A replayer reading a copy of bytes.
struct Reader {
    explicit Reader(const QByteArray& bytes, int ppi = 96)
        : data(bytes), buffer(&data), replayer(ppi) {
        buffer.open(QIODevice::ReadOnly);
        replayer.StreamMode = smUser;
        replayer.UserStream = &buffer;
    }
    QByteArray data;
    QBuffer buffer;
    BitmapReplayer replayer;
};

class StreamReader : public ::testing::Test {
protected:
    void SetUp() override { UseNoPrinters(); }
};

TEST_F(StreamReader, SeekingBeyondEitherEndStaysOnTheEndPage) {
    Reader r(Record(3));
    ASSERT_TRUE(r.replayer.Start());
    r.replayer.Render(99);
    EXPECT_EQ(r.replayer.CurrentPage(), 3);
    EXPECT_EQ(r.replayer.printed, QStringList("page 3"));
    EXPECT_FALSE(r.replayer.HasNextPage());
    r.replayer.Render(-5);
    EXPECT_EQ(r.replayer.CurrentPage(), 1);
    EXPECT_FALSE(r.replayer.HasPreviousPage());
    r.replayer.Render(2);
    EXPECT_EQ(r.replayer.printed, QStringList("page 2"));
    EXPECT_TRUE(r.replayer.HasPreviousPage() && r.replayer.HasNextPage());
    r.replayer.Render(0);
    EXPECT_EQ(r.replayer.CurrentPage(), 1);
}

TEST_F(StreamReader, PageOneLandsOnTheFirstRecordedPage) {
    Reader r(Record(4, {}, 3));
    ASSERT_TRUE(r.replayer.Start());
    EXPECT_EQ(r.replayer.PageCount(), 2);
    EXPECT_EQ(r.replayer.FirstPage, 3);
    r.replayer.Render(1);
    EXPECT_EQ(r.replayer.CurrentPage(), 3);
    EXPECT_EQ(r.replayer.printed, QStringList("page 3"));
}

TEST_F(StreamReader, AStreamWithoutPagesShowsNothing) {
    Reader r(Record(2, {}, 7));
    ASSERT_TRUE(r.replayer.Start());
    EXPECT_EQ(r.replayer.PageCount(), 0);
    r.replayer.Render(1);
    EXPECT_TRUE(r.replayer.printed.isEmpty());
}

TEST_F(StreamReader, ReportUnitsOfAReaderStayInches) {
    BitmapReplayer replayer;
    replayer.SetUnits(unMM);
    replayer.SetUnitsFactor(2.54);
    EXPECT_DOUBLE_EQ(replayer.UnitsFactor(), 1.0);
}

TEST_F(StreamReader, AFirstByteOtherThan81IsRefused) {
    QByteArray b = Record(1);
    b[0] = char(80);
    Reader r(b);
    ASSERT_TRUE(r.replayer.OpenInput());
    try {
        r.replayer.ReadHeader();
        FAIL();
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "Unexpected code found in report file.");
    }
}

TEST_F(StreamReader, AMissingFileIsReportedAndNotOpened) {
    TestDir dir;
    BitmapReplayer replayer;
    replayer.FileName = dir.path() + "/missing.rpt";
    EXPECT_FALSE(replayer.OpenInput());
    EXPECT_EQ(replayer.errors,
              QStringList("Error initializing input stream \"" + replayer.FileName + "\""));
}

TEST_F(StreamReader, FileModesReadTheSavedReport) {
    TestDir dir;
    QString path = dir.path() + "/pkeep.rpt";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Record(2));
    file.close();
    for (TStreamMode mode : {smMemory, smFile}) {
        BitmapReplayer replayer;
        replayer.FileName = path;
        replayer.StreamMode = mode;
        ASSERT_TRUE(replayer.Start());
        replayer.Render(2);
        EXPECT_EQ(replayer.printed, QStringList("page 2"));
        replayer.Stop();
    }
}

TEST_F(StreamReader, AnUnknownCodeAbortsTheReplay) {
    QByteArray b = Record(1);
    b.insert(b.size() - 1, char(99));
    Reader r(b);
    ASSERT_TRUE(r.replayer.Start());
    try {
        r.replayer.Render(1);
        FAIL();
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "Unexpected code found in report file.");
    }
    EXPECT_TRUE(r.replayer.Aborted());
}

TEST_F(StreamReader, CopyRectRecordsAreReadAndDrawNothing) {
    QByteArray b = Record(1);
    QByteArray copyRect(1, char(4));
    copyRect.append(QByteArray(16, '\0'))
        .append(QByteArray(4, '\x07'))
        .append(QByteArray(16, '\0'));
    copyRect.append(char(24));  // and a text after it still prints
    QByteArray text = b.mid(b.indexOf("\x06page 1") - 5, 16);
    ASSERT_EQ(text[0], char(24));
    copyRect = copyRect.left(copyRect.size() - 1) + text;
    b.insert(b.size() - 1, copyRect);
    Reader r(b);
    ASSERT_TRUE(r.replayer.Start());
    r.replayer.Render(1);
    EXPECT_EQ(r.replayer.printed, QStringList({"page 1", "page 1"}));
}

// A picture of a kind no reader can load.
class OtherGraphic : public TGraphic {
public:
    int Width() const override { return 10; }
    int Height() const override { return 10; }
    bool Empty() const override { return false; }
    void Draw(TCanvas&, const QRect&) const override {}
    QByteArray SaveToBytes() const override { return "opaque picture data"; }
    void LoadFromBytes(const QByteArray&) override {}
};

TEST_F(StreamReader, GraphicsOfAnotherKindAreSteppedOver) {
    QByteArray b = Record(1, [](TBaseReport* r, int) {
        r->Draw(1, 1, OtherGraphic());
        r->PrintText("after the picture");
    });
    ASSERT_TRUE(b.contains(QByteArray("\x05\x04\x13\0\0\0opaque", 12)));
    Reader r(b);
    ASSERT_TRUE(r.replayer.Start());
    r.replayer.Render(1);
    EXPECT_EQ(r.replayer.printed, QStringList({"page 1", "after the picture"}));
}

TEST_F(StreamReader, APatternBitmapWithoutABrushBitmapIsSteppedOver) {
    QByteArray b = Record(1, [](TBaseReport* r, int) {
        auto pattern = std::make_shared<TBitmap>(8, 8);
        r->SelectBrush(clRed, bsSolid, pattern);
        r->SelectPen(clBlack, psClear, 1, pmCopy);
        r->Rectangle(1, 2, 2, 3);
        r->PrintText("after the pattern");
    });
    ASSERT_TRUE(b.contains(QByteArray("\x2B\x01\x01", 3)));
    Reader r(b);
    ASSERT_TRUE(r.replayer.Start());
    QImage page = r.replayer.Render(1);
    EXPECT_EQ(r.replayer.printed, QStringList({"page 1", "after the pattern"}));
    EXPECT_EQ(page.pixel(144, 240) & 0xFFFFFF, 0xFF0000u);  // the brush's own colour
}

TEST_F(StreamReader, APatternBitmapIsReadIntoTheBrushBitmap) {
    QImage black(4, 4, QImage::Format_RGB32);
    black.fill(Qt::black);
    QByteArray b = Record(1, [&](TBaseReport* r, int) {
        r->SelectBrush(clRed, bsSolid, std::make_shared<TBitmap>(black));
        r->SelectPen(clBlack, psClear, 1, pmCopy);
        r->Rectangle(1, 2, 2, 3);
    });
    Reader r(b);
    ASSERT_TRUE(r.replayer.Start());
    r.replayer.Canvas().Brush().SetBitmap(std::make_shared<TBitmap>(2, 2));
    QImage page = r.replayer.Render(1);
    EXPECT_EQ(page.pixel(144, 240) & 0xFFFFFF, 0u);
}

// ---- damaged streams ------------------------------------------------------------------------

bool ReplayAll(const QByteArray& bytes, std::string* error) {
    Reader r(bytes, 24);
    try {
        if (!r.replayer.Start()) return false;
        for (int page = 1; page <= 3; ++page) r.replayer.Render(page);
        r.replayer.Render(1);
    } catch (const Exception& e) {
        *error = e.what();
        return false;
    }
    return true;
}

TEST_F(StreamReader, EveryTruncationGivesAClearError) {
    QByteArray b = Record(2, [](TBaseReport* r, int) {
        const QPoint points[] = {{10, 10}, {20, 30}, {5, 40}};
        r->Polygon(points, 2);
        r->DrawBitmapRect(1, 1, 2, 2, TBitmap(3, 3));
    });
    std::string error;
    ASSERT_TRUE(ReplayAll(b, &error)) << error;
    for (int size = 0; size < b.size(); ++size) {
        error.clear();
        EXPECT_FALSE(ReplayAll(b.left(size), &error)) << "cut at " << size;
        EXPECT_TRUE(error == "Unexpected code found in report file." ||
                    error.starts_with("Stream read error") || error.starts_with("Invalid bitmap"))
            << "cut at " << size << ": " << error;
    }
}

TEST_F(StreamReader, LinksThatPointBackOrOutsideAreRefused) {
    QByteArray b = Record(3);
    int p1 = 55, p2 = IntAt(b, p1 + 5), p3 = IntAt(b, p2 + 5);
    std::string error;
    QByteArray loop = b;
    PatchInt(loop, p3 + 5, p1);  // last page's next leads back to the first
    EXPECT_FALSE(ReplayAll(loop, &error));
    EXPECT_EQ(error, "Unexpected code found in report file.");
    QByteArray forwardPrevious = b;
    PatchInt(forwardPrevious, p2 + 1, p3);
    EXPECT_FALSE(ReplayAll(forwardPrevious, &error));
    QByteArray outside = b;
    PatchInt(outside, p1 + 5, b.size() + 1000);
    EXPECT_FALSE(ReplayAll(outside, &error));
    QByteArray negative = b;
    PatchInt(negative, p1 + 5, -20);
    EXPECT_FALSE(ReplayAll(negative, &error));
    QByteArray intoThePage = b;
    PatchInt(intoThePage, p1 + 5, p2 + 3);  // lands inside a header
    EXPECT_FALSE(ReplayAll(intoThePage, &error));
}

TEST_F(StreamReader, HugePointCountsAndGraphicSizesAreBounded) {
    QByteArray b = Record(1);
    QByteArray polygon(1, char(14));
    polygon.append(QByteArray("\xff\xff\xff\x7f", 4));  // 2^31 - 1 points
    QByteArray withPolygon = b;
    withPolygon.insert(b.size() - 1, polygon);
    std::string error;
    EXPECT_FALSE(ReplayAll(withPolygon, &error));
    EXPECT_TRUE(error.starts_with("Stream read error"));
    QByteArray graphic = QByteArray(1, char(5)) + char(1) + QByteArray("\0\0\0\x7f", 4);
    QByteArray withGraphic = b;
    withGraphic.insert(b.size() - 1, graphic);
    EXPECT_FALSE(ReplayAll(withGraphic, &error));
    EXPECT_TRUE(error.starts_with("Stream read error"));
}

TEST_F(StreamReader, OutOfRangeStateValuesAreDamage) {
    QByteArray b = Record(1);
    for (QByteArray record : {QByteArray("\x2A\x09", 2), QByteArray("\x48\x20", 2),
                              QByteArray("\x49\x07", 2), QByteArray("\x35\x03", 2)}) {
        QByteArray damaged = b;
        damaged.insert(b.size() - 1, record);
        std::string error;
        EXPECT_FALSE(ReplayAll(damaged, &error));
        EXPECT_EQ(error, "Unexpected code found in report file.");
    }
}

TEST_F(StreamReader, ReadOnlyWholeStateRecordsAreAccepted) {
    QByteArray b = Record(1);
    QByteArray records;
    records.append(char(40)).append(QByteArray("\xff\0\0\0", 4)).append(char(0)).append(char(0));
    records.append(char(50)).append(char(5)).append("Arial").append(QByteArray(4, '\0'));
    records.append(char(0));
    float h = 0.25f;
    records.append(QByteArray(reinterpret_cast<const char*>(&h), 4));
    records.append(char(1)).append(char(0)).append(char(0)).append(char(0));
    float w = 0.01f;
    records.append(char(70)).append(QByteArray(4, '\0')).append(char(4)).append(char(0));
    records.append(QByteArray(reinterpret_cast<const char*>(&w), 4));
    b.insert(b.size() - 1, records);
    Reader r(b);
    ASSERT_TRUE(r.replayer.Start());
    r.replayer.Render(1);
    EXPECT_EQ(r.replayer.Canvas().Font().Height(), 24);  // +nearest(96 * 0.25)
    EXPECT_TRUE(r.replayer.Canvas().Font().HasStyle(fsBold));
    EXPECT_EQ(r.replayer.Canvas().Brush().Color(), 0xFF);
    EXPECT_EQ(r.replayer.Canvas().Pen().Width(), 1);
}

}  // namespace
