#pragma once
// Money as the user reads it: currency symbol, grouping, negative form and
// two decimals from the locale's LC_MONETARY category, as the C library's
// strfmon() formats them.  The one place where money becomes text.

#include <cmath>
#include <string>

// Amounts are doubles kept to the cent: below 10^13 in size they have at
// most 15 significant digits, which a double holds exactly, so an amount
// read from two decimals is written back as the same two decimals.
inline constexpr double kMoneyLimit = 1e13;
inline bool IsMoneyInRange(double amount) { return std::fabs(amount) < kMoneyLimit; }

// Formats with the program's current LC_MONETARY locale (the one setlocale()
// chose; Qt applications take it from the environment at start-up).
std::string FormatMoney(double amount);
// Formats with the named locale (e.g. "en_US.UTF-8"); falls back to the
// current locale when that locale is not installed.
std::string FormatMoney(double amount, const std::string& localeName);
