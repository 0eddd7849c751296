#include "sampling/rng.hpp"

#include "foundation/cpu.hpp"
#include "sampling/chacha12.hpp"

#include <bit>
#include <cmath>
#include <limits>

namespace zaviktools {

namespace {

constexpr std::uint32_t kSigma[4] = {0x61707865u, 0x3320646Eu, 0x79622D32u, 0x6B206574u};  // "expand 32-byte k"

Rng rng_with_key(const std::array<std::uint32_t, 8>& key) {
    Rng rng{};
    for (int w = 0; w < 4; ++w) rng.state[w] = kSigma[w];
    for (int w = 0; w < 8; ++w) rng.state[4 + w] = key[w];
    rng.index = 64;
    return rng;
}

}  // namespace

void chacha12_blocks(const std::array<std::uint32_t, 16>& state, std::uint32_t* out) {
    if (cpu_has_avx2()) {
        chacha12_blocks_avx2(state, out);
    } else {
        chacha12_blocks_portable(state, out);
    }
}

void refill(Rng& rng) {
    chacha12_blocks(rng.state, rng.buffer.data());
    std::uint64_t counter = (static_cast<std::uint64_t>(rng.state[13]) << 32) | rng.state[12];
    counter += 4;
    rng.state[12] = static_cast<std::uint32_t>(counter);
    rng.state[13] = static_cast<std::uint32_t>(counter >> 32);
    rng.index = 0;
}

std::array<std::uint32_t, 8> seed_key_words(std::uint64_t seed) {
    constexpr std::uint64_t kMul = 6364136223846793005ull;  // 0x5851F42D4C957F2D
    constexpr std::uint64_t kInc = 11634580027462260723ull;  // 0xA17654E46FBE17F3
    std::array<std::uint32_t, 8> key{};
    std::uint64_t state = seed;
    for (int k = 0; k < 8; ++k) {
        state = state * kMul + kInc;
        const auto x = static_cast<std::uint32_t>((state >> 45) ^ (state >> 27));
        const auto r = static_cast<int>(state >> 59);
        key[k] = std::rotr(x, r);
    }
    return key;
}

Rng seeded_rng(std::uint64_t seed) { return rng_with_key(seed_key_words(seed)); }

Rng keyed_rng(const std::array<std::uint32_t, 8>& key) { return rng_with_key(key); }

double one_to_two(std::uint64_t b) { return std::bit_cast<double>((b >> 12) | 0x3FF0000000000000ull); }

double open01_f64(Rng& rng) { return one_to_two(next_u64(rng)) - 0.9999999999999999; }

double uniform_between(Rng& rng, double lo, double hi) {
    const double u = one_to_two(next_u64(rng)) - 1.0;
    const double width = hi - lo;
    double x;
    if (std::isfinite(width)) {
        x = lo + width * u;
    } else {
        // hi - lo overflows: draw on [lo/2, hi/2) and double, both exact here.
        const double h_lo = lo * 0.5;
        x = 2.0 * (h_lo + (hi * 0.5 - h_lo) * u);
    }
    // Rounding can land on hi itself (narrow intervals, or |hi| large against
    // the width); the interval is half-open.
    if (x >= hi) x = std::nextafter(hi, -std::numeric_limits<double>::infinity());
    return x;
}

namespace {

__extension__ typedef unsigned __int128 U128;

std::uint64_t bounded_u32(Rng& rng, std::uint32_t i) {
    const std::uint32_t range = i + 1u;
    if (range == 0) return next_u32(rng);
    const std::uint64_t prod = static_cast<std::uint64_t>(next_u32(rng)) * range;
    const std::uint64_t hi = prod >> 32;
    const std::uint64_t lo = prod & 0xFFFFFFFFull;
    if (lo + i < (1ull << 32)) return hi;
    const std::uint64_t t = (static_cast<std::uint64_t>(next_u32(rng)) * range) >> 32;
    return lo + t >= (1ull << 32) ? hi + 1 : hi;
}

std::uint64_t bounded_u64(Rng& rng, std::uint64_t i) {
    const std::uint64_t range = i + 1u;
    if (range == 0) return next_u64(rng);
    const U128 prod = static_cast<U128>(next_u64(rng)) * range;
    const auto hi = static_cast<std::uint64_t>(prod >> 64);
    const auto lo = static_cast<std::uint64_t>(prod);
    if (static_cast<U128>(lo) + i < (static_cast<U128>(1) << 64)) return hi;
    const auto t = static_cast<std::uint64_t>((static_cast<U128>(next_u64(rng)) * range) >> 64);
    return static_cast<U128>(lo) + t >= (static_cast<U128>(1) << 64) ? hi + 1 : hi;
}

}  // namespace

std::uint64_t bounded_inclusive(Rng& rng, std::uint64_t i) {
    if (i < (1ull << 32)) return bounded_u32(rng, static_cast<std::uint32_t>(i));
    return bounded_u64(rng, i);
}

std::uint64_t mix_seed(std::uint64_t seed) {
    std::uint64_t x = seed + 0x9E3779B97F4A7C15ull;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return x;
}

}  // namespace zaviktools
