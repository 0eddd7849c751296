#include "geostat/kriging_block.hpp"

#include "geostat/ok_system.hpp"
#include "linalg/lu_lanes.hpp"
#include "foundation/cpu.hpp"
#include "variograms/gamma_many.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zaviktools {
namespace {

// Rounding of the distances involved is a few ulps; this margin is far
// above it and costs at most a few extra candidates.
constexpr double kMargin = 1.0 + 1e-9;
// Beyond these magnitudes squared distances lose range or precision: query
// node by node instead.
constexpr double kTiny = 1e-140;
constexpr double kHuge = 1e140;
// Largest candidate list whose pair semivariances are cached.
constexpr std::size_t kMaxCached = 256;

// Bit i set where v[i] <= bound (never for NaN), i < n <= 64.
std::uint64_t at_most(const double* v, std::size_t n, double bound) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < n; ++i) bits |= static_cast<std::uint64_t>(v[i] <= bound) << i;
    return bits;
}

}  // namespace

bool KrigingBlock::prepare(const Neighbourhood& index, std::span<const DataPoint> data, const Variogram& variogram,
                           Xy centre, double reach, std::size_t max_neighbours, double radius, std::size_t most) {
    pos_.clear();
    marked_.clear();
    listed_ = 0;
    variogram_ = &variogram;
    if (!(reach >= 0.0) || !(reach < kHuge) || !(radius < kHuge)) return false;
    const double wide = (radius + reach) * kMargin;
    index.nearest_into(centre.x, centre.y, max_neighbours, fetched_, wide);
    double bound = radius + reach;
    if (fetched_.size() == max_neighbours) bound = std::min(bound, fetched_.back().distance + 2.0 * reach);
    bound *= kMargin;
    if (!(bound > kTiny)) return false;
    index.nearest_into(centre.x, centre.y, std::numeric_limits<std::size_t>::max(), fetched_, bound);
    // Nearest the centre first: each node then meets its own neighbours early
    // and rejects most later candidates with one comparison.
    for (const Neighbour& n : fetched_) pos_.push_back(n.index);
    const std::size_t c = pos_.size();
    x_.resize(c);
    y_.resize(c);
    for (std::size_t s = 0; s < c; ++s) {
        x_[s] = data[pos_[s]][0];
        y_[s] = data[pos_[s]][1];
    }
    cached_ = false;
    if (c > most) return true;  // the caller splits the block: no cache
    cached_ = c <= kMaxCached;
    if (cached_) {
        gamma_.resize(c * c);
        d2_.resize(c);
        for (std::size_t a = 0; a < c; ++a) {
            // Row a right of the diagonal: compute_gamma's separations (the
            // squared one from b's side is the same bits), then the model
            // over the whole row; gamma(0) is 0 as for h2 == 0.
            double* row = gamma_.data() + a * c;
            const std::size_t rest = c - a - 1;
            if (avx2_) {
                detail::squared_distances_avx2(x_.data() + a + 1, y_.data() + a + 1, rest, x_[a], y_[a], d2_.data());
            } else {
                for (std::size_t b = a + 1; b < c; ++b) {
                    const double dx = x_[b] - x_[a];
                    const double dy = y_[b] - y_[a];
                    d2_[b - a - 1] = dx * dx + dy * dy;
                }
            }
            for (std::size_t i = 0; i < rest; ++i) d2_[i] = std::sqrt(d2_[i]);
            row[a] = 0.0;
            gamma_many(variogram, d2_.data(), rest, row + a + 1);
            for (std::size_t b = a + 1; b < c; ++b) gamma_[b * c + a] = row[b];
        }
    }
    return true;
}

