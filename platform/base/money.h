#pragma once
// Money as the user reads it: currency symbol, grouping, negative form and
// two decimals from the locale's LC_MONETARY category, as the C library's
// strfmon() formats them.  The one place where money becomes text.

#include <string>

// Formats with the program's current LC_MONETARY locale (the one setlocale()
// chose; Qt applications take it from the environment at start-up).
std::string FormatMoney(double amount);
// Formats with the named locale (e.g. "en_US.UTF-8"); falls back to the
// current locale when that locale is not installed.
std::string FormatMoney(double amount, const std::string& localeName);
