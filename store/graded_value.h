#pragma once
// The graded value of a book: what its mint value (HIGH) is worth at its
// grade (PERC, per cent of mint).  One rule for the book page, the reports
// and the labels, so a book shows the same amount wherever it appears.

namespace store {

// HIGH x PERC x 0.01, rounded to the cent (halves away from zero): the
// amount as it is shown, so that what follows from it (the profitability)
// follows from the value the user sees.
double GradedValue(double high, int perc);

}  // namespace store
