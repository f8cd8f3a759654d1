// Field encodings inside a record (see coding.h for the sortable numbers):
//
//   A  Alpha      n bytes in the code page, NUL padded; blank = first byte 0
//   S  Short      2 bytes sortable    I Long / + AutoInc / D Date / T Time: 4
//   $ N @         8 bytes sortable double (Timestamp: days * 86400000 + ms)
//   L  Logical    0x80 false, 0x81 true, 0x00 blank
//   M B F O G     leader (first L bytes of the value, NUL padded), then
//                 u32 .mb pointer, u32 length, u16 modification number (LE);
//                 length 0 = blank; length <= L: held wholly in the leader
//   #  BCD        17 bytes: sign/decimals byte, 32 BCD digits (negative:
//                 digits complemented); size byte = decimal places
//   Y  Bytes      n raw bytes; all zero = blank
//
// Values: A and M give text (UTF-8), S I + D T give integers (D: day number,
// 1 = 0001-01-01; T: milliseconds since midnight), $ N @ and # give doubles
// (@: milliseconds, # rounded to a double), L gives a boolean, B F O G and Y
// give raw bytes.  The format cannot tell empty text from blank: an empty
// text is stored, and read back, as blank.

#include "platform/paradox/record.h"

#include <cmath>
#include <cstring>

#include "platform/paradox/codepage.h"
#include "platform/paradox/coding.h"
#include "platform/paradox/errors.h"
#include "platform/paradox/memo_file.h"

namespace paradox {

using coding::getSortableDouble;
using coding::getSortableInt;
using coding::putSortableDouble;
using coding::putSortableInt;

namespace {

bool isBlob(FieldType t) {
    return t == FieldType::Memo || t == FieldType::Blob || t == FieldType::FmtMemo ||
           t == FieldType::Ole || t == FieldType::Graphic;
}

// No byte outside 1..127 (a NUL is refused, so it takes the checked path).
bool isPlainAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) - 1u >= 0x7Fu) return false;
    return true;
}

int intWidth(FieldType t) { return t == FieldType::Short ? 2 : 4; }

bool isIntType(FieldType t) {
    return t == FieldType::Short || t == FieldType::Long || t == FieldType::AutoInc ||
           t == FieldType::Date || t == FieldType::Time;
}

bool isDoubleType(FieldType t) {
    return t == FieldType::Money || t == FieldType::Number || t == FieldType::Timestamp;
}

Value decodeBcd(const std::uint8_t* p, int decimals) {
    bool blank = true;
    for (int i = 0; i < 17; ++i)
        if (p[i]) blank = false;
    if (blank) return Value();
    const bool negative = !(p[0] & 0x80);
    double v = 0;
    for (int i = 0; i < 32; ++i) {
        int digit = (p[1 + i / 2] >> (i % 2 ? 0 : 4)) & 0x0F;
        if (negative) digit = 15 - digit;
        v = v * 10 + digit;
    }
    v /= std::pow(10.0, decimals);
    return Value::floating(negative ? -v : v);
}

// Folds a Windows-1252 byte to an accent- and case-free letter, for the
// dictionary sort orders the engine reads but cannot write exactly.
std::uint8_t foldByte(std::uint8_t b) {
    if (b >= 'a' && b <= 'z') return static_cast<std::uint8_t>(b - 32);
    if (b < 0xC0) return b;
    static const char kFold[] = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsAAAAAAACEEEEIIIIDNOOOOO/OUUUUYTY";
    const char c = kFold[b - 0xC0];
    return static_cast<std::uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
}

}  // namespace

RecordCodec::RecordCodec(const FileHeader& header, const CodePage& codePage, bool byteOrderKeys,
                         std::string dbPath)
    : keyFields_(header.keyFields),
      codePage_(codePage),
      byteOrderKeys_(byteOrderKeys),
      dbPath_(std::move(dbPath)) {
    int offset = 0;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        FieldLayout f;
        fieldTypeOfCode(header.fields[i].code, f.type);
        f.desc = header.fields[i];
        f.offset = offset;
        f.bytes = recordBytes(f.desc);
        f.leader = isBlob(f.type) ? f.bytes - 10 : 0;
        if (i < header.fieldNames.size()) {
            const std::string& raw = header.fieldNames[i];
            f.name = codePage.toUtf8(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
        }
        offset += f.bytes;
        if (static_cast<int>(i) < keyFields_) keySize_ += f.bytes;
        if (isBlob(f.type)) blobFields_.push_back(i);
        fields_.push_back(std::move(f));
    }
    recordSize_ = offset;
}

bool RecordCodec::hasMemoFields() const { return !blobFields_.empty(); }

TableSchema RecordCodec::schema() const {
    TableSchema schema;
    for (const auto& f : fields_) {
        FieldDef def{f.name, f.type, 0};
        if (f.type == FieldType::Alpha || f.type == FieldType::Bytes) def.size = f.bytes;
        if (isBlob(f.type)) def.size = f.leader;
        if (f.type == FieldType::Bcd) def.size = f.desc.size;
        schema.fields.push_back(def);
    }
    schema.keyFieldCount = keyFields_;
    return schema;
}

