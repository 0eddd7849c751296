// The simple-kriging systems of four simulations at one step, read from one
// offset table straight into the interleaved layout of the lane solver.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zaviktools::detail {

// For each lane l and i < j < m: entry (i, j) and (j, i) of lane l, at
// a[(i * m + j) * 4 + l] and a[(j * m + i) * 4 + l], is
// values[centre + keys[i * 4 + l] - keys[j * 4 + l]], the diagonal 1, and
// rhs[i * 4 + l] = values[centre + keys[i * 4 + l] - here[l]]: the values
// OffsetTable::at gives, as the one-system build writes them. Only called
// where the processor has AVX2.
void lane_table_system_avx2(const double* values, std::int64_t centre, const std::int64_t* keys,
                            const std::int64_t* here, std::size_t m, double* a, double* rhs);

}  // namespace zaviktools::detail
