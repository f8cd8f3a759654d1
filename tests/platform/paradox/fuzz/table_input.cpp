#include "tests/platform/paradox/fuzz/table_input.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/base/exception.h"
#include "platform/paradox/table.h"

namespace fs = std::filesystem;

namespace tablefuzz {

namespace {

std::size_t takeLength(std::span<const std::uint8_t>& input) {
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i) {
        if (!input.empty()) n |= std::uint32_t(input[0]) << (8 * i);
        if (!input.empty()) input = input.subspan(1);
    }
    return n;
}

std::span<const std::uint8_t> takePart(std::span<const std::uint8_t>& input, std::size_t n) {
    n = std::min(n, input.size());
    const auto part = input.first(n);
    input = input.subspan(n);
    return part;
}

void putLength(std::vector<std::uint8_t>& out, std::size_t n) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(n >> (8 * i)));
}

// Rewrites the file in place: the engine keeps a small entry for every
// file (device and inode) it ever opened, so a file made anew for each
// input would grow the process by one entry per input.
void writeFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        fs::remove(path);
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

TableParts splitInput(std::span<const std::uint8_t> input) {
    TableParts parts;
    const std::size_t dbLength = takeLength(input);
    const std::size_t pxLength = takeLength(input);
    parts.db = takePart(input, dbLength);
    parts.px = takePart(input, pxLength);
    parts.mb = input;
    return parts;
}

std::vector<std::uint8_t> joinParts(const TableParts& parts) {
    std::vector<std::uint8_t> out;
    putLength(out, parts.db.size());
    putLength(out, parts.px.size());
    for (auto part : {parts.db, parts.px, parts.mb})
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

ScratchDir::ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pkeep-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void ScratchDir::clear(const std::vector<std::string>& keep) const {
    for (const auto& entry : fs::directory_iterator(path_))
        if (std::find(keep.begin(), keep.end(), entry.path().filename()) == keep.end())
            fs::remove_all(entry.path());
}

std::string ScratchDir::writeTable(const TableParts& parts) const {
    clear({"t.db", "t.px", "t.mb"});
    const fs::path dir(path_);
    writeFile(dir / "t.db", parts.db);
    writeFile(dir / "t.px", parts.px);
    writeFile(dir / "t.mb", parts.mb);
    return (dir / "t.db").string();
}

long readWholeTable(const std::string& dbPath) {
    try {
        const auto table = paradox::Table::open(dbPath);
        const std::size_t rows = table->rowCount();
        for (std::size_t i = 0; i < rows; ++i) table->row(i);  // decodes the record and its memos
        const int keyFields = table->schema().keyFieldCount;
        for (std::size_t i : {std::size_t(0), rows - 1}) {
            if (keyFields == 0 || rows == 0) break;
            const paradox::Row& row = table->row(i);
            table->find(std::vector<paradox::Value>(row.begin(), row.begin() + keyFields));
        }
        return long(rows);
    } catch (const EDatabaseError&) {
        return -1;  // the expected end of a damaged table
    }
}

std::vector<std::uint8_t> readInput(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::filesystem::path> inputsIn(const char* folder) {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(folder)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename() != "README.md")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace tablefuzz
