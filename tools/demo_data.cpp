#include "tools/demo_data.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <string>

#include "platform/base/exception.h"
#include "store/collection.h"

namespace admin {

namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <std::size_t N>
    const char* pick(const char* const (&list)[N]) {
        return list[below(static_cast<int>(N))];
    }

private:
    std::uint64_t state_;
};

const char* const kPrefixes[] = {"THE AMAZING",  "UNCANNY",   "ASTONISHING", "MIGHTY",
                                 "SAVAGE",       "LEGENDARY", "SECRET",      "STRANGE",
                                 "ALL-NEW",      "DARK",      "CELESTIAL",   "FANTASTIC",
                                 "TALES OF THE", "WEIRD",     "INVINCIBLE",  "ULTIMATE"};
const char* const kHeroes[] = {"NIGHT OWL",     "STEEL SPARROW", "COMET KID",     "IRON LOTUS",
                               "BLUE HORNET",   "GRANITE",       "STARLING",      "MIDNIGHT RIDER",
                               "THUNDER GIRL",  "RED LANTERN",   "SILVER FOX",    "DOCTOR ZENITH",
                               "AQUA KNIGHT",   "PHANTOM BLADE", "ROCKET RANGER", "GHOST PILOT",
                               "CAPTAIN COMET", "WILDFIRE",      "NEBULA",        "THE VANGUARD"};
const char* const kSuffixes[] = {"",           "",        "",          "",
                                 "ANNUAL",     "TEAM-UP", "QUARTERLY", "ADVENTURES",
                                 "CHRONICLES", "SPECIAL", "UNLIMITED"};
const char* const kPublishers[] = {"STARLIGHT COMICS",  "IRONCLAD PRESS", "MOONBEAM PUBLISHING",
                                   "BLUE RIVER COMICS", "PAPER TIGER",    "NORTHWIND GROUP",
                                   "ATLAS HILL",        "RED DOOR PRESS"};
const char* const kTitleWords[] = {"RETURN", "SHADOW",  "DOOM",   "NIGHT",   "FIRE",
                                   "SECRET", "REVENGE", "STORM",  "KING",    "MACHINE",
                                   "CITY",   "CROWN",   "HUNTER", "SILENCE", "EMPIRE",
                                   "MIRROR", "GLACIER", "ORACLE", "SERPENT", "TIDE"};
const char* const kFirstNames[] = {"JACK", "STAN",  "MARY",  "ALEX", "ROSA",  "DAVE",
                                   "JUNE", "FRANK", "NEAL",  "WALT", "LINDA", "OTTO",
                                   "RUTH", "GENE",  "CARLA", "MILO"};
const char* const kLastNames[] = {"KIRBANE", "DITMAR",   "SEVERS", "ROMITA", "BYRNES",  "ADAMSON",
                                  "PEREZ",   "SIMONDS",  "MILLAR", "LEE",    "COLANTO", "BUSCEMA",
                                  "ORDWAY",  "WRIGHTON", "KANE",   "STERANO"};
const char* const kEditions[] = {"2ND", "VARIANT", "NEWSSTAND", "REPRINT", "DIRECT"};
const char* const kBookNotes[] = {
    "FIRST APPEARANCE OF A VILLAIN", "COVER CREASE, SPINE ROLL",
    "SIGNED AT A CONVENTION",        "STORED IN A MYLAR SLEEVE",
    "KEEP \"MINT\" COPY APART",      "BOUGHT AS PART OF A LOT\nFROM A DEALER"};
const char* const kSeriesNotes[] = {"COMPLETE RUN", "MISSING SOME EARLY ISSUES",
                                    "COLLECTING FOR THE ART, NOT THE STORY",
                                    "ASK \"BIG\" AL ABOUT THE GAPS", "STARTED 1985\nSTILL GOING"};

// The sentences long notes are made of: what collectors write about a book
// or a run, paragraph after paragraph.
const char* const kNoteSentences[] = {
    "BOUGHT FROM THE ESTATE OF A COLLECTOR WHO KEPT EVERY ISSUE BAGGED AND BOARDED.",
    "THE COVER HAS A SMALL COLOUR BREAKING CREASE NEAR THE SPINE, TOP LEFT.",
    "PAGES ARE OFF-WHITE TO WHITE; NO TEARS, NO MISSING COUPONS.",
    "THE LETTERS PAGE PRINTS A NOTE FROM A READER WHO LATER DREW THE SERIES.",
    "GRADED ONCE AT A SHOW; THE DEALER ASKED ABOUT IT TWICE SINCE.",
    "A SECOND COPY WAS SOLD IN 1998 TO PAY FOR THE REST OF THE RUN.",
    "THE STORY CONTINUES FROM THE ANNUAL, WHICH IS STILL MISSING.",
    "CHECK THE STAPLES EVERY WINTER: THE BASEMENT GETS DAMP.",
    "PRICE GUIDES DISAGREE ABOUT THIS ONE BY ALMOST HALF.",
    "THE ARTIST SIGNED THE INSIDE COVER AND ADDED A SMALL SKETCH OF THE HERO.",
    "KEEP IT AWAY FROM THE WINDOW; THE RED INKS FADE QUICKLY.",
    "A NEWSSTAND COPY WITH THE UPC BOX; THE DIRECT EDITION IS RARER.",
    "TRADED FOR TWO ISSUES OF ANOTHER SERIES AND A POSTER.",
    "THE BACK COVER AD FOR SEA MONKEYS IS COMPLETE.",
    "ASK AT THE NEXT CONVENTION WHETHER A CLEANER COPY IS AROUND.",
    "THE CROSSOVER BEGINS HERE AND ENDS SIX ISSUES LATER IN ANOTHER TITLE."};

