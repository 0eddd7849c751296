#include "geostat/sgs/sweep.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "foundation/interrupt.hpp"
#include "geostat/sgs/correlation.hpp"
#include "geostat/sgs/lane_system.hpp"
#include "linalg/condition.hpp"
#include "linalg/factor_solve.hpp"
#include "linalg/lu_lanes.hpp"
#include "linalg/lu_solve.hpp"
#include "sampling/normal.hpp"
#include "sampling/rng.hpp"

namespace zaviktools {

namespace {

// Sizes the system's buffers for m neighbours.
void size_system(std::size_t m, SkScratch& s) {
    std::size_t mm = 0;
    if (__builtin_mul_overflow(m, m, &mm)) throw std::bad_alloc();
    s.matrix.resize(mm);
    s.rhs.resize(m);
    s.dx.resize(m);
    s.dy.resize(m);
    s.rho.resize(m);
}

// A simple-kriging system whose estimated 1-norm condition number exceeds this
// has weights that keep fewer than about six significant digits (relative
// error up to kappa * 2^-53). Spherical and exponential systems stay below
// 1e4; a gaussian model without nugget grows fast as the nodes close in (about
// 1e7 for 16 neighbours a fifteenth of its range apart, 1e15 and more at a
// thirtieth), where the LU returns weights of any size.
constexpr double kMaxCondition = 1e10;

// Whether the factored k x k system in `s` (1-norm `norm`) has an estimated
// condition number within kMaxCondition. A cheap upper bound settles most
// systems; the estimate is computed only where the bound is above the limit.
bool sound(SkScratch& s, std::size_t k, double norm) {
    if (norm * inverse_norm_inf_bound(s.matrix, k, s.condition.out) <= kMaxCondition) return true;
    return norm * symmetric_inverse_norm1_estimate(s.matrix, s.perm, k, s.condition) <= kMaxCondition;
}

// Whether the factored m x m system in `s` is sound, its 1-norm read from the
// unfactored copy only when the bound alone does not settle it. With every
// entry at most `entry_bound` in magnitude (0: not known), each column sum is
// at most m * entry_bound to a relative 1e-9 (m * 2^-53 for m summands), so
// when that times the bound is within the limit, so is the product the
// norm would give: the answer is the one computing the norm gives.
constexpr std::size_t kMaxBoundedOrder = 100000;
bool sound_first(SkScratch& s, std::size_t m, double entry_bound, double bound) {
    if (entry_bound > 0.0 && m <= kMaxBoundedOrder &&
        bound * (static_cast<double>(m) * entry_bound) * (1.0 + 1e-9) <= kMaxCondition)
        return true;
    const double norm = matrix_norm1(s.full, m);
    if (norm * bound <= kMaxCondition) return true;
    return norm * symmetric_inverse_norm1_estimate(s.matrix, s.perm, m, s.condition) <= kMaxCondition;
}

// The estimate from the weights `w` of the first k neighbours (right-hand
// side `rhs`), summed in neighbour order.
SkEstimate estimate(std::span<const SkNeighbour> nb, const double* w, const double* rhs, std::size_t k) {
    double mean = 0.0;
    for (std::size_t i = 0; i < k; ++i) mean = mean + w[i] * nb[i].value;
    double var = 1.0;
    for (std::size_t i = 0; i < k; ++i) var = var - w[i] * rhs[i];
    if (!(var > 0.0)) var = 0.0;
    return {mean, var, k};
}

// Factors and solves the system built in `s`; (0, 1) when exactly singular.
// An ill-conditioned system is solved again without its farthest neighbour
// (the last in neighbour order) until it is sound: the node is then simple
// kriged exactly from its nearest neighbours, so the draw stays a valid
// conditional Gaussian one, only from fewer conditioning points. One
// neighbour always gives the sound 1 x 1 system [1]. `entry_bound` as for
// sound_first.
SkEstimate solve_system(std::span<const SkNeighbour> nb, SkScratch& s, double entry_bound) {
    const std::size_t m = nb.size();
    s.full.assign(s.matrix.begin(), s.matrix.begin() + static_cast<std::ptrdiff_t>(m * m));
    // The full system's weights come with its factors; they are the ones
    // used unless the system is reduced.
    double bound = 0.0;
    if (!lu_factor_solve_bound(s.matrix, m, s.perm, s.rhs, s.solution, bound, s.condition.out)) return {0.0, 1.0};
    std::size_t k = m;
    bool factored = true;
    bool settled = k <= 1 || sound_first(s, m, entry_bound, bound);
    while (!settled) {
        --k;
        for (std::size_t r = 0; r < k; ++r) {
            for (std::size_t c = 0; c < k; ++c) s.matrix[r * k + c] = s.full[r * m + c];
        }
        const double norm = matrix_norm1(s.matrix, k);
        factored = lu_factor_in_place(s.matrix, k, s.perm);
        settled = k <= 1 || (factored && sound(s, k, norm));
    }
    if (!factored) return {0.0, 1.0};
    if (k < m) lu_solve_into(s.matrix, s.perm, k, s.rhs, s.solution);
    return estimate(nb, s.solution.data(), s.rhs.data(), k);
}

SkEstimate krige(std::span<const SkNeighbour> nb, const Correlation& rho, SkScratch& s) {
    const std::size_t m = nb.size();
    if (m == 0) return {0.0, 1.0};
    size_system(m, s);
    double* a = s.matrix.data();
    double* dx = s.dx.data();
    double* dy = s.dy.data();
    double* r = s.rho.data();
    // Symmetric: each pair's correlation is evaluated once (rho(-d) is rho(d)
    // bit for bit, and the diagonal is rho(0, 0) = 1), a row at a time.
    for (std::size_t i = 0; i < m; ++i) {
        a[i * m + i] = 1.0;
        const std::size_t count = m - i - 1;
        for (std::size_t t = 0; t < count; ++t) {
            dx[t] = nb[i].x - nb[i + 1 + t].x;
            dy[t] = nb[i].y - nb[i + 1 + t].y;
        }
        rho.many(dx, dy, count, r);
        for (std::size_t t = 0; t < count; ++t) {
            const std::size_t j = i + 1 + t;
            a[i * m + j] = r[t];
            a[j * m + i] = r[t];
        }
    }
    for (std::size_t i = 0; i < m; ++i) {
        dx[i] = nb[i].dx;
        dy[i] = nb[i].dy;
    }
    rho.many(dx, dy, m, s.rhs.data());
    return solve_system(nb, s, 0.0);
}

// The same system with every correlation read from the offset table by the
// neighbours' nodes; the computed path when a neighbour is not near the node
// (never for neighbours within the radius).
bool all_near(std::span<const PathNode> nodes, const PathNode& at, const OffsetTable& table) {
    return std::all_of(nodes.begin(), nodes.end(),
                       [&](const PathNode& n) { return table.near(n.col, n.row, at.col, at.row); });
}

// Writes the system of `nodes` (all near `at`) from the table into `s`.
void table_system(std::span<const PathNode> nodes, const PathNode& at, const OffsetTable& table,
                  std::vector<std::int64_t>& keys, SkScratch& s) {
    const std::size_t m = nodes.size();
    double* a = s.matrix.data();
    keys.clear();
    for (const PathNode& n : nodes) keys.push_back(table.key(n.col, n.row));
    const std::int64_t here = table.key(at.col, at.row);
    for (std::size_t i = 0; i < m; ++i) {
        const std::int64_t ki = keys[i];
        a[i * m + i] = 1.0;
        for (std::size_t j = i + 1; j < m; ++j) {
            const double c = table.at(ki, keys[j]);
            a[i * m + j] = c;
            a[j * m + i] = c;
        }
        s.rhs[i] = table.at(ki, here);
    }
}

// Expects every node near `at` (all_near).
SkEstimate krige_by_offsets(std::span<const SkNeighbour> nb, std::span<const PathNode> nodes, const PathNode& at,
                            const OffsetTable& table, std::vector<std::int64_t>& keys, SkScratch& s) {
    const std::size_t m = nb.size();
    if (m == 0) return {0.0, 1.0};
    size_system(m, s);
    table_system(nodes, at, table, keys, s);
    return solve_system(nb, s, table.max_abs());
}

bool finite_xy(const Xy& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Largest offset table the lattice search may build, and the scan length
// (offsets per query) below which it is preferred to the index.
constexpr std::size_t kMaxOffsets = std::size_t{1} << 18;
constexpr double kCheapScan = 2048.0;
// Columns and rows either side of a node made warm ahead of its search, and
// how many path nodes ahead.
constexpr std::size_t kWarmReach = 3;
constexpr std::size_t kWarmAhead = 12;
// Largest correlation table by node offset.
constexpr std::size_t kMaxTable = std::size_t{1} << 21;

struct Sweep {
    const Lattice& lattice;
    const Field& grid;
    Correlation rho;
    std::size_t max_neighbours;
    double radius;
    SgsScratch& s;
    bool offsets_ready;  // lattice_search prepared
    bool by_offsets;     // queries go to lattice_search; the index is no longer kept
    // Each node holds at most one point, so a point's score is its node's
    // value in `grid` (NaN until drawn, like the list's placeholder). Only a
    // fixed node with a NaN score shares its node with a path node.
    bool one_per_node;

    // Appends the conditioning point held at `node`. A non-finite position
    // could never be within the radius of any node, so it stays out of the
    // index.
    void add(const PathNode& node, const Xy& p, double score) {
        const std::size_t k = s.positions.size();
        s.positions.push_back(p);
        s.scores.push_back(score);
        s.held.push_back(node);
        if (offsets_ready) s.slot[node.col * lattice.nrow() + node.row] = static_cast<NodeSlot>(k);
        if (!by_offsets && finite_xy(p)) s.index.insert(p.x, p.y, k);
    }

    // Switches to the offset search once its expected scan (all offsets, or
    // about max_neighbours / fill fraction of them) is short. The fill only
    // grows, so the switch is made once.
    void choose_search(std::size_t nodes, bool forced) {
        if (by_offsets || !offsets_ready) return;
        const double filled = static_cast<double>(s.positions.size()) + 1.0;
        const double scan = std::min(static_cast<double>(s.lattice_search.size()),
                                     2.0 * static_cast<double>(max_neighbours) * static_cast<double>(nodes) / filled);
        if (forced || scan <= kCheapScan) by_offsets = true;
    }

    // The neighbours of the node into s.neighbours, their nodes in
    // s.found_nodes.
    void find(const PathNode& node, const Xy& p) {
        search(node, p);
        gather(s.found, s.found_nodes);
    }

    // Asks the cache for what the offset search and the gather of `node`
    // will read first: the slots and values of the nodes within kWarmReach
    // columns and rows of it. The path is random, so every node's
    // neighbourhood starts cold on a lattice larger than the cache.
    void warm(const PathNode& node) const {
        if (!by_offsets) return;
        const std::size_t nrow = lattice.nrow(), ncol = lattice.ncol();
        const std::size_t c0 = node.col > kWarmReach ? node.col - kWarmReach : 0;
        const std::size_t c1 = std::min(ncol - 1, node.col + kWarmReach);
        const std::size_t r0 = node.row > kWarmReach ? node.row - kWarmReach : 0;
        const std::size_t r1 = std::min(nrow - 1, node.row + kWarmReach);
        for (std::size_t c = c0; c <= c1; ++c) {
            const std::size_t a = c * nrow + r0, b = c * nrow + r1;
            __builtin_prefetch(s.slot.data() + a);
            __builtin_prefetch(s.slot.data() + b);
            __builtin_prefetch(grid.data() + a);
            __builtin_prefetch(grid.data() + b);
        }
    }

    // The neighbours of the node at p into s.found and their nodes into
    // s.found_nodes (none where p is not finite): positions only, never
    // values. True when the offset scan on exact positions found them: each
    // is then within the radius by node offset.
    bool search(const PathNode& node, const Xy& p) {
        if (!finite_xy(p)) {
            s.found.clear();
            s.found_nodes.clear();
            return false;
        }
        // Each search replaces s.found; the offset scan on exact positions
        // replaces s.found_nodes as well.
        if (by_offsets) {
            if (s.lattice_search.nearest_into(node.col, node.row, p, max_neighbours, s.slot, s.positions, s.found,
                                              s.found_nodes))
                return true;
        } else {
            s.index.nearest_into(p.x, p.y, max_neighbours, s.found, radius);
        }
        s.found_nodes.clear();
        for (const Neighbour& n : s.found) s.found_nodes.push_back(s.held[n.index]);
        return false;
    }

    // The conditioning points `found` (at `nodes`) with their current
    // values into s.neighbours. Read by node where possible: the lists by
    // position are scattered over the whole sweep, the nodes lie next to
    // this one. Positions wait for place(): systems from the offset table
    // need none.
    void gather(std::span<const Neighbour> found, std::span<const PathNode> nodes) {
        s.neighbours.clear();
        for (std::size_t i = 0; i < found.size(); ++i) s.neighbours.push_back({0.0, 0.0, 0.0, 0.0, value(found[i], nodes[i])});
    }
    double value(const Neighbour& found, const PathNode& node) const {
        return one_per_node ? grid(node.col, node.row) : s.scores[found.index];
    }

    // The positions of the gathered neighbours (at `nodes`) of the node at
    // p, and their offsets from it: every point's position is its node's
    // node_xy.
    void place(const Xy& p, std::span<const PathNode> nodes) {
        for (std::size_t i = 0; i < s.neighbours.size(); ++i) {
            const Xy q = lattice.node_xy(nodes[i].col, nodes[i].row);
            SkNeighbour& n = s.neighbours[i];
            n.x = q.x;
            n.y = q.y;
            n.dx = q.x - p.x;
            n.dy = q.y - p.y;
        }
    }

    // The estimate of `node` at p from the gathered neighbours at `nodes`.
    SkEstimate krige_found(const PathNode& node, const Xy& p, std::span<const PathNode> nodes) {
        if (s.table.ready() && all_near(nodes, node, s.table))
            return krige_by_offsets(s.neighbours, nodes, node, s.table, s.keys, s.sk);
        place(p, nodes);
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
                              SgsScratch& scratch, SharedStop* shared) {
    return detail::simulate_scores_with(lattice, variogram, max_neighbours, radius, seed, fixed, scratch,
                                        detail::SgsSearch::Auto, shared);
}

namespace {

// One sweep between its nodes: the field, the search, the stream and the
// path (in the scratch).
// A path node between its search and its draw: the weights of a system
// solved in the lanes wait here until the values of the nodes before it are
// drawn.
struct Slot {
    std::size_t k = 0;
    Xy p{};
    std::size_t at = 0;  // its list position
    std::vector<Neighbour> found;
    std::vector<PathNode> nodes;  // of `found`
    // Solved in the lanes: its weights and right-hand side, every
    // kSolveLanes-th entry of the lanes' buffers, kept until the next batch.
    bool solved = false;
    bool scanned = false;  // found by the offset scan on exact positions
    const double* weights = nullptr;
    const double* rhs = nullptr;
};

struct Run {
    const Lattice& lattice;
    Field& grid;
    Sweep sweep;
    Rng rng;
    std::size_t nodes;
    bool forced;

    const PathNode& node(std::size_t k) const { return sweep.s.path[k]; }
    std::size_t path_size() const { return sweep.s.path.size(); }

    // The draw of path node k (at p) from its estimate, and its entry as
    // conditioning point.
    void step(std::size_t k) {
        sweep.choose_search(nodes, forced);
        const PathNode& n = node(k);
        const Xy p = lattice.node_xy(n.col, n.row);
        sweep.find(n, p);
        const SkEstimate est = sweep.krige_found(n, p, sweep.s.found_nodes);
        const double z = standard_normal(rng);
        const double v = est.mean + std::sqrt(est.variance) * z;
        grid(n.col, n.row) = v;
        sweep.add(n, p, v);
    }

    // step() in two halves, with other nodes' searches between them: the
    // search of path node k and its entry as a conditioning point (what a
    // later search reads: its position), then, with every earlier node
    // drawn, its estimate and draw. Searches and entries, and draws, keep
    // the path order, so the field is step()'s.
    void open(Slot& slot, std::size_t k) {
        sweep.choose_search(nodes, forced);
        const PathNode& n = node(k);
        slot.k = k;
        slot.p = lattice.node_xy(n.col, n.row);
        slot.scanned = sweep.search(n, slot.p);
        // The lists change hands rather than being copied; the next search
        // empties the ones given back.
        std::swap(slot.found, sweep.s.found);
        std::swap(slot.nodes, sweep.s.found_nodes);
        // The values its draw reads, asked for while the lanes solve.
        if (sweep.one_per_node) {
            const std::size_t nrow = lattice.nrow();
            for (const PathNode& q : slot.nodes) __builtin_prefetch(grid.data() + q.col * nrow + q.row);
        }
        slot.solved = false;
        slot.at = sweep.s.positions.size();
        sweep.add(n, slot.p, std::numeric_limits<double>::quiet_NaN());
    }
    void close(Slot& slot) {
        const PathNode& n = node(slot.k);
        const SkEstimate est = slot.solved ? solved_estimate(slot) : unsolved_estimate(slot);
        const double z = standard_normal(rng);
        const double v = est.mean + std::sqrt(est.variance) * z;
        grid(n.col, n.row) = v;
        sweep.s.scores[slot.at] = v;
    }
    SkEstimate unsolved_estimate(const Slot& slot) {
        sweep.gather(slot.found, slot.nodes);
        return sweep.krige_found(node(slot.k), slot.p, slot.nodes);
    }
    // estimate() on the lanes' weights, the values read straight from the
    // field: the same sums in the same order.
    SkEstimate solved_estimate(const Slot& slot) const {
        const std::size_t m = slot.found.size();
        double mean = 0.0;
        if (sweep.one_per_node) {
            for (std::size_t i = 0; i < m; ++i)
                mean = mean + slot.weights[i * kSolveLanes] * grid(slot.nodes[i].col, slot.nodes[i].row);
        } else {
            for (std::size_t i = 0; i < m; ++i)
                mean = mean + slot.weights[i * kSolveLanes] * sweep.s.scores[slot.found[i].index];
        }
        double var = 1.0;
        for (std::size_t i = 0; i < m; ++i) var = var - slot.weights[i * kSolveLanes] * slot.rhs[i * kSolveLanes];
        if (!(var > 0.0)) var = 0.0;
        return {mean, var, m};
    }
};

// Everything before the first path node: the scratch reset and prepared, the
// fixed nodes placed, the path listed and shuffled.
Run begin_run(const Lattice& lattice, const SpatialVariogram& variogram, std::size_t max_neighbours, double radius,
              std::uint64_t seed, std::span<const FixedNode> fixed, SgsScratch& scratch, detail::SgsSearch search,
              Field& grid) {
    const std::size_t ncol = lattice.ncol(), nrow = lattice.nrow();
    scratch.reset();
    const std::size_t nodes = grid.size();
    scratch.positions.reserve(nodes);
    scratch.scores.reserve(nodes);
    scratch.held.reserve(nodes);
    const Correlation rho(variogram);
    if (search == detail::SgsSearch::IndexOnly || !scratch.table.prepare(lattice, rho, radius, kMaxTable))
        scratch.table = OffsetTable{};
    // A fixed node with a NaN score leaves its node to the path as well, so
    // the node would hold two points: only the index handles that.
    const bool nan_fixed =
        std::any_of(fixed.begin(), fixed.end(), [](const FixedNode& f) { return std::isnan(f.score); });
    const bool offsets_ready = search != detail::SgsSearch::IndexOnly && !nan_fixed &&
                               scratch.lattice_search.prepare(lattice, radius, kMaxOffsets);
    // Only the offset search reads the slots.
    if (offsets_ready) scratch.slot.assign(nodes, kNoSlot);
    const bool forced = search == detail::SgsSearch::LatticeWherePossible;
    Sweep sweep{lattice, grid, rho, max_neighbours, radius, scratch, offsets_ready, false, !nan_fixed};
    sweep.choose_search(nodes, forced);
    if (!sweep.by_offsets) scratch.index.reserve(nodes);

    for (const FixedNode& f : fixed) {
        if (f.col >= ncol || f.row >= nrow) continue;  // not a node of this lattice
        // The first fixed node at a node is both its conditioning value and
        // its shown value; later ones there are ignored.
        double& cell = grid(f.col, f.row);
        if (!std::isnan(cell)) continue;
        sweep.add({f.col, f.row}, lattice.node_xy(f.col, f.row), f.score);
        cell = f.score;
    }
    scratch.path.reserve(nodes - scratch.positions.size());
    for (std::size_t row = 0; row < nrow; ++row) {
        for (std::size_t col = 0; col < ncol; ++col) {
            if (std::isnan(grid(col, row))) scratch.path.push_back({col, row});
        }
    }

    Rng rng = seeded_rng(seed);
    auto& path = scratch.path;
    for (std::size_t i = path.size(); i-- > 1;) std::swap(path[i], path[bounded_inclusive(rng, i)]);
    return Run{lattice, grid, std::move(sweep), rng, nodes, forced};
}

AlgoError no_storage(const Lattice& lattice) {
    return AlgoError::out_of_memory("sgs: cannot allocate working storage for " + std::to_string(lattice.ncol()) +
                                    "×" + std::to_string(lattice.nrow()) + " nodes");
}

// Largest system solved in the lanes (larger ones, never met with the usual
// neighbour counts, go one at a time).
constexpr std::size_t kMaxLaneOrder = 64;

// Four opened slots of one run: when their systems have one order and come from the table, they are
// factored, bounded and solved side by side, and a slot whose bound settles
// its soundness keeps its weights; every other slot is solved alone when it
// closes. Either way a slot gets its one-system estimate bit for bit: the
// lanes factor, bound and solve with the one-system operations in order.
struct Lanes {
    std::vector<double> lu, rhs, x, work;
    std::vector<std::uint32_t> perm;
    std::vector<std::int64_t> keys;

    void solve(Run& run, const std::array<Slot*, kSolveLanes>& slots) {
        const std::size_t m = slots[0]->found.size();
        if (m < 2 || m > kMaxLaneOrder) return;
        keys.resize(m * kSolveLanes);
        std::array<std::int64_t, kSolveLanes> here{};
        const SgsScratch& s = run.sweep.s;
        for (std::size_t l = 0; l < kSolveLanes; ++l) {
            const Slot& slot = *slots[l];
            if (slot.found.size() != m) return;
            const PathNode& at = run.node(slot.k);
            here[l] = s.table.key(at.col, at.row);
            // The scan's neighbours lie within the radius of the node, so
            // within the table's half reach; others are checked.
            if (!slot.scanned) {
                for (const PathNode& n : slot.nodes)
                    if (!s.table.near(n.col, n.row, at.col, at.row)) return;
            }
            for (std::size_t i = 0; i < m; ++i) keys[i * kSolveLanes + l] = s.table.key(slot.nodes[i].col, slot.nodes[i].row);
        }
        lu.resize(m * m * kSolveLanes);
        rhs.resize(m * kSolveLanes);
        x.resize(m * kSolveLanes);
        work.resize(m * kSolveLanes);
        perm.resize(m * kSolveLanes);
        const OffsetTable& table = s.table;
        detail::lane_table_system_avx2(table.values(), table.centre(), keys.data(), here.data(), m, lu.data(),
                                       rhs.data());
        x.assign(rhs.begin(), rhs.end());
        alignas(32) double bound[kSolveLanes];
        const unsigned factored =
            detail::lu_factor_solve_lanes_fixed_avx2(lu.data(), m, perm.data(), x.data(), work.data(), bound);
        const double entry = table.max_abs();
        for (std::size_t l = 0; l < kSolveLanes; ++l) {
            // The first test of sound_first: the bound alone settles it.
            Slot& slot = *slots[l];
            slot.solved = (factored >> l & 1u) != 0 && entry > 0.0 && m <= kMaxBoundedOrder &&
                          bound[l] * (static_cast<double>(m) * entry) * (1.0 + 1e-9) <= kMaxCondition;
            slot.weights = x.data() + l;
            slot.rhs = rhs.data() + l;
        }
    }
};

// Path nodes [begin, end) of one run, four at a time through the lanes
// where its systems come from the offset table.
struct Batches {
    Lanes lanes;
    std::array<Slot, kSolveLanes> slots;

    void simulate(Run& run, std::size_t begin, std::size_t end) {
        std::size_t k = begin;
        if (run.sweep.s.table.ready()) {
            const std::array<Slot*, kSolveLanes> all{&slots[0], &slots[1], &slots[2], &slots[3]};
            for (; k + kSolveLanes <= end; k += kSolveLanes) {
                for (std::size_t l = k + kWarmAhead; l < k + kWarmAhead + kSolveLanes && l < run.path_size(); ++l)
                    run.sweep.warm(run.node(l));
                for (std::size_t l = 0; l < kSolveLanes; ++l) run.open(slots[l], k + l);
                lanes.solve(run, all);
                for (std::size_t l = 0; l < kSolveLanes; ++l) run.close(slots[l]);
            }
        }
        for (; k < end; ++k) run.step(k);
    }
};

}  // namespace

Result<Field> detail::simulate_scores_with(const Lattice& lattice, const SpatialVariogram& variogram,
                                           std::size_t max_neighbours, double radius, std::uint64_t seed,
                                           std::span<const FixedNode> fixed, SgsScratch& scratch,
                                           SgsSearch search, SharedStop* shared) {
    auto grid = Field::create(lattice.ncol(), lattice.nrow(), std::numeric_limits<double>::quiet_NaN());
    if (!grid) return fail(std::move(grid).error());
    try {
        Run run = begin_run(lattice, variogram, max_neighbours, radius, seed, fixed, scratch, search, *grid);
        // Path nodes [begin, end); kept out of line so that the stop check
        // below leaves the sweep's own code as it is.
        const bool lanes = use_vector_path(SolvePath::Auto);
        Batches batches;
        auto simulate = [&](std::size_t begin, std::size_t end) __attribute__((noinline)) {
            if (lanes) {
                batches.simulate(run, begin, end);
                return;
            }
            for (std::size_t k = begin; k < end; ++k) run.step(k);
        };
        StopCheck stop(1, shared);  // asked between runs of 64 nodes (a node takes a microsecond or more)
        for (std::size_t begin = 0; begin < run.path_size(); begin += 64) {
            if (stop()) return fail(AlgoError::interrupted("sgs"));
            simulate(begin, std::min(run.path_size(), begin + 64));
        }
    } catch (const std::bad_alloc&) {
        return fail(no_storage(lattice));
    } catch (const std::length_error&) {
        return fail(no_storage(lattice));
    }
    return std::move(*grid);
}

}  // namespace zaviktools
