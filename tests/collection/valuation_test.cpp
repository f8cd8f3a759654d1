// The book page's arithmetic, checked against the grade table and the
// worked examples of the collection's rules.
#include "collection/valuation.h"

#include <gtest/gtest.h>

using namespace valuation;

TEST(Valuation, ConditionWordsFollowTheGradeBands) {
    // position: word, in 5 per cent steps; position 0 has no word.
    const std::pair<int, const char*> table[] = {
        {0, ""},           {1, "Poor"},  {2, "Fair"},       {3, "Fair"},
        {4, "Good"},       {7, "Good"},  {8, "Very Good"},  {11, "Very Good"},
        {12, "Fine"},      {15, "Fine"}, {16, "Very Fine"}, {18, "Very Fine"},
        {19, "Near Mint"}, {20, "Mint"}, {21, ""},          {-1, ""},
    };
    for (const auto& [position, word] : table)
        EXPECT_EQ(conditionWord(position), QString::fromLatin1(word)) << position;
}

TEST(Valuation, SliderPositionTruncatesAndClamps) {
    EXPECT_EQ(sliderPosition(100), 20);
    EXPECT_EQ(sliderPosition(37), 7);  // 7.4 truncated: "Good"
    EXPECT_EQ(sliderPosition(4), 0);
    EXPECT_EQ(sliderPosition(150), 20);
    EXPECT_EQ(sliderPosition(-3), 0);
    EXPECT_EQ(sliderPosition(-40), 0);
}

TEST(Valuation, GradedValueAndProfitability) {
    const double graded = gradedValue(40.00, 75);
    EXPECT_DOUBLE_EQ(graded, 30.00);
    EXPECT_DOUBLE_EQ(profitability(graded, 10.00, 2), 40.00);
    EXPECT_DOUBLE_EQ(gradedValue(40.00, 37), 14.80);
    EXPECT_DOUBLE_EQ(profitability(0, 0, 0), 0);
    EXPECT_DOUBLE_EQ(profitability(5.0, 12.5, 3), -22.5);
    // A graded value is money to the cent, halves away from zero.
    EXPECT_DOUBLE_EQ(gradedValue(75.07, 50), 37.54);  // 37.535
    EXPECT_DOUBLE_EQ(gradedValue(93.10, 75), 69.83);  // 69.825
    EXPECT_DOUBLE_EQ(gradedValue(0.01, 50), 0.01);    // 0.005
    EXPECT_DOUBLE_EQ(gradedValue(33.33, 5), 1.67);    // 1.6665
}

TEST(Valuation, SearchKeyIsAlignedCutAndUpperCase) {
    EXPECT_EQ(comicNoSearchKey("7"), QString(14, ' ') + "7");
    EXPECT_EQ(comicNoSearchKey("12a"), QString(12, ' ') + "12A");
    EXPECT_EQ(comicNoSearchKey("1234567890abcdefgh"), "1234567890ABCDE");
    EXPECT_EQ(comicNoSearchKey(""), QString(15, ' '));
}
