#pragma once
// A field value of a Paradox table row: null (blank), logical, integer,
// floating, text (UTF-8) or raw bytes.  Blank is kept apart from zero and
// from empty text.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace paradox {

struct Bytes {
    std::vector<std::uint8_t> data;
    bool operator==(const Bytes&) const = default;
};

class Value {
public:
    Value() = default;  // null
    static Value null() { return Value(); }
    static Value boolean(bool b) { return Value(Storage(b)); }
    static Value integer(std::int64_t i) { return Value(Storage(i)); }
    static Value floating(double d) { return Value(Storage(d)); }
    static Value text(std::string utf8) { return Value(Storage(std::move(utf8))); }
    static Value bytes(std::vector<std::uint8_t> b) { return Value(Storage(Bytes{std::move(b)})); }

    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
    bool isBool() const { return std::holds_alternative<bool>(v_); }
    bool isInt() const { return std::holds_alternative<std::int64_t>(v_); }
    bool isDouble() const { return std::holds_alternative<double>(v_); }
    bool isText() const { return std::holds_alternative<std::string>(v_); }
    bool isBytes() const { return std::holds_alternative<Bytes>(v_); }

    // Accessors of the held kind; a wrong kind is a programming error.
    bool asBool() const { return std::get<bool>(v_); }
    std::int64_t asInt() const { return std::get<std::int64_t>(v_); }
    double asDouble() const { return std::get<double>(v_); }
    const std::string& asText() const { return std::get<std::string>(v_); }
    const std::vector<std::uint8_t>& asBytes() const { return std::get<Bytes>(v_).data; }

    bool operator==(const Value&) const = default;

private:
    using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string, Bytes>;
    explicit Value(Storage v) : v_(std::move(v)) {}
    Storage v_;
};

}  // namespace paradox
