// Money cells: the texts a listing reuses stay those of the locale in force.

#include "platform/base/money.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "reports/layouts/layout_common.h"

namespace {

QString Direct(double amount) { return QString::fromStdString(FormatMoney(amount)); }

class MoneyCells : public ::testing::Test {
protected:
    void SetUp() override { previous = std::setlocale(LC_ALL, nullptr); }
    void TearDown() override { std::setlocale(LC_ALL, previous.c_str()); }
    std::string previous;
};

TEST_F(MoneyCells, FollowTheLocaleInForce) {
    ASSERT_TRUE(std::setlocale(LC_ALL, "en_US.UTF-8"));
    EXPECT_EQ(layout::Money(1234.5), "$1,234.50");
    EXPECT_EQ(layout::Money(-3.25), "-$3.25");
    EXPECT_EQ(layout::Money(1234.5), "$1,234.50");  // asked again

    ASSERT_TRUE(std::setlocale(LC_ALL, "C"));
    EXPECT_EQ(layout::Money(1234.5), Direct(1234.5));
    EXPECT_NE(layout::Money(1234.5), "$1,234.50");

    ASSERT_TRUE(std::setlocale(LC_ALL, "en_US.UTF-8"));
    EXPECT_EQ(layout::Money(1234.5), "$1,234.50");
}

TEST_F(MoneyCells, EveryAmountReadsAsTheLibraryWritesIt) {
    ASSERT_TRUE(std::setlocale(LC_ALL, "en_US.UTF-8"));
    // Zero and minus zero compare equal; each keeps its own text all the same.
    for (double amount : {0.0, -0.0, 0.0, 0.005, 0.015, 19.995, -0.004, 1e9, -1e9}) {
        EXPECT_EQ(layout::Money(amount), Direct(amount)) << amount;
        EXPECT_EQ(layout::Money(amount), Direct(amount)) << amount;
    }
    for (int cents = 0; cents < 100000; cents += 37) {
        const double amount = cents / 100.0;
        ASSERT_EQ(layout::Money(amount), Direct(amount)) << amount;
    }
}

}  // namespace
