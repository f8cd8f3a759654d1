// The recorder's bytes: one page written out by hand from the stream layout,
// and the recording rules (differential state, page skipping, discarding,
// abort, positioning accuracy, long strings).
#include <gtest/gtest.h>

#include <QFile>
#include <bit>
#include <cstring>
#include <vector>

#include "reportengine/report_stream.h"
#include "tests/reportengine/report_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

// Builds expected streams byte by byte, independently of the writer.
struct Bytes {
    QByteArray b;
    Bytes& u8(int v) {
        b.append(char(v));
        return *this;
    }
    Bytes& i32(std::int32_t v) {
        for (int i = 0; i < 4; ++i) b.append(char((std::uint32_t(v) >> (8 * i)) & 0xFF));
        return *this;
    }
    Bytes& f32(float v) { return i32(std::bit_cast<std::int32_t>(v)); }
    Bytes& str(const QByteArray& s) {
        u8(int(s.size()));
        b.append(s);
        return *this;
    }
};

std::int32_t IntAt(const QByteArray& b, int pos) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= std::uint32_t(std::uint8_t(b[pos + i])) << (8 * i);
    return std::int32_t(u);
}

class StreamWriter : public ::testing::Test {
protected:
    void SetUp() override { UseNoPrinters(); }
};

// One page of three commands, every byte as the layout defines it.
TEST_F(StreamWriter, OnePageIsWrittenByteForByte) {
    MemoryFiler m;
    TReportFiler& f = m.filer;
    f.OnPrintPage = [](TBaseReport* r, int&) {
        r->MoveTo(1, 1);
        r->LineTo(2, 1);
        r->Rectangle(1, 2, 3, 4.5);
        return false;
    };
    f.Run();
    ASSERT_EQ(f.PixelsPerInchY, 96);

    Bytes e;
    // File header: page count 1 (filled in at the end), pages 1..9999, letter
    // paper, no unprintable border, portrait, 1 copy, no paper data, no
    // printer selection.
    e.u8(81).i32(1).i32(1).i32(9999).f32(8.5f).f32(11.0f);
    e.f32(0).f32(0).f32(0).f32(0).u8(0).i32(1).i32(0).i32(0).i32(0).str("");
    ASSERT_EQ(e.b.size(), 55);
    // Page header: no previous, no next, page 1, portrait.
    e.u8(80).i32(0).i32(0).i32(1).u8(0);
    // Full state: black clear brush without a bitmap; the canvas's default
    // font (11 pixels at 96 ppi); black solid copy pen of 1 pixel; scales
    // 100, transparent text, white background.
    e.u8(41).i32(0).u8(42).u8(1).u8(43).u8(0);
    e.u8(51).str("MS Sans Serif").u8(52).i32(0).u8(53).u8(0).u8(54).f32(11.0f / 96);
    e.u8(55).u8(0).u8(57).u8(0).u8(56).u8(0).u8(58).u8(0);
    e.u8(71).i32(0).u8(72).u8(4).u8(73).u8(0).u8(74).f32(1.0f / 96);
    e.u8(28).f32(100).u8(29).f32(100).u8(26).u8(0).u8(27).i32(0xFFFFFF);
    // Commands, end of page.
    e.u8(12).f32(1).f32(1).u8(11).f32(2).f32(1).u8(18).f32(1).f32(2).f32(3).f32(4.5f);
    e.u8(82);
    EXPECT_EQ(m.Bytes().toHex(' '), e.b.toHex(' '));
}

TEST_F(StreamWriter, PagesAreLinkedBothWaysAndCounted) {
    MemoryFiler m;
    m.filer.OnPrintPage = [](TBaseReport* r, int& page) {
        r->PrintText("page");
        return page < 3;
    };
    m.filer.Run();
    QByteArray b = m.Bytes();
    EXPECT_EQ(IntAt(b, 1), 3);
    int p1 = 55;
    ASSERT_EQ(b[p1], char(80));
    int p2 = IntAt(b, p1 + 5);
    ASSERT_GT(p2, p1);
    ASSERT_EQ(b[p2], char(80));
    EXPECT_EQ(b[p2 - 1], char(82));  // the end of page 1 comes just before
    int p3 = IntAt(b, p2 + 5);
    ASSERT_EQ(b[p3], char(80));
    EXPECT_EQ(IntAt(b, p2 + 1), p1);
    EXPECT_EQ(IntAt(b, p3 + 1), p2);
    EXPECT_EQ(IntAt(b, p3 + 5), 0);
    EXPECT_EQ(IntAt(b, p3 + 9), 3);
    EXPECT_EQ(b.back(), char(82));
}

