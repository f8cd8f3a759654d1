#include "import/compact_row.h"

#include <cstring>

namespace import {

namespace {

template <class T>
void Put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <class T>
T Get(const std::string& in, std::size_t at) {
    T value;
    std::memcpy(&value, in.data() + at, sizeof value);
    return value;
}

// A length in one byte when under 255, else 255 and four bytes.
void PutLength(std::string& out, std::size_t length) {
    if (length < 255) {
        out.push_back(static_cast<char>(length));
    } else {
        out.push_back(static_cast<char>(255));
        Put(out, static_cast<std::uint32_t>(length));
    }
}

// The bytes `v` takes here.
std::size_t SizeOf(const paradox::Value& v) {
    const auto withLength = [](std::size_t n) { return 1 + (n < 255 ? 1 : 5) + n; };
    if (v.isInt() || v.isDouble()) return 9;
    if (v.isText()) return withLength(v.asText().size());
    if (v.isBytes()) return withLength(v.asBytes().size());
    return 1;
}

}  // namespace

CompactRow::CompactRow(const paradox::Row& row) : count_(row.size()) {
    std::size_t size = 0;
    for (const paradox::Value& v : row) size += SizeOf(v);
    bytes_.reserve(size);  // one block of the size needed
    for (const paradox::Value& v : row) {
        if (v.isNull()) {
            bytes_.push_back(kNull);
        } else if (v.isBool()) {
            bytes_.push_back(v.asBool() ? kTrue : kFalse);
        } else if (v.isInt()) {
            bytes_.push_back(kInteger);
            Put(bytes_, v.asInt());
        } else if (v.isDouble()) {
            bytes_.push_back(kFloating);
            Put(bytes_, v.asDouble());
        } else if (v.isText()) {
            bytes_.push_back(kText);
            PutLength(bytes_, v.asText().size());
            bytes_ += v.asText();
        } else {
            bytes_.push_back(kBytes);
            PutLength(bytes_, v.asBytes().size());
            bytes_.append(reinterpret_cast<const char*>(v.asBytes().data()), v.asBytes().size());
        }
    }
}

std::size_t CompactRow::Length(std::size_t& at) const {
    std::size_t length = static_cast<unsigned char>(bytes_[at++]);
    if (length == 255) {
        length = Get<std::uint32_t>(bytes_, at);
        at += sizeof(std::uint32_t);
    }
    return length;
}

std::size_t CompactRow::Skip(std::size_t at) const {
    switch (bytes_[at++]) {
        case kInteger:
        case kFloating:
            return at + 8;
        case kText:
        case kBytes: {
            const std::size_t length = Length(at);
            return at + length;
        }
        default:
            return at;
    }
}

std::size_t CompactRow::Offset(std::size_t field) const {
    std::size_t at = 0;
    for (std::size_t f = 0; f < field; ++f) at = Skip(at);
    return at;
}

paradox::Value CompactRow::Read(std::size_t& at) const {
    switch (bytes_[at++]) {
        case kFalse:
            return paradox::Value::boolean(false);
        case kTrue:
            return paradox::Value::boolean(true);
        case kInteger:
            at += 8;
            return paradox::Value::integer(Get<std::int64_t>(bytes_, at - 8));
        case kFloating:
            at += 8;
            return paradox::Value::floating(Get<double>(bytes_, at - 8));
        case kText: {
            const std::size_t length = Length(at);
            at += length;
            return paradox::Value::text(bytes_.substr(at - length, length));
        }
        case kBytes: {
            const std::size_t length = Length(at);
            at += length;
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes_.data()) + at - length;
            return paradox::Value::bytes(std::vector<std::uint8_t>(data, data + length));
        }
        default:
            return paradox::Value();
    }
}

paradox::Value CompactRow::At(std::size_t field) const {
    if (field >= count_) return paradox::Value();
    std::size_t at = Offset(field);
    return Read(at);
}

std::string_view CompactRow::Text(std::size_t field) const {
    if (field >= count_) return {};
    std::size_t at = Offset(field);
    if (bytes_[at++] != kText) return {};
    const std::size_t length = Length(at);
    return std::string_view(bytes_).substr(at, length);
}

void CompactRow::ExpandInto(paradox::Row& row) const {
    row.resize(count_);
    std::size_t at = 0;
    for (paradox::Value& v : row) v = Read(at);
}

paradox::Row CompactRow::Expanded() const {
    paradox::Row row;
    ExpandInto(row);
    return row;
}

}  // namespace import
