#include "collection/valuation.h"

#include <algorithm>

#include "store/collection.h"

namespace valuation {

int sliderPosition(int perc) {
    return std::clamp(perc / kPercPerPosition, 0, kSliderMax);  // '/' truncates toward zero
}

QString conditionWord(int position) {
    struct Band {
        int last;
        const char* word;
    };
    static constexpr Band bands[] = {
        {0, ""},      {1, "Poor"},       {3, "Fair"},       {7, "Good"},  {11, "Very Good"},
        {15, "Fine"}, {18, "Very Fine"}, {19, "Near Mint"}, {20, "Mint"},
    };
    if (position < 0 || position > kSliderMax) return {};
    for (const Band& band : bands)
        if (position <= band.last) return QString::fromLatin1(band.word);
    return {};
}

QString comicNoSearchKey(const QString& typed) {
    return store::AlignComicNo(typed).left(store::kComicNoWidth).toUpper();
}

double profitability(double graded, double paid, int qty) { return (graded - paid) * qty; }

}  // namespace valuation
