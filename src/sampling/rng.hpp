// The seeded random stream: ChaCha with 12 rounds, keyed from a 64-bit seed,
// read as 32-bit words through a four-block (64-word) buffer. Every random
// quantity of the toolkit is formed from these words by the fixed recipes
// below, so the same seed replays the same draws bit for bit.
//
// Stable API for every seeded operation:
//   Rng rng = seeded_rng(seed);
//   next_u32(rng), next_u64(rng)              raw words (u64: low word first)
//   unit_f64(rng) in [0, 1), open01_f64(rng) in (0, 1)
//   uniform_between(rng, lo, hi) in [lo, hi)  (lo < hi)
//   bounded_inclusive(rng, i) in [0, i]       (path shuffles)
//   standard_normal(rng)                      (sampling/normal.hpp)
//   mix_seed(seed)                            seed of an independent second stream
// A stream is a plain value: each operation that needs randomness creates its
// own from its seed (or borrows the caller's) and only draws advance it.
#pragma once

#include <array>
#include <cstdint>

namespace zaviktools {

struct Rng {
    // ChaCha input state: words 0-3 "expand 32-byte k", 4-11 the key, 12-13
    // the 64-bit block counter (12 low), 14-15 the stream number (always 0).
    std::array<std::uint32_t, 16> state;
    // Four consecutive 16-word blocks; word 16*b + w is word w of block b.
    std::array<std::uint32_t, 64> buffer;
    // Next word to read; 64 means the buffer is empty.
    std::uint32_t index;
};

// The eight key words of `seed`: successive PCG32 outputs, starting from the
// first advanced state.
std::array<std::uint32_t, 8> seed_key_words(std::uint64_t seed);

// A fresh stream: key from `seed`, counter 0, stream number 0, empty buffer.
Rng seeded_rng(std::uint64_t seed);

// A fresh stream with an explicit key (the published ChaCha test vectors).
Rng keyed_rng(const std::array<std::uint32_t, 8>& key);

// Four ChaCha12 blocks for counters c .. c+3 (c from words 12-13 of `state`)
// into `out[64]`, block after block. Does not touch `state`.
void chacha12_blocks(const std::array<std::uint32_t, 16>& state, std::uint32_t* out);

// Refills the buffer with the next four blocks, advances the counter by 4 and
// sets the read index to 0.
void refill(Rng& rng);

inline std::uint32_t next_u32(Rng& rng) {
    if (rng.index >= 64) refill(rng);
    return rng.buffer[rng.index++];
}

// Two words, low word first; at index 63 the low word is the buffer's last and
// the high word the first of the next four blocks.
inline std::uint64_t next_u64(Rng& rng) {
    std::uint32_t i = rng.index;
    if (i < 63) {
        rng.index = i + 2;
        return (static_cast<std::uint64_t>(rng.buffer[i + 1]) << 32) | rng.buffer[i];
    }
    if (i == 63) {
        const std::uint64_t low = rng.buffer[63];
        refill(rng);
        rng.index = 1;
        return (static_cast<std::uint64_t>(rng.buffer[0]) << 32) | low;
    }
    refill(rng);
    rng.index = 2;
    return (static_cast<std::uint64_t>(rng.buffer[1]) << 32) | rng.buffer[0];
}

// The double with bit pattern (b >> 12) | 0x3FF0000000000000, in [1, 2).
double one_to_two(std::uint64_t b);

// (b >> 11) * 2^-53, in [0, 1).
inline double unit_f64(Rng& rng) { return static_cast<double>(next_u64(rng) >> 11) * 0x1p-53; }

// one_to_two - (1 - 2^-53), in (0, 1).
double open01_f64(Rng& rng);

// lo + (hi - lo) * (one_to_two - 1) from one next_u64, for lo < hi. The result
// always lies in [lo, hi): a draw that rounds up onto `hi` becomes the largest
// double below `hi`, and an interval wider than the largest double is drawn at
// half scale (exact doubling) instead of overflowing. Every other draw is the
// plain recipe.
double uniform_between(Rng& rng, double lo, double hi);

// Uniform integer in [0, i] by the widening multiply with at most one extra
// word and no rejection loop: 32-bit words for i < 2^32, 64-bit words above.
// The second word is drawn only in the carry case, so the number of words
// consumed varies with the draw.
std::uint64_t bounded_inclusive(Rng& rng, std::uint64_t i);

// First output of SplitMix64 started at `seed`: the seed of a second stream
// independent of the one seeded with `seed` itself.
std::uint64_t mix_seed(std::uint64_t seed);

}  // namespace zaviktools
