#include "tests/platform/tutil/fixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

extern "C" {
#include <paradox.h>
}

#include "platform/paradox/header.h"
#include "platform/tutil/header.h"

namespace fixture {

using paradox::FieldType;
using paradox::Value;

paradox::TableSchema seriesSchema() {
    return {{{"SERIES", FieldType::Alpha, 60},
             {"PUBLISHER", FieldType::Alpha, 30},
             {"ENTRY", FieldType::AutoInc, 0},
             {"SERNOTE", FieldType::Memo, 10},
             {"FAVORITE", FieldType::Logical, 0},
             {"WANTED", FieldType::Logical, 0},
             {"FORSALE", FieldType::Logical, 0},
             {"NEW", FieldType::Logical, 0},
             {"OWNED", FieldType::Short, 0}},
            3};
}

paradox::TableSchema booksSchema() {
    return {{{"ENTRY", FieldType::Long, 0},
             {"COMIC_NO", FieldType::Alpha, 15},
             {"EDITION", FieldType::Alpha, 10},
             {"TITLE", FieldType::Alpha, 80},
             {"ARTIST", FieldType::Alpha, 80},
             {"WRITER", FieldType::Alpha, 80},
             {"QTY", FieldType::Short, 0},
             {"PAID", FieldType::Money, 0},
             {"LOW", FieldType::Money, 0},
             {"HIGH", FieldType::Money, 0},
             {"PERC", FieldType::Short, 0},
             {"BOOKNOTE", FieldType::Memo, 1},
             {"LOCATION", FieldType::Memo, 1},
             {"WANTED", FieldType::Logical, 0},
             {"FORSALE", FieldType::Logical, 0},
             {"AUTOGRAPH", FieldType::Logical, 0}},
            3};
}

namespace {

// GCC 12 misreads the variant move inside Value::text here as freeing a
// stack object (a known false positive of -Wfree-nonheap-object).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
// Memo texts of the lengths that exercise every way a memo is stored.
Value memoText(int i, int leader) {
    std::string text;
    switch (i % 5) {
        case 0:
            return Value();
        case 1:
            text.assign(static_cast<std::size_t>(leader), static_cast<char>('a' + i % 26));
            break;
        case 2:
            text = "NOTE " + std::to_string(i) + std::string(95, 'x');
            break;
        case 3:
            text = "LONG " + std::to_string(i) + std::string(2995, 'y');
            break;
        default:
            text.assign(2048, 'z');
            break;
    }
    return Value::text(std::move(text));
}
#pragma GCC diagnostic pop

std::string padded(int n, int width) {
    std::string s = std::to_string(n);
    return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

}  // namespace

std::vector<paradox::Row> seriesRows(int count) {
    std::vector<paradox::Row> rows;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "SERIES %05d", i);
        rows.push_back({Value::text(name), Value::text(i % 3 ? "MARVEL" : "DC"), Value(),
                        memoText(i, 10), Value::boolean(i % 2), Value::boolean(i % 3 == 0),
                        Value::boolean(false), Value::boolean(i % 7 == 0), Value::integer(i % 50)});
    }
    return rows;
}

std::vector<paradox::Row> booksRows(int count) {
    std::vector<paradox::Row> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back(
            {Value::integer(1 + i % 40), Value::text(padded(i / 40 + 1, 15)),
             Value::text(i % 4 ? "1ST" : "2ND"), Value::text("TITLE " + std::to_string(i)),
             Value::text("ARTIST " + std::to_string(i % 13)),
             Value::text("WRITER " + std::to_string(i % 17)), Value::integer(1 + i % 3),
             Value::floating(1.25 * (i % 9)), Value::floating(0.5), Value::floating(10.0 + i % 11),
             Value::integer(5 * (i % 21)), memoText(i, 1), memoText(i + 2, 1),
             Value::boolean(i % 2), Value::boolean(i % 5 == 0), Value::boolean(false)});
    }
    return rows;
}

void createTable(const std::string& dbPath, const paradox::TableSchema& schema,
                 const std::vector<paradox::Row>& rows) {
    paradox::Table::create(dbPath, schema);
    auto table = paradox::Table::open(dbPath);
    for (const auto& row : rows) table->insert(row);
    table->saveChanges();
}