MemoRef RecordCodec::getMemoTail(const std::uint8_t* record, const FieldLayout& f) {
    const std::uint8_t* tail = record + f.offset + f.leader;
    return {coding::getU32(tail), coding::getU32(tail + 4), coding::getU16(tail + 8)};
}

void RecordCodec::putMemoTail(std::uint8_t* record, const FieldLayout& f, const MemoRef& ref) {
    std::uint8_t* tail = record + f.offset + f.leader;
    coding::putU32(tail, ref.pointer);
    coding::putU32(tail + 4, ref.length);
    coding::putU16(tail + 8, ref.modNumber);
}

void RecordCodec::decode(const std::uint8_t* record, const MemoFile* memo, Row& out) const {
    out.clear();
    out.reserve(fields_.size());
    for (const auto& f : fields_) {
        const std::uint8_t* p = record + f.offset;
        switch (f.type) {
            case FieldType::Alpha: {
                if (!p[0]) {
                    out.emplace_back();
                    break;
                }
                const void* nul = std::memchr(p, 0, f.bytes);
                const std::size_t n = nul ? static_cast<const std::uint8_t*>(nul) - p : f.bytes;
                out.push_back(Value::text(codePage_.toUtf8(p, n)));
                break;
            }
            case FieldType::Logical:
                out.push_back(p[0] == 0 ? Value() : Value::boolean(p[0] != 0x80));
                break;
            case FieldType::Bytes: {
                bool blank = true;
                for (int i = 0; i < f.bytes && blank; ++i) blank = p[i] == 0;
                out.push_back(blank ? Value() : Value::bytes({p, p + f.bytes}));
                break;
            }
            case FieldType::Bcd:
                out.push_back(decodeBcd(p, f.desc.size));
                break;
            default:
                if (isIntType(f.type)) {
                    const auto v = getSortableInt(p, intWidth(f.type));
                    out.push_back(v ? Value::integer(*v) : Value());
                } else if (isDoubleType(f.type)) {
                    const auto v = getSortableDouble(p);
                    out.push_back(v ? Value::floating(*v) : Value());
                } else {  // memo and BLOb family
                    const MemoRef ref = getMemoTail(record, f);
                    if (ref.length == 0) {
                        out.emplace_back();
                        break;
                    }
                    const std::uint8_t* bytes = p;
                    if (ref.length > static_cast<std::uint32_t>(f.leader)) {
                        if (!memo) throwDamaged(dbPath_, 0, "the memo file is missing");
                        bytes = memo->read(ref);
                    }
                    if (f.type == FieldType::Memo)
                        out.push_back(Value::text(codePage_.toUtf8(bytes, ref.length)));
                    else
                        out.push_back(Value::bytes({bytes, bytes + ref.length}));
                }
        }
    }
}

void RecordCodec::checkMemoPointers(const std::uint8_t* record, const MemoFile* memo) const {
    for (const std::size_t i : blobFields_) {
        const FieldLayout& f = fields_[i];
        // Most values fit in the record: only the length is read for those.
        const std::uint32_t length = coding::getU32(record + f.offset + f.leader + 4);
        if (length <= static_cast<std::uint32_t>(f.leader)) continue;
        const MemoRef ref = getMemoTail(record, f);
        if (!memo) throwDamaged(dbPath_, 0, "the memo file is missing");
        memo->check(ref);
    }
}

void RecordCodec::fieldError(const FieldLayout& f, const std::string& what) const {
    throw EDatabaseError("Field " + f.name + " of table " + dbPath_ + ": " + what);
}

std::string RecordCodec::toCodePage(const FieldLayout& f, const std::string& utf8) const {
    std::string out, bad;
    if (!codePage_.fromUtf8(utf8, out, bad))
        fieldError(f, "the character '" + bad + "' cannot be stored in this table (code page " +
                          std::to_string(codePage_.number()) + ")");
    return out;
}

