// Writes the table fuzzers' seeds: small, sound tables of every block size
// and file version the engine reads, each as one input (table_input.h).
//
//   make_table_seeds OUTPUT_FOLDER
//
// Made by the engine: the collection's series (2 KiB blocks) and books
// (4 KiB) tables with memos of each kind, a keyed table of three blocks, one
// with a block on the free list, an unkeyed one, and empty tables of 16 and
// 32 KiB blocks.  Made by pxlib: tables of 2 and 3 KiB blocks with the types
// the engine only reads (Date, Time, Timestamp, Number), an empty one of
// 16 KiB, and its 2 KiB table cut to 1 KiB blocks.  Both write level 7
// only; levels 5, 4 and 3 are those tables with the header of that level
// (shorter table name; level 3 without the data file's extension).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "platform/paradox/table.h"
#include "tests/platform/paradox/fuzz/table_input.h"
#include "tests/platform/paradox/table_fixtures.h"

namespace fs = std::filesystem;
using namespace paradox;
using Buffer = std::vector<std::uint8_t>;

namespace {

struct Files {
    Buffer db, px, mb;
};

Buffer readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Buffer(std::istreambuf_iterator<char>(in), {});
}

Files readTable(const fs::path& db) {
    Files f;
    f.db = readBytes(db);
    for (auto [ext, bytes] : {std::pair{".px", &f.px}, std::pair{".mb", &f.mb}}) {
        const fs::path p = fs::path(db).replace_extension(ext);
        if (fs::exists(p)) *bytes = readBytes(p);
    }
    return f;
}

void writeSeed(const fs::path& folder, const std::string& name, const Files& f) {
    const Buffer seed = tablefuzz::joinParts({f.db, f.px, f.mb});
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(seed.data()), std::streamsize(seed.size()));
    std::cout << name << ": " << seed.size() << " bytes\n";
}

Value text(const std::string& s) { return Value::text(s); }
Value integer(std::int64_t i) { return Value::integer(i); }

std::string memoOf(std::size_t n, int seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += char('a' + (i * 7 + std::size_t(seed)) % 26);
    return s;
}

fs::path engineTable(const fs::path& dir, const std::string& name, const TableSchema& schema,
                     const std::vector<Row>& rows) {
    const fs::path db = dir / (name + ".db");
    Table::create(db.string(), schema);
    auto table = Table::open(db.string());
    for (const Row& row : rows) table->insert(row);
    return db;
}

// The collection's series table: memos blank, in the leader, in a block
// of small memos and in a run of blocks.
fs::path seriesTable(const fs::path& dir) {
    const TableSchema s = paradox::testing::seriesSchema();
    std::vector<Row> rows;
    const std::size_t memoLengths[] = {0, 5, 60, 200, 3000, 0};
    for (int i = 0; i < 6; ++i)
        rows.push_back({text("SERIES " + std::to_string(i)),
                        text(i % 2 ? "PUB" : "OTHER"),
                        {},
                        memoLengths[i] ? text(memoOf(memoLengths[i], i)) : Value(),
                        Value::boolean(i % 2),
                        Value::boolean(false),
                        Value(),
                        Value(),
                        integer(i * 3)});
    return engineTable(dir, "series", s, rows);
}

fs::path booksTable(const fs::path& dir) {
    const TableSchema s = paradox::testing::booksSchema();
    std::vector<Row> rows;
    for (int i = 0; i < 3; ++i)
        rows.push_back({integer(1), text(std::to_string(i + 1)), text(i ? "" : "1st"),
                        text("TITLE " + std::to_string(i)), text("ARTIST"), Value(), integer(i),
                        Value::floating(2.5 * i), Value(), Value::floating(10), integer(50),
                        i == 1 ? text(memoOf(40, i)) : Value(), i == 2 ? text("BOX 3") : Value(),
                        Value::boolean(true), Value::boolean(false), Value()});
    return engineTable(dir, "books", s, rows);
}

