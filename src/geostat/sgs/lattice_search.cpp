#include "geostat/sgs/lattice_search.hpp"

#include "geostat/sgs/offset_table.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

namespace zaviktools {

namespace {

constexpr double kU = 0x1p-53;  // unit roundoff

struct KeyLess {
    bool operator()(const Neighbour& a, const Neighbour& b) const {
        return a.distance < b.distance || (a.distance == b.distance && a.index < b.index);
    }
};

}  // namespace

bool LatticeSearch::prepare(const Lattice& lat, double radius, std::size_t max_offsets) {
    offsets_.clear();
    const double xinc = std::fabs(lat.xinc()), yinc = std::fabs(lat.yinc());
    const double ncol = static_cast<double>(lat.ncol()), nrow = static_cast<double>(lat.nrow());
    if (!(xinc > 0.0) || !(yinc > 0.0) || !std::isfinite(radius) || !(radius > 0.0)) return false;
    if (lat.ncol() == 0 || lat.nrow() == 0) return false;  // no nodes, no offsets
    if (ncol * nrow >= static_cast<double>(kNoSlot)) return false;
    // Every node coordinate is a sum of terms no larger than m; each is
    // computed with a few roundings, so its error is below delta.
    const double m = std::max(std::fabs(lat.xori()), std::fabs(lat.yori())) + ncol * xinc + nrow * yinc;
    if (!(m < 1e300)) return false;
    const double delta = 8.0 * kU * m;
    // Offsets considered reach at most r = radius (+0.1% and the position
    // errors). Differences of computed positions are off by eta; squares and
    // sums, the nominal distance and the rotation's c^2 + s^2 add relative
    // errors of a few roundoffs.
    const double r = radius * 1.001 + 8.0 * delta;
    const double eta = 2.0 * delta + kU * (r + 2.0 * delta);
    const double bound = 32.0 * kU * r * r + 4.0 * eta * (2.0 * r + eta);
    r2_ = radius * radius;
    margin_ = 2.0 * bound + 4.0 * kU * r2_;
    if (!(margin_ <= 1e-3 * r2_)) return false;
    const double reach2 = (r2_ + margin_) * (1.0 + 1e-12);
    const double reach = std::sqrt(reach2);
    const double di_max = std::min(std::floor(reach / xinc), ncol - 1.0);
    const double dj_max = std::min(std::floor(reach / yinc), nrow - 1.0);
    if ((2.0 * di_max + 1.0) * (2.0 * dj_max + 1.0) > static_cast<double>(max_offsets)) return false;
    const auto imax = static_cast<std::int32_t>(di_max), jmax = static_cast<std::int32_t>(dj_max);
    for (std::int32_t dj = -jmax; dj <= jmax; ++dj) {
        const double y = static_cast<double>(dj) * yinc;
        for (std::int32_t di = -imax; di <= imax; ++di) {
            const double x = static_cast<double>(di) * xinc;
            const double t = x * x + y * y;
            if (t <= reach2)
                offsets_.push_back(
                    {t, di, dj, static_cast<std::int64_t>(di) * static_cast<std::int64_t>(lat.nrow()) + dj, 0});
        }
    }
    std::sort(offsets_.begin(), offsets_.end(), [](const Offset& a, const Offset& b) { return a.nominal < b.nominal; });
    // Rings: runs of equal nominal distance, numbered from the centre.
    ties_ = 0;
    ring_limit_ = 0;
    for (std::size_t i = 0, run = 0, ring = 0; i < offsets_.size(); ++i) {
        const bool tie = i > 0 && offsets_[i].nominal == offsets_[i - 1].nominal;
        run = tie ? run + 1 : 1;
        ring += i > 0 && !tie;
        ties_ = std::max(ties_, run);
        offsets_[i].ring = static_cast<std::uint64_t>(ring) << 32;
        if (offsets_[i].nominal <= r2_) ring_limit_ = offsets_[i].ring;
    }
    // leaves_col_[m]: the first offset reaching more than m columns away, for
    // m up to di_max; likewise for rows. One pass with the running reach.
    leaves_col_.assign(static_cast<std::size_t>(imax) + 1, offsets_.size());
    leaves_row_.assign(static_cast<std::size_t>(jmax) + 1, offsets_.size());
    for (std::size_t t = 0, reach_c = 0, reach_r = 0; t < offsets_.size(); ++t) {
        const auto ai = static_cast<std::size_t>(std::abs(offsets_[t].di));
        const auto aj = static_cast<std::size_t>(std::abs(offsets_[t].dj));
        for (; reach_c < ai; ++reach_c) leaves_col_[reach_c] = t;
        for (; reach_r < aj; ++reach_r) leaves_row_[reach_r] = t;
    }
    ncol_ = lat.ncol();
    nrow_ = lat.nrow();
    di_max_ = static_cast<std::size_t>(imax);
    dj_max_ = static_cast<std::size_t>(jmax);
    exact_ = exact_node_positions(lat);
    return true;
}

// Offsets come in nondecreasing squared distance (computed = nominal): take
// the held ones until max_neighbours are found and the distance grows past
// the last one's, then order the ties by list position. The nodes ride
// along, so that the caller reads what it needs next to the node rather than
// by list position, scattered over the whole sweep.
void LatticeSearch::nearest_exact(std::size_t col, std::size_t row, std::size_t max_neighbours,
                                  std::span<const NodeSlot> slot, std::vector<Neighbour>& out,
                                  std::vector<PathNode>& nodes) const {
    // Past max_neighbours only ties of the last distance are taken, at most
    // ties_ - 1 of them: the list never needs more than max_neighbours +
    // ties_ entries, nor more than every offset. A short list is built on
    // the stack and copied out, so that no entry is zeroed first.
    const std::size_t most = std::min(max_neighbours, offsets_.size()) + ties_;
    if (most <= kStackList) {
        Neighbour o[kStackList];
        PathNode n[kStackList];
        const std::size_t count = scan(col, row, max_neighbours, slot, o, n);
        out.assign(o, o + count);
        nodes.assign(n, n + count);
        return;
    }
    out.resize(most);
    nodes.resize(most);
    const std::size_t count = scan(col, row, max_neighbours, slot, out.data(), nodes.data());
    out.resize(count);
    nodes.resize(count);
}

std::size_t LatticeSearch::scan(std::size_t col, std::size_t row, std::size_t max_neighbours,
                                std::span<const NodeSlot> slot, Neighbour* o, PathNode* n) const {
    // While the list is built, an entry's index is its ring above its slot,
    // which orders entries by (distance, list position) in one compare, and
    // its distance field carries the bits of its offset's number.
    // Whether a node holds a point is a coin toss while the lattice fills,
    // so every offset is written and only the held ones counted, without a
    // branch. Rings past the radius, and past the one that fills the list,
    // are not read.
    std::uint64_t last = ring_limit_;
    std::size_t count = 0;
    auto take = [&](std::size_t t, NodeSlot pos) {
        const std::uint64_t ring = offsets_[t].ring;
        o[count] = {ring | pos, std::bit_cast<double>(static_cast<std::uint64_t>(t))};
        count += pos != kNoSlot;
        last = count >= max_neighbours && ring < last ? ring : last;
    };
    // Offsets before `inside` stay on the lattice from this node: no bounds
    // to check. The scan seldom goes further, even near the edges.
    const std::size_t room_c = std::min({col, ncol_ - 1 - col, di_max_});
    const std::size_t room_r = std::min({row, nrow_ - 1 - row, dj_max_});
    const std::size_t inside = std::min(leaves_col_[room_c], leaves_row_[room_r]);
    const NodeSlot* here = slot.data() + (col * nrow_ + row);
    const auto c0 = static_cast<std::int64_t>(col), r0 = static_cast<std::int64_t>(row);
    std::size_t t = 0;
    for (; t < inside && !(offsets_[t].ring > last); ++t) take(t, here[offsets_[t].step]);
    if (t == inside) {
        // The rest, an offset off the lattice read as an empty node.
        for (; t < offsets_.size() && !(offsets_[t].ring > last); ++t) {
            const std::int64_t c = c0 + offsets_[t].di, r = r0 + offsets_[t].dj;
            const bool on = static_cast<std::uint64_t>(c) < ncol_ && static_cast<std::uint64_t>(r) < nrow_;
            const NodeSlot pos = slot[on ? static_cast<std::size_t>(c) * nrow_ + static_cast<std::size_t>(r) : 0];
            take(t, on ? pos : kNoSlot);
        }
    }
    // Insertion sort: only rings are out of order.
    for (std::size_t i = 1; i < count; ++i) {
        const Neighbour v = o[i];
        std::size_t j = i;
        for (; j > 0 && v.index < o[j - 1].index; --j) o[j] = o[j - 1];
        o[j] = v;
    }
    // The kept entries as (slot, squared distance), with their nodes.
    count = std::min(count, max_neighbours);
    for (std::size_t i = 0; i < count; ++i) {
        const Offset& f = offsets_[std::bit_cast<std::uint64_t>(o[i].distance)];
        o[i] = {static_cast<NodeSlot>(o[i].index), f.nominal};
        n[i] = {static_cast<std::size_t>(c0 + f.di), static_cast<std::size_t>(r0 + f.dj)};
    }
    return count;
}

bool LatticeSearch::nearest_into(std::size_t col, std::size_t row, const Xy& p, std::size_t max_neighbours,
                                 std::span<const NodeSlot> slot, std::span<const Xy> positions,
                                 std::vector<Neighbour>& out, std::vector<PathNode>& nodes) const {
    if (max_neighbours == 0) {
        out.clear();
        nodes.clear();
        return true;
    }
    if (exact_) {
        nearest_exact(col, row, max_neighbours, slot, out, nodes);
        return true;
    }
    out.clear();
    nodes.clear();
    const KeyLess less;
    // Once `limit` is the worst kept squared distance (or the radius), an
    // offset whose nominal distance exceeds limit + margin cannot qualify,
    // nor can any later one.
    double stop = r2_ + margin_;
    const auto c0 = static_cast<std::int64_t>(col), r0 = static_cast<std::int64_t>(row);
    const auto nc = static_cast<std::int64_t>(ncol_), nr = static_cast<std::int64_t>(nrow_);
    for (const Offset& o : offsets_) {
        if (o.nominal > stop) break;
        const std::int64_t c = c0 + o.di, r = r0 + o.dj;
        if (c < 0 || r < 0 || c >= nc || r >= nr) continue;
        const NodeSlot pos = slot[static_cast<std::size_t>(c * nr + r)];
        if (pos == kNoSlot) continue;
        const Xy& q = positions[pos];
        const double dx = q.x - p.x;
        const double dy = q.y - p.y;
        const double d2 = dx * dx + dy * dy;
        if (!(d2 <= r2_)) continue;
        if (out.size() < max_neighbours) {
            out.push_back({pos, d2});
            std::push_heap(out.begin(), out.end(), less);
            if (out.size() == max_neighbours) stop = out.front().distance + margin_;
            continue;
        }
        const Neighbour& worst = out.front();
        if (d2 < worst.distance || (d2 == worst.distance && pos < worst.index)) {
            std::pop_heap(out.begin(), out.end(), less);
            out.back() = {pos, d2};
            std::push_heap(out.begin(), out.end(), less);
            stop = out.front().distance + margin_;
        }
    }
    std::sort_heap(out.begin(), out.end(), less);
    return false;
}

}  // namespace zaviktools
