#include "sampling/chacha12.hpp"

#include <cstring>

namespace zaviktools {

namespace {

// Portable kernel: four 32-bit lanes, one per block, so the four blocks of a
// refill run side by side (GCC vector extension; SSE2 on x86-64).
typedef std::uint32_t Lanes __attribute__((vector_size(16)));

inline Lanes rotl(Lanes v, int n) { return (v << n) | (v >> (32 - n)); }

inline void quarter_round(Lanes& a, Lanes& b, Lanes& c, Lanes& d) {
    a += b;
    d = rotl(d ^ a, 16);
    c += d;
    b = rotl(b ^ c, 12);
    a += b;
    d = rotl(d ^ a, 8);
    c += d;
    b = rotl(b ^ c, 7);
}

inline std::uint64_t counter_of(const std::array<std::uint32_t, 16>& state) {
    return (static_cast<std::uint64_t>(state[13]) << 32) | state[12];
}

}  // namespace

void chacha12_blocks_portable(const std::array<std::uint32_t, 16>& state, std::uint32_t* out) {
    Lanes input[16];
    for (int w = 0; w < 16; ++w) {
        const std::uint32_t s = state[w];
        input[w] = Lanes{s, s, s, s};
    }
    const std::uint64_t counter = counter_of(state);
    for (int b = 0; b < 4; ++b) {
        const std::uint64_t c = counter + static_cast<std::uint64_t>(b);
        input[12][b] = static_cast<std::uint32_t>(c);
        input[13][b] = static_cast<std::uint32_t>(c >> 32);
    }
    Lanes x[16];
    for (int w = 0; w < 16; ++w) x[w] = input[w];
    for (int round = 0; round < 6; ++round) {
        quarter_round(x[0], x[4], x[8], x[12]);
        quarter_round(x[1], x[5], x[9], x[13]);
        quarter_round(x[2], x[6], x[10], x[14]);
        quarter_round(x[3], x[7], x[11], x[15]);
        quarter_round(x[0], x[5], x[10], x[15]);
        quarter_round(x[1], x[6], x[11], x[12]);
        quarter_round(x[2], x[7], x[8], x[13]);
        quarter_round(x[3], x[4], x[9], x[14]);
    }
    for (int w = 0; w < 16; ++w) {
        const Lanes v = x[w] + input[w];
        for (int b = 0; b < 4; ++b) out[16 * b + w] = v[b];
    }
}

#if defined(__x86_64__) && defined(__GNUC__)

namespace {

// AVX2 kernel: one 256-bit register holds a row (four words) of two blocks;
// the diagonal round turns the rows with lane-local shuffles.
typedef std::uint32_t Row2 __attribute__((vector_size(32)));
typedef std::uint8_t Bytes2 __attribute__((vector_size(32)));

#define ZK_AVX2 __attribute__((target("avx2"), always_inline)) inline

ZK_AVX2 Row2 rot16(Row2 v) {
    const Bytes2 m = {2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13,
                      18, 19, 16, 17, 22, 23, 20, 21, 26, 27, 24, 25, 30, 31, 28, 29};
    return reinterpret_cast<Row2>(__builtin_shuffle(reinterpret_cast<Bytes2>(v), m));
}
ZK_AVX2 Row2 rot8(Row2 v) {
    const Bytes2 m = {3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10, 15, 12, 13, 14,
                      19, 16, 17, 18, 23, 20, 21, 22, 27, 24, 25, 26, 31, 28, 29, 30};
    return reinterpret_cast<Row2>(__builtin_shuffle(reinterpret_cast<Bytes2>(v), m));
}
ZK_AVX2 Row2 rotl2(Row2 v, int n) { return (v << n) | (v >> (32 - n)); }

ZK_AVX2 void quarter_rows(Row2& a, Row2& b, Row2& c, Row2& d) {
    a += b;
    d = rot16(d ^ a);
    c += d;
    b = rotl2(b ^ c, 12);
    a += b;
    d = rot8(d ^ a);
    c += d;
    b = rotl2(b ^ c, 7);
}

ZK_AVX2 void to_diagonals(Row2& b, Row2& c, Row2& d) {
    b = __builtin_shuffle(b, Row2{1, 2, 3, 0, 5, 6, 7, 4});
    c = __builtin_shuffle(c, Row2{2, 3, 0, 1, 6, 7, 4, 5});
    d = __builtin_shuffle(d, Row2{3, 0, 1, 2, 7, 4, 5, 6});
}

ZK_AVX2 void to_columns(Row2& b, Row2& c, Row2& d) {
    b = __builtin_shuffle(b, Row2{3, 0, 1, 2, 7, 4, 5, 6});
    c = __builtin_shuffle(c, Row2{2, 3, 0, 1, 6, 7, 4, 5});
    d = __builtin_shuffle(d, Row2{1, 2, 3, 0, 5, 6, 7, 4});
}

ZK_AVX2 void store_pair(std::uint32_t* out, Row2 first, Row2 second) {
    // low halves: 8 words of the even block; high halves: of the odd block
    const Row2 lo = __builtin_shuffle(first, second, Row2{0, 1, 2, 3, 8, 9, 10, 11});
    const Row2 hi = __builtin_shuffle(first, second, Row2{4, 5, 6, 7, 12, 13, 14, 15});
    std::memcpy(out, &lo, sizeof lo);
    std::memcpy(out + 16, &hi, sizeof hi);
}

#undef ZK_AVX2

}  // namespace

__attribute__((target("avx2"))) void chacha12_blocks_avx2(const std::array<std::uint32_t, 16>& s,
                                                           std::uint32_t* out) {
    const std::uint64_t counter = counter_of(s);
    const Row2 a = {s[0], s[1], s[2], s[3], s[0], s[1], s[2], s[3]};
    const Row2 b = {s[4], s[5], s[6], s[7], s[4], s[5], s[6], s[7]};
    const Row2 k = {s[8], s[9], s[10], s[11], s[8], s[9], s[10], s[11]};
    Row2 d[2];
    for (int p = 0; p < 2; ++p) {
        const std::uint64_t c0 = counter + static_cast<std::uint64_t>(2 * p);
        const std::uint64_t c1 = c0 + 1;
        d[p] = Row2{static_cast<std::uint32_t>(c0), static_cast<std::uint32_t>(c0 >> 32), s[14], s[15],
                    static_cast<std::uint32_t>(c1), static_cast<std::uint32_t>(c1 >> 32), s[14], s[15]};
    }
    Row2 a0 = a, b0 = b, k0 = k, d0 = d[0];
    Row2 a1 = a, b1 = b, k1 = k, d1 = d[1];
    for (int round = 0; round < 6; ++round) {
        quarter_rows(a0, b0, k0, d0);
        quarter_rows(a1, b1, k1, d1);
        to_diagonals(b0, k0, d0);
        to_diagonals(b1, k1, d1);
        quarter_rows(a0, b0, k0, d0);
        quarter_rows(a1, b1, k1, d1);
        to_columns(b0, k0, d0);
        to_columns(b1, k1, d1);
    }
    store_pair(out, a0 + a, b0 + b);
    store_pair(out + 8, k0 + k, d0 + d[0]);
    store_pair(out + 32, a1 + a, b1 + b);
    store_pair(out + 40, k1 + k, d1 + d[1]);
}

#else

void chacha12_blocks_avx2(const std::array<std::uint32_t, 16>& state, std::uint32_t* out) {
    chacha12_blocks_portable(state, out);
}

#endif

}  // namespace zaviktools