// A note of several paragraphs (one per line) of at least `length`
// characters.
std::string longNote(Random& random, std::size_t length) {
    std::string note;
    while (note.size() < length) {
        if (!note.empty()) note += '\n';
        const int sentences = 2 + random.below(4);
        for (int i = 0; i < sentences; ++i) {
            if (i > 0) note += ' ';
            note += random.pick(kNoteSentences);
        }
    }
    return note;
}

// Some notes run to paragraphs; a third of those pass 1 KB.
std::string longNote(Random& random) {
    return longNote(random,
                    random.chance(33) ? 1024 + random.below(2048) : 150 + random.below(700));
}

paradox::Value text(const std::string& s) { return paradox::Value::text(s); }
paradox::Value money(int cents) { return paradox::Value::floating(cents / 100.0); }
paradox::Value flag(bool b) { return paradox::Value::boolean(b); }

std::string person(Random& random) {
    return std::string(random.pick(kFirstNames)) + " " + random.pick(kLastNames);
}

std::string seriesName(Random& random) {
    std::string name = std::string(random.pick(kPrefixes)) + " " + random.pick(kHeroes);
    std::string suffix = random.pick(kSuffixes);
    return suffix.empty() ? name : name + " " + suffix;
}

// `notes` draws the long notes apart from `random`, so that a seed's
// books and series stay those of a sample without them.
paradox::Row makeBook(Random& random, Random& notes, int issue, const std::string& edition,
                      int qtyRoom) {
    bool wanted = random.chance(12);
    int qty = wanted ? 0 : (random.chance(80) ? 1 : (random.chance(75) ? 2 : 3));
    qty = std::min(qty, qtyRoom);
    int highCents = 100 + random.below(19901);
    int perc = 5 * (random.chance(70) ? 12 + random.below(8) : 1 + random.below(20));
    std::string title =
        std::string("THE ") + random.pick(kTitleWords) + " OF THE " + random.pick(kTitleWords);
    paradox::Row row(16);
    row[1] = text(store::AlignComicNo(QString::number(issue)).toStdString());
    row[2] = text(edition);
    row[3] = text(title);
    row[4] = text(person(random));
    row[5] = text(person(random));
    row[6] = paradox::Value::integer(qty);
    row[7] = money(qty > 0 ? 25 + random.below(4976) : 0);
    row[8] = money(static_cast<int>(std::lround(highCents * 0.4)));
    row[9] = money(highCents);
    row[10] = paradox::Value::integer(perc);
    if (random.chance(10)) row[11] = text(random.pick(kBookNotes));
    if (notes.chance(6)) row[11] = text(longNote(notes));
    if (random.chance(80))
        row[12] = text(random.chance(70) ? "BOX " + std::to_string(1 + random.below(40))
                                         : std::string("SHELF ") + char('A' + random.below(4)));
    row[13] = flag(wanted || random.chance(3));
    row[14] = flag(qty > 0 && random.chance(8));
    row[15] = flag(qty > 0 && random.chance(4));
    return row;
}

// Issues numbered upwards from a random start with a few gaps; now and then
// an issue comes in a second edition too.
std::vector<paradox::Row> makeBooks(Random& random, Random& notes, int count) {
    std::vector<paradox::Row> books;
    int issue = random.chance(80) ? 1 : random.below(200);
    int owned = 0;
    while (static_cast<int>(books.size()) < count) {
        books.push_back(makeBook(random, notes, issue, "1ST", 32767 - owned));
        owned += static_cast<int>(books.back()[6].asInt());
        if (static_cast<int>(books.size()) < count && random.chance(12)) {
            books.push_back(makeBook(random, notes, issue, random.pick(kEditions), 32767 - owned));
            owned += static_cast<int>(books.back()[6].asInt());
        }
        issue += random.chance(90) ? 1 : 2 + random.below(3);
    }
    return books;
}

}  // namespace

void ForEachDemoSeries(int seriesCount, int bookCount, std::uint64_t seed,
                       const std::function<void(DemoSeries& series)>& take) {
    if (seriesCount <= 0 && bookCount > 0)
        throw Exception("books need at least one series to belong to");
    Random random(seed);
    Random notes(seed ^ 0x6E6F746573ULL);  // "notes"
    std::vector<int> counts(static_cast<std::size_t>(std::max(seriesCount, 0)), 0);
    for (int i = 0; i < bookCount; ++i)
        ++counts[static_cast<std::size_t>(random.below(seriesCount))];
    for (int count : counts) {
        DemoSeries series;
        series.books = makeBooks(random, notes, count);
        std::int64_t owned = 0;
        for (const paradox::Row& book : series.books) owned += book[6].asInt();
        series.row.resize(9);
        series.row[0] = text(seriesName(random));
        series.row[1] = text(random.pick(kPublishers));
        if (random.chance(20)) series.row[3] = text(random.pick(kSeriesNotes));
        if (notes.chance(15)) series.row[3] = text(longNote(notes));
        series.row[4] = flag(random.chance(10));
        series.row[5] = flag(random.chance(8));
        series.row[6] = flag(random.chance(5));
        series.row[8] = paradox::Value::integer(owned);
        take(series);
    }
}

std::vector<DemoSeries> MakeDemoCollection(int seriesCount, int bookCount, std::uint64_t seed) {
    std::vector<DemoSeries> collection;
    ForEachDemoSeries(seriesCount, bookCount, seed,
                      [&](DemoSeries& series) { collection.push_back(std::move(series)); });
    return collection;
}

}  // namespace admin