tutil::RebuildRequest rebuildRequest(const std::string& folder, const std::string& name) {
    tutil::RebuildRequest request;
    request.table = folder + "/" + name;
    request.backup = request.table + "__";
    request.keyViolations = folder + "/KEYVIOL";
    request.problems = folder + "/PROBLEMS";
    const tutil::TableHeader header = tutil::readHeader(request.table + ".db");
    request.fields = header.fields;
    request.keyFieldCount = header.keyFieldCount;
    return request;
}

std::vector<paradox::Row> readTable(const std::string& dbPath) {
    auto table = paradox::Table::open(dbPath);
    std::vector<paradox::Row> rows;
    for (std::size_t i = 0; i < table->rowCount(); ++i) rows.push_back(table->row(i));
    return rows;
}

std::string rowText(const paradox::TableSchema& schema, const paradox::Row& row) {
    std::string line;
    for (std::size_t i = 0; i < schema.fields.size(); ++i) {
        if (i) line += '\t';
        const Value& v = row.at(i);
        const bool memo = schema.fields[i].type == FieldType::Memo;
        if (v.isNull() || (memo && v.isText() && v.asText().empty()))
            line += "\\N";
        else if (v.isText())
            line += memo ? std::to_string(v.asText().size()) + ":" + v.asText() : v.asText();
        else if (v.isBool())
            line += v.asBool() ? "1" : "0";
        else if (v.isInt())
            line += std::to_string(v.asInt());
        else if (v.isDouble()) {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17g", v.asDouble());
            line += buf;
        }
    }
    return line;
}

std::vector<std::string> rowTexts(const paradox::TableSchema& schema,
                                  const std::vector<paradox::Row>& rows) {
    std::vector<std::string> texts;
    for (const auto& row : rows) texts.push_back(rowText(schema, row));
    return texts;
}

namespace {

std::string pxlibErrors;

void collectError(pxdoc_t*, int, const char* message, void*) {
    const std::string m = message;
    if (m.find("multiple of 4kB") != std::string::npos) return;  // the padded copy's size
    pxlibErrors += m + "\n";
}

std::string pxlibValue(const pxval_t* v) {
    switch (v->type) {
        case pxfAlpha:
            if (v->isnull) return "\\N";
            return std::string(v->value.str.val,
                               strnlen(v->value.str.val, std::size_t(v->value.str.len)));
        case pxfMemoBLOb:
            if (v->isnull || v->value.str.len == 0) return "\\N";
            return std::to_string(v->value.str.len) + ":" +
                   std::string(v->value.str.val, std::size_t(v->value.str.len));
        case pxfLong:
        case pxfAutoInc:
            if (v->isnull || v->value.lval == -2147483648L) return "\\N";
            return std::to_string(v->value.lval);
        case pxfShort:
        case pxfLogical:
            if (v->isnull) return "\\N";
            return std::to_string(v->value.lval);
        case pxfCurrency: {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17g", v->value.dval);
            return buf;
        }
        default:
            return "?";
    }
}

}  // namespace

namespace {

// With `tolerant`, what pxlib cannot read is left out instead of failing.
std::vector<std::string> readWithPxlib(const std::string& dbPath, const std::string& mbPath,
                                       const std::string& pxPath, int every, bool tolerant) {
    pxlibErrors.clear();
    pxdoc_t* doc = PX_new2(collectError, nullptr, nullptr, nullptr);
    std::vector<std::string> rows;
    if (PX_open_file(doc, dbPath.c_str()) < 0) {
        if (!tolerant) ADD_FAILURE() << "pxlib cannot open " << dbPath << ": " << pxlibErrors;
        PX_delete(doc);
        return rows;
    }
    const std::string padded = mbPath + ".pad";
    if (!mbPath.empty()) {
        std::filesystem::copy_file(mbPath, padded,
                                   std::filesystem::copy_options::overwrite_existing);
        std::ofstream(padded, std::ios::app | std::ios::binary).put('\0');
        PX_set_blob_file(doc, padded.c_str());
    }
    pxdoc_t* index = nullptr;
    if (!pxPath.empty()) {
        index = PX_new2(collectError, nullptr, nullptr, nullptr);
        if (PX_open_file(index, pxPath.c_str()) < 0 || PX_read_primary_index(index) < 0 ||
            PX_add_primary_index(doc, index) < 0)
            ADD_FAILURE() << "pxlib refuses the index " << pxPath << ": " << pxlibErrors;
    }
    const int count = PX_get_num_records(doc);
    const int fields = PX_get_num_fields(doc);
    rows.reserve(std::size_t(std::max(count, 0)));
    for (int r = 0; r < count; ++r) {
        if (r % every != 0 && r != count - 1) {
            rows.emplace_back();
            continue;
        }
        pxval_t** values = PX_retrieve_record(doc, r);
        if (!values && tolerant) continue;
        if (!values) {
            ADD_FAILURE() << "pxlib cannot read record " << r << " of " << dbPath;
            break;
        }
        std::string line;
        for (int f = 0; f < fields; ++f) {
            if (f) line += '\t';
            line += pxlibValue(values[f]);
            if ((values[f]->type == pxfAlpha || values[f]->type == pxfMemoBLOb) &&
                values[f]->value.str.val)
                doc->free(doc, values[f]->value.str.val);
            doc->free(doc, values[f]);
        }
        doc->free(doc, values);
        rows.push_back(line);
    }
    PX_close(doc);
    PX_delete(doc);
    if (index) PX_delete(index);
    if (!mbPath.empty()) std::filesystem::remove(padded);
    return rows;
}

}  // namespace

