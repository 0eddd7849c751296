// ChaCha12 block kernels behind chacha12_blocks (sampling/rng.hpp): a portable
// one and, on x86-64 processors that have it, an AVX2 one. Both write the same
// 64 words; the choice is made once per process from the processor's features.
#pragma once

#include <array>
#include <cstdint>

namespace zaviktools {

// Four blocks for counters c .. c+3 (c from words 12-13 of `state`) into out[64].
void chacha12_blocks_portable(const std::array<std::uint32_t, 16>& state, std::uint32_t* out);

// True when the AVX2 kernel exists in this build and the processor runs it.
bool chacha12_avx2_available();

// Same output as the portable kernel; call only when chacha12_avx2_available().
void chacha12_blocks_avx2(const std::array<std::uint32_t, 16>& state, std::uint32_t* out);

}  // namespace zaviktools
