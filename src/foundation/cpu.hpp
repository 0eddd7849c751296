// The processor features the vector kernels depend on, detected once per
// process (the answer cannot change while it runs).
#pragma once

namespace zaviktools {

// True on an x86-64 processor that runs AVX2 instructions; false elsewhere.
// Thread-safe: the first call detects, later calls read the stored answer.
bool cpu_has_avx2();

}  // namespace zaviktools
