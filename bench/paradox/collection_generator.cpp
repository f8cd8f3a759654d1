#include "bench/paradox/collection_generator.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

using paradox::FieldType;
using paradox::Row;
using paradox::Value;

namespace bench {

namespace {

const char* const kWords[] = {
    "AMAZING", "SPIDER",     "MAN",      "UNCANNY", "X",         "MEN",    "DARK",    "KNIGHT",
    "RETURNS", "WATCHMEN",   "SANDMAN",  "SAGA",    "TALES",     "OF",     "THE",     "CRYPT",
    "STRANGE", "ADVENTURES", "SECRET",   "WARS",    "FANTASTIC", "FOUR",   "IRON",    "FIST",
    "GREEN",   "LANTERN",    "SILVER",   "SURFER",  "DOOM",      "PATROL", "HELLBOY", "INVINCIBLE",
    "LOCKE",   "KEY",        "PREACHER", "FABLES",  "Y",         "LAST",   "AVENGERS"};
const char* const kPublishers[] = {"MARVEL", "DC",      "IMAGE",    "DARK HORSE", "IDW",
                                   "BOOM!",  "VERTIGO", "DYNAMITE", "ONI PRESS",  "FANTAGRAPHICS",
                                   "ARCHIE", "VALIANT"};
const char* const kNames[] = {"JACK KIRBY",    "STEVE DITKO", "ALAN MOORE",   "FRANK MILLER",
                              "NEIL GAIMAN",   "JOHN ROMITA", "JIM LEE",      "TODD MCFARLANE",
                              "MOEBIUS",       "WILL EISNER", "DAVE GIBBONS", "BRIAN K. VAUGHAN",
                              "FIONA STAPLES", "MIKE MIGNOLA"};
const char* const kEditions[] = {"2ND", "VARIANT", "NEWSSTAND", "DIRECT", "3RD"};

template <std::size_t N>
const char* pick(const char* const (&list)[N], std::mt19937& rng) {
    return list[rng() % N];
}

std::string words(std::mt19937& rng, int min, int max, std::size_t limit) {
    std::string s;
    const int n = min + static_cast<int>(rng() % (max - min + 1));
    for (int i = 0; i < n; ++i) {
        const std::string w = pick(kWords, rng);
        if (s.size() + w.size() + 1 > limit) break;
        s += (s.empty() ? "" : " ") + w;
    }
    return s;
}

// Notes: most short, some a few sentences, a few long.
std::string note(std::mt19937& rng, int emptyPercent) {
    if (static_cast<int>(rng() % 100) < emptyPercent) return {};
    const unsigned r = rng() % 100;
    const std::size_t length = r < 70   ? 5 + rng() % 60
                               : r < 95 ? 60 + rng() % 600
                                        : 600 + rng() % 6000;
    std::string s;
    while (s.size() < length) s += words(rng, 4, 12, 200) + (rng() % 5 == 0 ? ".\r\n" : ". ");
    s.resize(length);
    return s;
}

Value textOrNull(std::string s) { return s.empty() ? Value() : Value::text(std::move(s)); }

}  // namespace

Collection generateCollection(int seriesCount, int bookCount, unsigned seed) {
    std::mt19937 rng(seed);
    using Key = std::tuple<std::string, std::string>;
    std::vector<Key> keys;
    for (int i = 0; i < seriesCount; ++i)
        keys.emplace_back(words(rng, 1, 4, 50) + " " + std::to_string(1 + rng() % 999),
                          pick(kPublishers, rng));
    std::sort(keys.begin(), keys.end());
    Collection c;
    for (int i = 0; i < seriesCount; ++i)
        c.series.push_back({Value::text(std::get<0>(keys[i])), Value::text(std::get<1>(keys[i])),
                            Value::integer(i + 1), textOrNull(note(rng, 40)),
                            Value::boolean(rng() % 10 == 0), Value::boolean(rng() % 8 == 0),
                            Value::boolean(rng() % 12 == 0), Value(), Value::integer(0)});
    // Books: spread unevenly over the series, issue numbers 1.. per series.
    std::vector<int> perSeries(seriesCount, 0);
    for (int b = 0; b < bookCount; ++b)
        perSeries[std::min<int>(
            seriesCount - 1,
            static_cast<int>(std::pow(rng() % 10000 / 10000.0, 1.5) * seriesCount))]++;
    for (int s = 0; s < seriesCount; ++s) {
        std::vector<std::tuple<std::string, std::string>> issues;
        for (int k = 0; k < perSeries[s]; ++k) {
            std::string no = std::to_string(k + 1);
            issues.emplace_back(std::string(15 - no.size(), ' ') + no,
                                rng() % 15 == 0 ? pick(kEditions, rng) : "");
        }
        std::sort(issues.begin(), issues.end());
        int owned = 0;
        for (const auto& [no, edition] : issues) {
            const bool wanted = rng() % 10 == 0;
            const int qty = wanted ? 0 : 1 + static_cast<int>(rng() % 3) / 2;
            owned += qty;
            const double paid = wanted ? 0 : (25 + rng() % 10000) / 100.0;
            const double high = paid * (1 + (rng() % 300) / 100.0);
            c.books.push_back(
                {Value::integer(s + 1), Value::text(no), textOrNull(edition),
                 Value::text(words(rng, 2, 7, 80)), Value::text(pick(kNames, rng)),
                 Value::text(pick(kNames, rng)), Value::integer(qty), Value::floating(paid),
                 Value::floating(high / 2), Value::floating(high),
                 Value::integer(5 * static_cast<int>(rng() % 21)), textOrNull(note(rng, 60)),
                 wanted ? Value() : Value::text("BOX " + std::to_string(1 + rng() % 80)),
                 Value::boolean(wanted), Value::boolean(rng() % 20 == 0),
                 Value::boolean(rng() % 50 == 0)});
        }
        c.series[s][8] = Value::integer(std::min(owned, 32767));
    }
    return c;
}

}  // namespace bench
