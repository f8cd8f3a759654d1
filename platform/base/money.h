#pragma once
// Money as the user reads it: currency symbol, grouping, negative form and
// two decimals from the locale's LC_MONETARY category, as the C library's
// strfmon() formats them.  The one place where money becomes text, and
// where text typed in that form becomes money again.

#include <cmath>
#include <optional>
#include <string>

// Amounts are doubles kept to the cent: below 10^13 in size they have at
// most 15 significant digits, which a double holds exactly, so an amount
// read from two decimals is written back as the same two decimals.
inline constexpr double kMoneyLimit = 1e13;
inline bool IsMoneyInRange(double amount) { return std::fabs(amount) < kMoneyLimit; }

// The amount rounded to whole cents, halves away from zero, taking the
// amount as the decimal number it stands for: 75.07 * 0.5 is stored as
// 37.534999..., and rounds to 37.54 like the 37.535 it means.  Never
// returns minus zero.
double RoundToCent(double amount);

// Formats with the program's current LC_MONETARY locale (the one setlocale()
// chose; Qt applications take it from the environment at start-up).  The
// amount is rounded with RoundToCent first.
std::string FormatMoney(double amount);
// Formats with the named locale (e.g. "en_US.UTF-8"); falls back to the
// current locale when that locale is not installed.
std::string FormatMoney(double amount, const std::string& localeName);

// Reads money typed as FormatMoney shows it in the current LC_MONETARY
// locale: the currency symbol (local or international) before or after the
// number, the locale's thousands separators between whole groups, its
// decimal point, and a minus sign, the locale's negative sign or
// parentheses for a negative amount.  nullopt when the text is not money.
std::optional<double> ParseMoney(const std::string& text);