TEST_F(StreamWriter, PagesOutsideFirstAndLastRunButAreNotRecorded) {
    MemoryFiler m;
    m.filer.FirstPage = 3;
    m.filer.LastPage = 4;
    int handlerCalls = 0;
    m.filer.OnPrintPage = [&](TBaseReport* r, int& page) {
        ++handlerCalls;
        r->PrintText("x");
        return page < 6;
    };
    m.filer.Run();
    EXPECT_EQ(handlerCalls, 6);
    QByteArray b = m.Bytes();
    EXPECT_EQ(IntAt(b, 1), 2);
    int p3 = 55;
    EXPECT_EQ(IntAt(b, p3 + 1), 0);  // first recorded page: no previous
    EXPECT_EQ(IntAt(b, p3 + 9), 3);  // carries its own number
    int p4 = IntAt(b, p3 + 5);
    EXPECT_EQ(IntAt(b, p4 + 9), 4);
    EXPECT_EQ(IntAt(b, p4 + 5), 0);  // last recorded page, though 5 and 6 followed
    EXPECT_EQ(b.back(), char(82));
}

TEST_F(StreamWriter, EveryPageSkippedLeavesOnlyTheHeader) {
    MemoryFiler m;
    m.filer.FirstPage = 5;
    m.filer.OnPrintPage = [](TBaseReport* r, int& page) {
        r->PrintText("x");
        return page < 2;
    };
    m.filer.Run();
    EXPECT_EQ(m.Bytes().size(), 55);
    EXPECT_EQ(IntAt(m.Bytes(), 1), 0);
}

TEST_F(StreamWriter, RunWithoutPageEventsTouchesNothing) {
    TestDir dir;
    QWidget form;
    TReportFiler f(&form);
    f.FileName = dir.path() + "/pkeep.rpt";
    QStringList events;
    f.OnBeforePrint = [&](TBaseReport*) { events << "before"; };
    f.OnAfterPrint = [&](TBaseReport*) { events << "after"; };
    f.OnPrintHeader = [&](TBaseReport*) { events << "header"; };
    f.Run();
    EXPECT_EQ(events, QStringList({"before", "after"}));
    EXPECT_FALSE(QFile::exists(f.FileName));
}

TEST_F(StreamWriter, MemoryModeSavesToFileNameAndFileModeWritesDirectly) {
    TestDir dir;
    QWidget form;
    for (TStreamMode mode : {smMemory, smFile}) {
        TReportFiler f(&form);
        f.StreamMode = mode;
        f.FileName = dir.path() + (mode == smMemory ? "/memory.rpt" : "/file.rpt");
        f.OnPrintPage = [](TBaseReport* r, int&) {
            r->PrintText("hello");
            return false;
        };
        f.Run();
        QFile file(f.FileName);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray b = file.readAll();
        EXPECT_EQ(b[0], char(81));
        EXPECT_EQ(IntAt(b, 1), 1);
        EXPECT_TRUE(b.contains("hello"));
        EXPECT_EQ(b.back(), char(82));
    }
}

class FailingFiler : public TReportFiler {
public:
    using TReportFiler::TReportFiler;
    void ShowError(const QString& message) override { errors << message; }
    QStringList errors;
};

TEST_F(StreamWriter, AStreamThatCannotBeOpenedIsReportedAndTheRunEnds) {
    QWidget form;
    FailingFiler f(&form);
    f.StreamMode = smFile;
    f.FileName = "/nonexistent-dir/pkeep.rpt";
    int after = 0;
    f.OnAfterPrint = [&](TBaseReport*) { ++after; };
    f.OnPrintPage = [](TBaseReport*, int&) { return false; };
    f.Run();
    EXPECT_EQ(f.errors, QStringList("Error initializing stream \"/nonexistent-dir/pkeep.rpt\""));
    EXPECT_EQ(after, 1);
    EXPECT_FALSE(f.Printing());
}