// The first `count` keys of `list` as neighbours (data index, distance) and
// candidate slots.
void KrigingBlock::emit(const Key* list, std::size_t count, std::vector<Neighbour>& out,
                        std::vector<std::uint32_t>& slots) {
    out.resize(count);
    slots.resize(count);
    Neighbour* o = out.data();
    std::uint32_t* sl = slots.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 2 <= count; i += 2) {  // two correctly rounded roots at once, as std::sqrt
        const __m128d r = _mm_sqrt_pd(_mm_setr_pd(list[i].d2, list[i + 1].d2));
        o[i] = {list[i].pos, _mm_cvtsd_f64(r)};
        o[i + 1] = {list[i + 1].pos, _mm_cvtsd_f64(_mm_unpackhi_pd(r, r))};
        sl[i] = list[i].slot;
        sl[i + 1] = list[i + 1].slot;
    }
#endif
    for (; i < count; ++i) {
        o[i] = {list[i].pos, std::sqrt(list[i].d2)};
        sl[i] = list[i].slot;
    }
}

void KrigingBlock::nearest_into(Xy p, std::size_t max_neighbours, double radius, std::vector<Neighbour>& out,
                                std::vector<std::uint32_t>& slots) {
    const double r2 = radius * radius;
    auto less = [](const Key& a, const Key& b) { return a.d2 < b.d2 || (a.d2 == b.d2 && a.pos < b.pos); };
    const std::size_t c = pos_.size();
    auto unmark = [this](std::size_t t) { marked_[t / 64] &= ~(std::uint64_t{1} << (t % 64)); };
    if (max_neighbours <= kInsertionLimit) {
        // The squared distances first, in one straight-line pass (the same
        // arithmetic as the query), then the ranking. A candidate above
        // `worst` -- the radius, or once the list is full its last key's
        // distance -- cannot enter, and is passed over with one comparison.
        d2_.resize(c);
        if (avx2_) {
            detail::squared_distances_avx2(x_.data(), y_.data(), c, p.x, p.y, d2_.data());
        } else {
            for (std::size_t s = 0; s < c; ++s) {
                const double dx = x_[s] - p.x;
                const double dy = y_[s] - p.y;
                d2_[s] = dx * dx + dy * dy;
            }
        }
        // The list starts from the previous node's (the nodes of a block
        // come one beside the other) with the new distances: those beyond
        // the radius leave it and the rest, nearly sorted already, are
        // sorted again. Once full its last distance is tight, so most other
        // candidates are passed over. A candidate can enter once: those in
        // the list are marked.
        const std::size_t words = (c + 63) / 64;
        if (marked_.size() != words) marked_.assign(words, 0);
        Key* list = list_;
        std::size_t count = 0;
        for (std::size_t i = 0; i < listed_; ++i) {
            Key key = list[i];
            key.d2 = d2_[key.slot];
            if (key.d2 <= r2)
                list[count++] = key;
            else
                unmark(key.slot);
        }
        for (std::size_t i = 1; i < count; ++i) {
            const Key key = list[i];
            std::size_t j = i;
            for (; j > 0 && less(key, list[j - 1]); --j) list[j] = list[j - 1];
            list[j] = key;
        }
        while (count > max_neighbours) unmark(list[--count].slot);
        double worst = count > 0 && count == max_neighbours ? list[count - 1].d2 : r2;
        auto offer = [&](const Key& key) {
            if (count == max_neighbours) {
                if (!less(key, list[count - 1])) return false;
                unmark(list[--count].slot);
            }
            std::size_t i = count++;
            while (i > 0 && less(key, list[i - 1])) {
                list[i] = list[i - 1];
                --i;
            }
            list[i] = key;
            if (count == max_neighbours) worst = list[count - 1].d2;
            return true;
        };
        // The other candidates in slot order, visiting only those within
        // `worst` as it stands at the start of each word of 64 slots and not
        // marked: `worst` only falls, and a candidate evicted meanwhile would
        // be refused again, so the list is the one of a visit of every slot.
        for (std::size_t w = 0; w < words; ++w) {
            const std::size_t first = w * 64;
            const std::size_t n = std::min<std::size_t>(64, c - first);
            std::uint64_t open = (avx2_ ? detail::at_most_avx2(d2_.data() + first, n, worst)
                                        : at_most(d2_.data() + first, n, worst)) &
                                 ~marked_[w];
            for (; open != 0; open &= open - 1) {
                const std::size_t s = first + static_cast<std::size_t>(__builtin_ctzll(open));
                const double d2 = d2_[s];
                if (!(d2 <= worst)) continue;
                if (offer({d2, pos_[s], static_cast<std::uint32_t>(s)})) marked_[w] |= open & -open;
            }
        }
        listed_ = count;
        emit(list, count, out, slots);
        return;
    } else {
        // Not kept from node to node on this path.
        for (std::size_t i = 0; i < listed_; ++i) unmark(list_[i].slot);
        listed_ = 0;
        keys_.clear();
        for (std::size_t s = 0; s < c; ++s) {
            const double dx = x_[s] - p.x;
            const double dy = y_[s] - p.y;
            const double d2 = dx * dx + dy * dy;
            if (d2 <= r2) keys_.push_back({d2, pos_[s], static_cast<std::uint32_t>(s)});
        }
        if (keys_.size() > max_neighbours) {
            std::nth_element(keys_.begin(), keys_.begin() + static_cast<std::ptrdiff_t>(max_neighbours), keys_.end(),
                             less);
            keys_.resize(max_neighbours);
        }
        std::sort(keys_.begin(), keys_.end(), less);
    }
    out.clear();
    slots.clear();
    for (const Key& k : keys_) {
        out.push_back({k.pos, std::sqrt(k.d2)});
        slots.push_back(k.slot);
    }
}

