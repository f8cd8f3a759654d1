#include "store/graded_value.h"

#include "platform/base/money.h"

namespace store {

double GradedValue(double high, int perc) { return RoundToCent(high * perc * 0.01); }

}  // namespace store