TableSchema smallKeyedSchema() {
    TableSchema s;
    s.fields = {{"CODE", FieldType::Alpha, 8}, {"N", FieldType::Short, 0}};
    s.keyFieldCount = 1;
    return s;
}

std::vector<Row> smallKeyedRows(int count) {
    std::vector<Row> rows;
    char code[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(code, sizeof code, "K%05d", i);
        rows.push_back({text(code), integer(i)});
    }
    return rows;
}

// Three blocks in the chain; deleting the middle one's rows puts it on
// the free list.
fs::path threeBlockTable(const fs::path& dir, const std::string& name, bool freeMiddle) {
    const fs::path db = engineTable(dir, name, smallKeyedSchema(), smallKeyedRows(560));
    if (freeMiddle) {
        auto table = Table::open(db.string());
        for (int i = 0; i < 204; ++i) table->erase(204);
    }
    return db;
}

fs::path unkeyedTable(const fs::path& dir) {
    TableSchema s;
    s.fields = {{"TAG", FieldType::Bytes, 6},
                {"COUNT", FieldType::Long, 0},
                {"PRICE", FieldType::Money, 0},
                {"DONE", FieldType::Logical, 0},
                {"NAME", FieldType::Alpha, 12}};
    std::vector<Row> rows;
    for (int i = 0; i < 12; ++i)
        rows.push_back({i % 3 ? Value::bytes({1, std::uint8_t(i), 0, 0xFF}) : Value(),
                        integer(i * 1000 - 5000), Value::floating(i * 0.25),
                        i % 4 ? Value::boolean(i % 2) : Value(),
                        text(i % 5 ? "name " + std::to_string(i) : "")});
    return engineTable(dir, "unkeyed", s, rows);
}

// An empty table whose records need blocks of `kib` KiB.
fs::path emptyWideTable(const fs::path& dir, int kib) {
    TableSchema s;
    const int fields = kib == 16 ? 3 : 9;  // 765 or 2295 bytes a record
    for (int i = 0; i < fields; ++i)
        s.fields.push_back({"F" + std::to_string(i), FieldType::Alpha, 255});
    s.keyFieldCount = 1;
    return engineTable(dir, "wide" + std::to_string(kib), s, {});
}

// Runs the pxlib oracle's "create" with `input` on its standard input.
fs::path pxlibTable(const fs::path& dir, const std::string& name, int keys,
                    const std::string& input) {
    const fs::path db = dir / (name + ".db");
    const std::string command =
        std::string(PXLIB_ORACLE) + " create " + db.string() + " " + std::to_string(keys);
    FILE* pipe = ::popen(command.c_str(), "w");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::fwrite(input.data(), 1, input.size(), pipe);
    if (::pclose(pipe) != 0) throw std::runtime_error("pxlib failed on " + name);
    return db;
}

// A pxlib table of 2 KiB blocks with the types the engine only reads.
fs::path pxlibTypesTable(const fs::path& dir) {
    return pxlibTable(dir, "pxtypes", 1,
                      "ID:S:0\tNAME:A:10\tDAY:D:0\tAT:T:0\tSTAMP:@:0\tSIZE:N:0\n"
                      "1\tfirst\t730000\t3600000\t63000000000000\t1.5\n"
                      "2\t\\N\t\\N\t\\N\t\\N\t\\N\n"
                      "7\tseventh\t1\t0\t1000\t-2.25e10\n");
}

fs::path pxlibMemoTable(const fs::path& dir) {
    return pxlibTable(dir, "pxmemo", 1,
                      "ID:S:0\tNAME:A:90\tNOTE:M:10\n"
                      "1\tshort\tin lead\n"
                      "2\tsmall memo\t" +
                          memoOf(120, 2) + "\n3\tlong memo\t" + memoOf(2500, 3) +
                          "\n4\tblank\t\\N\n");
}

