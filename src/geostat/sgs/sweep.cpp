#include "geostat/sgs/sweep.hpp"

#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "geostat/sgs/correlation.hpp"
#include "gridding/kriging/solve.hpp"
#include "sampling/normal.hpp"
#include "sampling/rng.hpp"

namespace zaviktools {

namespace {

SkEstimate krige(std::span<const SkNeighbour> nb, const Correlation& rho, SkScratch& s) {
    const std::size_t m = nb.size();
    if (m == 0) return {0.0, 1.0};
    std::size_t mm = 0;
    if (__builtin_mul_overflow(m, m, &mm)) throw std::bad_alloc();
    s.matrix.resize(mm);
    s.rhs.resize(m);
    double* a = s.matrix.data();
    // Symmetric: each pair's correlation is evaluated once (rho(-d) is rho(d)
    // bit for bit, and the diagonal is rho(0, 0) = 1).
    for (std::size_t i = 0; i < m; ++i) {
        a[i * m + i] = 1.0;
        for (std::size_t j = i + 1; j < m; ++j) {
            const double c = rho(nb[i].x - nb[j].x, nb[i].y - nb[j].y);
            a[i * m + j] = c;
            a[j * m + i] = c;
        }
        s.rhs[i] = rho(nb[i].dx, nb[i].dy);
    }
    if (!lu_factor_in_place(s.matrix, m, s.perm)) return {0.0, 1.0};
    lu_solve_into(s.matrix, s.perm, m, s.rhs, s.solution);
    double mean = 0.0;
    for (std::size_t i = 0; i < m; ++i) mean = mean + s.solution[i] * nb[i].value;
    double var = 1.0;
    for (std::size_t i = 0; i < m; ++i) var = var - s.solution[i] * s.rhs[i];
    if (!(var > 0.0)) var = 0.0;
    return {mean, var};
}

bool finite_xy(const Xy& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

struct Sweep {
    const Lattice& lattice;
    Correlation rho;
    std::size_t max_neighbours;
    double radius;
    SgsScratch& s;
    Field& grid;

    // Appends a conditioning point. A non-finite position could never be
    // within the radius of any node, so it stays out of the index.
    void add(const Xy& p, double score) {
        const std::size_t k = s.positions.size();
        s.positions.push_back(p);
        s.scores.push_back(score);
        if (finite_xy(p)) s.index.insert(p.x, p.y, k);
    }

    SkEstimate krige_at(const Xy& p) {
        s.neighbours.clear();
        if (finite_xy(p)) {
            s.index.nearest_into(p.x, p.y, max_neighbours, s.found, radius);
            for (const Neighbour& n : s.found) {
                const Xy& q = s.positions[n.index];
                s.neighbours.push_back({q.x, q.y, q.x - p.x, q.y - p.y, s.scores[n.index]});
            }
        }
        return krige(s.neighbours, rho, s.sk);
    }
};

}  // namespace

SkEstimate simple_kriging_with(std::span<const SkNeighbour> neighbours, const SpatialVariogram& variogram,
                               SkScratch& scratch) {
    if (neighbours.empty()) return {0.0, 1.0};
    try {
        return krige(neighbours, Correlation(variogram), scratch);
    } catch (const std::bad_alloc&) {
        return {0.0, 1.0};  // an unholdable system is drawn unconditionally, like a singular one
    }
}

Result<Field> simulate_scores(const Lattice& lattice, const SpatialVariogram& variogram, std::size_t max_neighbours,
                              double radius, std::uint64_t seed, std::span<const FixedNode> fixed,
                              SgsScratch& scratch) {
    const std::size_t ncol = lattice.ncol(), nrow = lattice.nrow();
    auto grid = Field::create(ncol, nrow, std::numeric_limits<double>::quiet_NaN());
    if (!grid) return fail(std::move(grid).error());
    try {
        scratch.reset();
        const std::size_t nodes = grid->size();
        scratch.positions.reserve(nodes);
        scratch.scores.reserve(nodes);
        scratch.index.reserve(nodes);
        Sweep sweep{lattice, Correlation(variogram), max_neighbours, radius, scratch, *grid};

        for (const FixedNode& f : fixed) {
            if (f.col >= ncol || f.row >= nrow) continue;  // not a node of this lattice
            double& cell = (*grid)(f.col, f.row);
            if (std::isnan(cell)) sweep.add(lattice.node_xy(f.col, f.row), f.score);
            cell = f.score;
        }
        scratch.path.reserve(nodes - scratch.positions.size());
        for (std::size_t row = 0; row < nrow; ++row) {
            for (std::size_t col = 0; col < ncol; ++col) {
                if (std::isnan((*grid)(col, row))) scratch.path.push_back({col, row});
            }
        }

        Rng rng = seeded_rng(seed);
        std::vector<PathNode>& path = scratch.path;
        for (std::size_t i = path.size(); i-- > 1;) std::swap(path[i], path[bounded_inclusive(rng, i)]);

        for (const PathNode& node : path) {
            const Xy p = lattice.node_xy(node.col, node.row);
            const SkEstimate est = sweep.krige_at(p);
            const double z = standard_normal(rng);
            const double v = est.mean + std::sqrt(est.variance) * z;
            (*grid)(node.col, node.row) = v;
            sweep.add(p, v);
        }
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::invalid_argument("sgs: cannot allocate working storage for " + std::to_string(ncol) +
                                                "×" + std::to_string(nrow) + " nodes"));
    } catch (const std::length_error&) {
        return fail(AlgoError::invalid_argument("sgs: cannot allocate working storage for " + std::to_string(ncol) +
                                                "×" + std::to_string(nrow) + " nodes"));
    }
    return std::move(*grid);
}

}  // namespace zaviktools
