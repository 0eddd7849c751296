// ChaCha12 block kernels behind chacha12_blocks (sampling/rng.hpp): a portable
// one and, on x86-64 processors that have it, an AVX2 one. Both write the same
// 64 words; the choice is made from cpu_has_avx2 (foundation/cpu.hpp).
#pragma once

#include <array>
#include <cstdint>

namespace zaviktools {

// Four blocks for counters c .. c+3 (c from words 12-13 of `state`) into out[64].
void chacha12_blocks_portable(const std::array<std::uint32_t, 16>& state, std::uint32_t* out);

// Same output as the portable kernel; call only when cpu_has_avx2() (where
// the build has no AVX2 kernel it runs the portable one).
void chacha12_blocks_avx2(const std::array<std::uint32_t, 16>& state, std::uint32_t* out);

}  // namespace zaviktools
