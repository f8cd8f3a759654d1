// Word wrapping of memo texts, and PrintMemo on a report.
#include <gtest/gtest.h>

#include "reportengine/memo_buf.h"
#include "tests/reportengine/report_test_support.h"

namespace {

class Memo : public ::testing::Test {
protected:
    void SetUp() override {
        canvas.Font().SetName("Arial");
        canvas.Font().SetHeight(-13);
    }
    QStringList Lines(const QString& text, int width, int max = 20) {
        memo.LoadText(text);
        QStringList lines;
        while (!memo.AtEnd() && lines.size() < max) lines << memo.NextLine(canvas, width);
        return lines;
    }
    int W(const QString& s) { return canvas.TextWidth(s); }
    TCanvas canvas;
    TMemoBuf memo;
};

TEST_F(Memo, AWrappedLineDropsTheSpaceBeforeIt) {
    EXPECT_EQ(Lines("one two", W("one t")), QStringList({"one", "two"}));
    // A word that makes the line exactly as wide as the width still fits.
    EXPECT_EQ(Lines("one two three", W("one two")), QStringList({"one two", "three"}));
}

TEST_F(Memo, AParagraphKeepsItsIndentation) {
    EXPECT_EQ(Lines("   indented text\r\n   second", 1000),
              QStringList({"   indented text", "   second"}));
}

TEST_F(Memo, EveryKindOfLineBreakEndsALine) {
    EXPECT_EQ(Lines("a\r\nb\rc\nd", 1000), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(Lines("a\n\nb", 1000), QStringList({"a", "", "b"}));
}

TEST_F(Memo, AWordWiderThanTheLineIsBrokenByCharacters) {
    QStringList lines = Lines("abcdefghijklmnop", W("abcde"));
    EXPECT_EQ(lines.join(""), "abcdefghijklmnop");
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "abcde");
    for (const QString& line : lines) EXPECT_LE(W(line), W("abcde"));
}

TEST_F(Memo, CharactersOfSeveralBytesAreNeverSplit) {
    QString word = QString(12, QChar(0x00E9)) + QString(3, QChar(0x20AC));
    QStringList lines = Lines(word, W(QString(4, QChar(0x00E9))));
    EXPECT_EQ(lines.join(""), word);
    for (const QString& line : lines) EXPECT_FALSE(line.contains(QChar::ReplacementCharacter));
}

TEST_F(Memo, AWidthSmallerThanOneCharacterStillMakesProgress) {
    QStringList lines = Lines("abc", 1);
    EXPECT_EQ(lines, QStringList({"a", "b", "c"}));
}

TEST_F(Memo, NextWordCarriesThePrecedingSpaces) {
    memo.LoadText("one  two\r\nthree");
    EXPECT_EQ(memo.NextWord(), "one");
    EXPECT_EQ(memo.NextWord(), "  two");
    EXPECT_EQ(memo.NextWord(), "\r");
    EXPECT_EQ(memo.NextWord(), "three");
    EXPECT_EQ(memo.NextWord(), "");
    memo.Clear();
    EXPECT_EQ(memo.NextWord(), "");
}

TEST_F(Memo, DBMemoBufLoadsItsFieldsText) {
    struct Field : TMemoSource {
        QString MemoText() const override { return "notes of the book"; }
    } field;
    TDBMemoBuf db;
    db.SetField(field);
    EXPECT_EQ(db.NextLine(canvas, 1000), "notes of the book");
}

// ---- PrintMemo -------------------------------------------------------------------------------

class PrintMemo : public ::testing::Test {
protected:
    void SetUp() override {
        UseNoPrinters();
        r = std::make_unique<BitmapReport>();
        r->Begin();
        r->SelectFont("Arial", 10);
        memo.PrintStart = 2.0;
        memo.PrintEnd = 5.5;
    }
    QStringList Texts() {
        QStringList texts;
        for (const PrintedText& p : r->printed) texts << p.text;
        return texts;
    }
    std::unique_ptr<BitmapReport> r;
    TMemoBuf memo;
};

TEST_F(PrintMemo, PrintsExactlyTheLinesAskedFor) {
    memo.LoadText("");
    r->PrintMemo(memo, 3, false);
    EXPECT_EQ(Texts(), QStringList({"", "", ""}));
    EXPECT_EQ(r->LineNumber(), 4);
    r->printed.clear();
    memo.LoadText("");
    r->PrintMemo(memo, 0, false);
    EXPECT_TRUE(r->printed.empty());
    memo.LoadText("x");
    r->PrintMemo(memo, -1, false);
    EXPECT_TRUE(r->printed.empty());
}

TEST_F(PrintMemo, LinesStartAtPrintStartAndStopAtTheWidth) {
    QString words = QString("word ").repeated(60);
    memo.LoadText(words);
    r->PrintMemo(memo, 0, false);
    ASSERT_GT(r->printed.size(), 3u);
    int width = r->XI2D(5.5) - r->XI2D(2.0) + 1;
    for (const PrintedText& p : r->printed) {
        EXPECT_DOUBLE_EQ(p.x, 2.0);
        EXPECT_LE(r->Canvas().TextWidth(p.text), width);
    }
    EXPECT_EQ(Texts().join(" ").simplified(), words.simplified());
}

TEST_F(PrintMemo, WithTabsWalksThroughTheStopsOnEveryLine) {
    r->AddTabStop(0.5, tjRight, 1.5, 2, BoxLineAll, 0);
    r->AddTabStop(-32768, tjLeft, 5.0, 2, BoxLineAll, 0);
    memo.LoadText("a\nb");
    r->PrintMemo(memo, 2, true);
    EXPECT_EQ(r->lines, 2 * 2 * 4);  // two boxed cells on each of the two lines
    memo.LoadText("a");
    r->ClearTabStops();
    for (int i = 0; i < 70; ++i) r->AddTabStop(-32768, tjLeft, 0.01, 0, BoxLineLeft, 0);
    r->lines = 0;
    r->PrintMemo(memo, 1, true);
    EXPECT_EQ(r->lines, 60);  // one TAB per stop, at most 60
}

TEST_F(PrintMemo, PrintEndMustLieAfterPrintStart) {
    memo.PrintEnd = 2.0;
    memo.LoadText("text");
    try {
        r->PrintMemo(memo, 1, false);
        FAIL();
    } catch (const EFolioscribe& e) {
        EXPECT_STREQ(e.what(), "TMemoBuf.PrintEnd must be greater than TMemoBuf.PrintStart");
    }
    EXPECT_TRUE(r->printed.empty());
}

}  // namespace
