#include "store/condition.h"

#include <algorithm>

namespace store {

int GradeStep(int perc) {
    return std::clamp(perc / kPercPerGradeStep, 0, kGradeSteps);  // '/' truncates toward zero
}

QString ConditionWord(int step) {
    struct Band {
        int last;
        const char* word;
    };
    static constexpr Band bands[] = {
        {0, ""},      {1, "Poor"},       {3, "Fair"},       {7, "Good"},  {11, "Very Good"},
        {15, "Fine"}, {18, "Very Fine"}, {19, "Near Mint"}, {20, "Mint"},
    };
    if (step < 0 || step > kGradeSteps) return {};
    for (const Band& band : bands)
        if (step <= band.last) return QString::fromLatin1(band.word);
    return {};
}

}  // namespace store
