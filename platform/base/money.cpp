#include "platform/base/money.h"

#include <locale.h>
#include <monetary.h>

#include <clocale>
#include <cmath>

namespace {

// "%.2n": the locale's national currency format with two decimals.
std::string formatWith(double amount, locale_t locale) {
    if (!std::isfinite(amount)) return std::string();
    char buffer[128];
    ssize_t length = locale ? strfmon_l(buffer, sizeof buffer, locale, "%.2n", amount)
                            : strfmon(buffer, sizeof buffer, "%.2n", amount);
    if (length < 0) return std::string();
    return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace

std::string FormatMoney(double amount) { return formatWith(amount, nullptr); }

std::string FormatMoney(double amount, const std::string& localeName) {
    locale_t locale = newlocale(LC_MONETARY_MASK | LC_NUMERIC_MASK, localeName.c_str(), nullptr);
    if (!locale) return FormatMoney(amount);
    std::string text = formatWith(amount, locale);
    freelocale(locale);
    return text;
}