void RecordCodec::encodeField(const FieldLayout& f, const Value& v, std::uint8_t* out, bool forKey,
                              std::string* memoText) const {
    std::memset(out, 0, f.bytes);
    if (v.isNull()) return;
    auto requireInt = [&]() -> std::int64_t {
        if (v.isInt()) return v.asInt();
        if (v.isDouble() && std::nearbyint(v.asDouble()) == v.asDouble() &&
            std::fabs(v.asDouble()) < 1e15)
            return static_cast<std::int64_t>(v.asDouble());
        fieldError(f, "a whole number is expected");
    };
    switch (f.type) {
        case FieldType::Alpha: {
            if (!v.isText()) fieldError(f, "text is expected");
            // Plain ASCII is the same in every code page: stored as it is.
            const std::string& text = v.asText();
            if (text.size() <= static_cast<std::size_t>(f.bytes) && isPlainAscii(text)) {
                std::memcpy(out, text.data(), text.size());
                return;
            }
            const std::string bytes = toCodePage(f, text);
            if (bytes.find('\0') != std::string::npos)
                fieldError(f, "text cannot hold a NUL character");
            if (bytes.size() > static_cast<std::size_t>(f.bytes)) {
                if (!forKey)
                    fieldError(f, "the text is " + std::to_string(bytes.size()) +
                                      " characters long; at most " + std::to_string(f.bytes) +
                                      " fit");
            }
            std::memcpy(out, bytes.data(), std::min<std::size_t>(bytes.size(), f.bytes));
            return;
        }
        case FieldType::Logical:
            if (v.isBool())
                out[0] = v.asBool() ? 0x81 : 0x80;
            else if (v.isInt() && (v.asInt() == 0 || v.asInt() == 1))
                out[0] = v.asInt() ? 0x81 : 0x80;
            else
                fieldError(f, "true or false is expected");
            return;
        case FieldType::Bytes: {
            if (!v.isBytes()) fieldError(f, "bytes are expected");
            const auto& b = v.asBytes();
            if (b.size() > static_cast<std::size_t>(f.bytes))
                fieldError(f, "at most " + std::to_string(f.bytes) + " bytes fit");
            std::memcpy(out, b.data(), b.size());
            return;
        }
        case FieldType::Memo: {
            if (!v.isText()) fieldError(f, "text is expected");
            std::string bytes = toCodePage(f, v.asText());
            std::memcpy(out, bytes.data(), std::min<std::size_t>(bytes.size(), f.leader));
            if (memoText) *memoText = std::move(bytes);
            return;
        }
        default:
            break;
    }
    if (isIntType(f.type)) {
        const std::int64_t i = requireInt();
        const std::int64_t limit = f.type == FieldType::Short ? 32767 : 2147483647;
        if (i < -limit || i > limit)
            fieldError(f, std::to_string(i) + " is out of range (" + std::to_string(-limit) +
                              " to " + std::to_string(limit) + ")");
        if (f.type == FieldType::Time && (i < 0 || i >= 86400000))
            fieldError(f, "a time of day in milliseconds is expected");
        putSortableInt(out, intWidth(f.type), i);
    } else if (isDoubleType(f.type)) {
        double d = 0;
        if (v.isDouble())
            d = v.asDouble();
        else if (v.isInt())
            d = static_cast<double>(v.asInt());
        else
            fieldError(f, "a number is expected");
        if (std::isnan(d)) fieldError(f, "the value is not a number");
        putSortableDouble(out, d);
    } else {
        fieldError(f, "fields of this type cannot be written by this program");
    }
}

std::unique_ptr<RecordCodec> RecordCodec::forHeader(const FileHeader& header, std::string dbPath) {
    const CodePage* page = CodePage::find(header.codePage);
    const bool byteOrder = header.sortOrder == kSortDbWinUs || header.sortOrder == kSortAscii;
    return std::make_unique<RecordCodec>(header, page ? *page : CodePage::windows1252(), byteOrder,
                                         std::move(dbPath));
}

std::vector<std::uint8_t> RecordCodec::encode(const Row& row,
                                              std::vector<std::string>& memoTexts) const {
    if (row.size() != fields_.size())
        throw EDatabaseError("Table " + dbPath_ + ": a row of " + std::to_string(row.size()) +
                             " values was given for " + std::to_string(fields_.size()) + " fields");
    std::vector<std::uint8_t> record(recordSize_, 0);
    memoTexts.assign(fields_.size(), std::string());
    for (std::size_t i = 0; i < fields_.size(); ++i)
        encodeField(fields_[i], row[i], record.data() + fields_[i].offset, false, &memoTexts[i]);
    return record;
}

std::vector<std::uint8_t> RecordCodec::encodeKey(const std::vector<Value>& key,
                                                 int& fieldCount) const {
    fieldCount = std::min<int>(static_cast<int>(key.size()), keyFields_);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < fieldCount; ++i) {
        const FieldLayout& f = fields_[i];
        const std::size_t at = bytes.size();
        bytes.resize(at + f.bytes);
        encodeField(f, key[i], bytes.data() + at, true, nullptr);
    }
    return bytes;
}

int RecordCodec::compareKeys(const std::uint8_t* a, const std::uint8_t* b, int fieldCount) const {
    if (byteOrderKeys_) {
        const int n = fieldCount >= keyFields_ ? keySize_ : fields_[fieldCount].offset;
        return std::memcmp(a, b, n);
    }
    for (int i = 0; i < fieldCount; ++i) {
        const FieldLayout& f = fields_[i];
        const std::uint8_t* pa = a + f.offset;
        const std::uint8_t* pb = b + f.offset;
        if (f.type == FieldType::Alpha) {
            for (int k = 0; k < f.bytes; ++k) {
                const int fa = foldByte(pa[k]), fb = foldByte(pb[k]);
                if (fa != fb) return fa < fb ? -1 : 1;
            }
        }
        if (const int c = std::memcmp(pa, pb, f.bytes)) return c;
    }
    return 0;
}

}  // namespace paradox
