// Neighbour lists for a block of nearby lattice nodes from one shared
// candidate list, with the data-pair semivariances of that list cached.
//
// For a block whose nodes lie within r of a centre node c, every datum that
// can be among a node's neighbours lies within min(d_k(c) + 2r, radius + r)
// of c (triangle inequality; d_k(c) is the k-th neighbour distance of c).
// Those candidates are fetched once, with a relative safety margin far above
// rounding, and each node then ranks them by the same key as
// Neighbourhood::nearest_into -- (squared distance, insertion position) with
// the same squared-distance arithmetic -- so its list is exactly the one a
// direct query returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/cpu.hpp"
#include "foundation/lattice.hpp"
#include "geostat/neighbourhood.hpp"
#include "geostat/prep.hpp"
#include "linalg/lu_solve.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

class KrigingBlock {
public:
    // Fetches the candidates of the nodes `nodes` (positions), which lie
    // within `reach` of `centre`. `index` holds `data`, entry k with payload
    // k. False when the bounds are not numerically safe (degenerate or huge
    // distances): the caller then queries node by node. With more than
    // `most` candidates it stops before caching their pair semivariances
    // (the caller splits the block instead).
    bool prepare(const Neighbourhood& index, std::span<const DataPoint> data, const Variogram& variogram, Xy centre,
                 double reach, std::size_t max_neighbours, double radius, std::size_t most);

    std::size_t candidate_count() const { return pos_.size(); }

    // The neighbours of node `p` into `out` (data indices, distances), their
    // candidate slots into `slots`; same result as index.nearest_into.
    void nearest_into(Xy p, std::size_t max_neighbours, double radius, std::vector<Neighbour>& out,
                      std::vector<std::uint32_t>& slots);

    // gamma between candidates a and b (0 when their squared separation is
    // exactly 0), computed once per block and pair when the list is short.
    double pair_gamma(std::uint32_t a, std::uint32_t b) const {
        return cached_ ? gamma_[a * pos_.size() + b] : compute_gamma(a, b);
    }

    // The data block of a node's kriging matrix (row length n) for the
    // neighbours in candidate slots `slots`: a[i][j] = pair_gamma(slots[i],
    // slots[j]). A cached block is gathered a whole row at a time (four lanes
    // on the vector path); the cache holds both triangles from one value and
    // a zero diagonal, so the entries are those of the pairwise fill.
    void fill_pair_matrix(std::span<const std::uint32_t> slots, double* a, std::size_t n, SolvePath path) const;

    // The same data block into lane `lane` of four interleaved matrices
    // (entry (i, j) at a[(i * n + j) * 4 + lane]).
    void fill_pair_lane(std::span<const std::uint32_t> slots, double* a, std::size_t n, std::size_t lane) const;

    // All four lanes at once, lane l from slots[l] (m slots each); a cached
    // block is gathered four lanes per entry.
    void fill_pair_lanes(const std::uint32_t* const slots[4], std::size_t m, double* a, std::size_t n) const;

private:
    struct Key {
        double d2;
        std::size_t pos;  // insertion position: breaks ties
        std::uint32_t slot;
    };

    double compute_gamma(std::uint32_t a, std::uint32_t b) const;
    void emit(const Key* list, std::size_t count, std::vector<Neighbour>& out, std::vector<std::uint32_t>& slots);
    std::vector<Neighbour> fetched_;
    std::vector<std::size_t> pos_;  // candidate data indices, nearest the centre first
    std::vector<double> x_, y_;
    std::vector<Key> keys_;
    // Up to this many neighbours a sorted insertion beats a selection.
    static constexpr std::size_t kInsertionLimit = 64;
    Key list_[kInsertionLimit];  // the last node's neighbours, ranked (insertion path)
    std::size_t listed_ = 0;
    std::vector<std::uint64_t> marked_;    // bit s % 64 of word s / 64: slot s is in the list being built
    std::vector<double> d2_;  // a node's squared distance to each candidate
    std::vector<double> gamma_;  // pos_.size()^2, both triangles
    const Variogram* variogram_ = nullptr;
    bool cached_ = false;
    bool avx2_ = cpu_has_avx2();
};

namespace detail {
// a[i*n + j] = g[slots[i]*c + slots[j]] for i, j < m; four lanes, only
// called where the processor has AVX2. Slots are below 2^31 / c.
void gather_pair_rows_avx2(const double* g, std::size_t c, const std::uint32_t* slots, std::size_t m, double* a,
                           std::size_t n);
// a[(i*n + j)*4 + l] = g[slots[l][i]*c + slots[l][j]] for i, j < m and the
// four lanes l; only called where the processor has AVX2.
void gather_pair_lanes_avx2(const double* g, std::size_t c, const std::uint32_t* const slots[4], std::size_t m,
                            double* a, std::size_t n);
// Bit i set where v[i] <= bound (never for NaN), i < n <= 64; only called
// where the processor has AVX2.
std::uint64_t at_most_avx2(const double* v, std::size_t n, double bound);
// d2[s] = (x[s] - px)^2 + (y[s] - py)^2, each lane rounded as the scalar
// expression; only called where the processor has AVX2.
void squared_distances_avx2(const double* x, const double* y, std::size_t c, double px, double py, double* d2);
}  // namespace detail

}  // namespace zaviktools
