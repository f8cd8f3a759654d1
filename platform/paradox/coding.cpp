#include "platform/paradox/coding.h"

#include <bit>

namespace paradox::coding {

std::optional<std::int64_t> getSortableInt(const std::uint8_t* p, int width) {
    if (width == 2) {
        const std::uint16_t raw = static_cast<std::uint16_t>((p[0] << 8) | p[1]);
        if (raw == 0) return std::nullopt;
        return static_cast<std::int16_t>(raw ^ 0x8000u);
    }
    const std::uint32_t raw = (static_cast<std::uint32_t>(p[0]) << 24) |
                              (static_cast<std::uint32_t>(p[1]) << 16) |
                              (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
    if (raw == 0) return std::nullopt;
    return static_cast<std::int32_t>(raw ^ 0x80000000u);
}

void putSortableInt(std::uint8_t* p, int width, std::int64_t v) {
    const int bits = 8 * width;
    std::uint64_t raw = static_cast<std::uint64_t>(v) ^ (std::uint64_t{1} << (bits - 1));
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<std::uint8_t>(raw);
        raw >>= 8;
    }
}

std::uint16_t getBlockNumber(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(((p[0] << 8) | p[1]) ^ 0x8000u);
}

void putBlockNumber(std::uint8_t* p, std::uint16_t block) {
    const std::uint16_t raw = block ^ 0x8000u;
    p[0] = static_cast<std::uint8_t>(raw >> 8);
    p[1] = static_cast<std::uint8_t>(raw);
}

std::optional<double> getSortableDouble(const std::uint8_t* p) {
    std::uint64_t raw = 0;
    for (int i = 0; i < 8; ++i) raw = (raw << 8) | p[i];
    if (raw == 0) return std::nullopt;
    if (raw & (std::uint64_t{1} << 63))
        raw &= ~(std::uint64_t{1} << 63);
    else
        raw = ~raw;
    return std::bit_cast<double>(raw);
}

void putSortableDouble(std::uint8_t* p, double v) {
    if (v == 0) v = 0;  // -0.0 would sort below every positive number
    std::uint64_t raw = std::bit_cast<std::uint64_t>(v);
    if (raw & (std::uint64_t{1} << 63))
        raw = ~raw;
    else
        raw |= std::uint64_t{1} << 63;
    for (int i = 7; i >= 0; --i) {
        p[i] = static_cast<std::uint8_t>(raw);
        raw >>= 8;
    }
}

std::uint64_t hash64(const std::uint8_t* p, std::size_t n, std::uint64_t seed) {
    std::uint64_t h = 0xcbf29ce484222325ULL ^ seed;
    std::size_t i = 0;
    // Eight bytes per step: the journal hashes whole pages.
    for (; i + 8 <= n; i += 8) {
        h ^= getU64(p + i);
        h *= 0x100000001b3ULL;
        h ^= h >> 29;
    }
    for (; i < n; ++i) {
        h ^= p[i];
        h *= 0x100000001b3ULL;
    }
    return h;
}

}  // namespace paradox::coding