TEST_F(StreamWriter, WithoutPrintersTheOwnerMustBeAForm) {
    TReportFiler f(nullptr);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    f.StreamMode = smUser;
    f.UserStream = &buffer;
    int after = 0;
    f.OnAfterPrint = [&](TBaseReport*) { ++after; };
    f.OnPrintPage = [](TBaseReport*, int&) { return false; };
    try {
        f.Run();
        FAIL() << "no error";
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "TReportFiler.Owner must be a TForm if no printers are defined.");
    }
    EXPECT_EQ(after, 1);
    EXPECT_FALSE(f.Printing());
}

TEST_F(StreamWriter, NoPrinterMeansPreviewOnlyAtScreenResolution) {
    MemoryFiler m;
    QString device;
    m.filer.OnPrintPage = [&](TBaseReport* r, int&) {
        device = r->DeviceName + "|" + r->DriverName + "|" + r->PortName;
        return false;
    };
    m.filer.Run();
    EXPECT_EQ(device, "Preview Only|Preview Only|Preview");
    EXPECT_EQ(m.filer.PixelsPerInchX, 96);
}

// The state after a change is recorded as the attributes that changed.
TEST_F(StreamWriter, AColourOnlyFontChangeRecordsOneRecord) {
    auto record = [](bool changeColour) {
        MemoryFiler m;
        m.filer.OnPrintPage = [&](TBaseReport* r, int&) {
            r->SelectFont("Arial", 10);
            r->PrintText("a");
            if (changeColour) r->Canvas().Font().SetColor(clRed);
            r->PrintText("b");
            return false;
        };
        m.filer.Run();
        return m.Bytes();
    };
    QByteArray plain = record(false);
    QByteArray coloured = record(true);
    ASSERT_EQ(coloured.size(), plain.size() + 5);
    int at =
        coloured.indexOf(QByteArray("\x01"
                                    "a",
                                    2));
    ASSERT_GT(at, 0);
    // After the text "a" (string, float x) comes exactly one record: 52, red.
    EXPECT_EQ(coloured.mid(at + 6, 5), Bytes().u8(52).i32(clRed).b);
}

TEST_F(StreamWriter, BoldAfterSelectFontRecordsOnlyTheBoldRecord) {
    auto record = [](bool bold) {
        MemoryFiler m;
        m.filer.OnPrintPage = [&](TBaseReport* r, int&) {
            r->SelectFont("Arial", 10);
            r->PrintText("a");
            r->SetBold(bold);
            r->PrintText("b");
            return false;
        };
        m.filer.Run();
        return m.Bytes();
    };
    QByteArray plain = record(false), bold = record(true);
    ASSERT_EQ(bold.size(), plain.size() + 2);
    EXPECT_TRUE(bold.contains(Bytes().u8(55).u8(1).u8(24).b));
}

TEST_F(StreamWriter, PositioningAccuracyRecordsOneRecordPerCharacter) {
    auto record = [](TAccuracyMethod method, const QString& text) {
        MemoryFiler m;
        m.filer.AccuracyMethod = method;
        m.filer.OnPrintPage = [&](TBaseReport* r, int&) {
            r->SelectFont("Arial", 10);
            r->PrintText(text);
            return false;
        };
        m.filer.Run();
        return m.Bytes();
    };
    // A record is code 24, float y, length 1 and the character, float x:
    // 11 bytes.  The page ends with 82.
    QByteArray none = record(amPositioning, "");
    QByteArray one = record(amPositioning, "W");
    ASSERT_EQ(one.size(), none.size() + 11);
    EXPECT_EQ(one[one.size() - 12], char(24));
    EXPECT_EQ(one.mid(one.size() - 7, 2), QByteArray("\x01W", 2));
    QByteArray three = record(amPositioning, "WiW");
    ASSERT_EQ(three.size(), none.size() + 33);
    // The characters advance by their own widths: the third starts "Wi"
    // further on than the first.
    float x1, x3;
    std::memcpy(&x3, three.constData() + three.size() - 5, 4);
    std::memcpy(&x1, three.constData() + three.size() - 27, 4);
    TCanvas measure;
    measure.Font().SetName("Arial");
    measure.Font().SetHeight(-13);  // 10 points at 96 pixels per inch
    EXPECT_NEAR(x3 - x1, (measure.TextWidth("W") + measure.TextWidth("i")) / 96.0, 1e-5);
    // Appearance accuracy: one record for the whole text.
    EXPECT_EQ(record(amAppearance, "WiW").size(), none.size() + 13);
}

