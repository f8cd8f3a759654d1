#include "collection/valuation.h"

#include "store/collection.h"

namespace valuation {

QString comicNoSearchKey(const QString& typed) {
    return store::AlignComicNo(typed).left(store::kComicNoWidth).toUpper();
}

double profitability(double graded, double paid, int qty) { return (graded - paid) * qty; }

}  // namespace valuation