// pxlib's 2 KiB table with 1 KiB blocks: its records fit in the first half.
Files withKiBBlocks(Files f) {
    const std::size_t header = f.db[2] | f.db[3] << 8;
    if (f.db[5] != 2 || f.db[0x0C] != 1 || f.db.size() != header + 2048)
        throw std::runtime_error("the 2 KiB table is not one block");
    f.db[5] = 1;
    f.db.resize(header + 1024);
    return f;
}

void put16(Buffer& b, std::size_t at, unsigned v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}

// The header of an earlier level: the table name takes 79 bytes instead of
// 261, and below level 4 the data file has no extension (0x58..0x77).  The
// header keeps its size, so the blocks stay where they were.
Files atLevel(Files f, std::uint8_t version) {
    const unsigned fields = f.db[0x21] | f.db[0x22] << 8;
    const std::size_t header = f.db[2] | f.db[3] << 8;
    const std::size_t name = 0x78 + 6 * fields + 4;
    const auto at = [&f](std::size_t offset) { return f.db.begin() + std::ptrdiff_t(offset); };
    f.db.erase(at(name + 79), at(name + 261));
    std::size_t removed = 261 - 79;
    if (version < 5) {
        f.db.erase(at(0x58), at(0x78));
        removed += 0x20;
        std::fill(at(0x25), at(0x29), 0);  // the encryption key field, 0: none
    } else {
        put16(f.db, 0x58, 0x100 + version);
        put16(f.db, 0x5A, 0x100 + version);
    }
    f.db.insert(at(header - removed), removed, 0);
    f.db[0x39] = version;
    if (!f.px.empty()) f.px[0x39] = version;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_table_seeds OUTPUT_FOLDER\n";
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path work = fs::temp_directory_path() / ("pkeep-seeds-" + std::to_string(::getpid()));
    fs::create_directories(work);
    fs::create_directories(out);
    try {
        writeSeed(out, "engine-series-2k.tbl", readTable(seriesTable(work)));
        writeSeed(out, "engine-books-4k.tbl", readTable(booksTable(work)));
        writeSeed(out, "engine-three-blocks-2k.tbl",
                  readTable(threeBlockTable(work, "three", false)));
        writeSeed(out, "engine-free-block-2k.tbl", readTable(threeBlockTable(work, "freed", true)));
        writeSeed(out, "engine-unkeyed-2k.tbl", readTable(unkeyedTable(work)));
        writeSeed(out, "engine-empty-16k.tbl", readTable(emptyWideTable(work, 16)));
        writeSeed(out, "engine-empty-32k.tbl", readTable(emptyWideTable(work, 32)));
        const Files types = readTable(pxlibTypesTable(work));
        const Files memo = readTable(pxlibMemoTable(work));
        writeSeed(out, "pxlib-types-2k.tbl", types);
        writeSeed(out, "pxlib-memo-3k.tbl", memo);
        writeSeed(out, "pxlib-types-1k.tbl", withKiBBlocks(types));
        writeSeed(out, "pxlib-empty-16k.tbl",
                  readTable(pxlibTable(work, "pxwide", 1, "ID:I:0\tA:A:250\tB:A:100\n")));
        writeSeed(out, "level5-series-2k.tbl", atLevel(readTable(work / "series.db"), 0x0B));
        writeSeed(out, "level4-memo-3k.tbl", atLevel(memo, 0x09));
        writeSeed(out, "level3-2k.tbl",
                  atLevel(readTable(pxlibTable(work, "pxold", 1,
                                               "ID:S:0\tNAME:A:20\tDAY:D:0\tSIZE:N:0\tPRICE:$:0\n"
                                               "1\tone\t700000\t0.5\t12.25\n"
                                               "3\t\\N\t\\N\t\\N\t\\N\n")),
                          0x03));
    } catch (const std::exception& e) {
        std::cerr << "make_table_seeds: " << e.what() << "\n";
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