TEST_F(StreamWriter, TheCursorAdvancesByEachTextInItsOwnFontAndScale) {
    TCanvas measure;
    measure.Font().SetName("Arial");
    measure.Font().SetHeight(-13);  // 10 points at 96 pixels per inch
    const int wide = measure.TextWidth("Wide");
    const int odd = measure.TextWidth("odd");
    measure.Font().SetHeight(-27);  // 20 points
    ASSERT_NE(measure.TextWidth("Wide"), wide);

    MemoryFiler m;
    std::vector<double> cursor;
    m.filer.OnPrintPage = [&](TBaseReport* r, int&) {
        r->SelectFont("Arial", 10);
        r->PrintLeftAt("Wide", 1.0);
        // Font and scale change before the cursor is read: the advance is
        // the text's as it was printed.
        r->SelectFont("Arial", 20);
        r->SetBold(true);
        r->SetScaleX(50);
        cursor.push_back(r->CursorX());
        r->PrintText("next");  // starts at the cursor
        r->SelectFont("Arial", 10);
        r->SetScaleX(100);
        r->PrintCenteredAt("odd", 3.0);
        r->SelectFont("Arial", 20);
        cursor.push_back(r->CursorX());
        r->PrintRightAt("right", 6.0);
        cursor.push_back(r->CursorX());
        return false;
    };
    m.filer.Run();
    ASSERT_EQ(cursor.size(), 3u);
    EXPECT_DOUBLE_EQ(cursor[0], 1.0 + wide / 96.0);
    EXPECT_DOUBLE_EQ(cursor[1], 3.0 + ((odd + 1) / 2) / 96.0);
    EXPECT_DOUBLE_EQ(cursor[2], 6.0);
    // The record of "next": code 24, float y, the string, float x.
    const QByteArray bytes = m.Bytes();
    const qsizetype at = bytes.indexOf(QByteArray("\x04next", 5));
    ASSERT_GT(at, 0);
    EXPECT_EQ(bytes[at - 5], char(24));
    float x;
    std::memcpy(&x, bytes.constData() + at + 5, 4);
    EXPECT_FLOAT_EQ(x, float(1.0 + wide / 96.0));
}

TEST_F(StreamWriter, LongStringsKeepWholeCharactersAndAMatchingLength) {
    QString text = QString("a") + QString(200, QChar(0x00E9));  // 1 + 400 bytes
    QByteArray stored = EncodeStreamString(text);
    EXPECT_EQ(stored.size(), 255);
    EXPECT_EQ(DecodeStreamString(stored), text.left(128));
    QString odd = QString(300, 'x');
    EXPECT_EQ(EncodeStreamString(odd).size(), 255);
    // A three-byte character that would straddle byte 255 is left out.
    QString euro = QString(84, QChar(0x20AC)) + "z";  // 252 bytes + 1
    EXPECT_EQ(EncodeStreamString(euro + QChar(0x20AC)).size(), 253);
}

TEST_F(StreamWriter, StringsThatAreNotUtf8AreReadAsWindows1252) {
    EXPECT_EQ(DecodeStreamString(QByteArray("caf\xE9 \x80 5", 8)),
              QString("caf") + QChar(0xE9) + " " + QChar(0x20AC) + " 5");
    EXPECT_EQ(DecodeStreamString(QString("caf\u00e9").toUtf8()), QString("caf\u00e9"));
}

// A discarded page is written over by the next one: counts and links stay
// true and no bytes of it remain.
TEST_F(StreamWriter, DiscardPageKeepsTheStreamConsistent) {
    MemoryFiler m;
    bool discarded = false;
    m.filer.OnPrintPage = [&](TBaseReport* r, int& page) {
        if (page == 2 && !discarded) {
            r->PrintText("a long text that the discarded page carried and must not remain");
            discarded = true;
            r->DiscardPage();
            r->PrintText("ignored");
            return true;
        }
        r->PrintText(QString("page %1").arg(page));
        return page < 3;
    };
    m.filer.Run();
    QByteArray b = m.Bytes();
    EXPECT_EQ(IntAt(b, 1), 3);
    EXPECT_FALSE(b.contains("discarded"));
    EXPECT_FALSE(b.contains("ignored"));
    int p1 = 55, p2 = IntAt(b, p1 + 5), p3 = IntAt(b, p2 + 5);
    EXPECT_EQ(IntAt(b, p2 + 1), p1);
    EXPECT_EQ(IntAt(b, p2 + 9), 2);
    EXPECT_EQ(IntAt(b, p3 + 1), p2);
    EXPECT_EQ(IntAt(b, p3 + 9), 3);
    EXPECT_EQ(IntAt(b, p3 + 5), 0);
    EXPECT_EQ(b.back(), char(82));
}