std::vector<std::string> pxlibRows(const std::string& dbPath, const std::string& mbPath,
                                   const std::string& pxPath, int every) {
    return readWithPxlib(dbPath, mbPath, pxPath, every, false);
}

std::vector<std::string> pxlibReadableRows(const std::string& dbPath, const std::string& mbPath) {
    return readWithPxlib(dbPath, mbPath, {}, 1, true);
}

namespace {

// Rewrites one file's header; `headerSize` 0 keeps the size it has.
std::size_t rewriteHeader(const std::string& path, paradox::FileKind kind, std::uint8_t version,
                          std::size_t headerSize) {
    auto bytes = readBytes(path);
    paradox::FileHeader h = paradox::parseHeader(bytes.data(), bytes.size(), path, kind);
    const std::string tableName = std::filesystem::path(path).stem().string();
    const std::vector<std::uint8_t> blocks(bytes.begin() + h.headerSize, bytes.end());
    h.version = version;
    if (headerSize == 0) {
        // Bytes in use: the fixed part and the variable part.
        const std::size_t used = paradox::variablePartOffset(version, kind) +
                                 paradox::buildVariablePart(h, kind, tableName).size();
        headerSize = (used + 0x1FF) / 0x200 * 0x200;
    }
    h.headerSize = static_cast<std::uint16_t>(headerSize);
    auto header = paradox::buildHeader(h, kind, tableName);
    paradox::putCounters(header.data(), h, kind);
    EXPECT_EQ(header.size(), headerSize);
    header.insert(header.end(), blocks.begin(), blocks.end());
    writeBytes(path, header);
    return header.size() - blocks.size();
}

}  // namespace

std::size_t rewriteHeaders(const std::string& dbPath, const std::string& pxPath,
                           std::uint8_t version, std::size_t headerSize) {
    rewriteHeader(pxPath, paradox::FileKind::PrimaryIndex, version, 0x800);
    return rewriteHeader(dbPath, paradox::FileKind::Data, version, headerSize);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void patchBytes(const std::string& path, std::size_t offset,
                const std::vector<std::uint8_t>& bytes) {
    auto data = readBytes(path);
    ASSERT_LE(offset + bytes.size(), data.size());
    std::copy(bytes.begin(), bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
    writeBytes(path, data);
}

void truncateFile(const std::string& path, std::size_t size) {
    std::filesystem::resize_file(path, size);
}

DbLayout layoutOf(const std::string& dbPath) {
    const auto b = readBytes(dbPath);
    DbLayout l;
    if (b.size() < 0x20) return l;
    l.recordSize = std::size_t(b[0] | b[1] << 8);
    l.headerSize = std::size_t(b[2] | b[3] << 8);
    l.blockSize = std::size_t(b[5]) * 1024;
    l.fileBlocks = std::size_t(b[0x0C] | b[0x0D] << 8);
    return l;
}

int recordsInBlock(const std::string& dbPath, std::size_t block) {
    const auto l = layoutOf(dbPath);
    const auto b = readBytes(dbPath);
    const std::size_t at = l.blockOffset(block) + 4;
    const auto ads = static_cast<std::int16_t>(b.at(at) | b.at(at + 1) << 8);
    return ads < 0 ? 0 : ads / int(l.recordSize) + 1;
}

}  // namespace fixture
