#pragma once
// The arithmetic of the book page: condition grade and slider, the key of
// the book search, and a book's graded value and profitability.
// Plain functions so they are checked without a window.

#include <QString>

namespace valuation {

constexpr int kSliderMax = 20;  // slider positions 0..20, 5 per cent each
constexpr int kPercPerPosition = 5;

// Slider position for a stored grade: truncated toward zero, clamped to 0..20.
int sliderPosition(int perc);

// The condition word of a slider position; empty for position 0, which has none.
QString conditionWord(int position);

// The key text of the book search: aligned, cut to 15 characters, upper case.
QString comicNoSearchKey(const QString& typed);

// HIGH x PERC x 0.01, rounded to the cent (halves away from zero).
double gradedValue(double high, int perc);
double profitability(double graded, double paid, int qty);

}  // namespace valuation