TEST_F(StreamWriter, DiscardingTheLastPageEndsTheChainAtThePageBefore) {
    MemoryFiler m;
    m.filer.OnPrintPage = [&](TBaseReport* r, int& page) {
        r->PrintText("p");
        if (page == 2) {
            r->DiscardPage();
            return false;
        }
        return true;
    };
    m.filer.Run();
    QByteArray b = m.Bytes();
    EXPECT_EQ(IntAt(b, 1), 1);
    EXPECT_EQ(IntAt(b, 55 + 5), 0);
    EXPECT_EQ(b.back(), char(82));
}

TEST_F(StreamWriter, AbortEndsTheRunSilentlyAndSavesNothing) {
    TestDir dir;
    QWidget form;
    TReportFiler f(&form);
    f.FileName = dir.path() + "/pkeep.rpt";
    int after = 0, pages = 0;
    f.OnAfterPrint = [&](TBaseReport*) { ++after; };
    f.OnPrintPage = [&](TBaseReport* r, int& page) {
        ++pages;
        r->PrintText("x");
        if (page == 2) {
            r->AbortReport();
            EXPECT_TRUE(r->PageSkipped());
            r->PrintText("after abort");
        }
        return true;
    };
    EXPECT_THROW(f.Run(), EAbort);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(after, 1);
    EXPECT_FALSE(f.Printing());
    EXPECT_TRUE(f.Aborted());
    EXPECT_FALSE(QFile::exists(f.FileName));
}

TEST_F(StreamWriter, AnAfterPrintErrorNeverHidesTheRunsOwnError) {
    MemoryFiler m;
    m.filer.OnAfterPrint = [](TBaseReport*) { throw EFolioscribe("after print failed"); };
    m.filer.OnPrintPage = [](TBaseReport* r, int&) {
        r->AbortReport();
        r->PrintText("x");
        return false;
    };
    EXPECT_THROW(m.filer.Run(), EAbort);  // not a terminated program
    MemoryFiler ok;
    ok.filer.OnAfterPrint = m.filer.OnAfterPrint;
    ok.filer.OnPrintPage = [](TBaseReport*, int&) { return false; };
    try {
        ok.filer.Run();
        FAIL();
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "after print failed");
    }
}

TEST_F(StreamWriter, CopyRectIsRefused) {
    MemoryFiler m;
    m.filer.OnPrintPage = [](TBaseReport* r, int&) {
        TCanvas other;
        r->CopyRect(QRect(0, 0, 5, 5), other, QRect(0, 0, 5, 5));
        return false;
    };
    try {
        m.filer.Run();
        FAIL();
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "CopyRect() not supported in file mode.");
    }
}

TEST_F(StreamWriter, ScaleAndBackgroundSettersAreRecordedDuringARun) {
    MemoryFiler m;
    m.filer.OnPrintPage = [](TBaseReport* r, int&) {
        r->SetScaleX(50);
        r->SetTextBKMode(bkOpaque);
        r->SetBackgroundColor(clNavy);
        return false;
    };
    m.filer.Run();
    EXPECT_TRUE(
        m.Bytes().endsWith(Bytes().u8(28).f32(50).u8(26).u8(1).u8(27).i32(clNavy).u8(82).b));
}

TEST_F(StreamWriter, OutputOutsideARunIsRefused) {
    QWidget form;
    TReportFiler f(&form);
    try {
        f.PrintText("x");
        FAIL();
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "Invalid method call.  Folioscribe is not printing.");
    }
    EXPECT_THROW(f.NewPage(), EFolioscribe);
    EXPECT_THROW(f.DiscardPage(), EFolioscribe);
    EXPECT_THROW(f.NextTab(), EFolioscribe);
    EXPECT_THROW(f.SetBackgroundColor(clRed), EFolioscribe);
}

TEST_F(StreamWriter, RunInsideARunIsRefused) {
    MemoryFiler m;
    std::string message;
    m.filer.OnPrintPage = [&](TBaseReport* r, int&) {
        try {
            r->Run();
        } catch (const EFolioscribe& e) {
            message = e.what();
        }
        return false;
    };
    m.filer.Run();
    EXPECT_EQ(message, "Invalid method call.  Folioscribe already printing.");
}

}  // namespace
