#pragma once
// The condition word of a grade: the grade (PERC, per cent of mint) read as
// one of 20 steps of 5 per cent, and the word collectors use for each band
// of steps.  One rule for the book page's slider and the statistics.

#include <QString>

namespace store {

constexpr int kGradeSteps = 20;  // steps 0..20, 5 per cent each
constexpr int kPercPerGradeStep = 5;

// The step of a stored grade: truncated toward zero, clamped to 0..20.
int GradeStep(int perc);

// The condition word of a step; empty for step 0, which has none.
QString ConditionWord(int step);

}  // namespace store
