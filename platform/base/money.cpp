#include "platform/base/money.h"

#include <locale.h>
#include <monetary.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// "%.2n": the locale's national currency format with two decimals.
std::string formatWith(double amount, locale_t locale) {
    if (!std::isfinite(amount)) return std::string();
    amount = RoundToCent(amount);
    char buffer[128];
    ssize_t length = locale ? strfmon_l(buffer, sizeof buffer, locale, "%.2n", amount)
                            : strfmon(buffer, sizeof buffer, "%.2n", amount);
    if (length < 0) return std::string();
    return std::string(buffer, static_cast<std::size_t>(length));
}

// 10^n for n in 0..18, the powers an unsigned 64-bit number holds.
unsigned long long powerOfTen(int n) {
    unsigned long long value = 1;
    while (n-- > 0) value *= 10;
    return value;
}

}  // namespace

double RoundToCent(double amount) {
    // Beyond 10^15 a double has no cents left to round.
    if (!std::isfinite(amount) || std::fabs(amount) >= 1e15) return amount;
    // Fifteen significant digits are exact for every double and drop the
    // binary noise of the last bits: 37.534999999999997 reads 3.75350...e+01.
    char text[32];
    std::snprintf(text, sizeof text, "%.14e", std::fabs(amount));
    unsigned long long digits = 0;  // the fifteen digits as one integer
    const char* p = text;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits = digits * 10 + static_cast<unsigned>(*p - '0');
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    // amount = digits * 10^(exponent - 14); cents = digits * 10^(exponent - 12).
    const int shift = exponent - 12;
    unsigned long long cents = 0;
    if (shift >= 0) {
        cents = digits * powerOfTen(shift);  // below 10^17: no overflow
    } else if (shift >= -18) {
        const unsigned long long divisor = powerOfTen(-shift);
        cents = digits / divisor;
        if (2 * (digits % divisor) >= divisor) ++cents;  // halves away from zero
    }
    if (cents == 0) return 0.0;  // never minus zero
    const double rounded = static_cast<double>(cents) / 100.0;
    return amount < 0 ? -rounded : rounded;
}

std::string FormatMoney(double amount) { return formatWith(amount, nullptr); }

std::string FormatMoney(double amount, const std::string& localeName) {
    locale_t locale = newlocale(LC_MONETARY_MASK | LC_NUMERIC_MASK, localeName.c_str(), nullptr);
    if (!locale) return FormatMoney(amount);
    std::string text = formatWith(amount, locale);
    freelocale(locale);
    return text;
}

// ---- reading money -------------------------------------------------------------

namespace {

// The monetary conventions ParseMoney needs, copied out of localeconv().
struct MoneyConventions {
    std::string symbol, international, decimalPoint, thousands, positiveSign, negativeSign;
    std::string grouping;
};

std::string_view trimmed(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    // The no-break spaces some locales put between number and symbol.
    for (std::string_view nbsp : {"\u00a0", "\u202f"}) {
        while (s.starts_with(nbsp)) s.remove_prefix(nbsp.size());
        while (s.ends_with(nbsp)) s.remove_suffix(nbsp.size());
    }
    return s;
}

MoneyConventions currentConventions() {
    const lconv* conv = std::localeconv();
    MoneyConventions c;
    c.symbol = conv->currency_symbol;
    c.international = std::string(trimmed(conv->int_curr_symbol));
    c.decimalPoint = *conv->mon_decimal_point ? conv->mon_decimal_point : ".";
    c.thousands = conv->mon_thousands_sep;
    c.positiveSign = conv->positive_sign;
    c.negativeSign = *conv->negative_sign ? conv->negative_sign : "-";
    c.grouping = conv->mon_grouping;
    return c;
}

bool takePrefix(std::string_view& s, const std::string& token) {
    if (token.empty() || !s.starts_with(token)) return false;
    s.remove_prefix(token.size());
    return true;
}

bool takeSuffix(std::string_view& s, const std::string& token) {
    if (token.empty() || !s.ends_with(token)) return false;
    s.remove_suffix(token.size());
    return true;
}

// Peels the currency symbol and the sign (in either order, at either end)
// off the number.  False when the text has two of either.
bool peelSymbolAndSign(std::string_view& s, const MoneyConventions& c, bool& negative) {
    bool symbol = false, sign = false;
    for (bool changed = true; changed;) {
        s = trimmed(s);
        changed = false;
        for (const std::string* currency : {&c.symbol, &c.international}) {
            if (!symbol && (takePrefix(s, *currency) || takeSuffix(s, *currency)))
                changed = symbol = true;
        }
        if (changed) continue;
        if (!sign && s.size() >= 2 && s.front() == '(' && s.back() == ')') {
            s = s.substr(1, s.size() - 2);
            changed = sign = negative = true;
        } else if (!sign && (takePrefix(s, c.negativeSign) || takeSuffix(s, c.negativeSign) ||
                             takePrefix(s, "-") || takeSuffix(s, "-"))) {
            changed = sign = negative = true;
        } else if (!sign && (takePrefix(s, c.positiveSign) || takePrefix(s, "+"))) {
            changed = sign = true;
        }
    }
    return !s.empty();
}

bool allDigits(std::string_view s) {
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    return true;
}

std::string join(const std::vector<std::string_view>& groups) {
    std::string digits;
    for (std::string_view group : groups) digits += group;
    return digits;
}

// The whole part without its separators, provided every group has the size
// the locale's grouping gives it (counted from the right; the last size
// repeats, CHAR_MAX ends the grouping).
bool ungroup(std::string_view whole, const MoneyConventions& c, std::string& digits) {
    if (c.thousands.empty() || whole.find(c.thousands) == std::string_view::npos) {
        digits = whole;
        return allDigits(whole);
    }
    std::vector<std::string_view> groups;
    for (std::size_t at; (at = whole.find(c.thousands)) != std::string_view::npos;) {
        groups.push_back(whole.substr(0, at));
        whole.remove_prefix(at + c.thousands.size());
    }
    groups.push_back(whole);
    std::size_t rule = 0;
    for (std::size_t i = groups.size(); i-- > 0;) {
        const std::string_view group = groups[i];
        if (group.empty() || !allDigits(group)) return false;
        const int size = c.grouping.empty() ? 0 : c.grouping[std::min(rule, c.grouping.size() - 1)];
        const bool grouped = size > 0 && size != CHAR_MAX;
        if (i == 0) {  // the leftmost group may be shorter, or any length past the grouping
            if (grouped && group.size() > static_cast<std::size_t>(size)) return false;
            digits = join(groups);
            return true;
        }
        if (!grouped || group.size() != static_cast<std::size_t>(size)) return false;
        ++rule;
    }
    return false;
}

}  // namespace

std::optional<double> ParseMoney(const std::string& text) {
    const MoneyConventions c = currentConventions();
    std::string_view s = text;
    bool negative = false;
    if (!peelSymbolAndSign(s, c, negative)) return std::nullopt;

    std::string_view whole = s, fraction;
    if (const std::size_t point = s.find(c.decimalPoint); point != std::string_view::npos) {
        whole = s.substr(0, point);
        fraction = s.substr(point + c.decimalPoint.size());
        if (!allDigits(fraction)) return std::nullopt;
    }
    std::string number;
    if (!ungroup(whole, c, number) || (number.empty() && fraction.empty())) return std::nullopt;
    number = '0' + number + '.' + std::string(fraction) + '0';  // "12." and ".5" read too
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return std::nullopt;
    return negative && value != 0 ? -value : value;
}
