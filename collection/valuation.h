#pragma once
// The arithmetic of the book page: condition grade and slider, the key of
// the book search, a book's graded value and profitability, and the values
// the page stores.  Plain functions so they are checked without a window
// (and by the import, which holds rows to the same rules).

#include <QString>

#include "store/condition.h"
#include "store/graded_value.h"

namespace valuation {

constexpr int kSliderMax = store::kGradeSteps;  // slider positions 0..20, 5 per cent each
constexpr int kPercPerPosition = store::kPercPerGradeStep;
constexpr int kMaxPerc = kSliderMax * kPercPerPosition;

// A grade is a whole per cent of mint, 0 to 100.  The slider stores steps of
// 5, but a table written by another program may hold any per cent between,
// which the book page reads (sliderPosition) and an export must carry back.
constexpr bool isGradePerCent(long long perc) { return perc >= 0 && perc <= kMaxPerc; }

// A quantity counts copies owned: none or more.  A series' OWNED is the sum
// of the quantities of its books.
constexpr bool isQuantity(long long qty) { return qty >= 0; }

// Slider position for a stored grade: truncated toward zero, clamped to 0..20.
inline int sliderPosition(int perc) { return store::GradeStep(perc); }

// The condition word of a slider position; empty for position 0, which has none.
inline QString conditionWord(int position) { return store::ConditionWord(position); }

// The key text of the book search: aligned, cut to 15 characters, upper case.
QString comicNoSearchKey(const QString& typed);

// The book page's name for store::GradedValue, the one graded-value rule.
inline double gradedValue(double high, int perc) { return store::GradedValue(high, perc); }
double profitability(double graded, double paid, int qty);

}  // namespace valuation
