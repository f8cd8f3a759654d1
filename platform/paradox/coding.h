#pragma once
// All byte encoding of the table files in one place.
//
// Structural integers (file headers, block headers, memo pointers, the memo
// file) are little-endian.  Field values inside records use a "sortable"
// big-endian encoding: comparing the stored bytes as unsigned strings gives
// the numeric order, and all-zero bytes mean blank:
//
//   integers (S, I, +, D, T)  two's complement, big-endian, top bit flipped
//   doubles  (N, $, @)        IEEE-754 big-endian; >= 0: top bit set,
//                             < 0: every bit inverted
//
// Every read takes the end of its buffer: a Cursor never reads past it and
// reports an overrun instead of touching memory it does not own.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace paradox::coding {

inline std::uint16_t getU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t getS16(const std::uint8_t* p) { return static_cast<std::int16_t>(getU16(p)); }
inline std::uint32_t getU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t getU64(const std::uint8_t* p) {
    return getU32(p) | (static_cast<std::uint64_t>(getU32(p + 4)) << 32);
}
inline void putU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putU64(std::uint8_t* p, std::uint64_t v) {
    putU32(p, static_cast<std::uint32_t>(v));
    putU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// Sortable integers of `width` bytes (2 or 4); nullopt = blank.
std::optional<std::int64_t> getSortableInt(const std::uint8_t* p, int width);
void putSortableInt(std::uint8_t* p, int width, std::int64_t v);
// Block numbers in index entries: 1..65535 as a sortable Short whose top bit
// is flipped like any other, read back unsigned.  Block 32768 and above thus
// take the bytes 0x0000..0x7FFF, which as a signed Short would read as blank
// or negative.  0 means "no block".
std::uint16_t getBlockNumber(const std::uint8_t* p);
void putBlockNumber(std::uint8_t* p, std::uint16_t block);
// Sortable doubles (8 bytes); nullopt = blank.
std::optional<double> getSortableDouble(const std::uint8_t* p);
void putSortableDouble(std::uint8_t* p, double v);

// 64-bit FNV-1a, used by the journal to check segments and page contents.
std::uint64_t hash64(const std::uint8_t* p, std::size_t n, std::uint64_t seed = 0);

// Bounded reader over [begin, end): reads past the end set `overrun` and
// yield zeros, so a decoder checks once at the end rather than at every step.
class Cursor {
public:
    Cursor(const std::uint8_t* begin, const std::uint8_t* end) : p_(begin), end_(end) {}
    std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }
    bool overrun() const { return overrun_; }
    const std::uint8_t* take(std::size_t n) {
        if (n > remaining()) {
            overrun_ = true;
            p_ = end_;
            return nullptr;
        }
        const std::uint8_t* at = p_;
        p_ += n;
        return at;
    }
    std::uint8_t u8() {
        const std::uint8_t* p = take(1);
        return p ? *p : 0;
    }
    std::uint16_t u16() {
        const std::uint8_t* p = take(2);
        return p ? getU16(p) : 0;
    }
    std::uint32_t u32() {
        const std::uint8_t* p = take(4);
        return p ? getU32(p) : 0;
    }
    std::uint64_t u64() {
        const std::uint8_t* p = take(8);
        return p ? getU64(p) : 0;
    }
    // A NUL-terminated string; an unterminated one is an overrun.
    std::string cstring() {
        const void* nul = std::memchr(p_, 0, remaining());
        if (!nul) {
            overrun_ = true;
            p_ = end_;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(p_),
                      static_cast<const std::uint8_t*>(nul) - p_);
        p_ += s.size() + 1;
        return s;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
    bool overrun_ = false;
};

}  // namespace paradox::coding