void KrigingBlock::fill_pair_matrix(std::span<const std::uint32_t> slots, double* a, std::size_t n,
                                    SolvePath path) const {
    const std::size_t m = slots.size();
    if (!cached_) {
        fill_pairs_from([&](std::size_t i, std::size_t j) { return compute_gamma(slots[i], slots[j]); }, a, n, m);
        return;
    }
    const std::size_t c = pos_.size();
    if (use_vector_path(path)) {
        detail::gather_pair_rows_avx2(gamma_.data(), c, slots.data(), m, a, n);
        return;
    }
    for (std::size_t i = 0; i < m; ++i) {
        const double* g = gamma_.data() + slots[i] * c;
        double* row = a + i * n;
        for (std::size_t j = 0; j < m; ++j) row[j] = g[slots[j]];
    }
}

void KrigingBlock::fill_pair_lane(std::span<const std::uint32_t> slots, double* a, std::size_t n,
                                  std::size_t lane) const {
    constexpr std::size_t L = kSolveLanes;
    const std::size_t m = slots.size();
    double* out = a + lane;
    if (!cached_) {
        for (std::size_t i = 0; i < m; ++i) {
            out[(i * n + i) * L] = 0.0;
            for (std::size_t j = i + 1; j < m; ++j) {
                const double g = compute_gamma(slots[i], slots[j]);
                out[(i * n + j) * L] = g;
                out[(j * n + i) * L] = g;
            }
        }
        return;
    }
    const std::size_t c = pos_.size();
    for (std::size_t i = 0; i < m; ++i) {
        const double* g = gamma_.data() + slots[i] * c;
        double* row = out + i * n * L;
        for (std::size_t j = 0; j < m; ++j) row[j * L] = g[slots[j]];
    }
}

void KrigingBlock::fill_pair_lanes(const std::uint32_t* const slots[4], std::size_t m, double* a,
                                   std::size_t n) const {
    if (cached_ && avx2_) {
        detail::gather_pair_lanes_avx2(gamma_.data(), pos_.size(), slots, m, a, n);
        return;
    }
    for (std::size_t l = 0; l < kSolveLanes; ++l) fill_pair_lane({slots[l], m}, a, n, l);
}

// (x_a - x_b)^2 equals (x_b - x_a)^2 bit for bit, so one value serves both
// orders of the pair.
double KrigingBlock::compute_gamma(std::uint32_t a, std::uint32_t b) const {
    const double dx = x_[a] - x_[b];
    const double dy = y_[a] - y_[b];
    const double h2 = dx * dx + dy * dy;
    return h2 == 0.0 ? 0.0 : variogram_->gamma(std::sqrt(h2));
}

}  // namespace zaviktools
