#include "tests/platform/paradox/table_fixtures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "platform/paradox/table_file.h"

namespace paradox {
void PrintTo(const Value& v, std::ostream* os) {
    if (v.isNull())
        *os << "null";
    else if (v.isBool())
        *os << (v.asBool() ? "true" : "false");
    else if (v.isInt())
        *os << v.asInt();
    else if (v.isDouble())
        *os << v.asDouble() << "d";
    else if (v.isText())
        *os << '"' << (v.asText().size() > 60 ? v.asText().substr(0, 60) + "..." : v.asText())
            << '"';
    else
        *os << "bytes[" << v.asBytes().size() << "]";
}
}  // namespace paradox

namespace paradox::testing {

TableSchema seriesSchema() {
    TableSchema s;
    s.fields = {{"SERIES", FieldType::Alpha, 60},    {"PUBLISHER", FieldType::Alpha, 30},
                {"ENTRY", FieldType::AutoInc, 0},    {"SERNOTE", FieldType::Memo, 10},
                {"FAVORITE", FieldType::Logical, 0}, {"WANTED", FieldType::Logical, 0},
                {"FORSALE", FieldType::Logical, 0},  {"NEW", FieldType::Logical, 0},
                {"OWNED", FieldType::Short, 0}};
    s.keyFieldCount = 3;
    return s;
}

TableSchema booksSchema() {
    TableSchema s;
    s.fields = {{"ENTRY", FieldType::Long, 0},      {"COMIC_NO", FieldType::Alpha, 15},
                {"EDITION", FieldType::Alpha, 10},  {"TITLE", FieldType::Alpha, 80},
                {"ARTIST", FieldType::Alpha, 80},   {"WRITER", FieldType::Alpha, 80},
                {"QTY", FieldType::Short, 0},       {"PAID", FieldType::Money, 0},
                {"LOW", FieldType::Money, 0},       {"HIGH", FieldType::Money, 0},
                {"PERC", FieldType::Short, 0},      {"BOOKNOTE", FieldType::Memo, 1},
                {"LOCATION", FieldType::Memo, 1},   {"WANTED", FieldType::Logical, 0},
                {"FORSALE", FieldType::Logical, 0}, {"AUTOGRAPH", FieldType::Logical, 0}};
    s.keyFieldCount = 3;
    return s;
}

namespace {
Value textOrNull(const std::string& s) { return s.empty() ? Value() : Value::text(s); }
}  // namespace

Row seriesRow(const std::string& series, const std::string& publisher, const std::string& note,
              int owned) {
    return {textOrNull(series),
            textOrNull(publisher),
            Value(),
            textOrNull(note),
            Value::boolean(false),
            Value::boolean(true),
            Value::boolean(false),
            Value(),
            Value::integer(owned)};
}

Row bookRow(int entry, const std::string& comicNo, const std::string& edition,
            const std::string& title, const std::string& note, double paid, int qty) {
    return {Value::integer(entry),     textOrNull(comicNo),   textOrNull(edition),
            textOrNull(title),         Value::text("ARTIST"), Value(),
            Value::integer(qty),       Value::floating(paid), Value::floating(0),
            Value::floating(paid * 2), Value::integer(100),   textOrNull(note),
            Value::text("BOX 1"),      Value::boolean(false), Value::boolean(false),
            Value::boolean(true)};
}

std::string booksTable(const std::string& path, int rows) {
    Table::create(path, booksSchema());
    auto t = Table::open(path);
    t->beginBatch();
    for (int i = 0; i < rows; ++i)
        t->insert(bookRow(i / 50 + 1, std::to_string(1000 + i), "", "T"));
    t->commitBatch();
    return path;
}

std::size_t cachedBlockBytes(const Table& t) {
    return TableFile::acquire(t.path())->cachedBlockBytes();
}

std::size_t cachedMemoBytes(const Table& t) {
    return TableFile::acquire(t.path())->cachedMemoBytes();
}

void damageFile(const std::string& path, std::uint64_t offset,
                const std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    ::close(fd);
    if (n != static_cast<ssize_t>(bytes.size())) throw std::runtime_error("cannot damage " + path);
}

void truncateFile(const std::string& path, std::uint64_t size) {
    if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0)
        throw std::runtime_error("cannot truncate " + path);
}

std::uint64_t fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string memoText(std::size_t n, int seed) {
    std::string s;
    s.reserve(n);
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('A' + (i * 7 + seed) % 26);
    if (n >= 2) {
        s[n / 2] = '\r';
        s[n / 2 + 1] = '\n';
    }
    return s;
}

}  // namespace paradox::testing
