// The page model's rules: units, margins, line metrics, tab stops and their
// cells, fonts and pens, status placeholders, run-state checks.
#include <gtest/gtest.h>

#include <QLabel>

#include "tests/reportengine/report_test_support.h"

namespace {

class EngineRules : public ::testing::Test {
protected:
    void SetUp() override {
        UseNoPrinters();
        r = std::make_unique<BitmapReport>();
    }
    std::unique_ptr<BitmapReport> r;
};

TEST_F(EngineRules, UnitsAndUnitsFactorFollowEachOther) {
    r->SetUnitsFactor(25.4);
    EXPECT_EQ(r->Units(), unMM);
    r->SetUnitsFactor(10);
    EXPECT_EQ(r->Units(), unUser);
    r->SetUnits(unCM);
    EXPECT_DOUBLE_EQ(r->UnitsFactor(), 2.54);
    r->SetUnits(unPoint);
    EXPECT_DOUBLE_EQ(r->UnitsFactor(), 72);
    r->SetUnits(unUser);
    EXPECT_DOUBLE_EQ(r->UnitsFactor(), 72);
    r->SetUnitsFactor(0);
    r->SetUnitsFactor(-3);
    EXPECT_DOUBLE_EQ(r->UnitsFactor(), 72);
    EXPECT_EQ(r->Version(), "1.1e (32 bit)");
}

TEST_F(EngineRules, MarginsAreStoredAsGivenAndSetTheSection) {
    r->SetUnits(unMM);
    r->SetMarginLeft(25.4);
    r->SetMarginRight(12.7);
    EXPECT_DOUBLE_EQ(r->MarginLeft(), 25.4);
    EXPECT_DOUBLE_EQ(r->SectionLeft(), 25.4);
    EXPECT_NEAR(r->SectionRight(), 8.0 * 25.4, 1e-9);  // 8.5 in paper less 0.5 in
    EXPECT_NEAR(r->PageWidth(), 8.5 * 25.4, 1e-9);
    // Changing units does not convert stored margins.
    r->SetUnits(unInch);
    EXPECT_DOUBLE_EQ(r->MarginLeft(), 25.4);
}

TEST_F(EngineRules, SectionEdgesPullTheCursorInside) {
    r->Begin();
    r->PositionAt(0.2, 0.3);
    r->SetSectionLeft(1.0);
    EXPECT_DOUBLE_EQ(r->CursorX(), 1.0);
    r->PositionAt(5, 8);
    r->SetSectionRight(4.0);
    r->SetSectionBottom(7.0);
    EXPECT_DOUBLE_EQ(r->CursorX(), 4.0);
    EXPECT_DOUBLE_EQ(r->CursorY(), 7.0);
}

TEST_F(EngineRules, DeviceConversionRoundsHalvesToEven) {
    r->PixelsPerInchX = 2;
    EXPECT_EQ(r->XI2D(1.25), 2);  // 2.5 -> 2
    EXPECT_EQ(r->XI2D(1.75), 4);  // 3.5 -> 4
    r->SetOriginX(0.5);
    EXPECT_EQ(r->XI2D(1.25), 4);
    r->SetScaleX(50);
    EXPECT_EQ(r->XI2D(2.5), 3);  // (3 * 0.5) * 2 = 3
    EXPECT_DOUBLE_EQ(r->XD2I(3), 2.5);
}

TEST_F(EngineRules, LineMetricsPlaceTheFirstBaselineOneLineDown) {
    r->SetMarginTop(1.0);
    r->Begin();
    r->SelectFont("Arial", 10);
    r->HomePosition();
    double descent = r->Canvas().TextMetrics().Descent / 96.0;
    EXPECT_GT(descent, 0);
    EXPECT_NEAR(r->FontDescent(), descent, 1e-12);
    EXPECT_NEAR(r->CursorY(), 1.0 + 1.0 / 6 - descent, 1e-12);
    r->FeedLine();
    EXPECT_EQ(r->LineNumber(), 2);
    EXPECT_NEAR(r->CursorY(), 1.0 + 2.0 / 6 - descent, 1e-12);
    r->SetLineHeightMethod(lhmFont);
    r->SetLineNumber(1);
    EXPECT_NEAR(r->LineHeight(), 10.0 / 60, 1e-12);
    r->SetLinesPerInch(0);
    EXPECT_EQ(r->LinesPerInch(), 6);
}

TEST_F(EngineRules, LinesRemainingCountsALineThatEndsOnTheBottomEdge) {
    r->SetMarginBottom(1.0);  // section bottom at 10 inches
    r->Begin();
    r->SelectFont("Arial", 10);
    r->SetLineNumber(60);  // descent ends at 60 / 6 = 10 inches
    EXPECT_EQ(r->LinesRemaining(), 1);
    r->FeedLine();
    EXPECT_EQ(r->LinesRemaining(), 0);
    r->SetLineNumber(1);
    EXPECT_EQ(r->LinesRemaining(), 60);
}

TEST_F(EngineRules, SelectFontOfSizeZeroChangesNothing) {
    r->Begin();
    r->SelectFont("Arial", 12);
    r->SetBold(true);
    r->SelectFont("Courier", 0);
    r->SelectFont("Courier", -4);
    EXPECT_EQ(r->Canvas().Font().Name(), "Arial");
    EXPECT_TRUE(r->Bold());
    EXPECT_EQ(r->Canvas().Font().Height(), -16);
    EXPECT_NEAR(r->FontLineHeight(), 0.2, 1e-12);
    // A real size resets colour and styles.
    r->Canvas().Font().SetColor(clRed);
    r->SelectFont("Arial", 9);
    EXPECT_FALSE(r->Bold());
    EXPECT_EQ(r->Canvas().Font().Color(), clBlack);
}

TEST_F(EngineRules, FontHeightsAndPenWidthsFollowTheScale) {
    r->Begin();
    r->SetScaleY(50);
    r->SelectFont("Arial", 12);  // 16 pixels at 96 ppi, half of it
    EXPECT_EQ(r->Canvas().Font().Height(), -8);
    r->SelectPen(clBlack, psSolid, -10, pmCopy);  // a tenth of an inch
    EXPECT_EQ(r->Canvas().Pen().Width(), 10);     // nearest(9.6)
    r->SelectPen(clBlack, psSolid, -1, pmCopy);
    EXPECT_EQ(r->Canvas().Pen().Width(), 1);
    r->SelectPen(clBlack, psSolid, 3, pmCopy);
    EXPECT_EQ(r->Canvas().Pen().Width(), 3);
}

// ---- tab stops -------------------------------------------------------------------------

TEST_F(EngineRules, TabStopPositionsChainFromTheLeftMargin) {
    r->SetMarginLeft(0.5);
    r->AddTabStop(-32768, tjLeft, 1.0, 2, BoxLineAll, 0);
    r->AddTabStop(-32768, tjCenter, 2.0, 2, 0, 0);
    r->AddTabStop(5.0, tjRight, 0, 7, BoxLineAll, 30);
    const auto& tabs = r->TabStops();
    ASSERT_EQ(tabs.size(), 3u);
    auto it = tabs.begin();
    EXPECT_DOUBLE_EQ(it->Pos, 0.5);
    EXPECT_DOUBLE_EQ(it->Margin, 0.02);
    EXPECT_TRUE(it->LeftLine && it->RightLine && it->TopLine && it->BottomLine);
    ++it;
    EXPECT_DOUBLE_EQ(it->Pos, 1.5);
    ++it;
    // A width of 0 is a bare position: margin, lines and shade are dropped.
    EXPECT_DOUBLE_EQ(it->Pos, 5.0);
    EXPECT_DOUBLE_EQ(it->Margin, 0);
    EXPECT_FALSE(it->LeftLine);
    EXPECT_EQ(it->Shade, 0);
}

TEST_F(EngineRules, TabsPlaceTextInCellsAndExtraTabsDoNothing) {
    r->SetMarginLeft(0.5);
    r->Begin();
    r->SelectFont("Arial", 10);
    r->AddTabStop(0.5, tjLeft, 1.0, 2, 0, 0);
    r->AddTabStop(-32768, tjCenter, 2.0, 2, 0, 0);
    r->AddTabStop(-32768, tjRight, 1.0, 5, 0, 0);
    r->AddTabStop(6.0, tjRight, 0, 5, 0, 0);
    r->PrintTextLine("\tleft\tmid\tright\tbare\tafter\tmore");
    ASSERT_EQ(r->printed.size(), 6u);
    auto at = [&](int i) { return r->printed[i]; };
    EXPECT_EQ(at(0).how, 'L');
    EXPECT_DOUBLE_EQ(at(0).x, 0.52);
    EXPECT_EQ(at(1).how, 'C');
    EXPECT_DOUBLE_EQ(at(1).x, 2.5);
    EXPECT_EQ(at(2).how, 'R');
    EXPECT_DOUBLE_EQ(at(2).x, 4.45);
    // The bare stop: right-justified text ends exactly at its position.
    EXPECT_EQ(at(3).how, 'R');
    EXPECT_DOUBLE_EQ(at(3).x, 6.0);
    // Past the last stop: printed where the cursor stands, the tab ignored.
    EXPECT_EQ(at(4).text, "after");
    EXPECT_EQ(at(4).how, 'L');
    EXPECT_DOUBLE_EQ(at(4).x, 6.0);
    EXPECT_EQ(at(5).how, 'L');
    EXPECT_GT(at(5).x, 6.0);
    // The line ended: the next tab goes to the first stop again.
    r->PrintText("\tagain");
    EXPECT_DOUBLE_EQ(r->printed.back().x, 0.52);
}

TEST_F(EngineRules, WithoutStopsTabsDoNothing) {
    r->Begin();
    r->SelectFont("Arial", 10);
    r->PrintText("a\tb");
    ASSERT_EQ(r->printed.size(), 2u);
    EXPECT_GT(r->printed[1].x, r->printed[0].x);
    EXPECT_DOUBLE_EQ(r->printed[1].x, r->CursorX() - r->Canvas().TextWidth("b") / 96.0);
}

TEST_F(EngineRules, ACellStaysActiveAcrossCalls) {
    r->Begin();
    r->SelectFont("Arial", 10);
    r->AddTabStop(2.0, tjCenter, 1.0, 10, 0, 0);
    r->PrintText("\t");
    r->PrintText("later");
    ASSERT_EQ(r->printed.size(), 1u);
    EXPECT_EQ(r->printed[0].how, 'C');
    EXPECT_DOUBLE_EQ(r->printed[0].x, 2.5);
}

TEST_F(EngineRules, ShadedBoxedCellsDrawGreyAndLines) {
    r->Begin();
    r->SelectFont("Arial", 10);
    r->AddTabStop(1.0, tjLeft, 2.0, 2, BoxLineAll, 10);
    r->AddTabStop(-32768, tjLeft, 2.0, 2, BoxLineLeft, 100);
    r->AddTabStop(-32768, tjLeft, 0, 2, BoxLineAll, 50);  // bare: nothing drawn
    r->SetLineNumber(3);
    r->PrintTextLine("\t\t\t");
    EXPECT_EQ(r->shades, 2);
    EXPECT_EQ(r->lines, 5);
    const QImage& image = r->Image();
    // Inside the first cell, away from text and lines: 255 - 10 * 255 / 100.
    int y = r->YI2D(r->SectionTop() + 2.5 / 6);
    EXPECT_EQ(qRed(image.pixel(r->XI2D(2.0), y)), 230);
    EXPECT_EQ(qRed(image.pixel(r->XI2D(4.0), y)), 0);    // 100 per cent: black
    EXPECT_EQ(qRed(image.pixel(r->XI2D(5.5), y)), 255);  // the bare stop
    // The box's top line lies on the cell's top edge.
    int top = r->YI2D(r->SectionTop() + 2.0 / 6);
    EXPECT_EQ(qRed(image.pixel(r->XI2D(2.0), top)), 0);
}

TEST_F(EngineRules, TabShadeIsClampedAndUsedForCellsWithoutShade) {
    r->SetTabShade(150);
    EXPECT_EQ(r->TabShade(), 100);
    r->SetTabShade(-5);
    EXPECT_EQ(r->TabShade(), 0);
    r->SetTabShade(10);
    r->Begin();
    r->AddTabStop(1.0, tjLeft, 2.0, 2, 0, 0);
    r->SetLineNumber(3);
    r->PrintTextLine("\t");
    EXPECT_EQ(r->shades, 1);
    EXPECT_EQ(qRed(r->Image().pixel(r->XI2D(2.0), r->YI2D(r->SectionTop() + 2.5 / 6))), 230);
}

TEST_F(EngineRules, NextTabOverridesDrawOrSuppressLines) {
    r->Begin();
    r->AddTabStop(1.0, tjLeft, 2.0, 2, BoxLineAll, 0);
    r->SetLineNumber(3);
    r->NextTab(0, 0, TabDefault, 0, TabDefault);  // only the top line
    EXPECT_EQ(r->lines, 1);
    r->EndLine();
    r->AddTabStop(-32768, tjLeft, 1.0, 2, 0, 0);
    r->NextTab();
    r->NextTab(2, TabDefault, TabDefault, TabDefault, 0);  // a left line of 2 pixels
    EXPECT_EQ(r->lines, 2 + 4);
    EXPECT_EQ(r->shades, 0);
}

// ---- status ------------------------------------------------------------------------------------

TEST_F(EngineRules, StatusPlaceholdersExpandInOnePass) {
    QLabel label;
    r->StatusLabel = &label;
    r->StatusText = QStringList({"zero", "one", "two"});
    r->DeviceName = "Dev";
    r->SetPage(3);
    auto status = [&](const QString& format) {
        r->StatusFormat = format;
        r->UpdateStatus();
        return label.text();
    };
    EXPECT_EQ(status("Page %p"), "Page 3");
    EXPECT_EQ(status("%x"), "<ERROR-%X>");
    EXPECT_EQ(status("%%p"), "%p");
    EXPECT_EQ(status("%5"), "");
    EXPECT_EQ(status("%1 of %F-%L on %d"), "one of 1-9999 on Dev");
    EXPECT_EQ(status("100%"), "100%");
    r->StatusText = QStringList({"%p"});
    EXPECT_EQ(status("%0"), "%p");  // replacements are not scanned again
}

TEST_F(EngineRules, StatusLabelIsForgottenWhenDestroyed) {
    auto label = std::make_unique<QLabel>();
    r->StatusLabel = label.get();
    label.reset();
    r->UpdateStatus();
    EXPECT_TRUE(r->StatusLabel.isNull());
}

// ---- run state
// -----------------------------------------------------------------------------------

TEST_F(EngineRules, OutputChecksFollowTheRunState) {
    EXPECT_THROW(r->PrintText("x"), EFolioscribe);
    r->Begin();
    r->AbortReport();
    EXPECT_TRUE(r->PageSkipped());
    EXPECT_THROW(r->PrintText("x"), EAbort);
    EXPECT_THROW(r->NewPage(), EAbort);
}

TEST_F(EngineRules, NewPageResetsOriginAndCursorAndKeepsTabsAndFont) {
    r->SetMarginLeft(0.75);
    r->Begin();
    r->SelectFont("Arial", 14);
    r->AddTabStop(1, tjLeft, 1, 0, 0, 0);
    r->SetOriginX(2);
    r->PrintText("\tx");
    r->NewPage();
    EXPECT_EQ(r->CurrentPage(), 2);
    EXPECT_DOUBLE_EQ(r->OriginX(), 0);
    EXPECT_DOUBLE_EQ(r->CursorX(), 0.75);
    EXPECT_EQ(r->LineNumber(), 1);
    EXPECT_EQ(r->TabStops().size(), 1u);
    EXPECT_EQ(r->Canvas().Font().Height(), -19);
    r->LastPage = 2;
    r->NewPage();
    EXPECT_TRUE(r->PageSkipped());
    r->printed.clear();
    r->PrintText("hidden");
    EXPECT_TRUE(r->printed.empty());
}

TEST_F(EngineRules, CenteredTextMovesTheCursorByHalfItsWidthRoundedUp) {
    r->Begin();
    r->SelectFont("Arial", 10);
    QString text = "odd";
    int w = r->Canvas().TextWidth(text);
    if (w % 2 == 0) text = "odd.";
    w = r->Canvas().TextWidth(text);
    ASSERT_EQ(w % 2, 1);
    r->PrintCenteredAt(text, 3.0);
    EXPECT_DOUBLE_EQ(r->CursorX(), 3.0 + ((w + 1) / 2) / 96.0);
    r->PrintRightAt(text, 5.0);
    EXPECT_DOUBLE_EQ(r->CursorX(), 5.0);
    r->PrintLeftAt(text, 1.0);
    EXPECT_DOUBLE_EQ(r->CursorX(), 1.0 + w / 96.0);
}

TEST_F(EngineRules, OpaqueTextPaintsTheBackgroundColourAndRestoresTheMode) {
    r->Begin();
    r->SelectFont("Arial", 20);
    r->SetBackgroundColor(clLime);
    r->SetTextBKMode(bkOpaque);
    r->SetLineNumber(2);
    TBkMode before = r->Canvas().BkMode();
    r->PrintLeftAt("    ", 1.0);  // spaces: only the background shows
    EXPECT_EQ(r->Canvas().BkMode(), before);
    QRgb px = r->Image().pixel(r->XI2D(1.0) + 3, r->YI2D(r->CursorY()) - 3);
    EXPECT_EQ(px & 0xFFFFFF, 0x00FF00u);
}

TEST_F(EngineRules, PrintAtBottomJustifiesBetweenTheSectionEdges) {
    r->SetMarginLeft(0.5);
    r->SetMarginRight(0.5);
    r->SetMarginBottom(0.5);
    r->Begin();
    r->SelectFont("Arial", 9);
    r->PrintAtBottom("Page 1", tjLeft);
    r->PrintAtBottom("middle", tjCenter);
    r->PrintAtBottom("Date", tjRight);
    ASSERT_EQ(r->printed.size(), 3u);
    EXPECT_DOUBLE_EQ(r->printed[0].x, 0.5);
    EXPECT_DOUBLE_EQ(r->printed[1].x, 4.25);
    EXPECT_DOUBLE_EQ(r->printed[2].x, 8.0);
    EXPECT_NEAR(r->printed[0].y, 10.5 - r->FontDescent(), 1e-12);
}

}  // namespace
