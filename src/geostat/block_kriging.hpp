// Ordinary kriging of a block of nearby targets (lattice nodes or scattered
// points) from one shared candidate list (KrigingBlock). Every target gets
// the neighbour list and system of its own direct Neighbourhood query, so its
// estimate and variance are the same bits however the targets are grouped
// and whichever worker thread takes the group.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/lattice.hpp"
#include "geostat/kriging_block.hpp"
#include "geostat/local_kriging.hpp"
#include "geostat/ok_system.hpp"

namespace zaviktools {

// One worker's engine: its candidate list and buffers, reused block after block.
class BlockKriger {
public:
    BlockKriger(const Variogram& variogram, std::span<const DataPoint> data, const Neighbourhood& index,
                std::size_t max_neighbours, double radius, SolvePath path)
        : variogram_(variogram), data_(data), index_(index), k_(max_neighbours), radius_(radius), path_(path) {}

    // Kriges `targets`, all within `reach` of `centre`, calling
    // store(t, ok, value) for t = 0, 1, ... (ok false: no data in range or a
    // singular system). With `may_split`, a candidate list that is long
    // compared with the neighbour count kriges nothing and returns false: the
    // caller then hands the block over in smaller parts.
    template <class Store>
    bool krige(std::span<const Xy> targets, Xy centre, double reach, bool may_split, Store&& store) {
        const bool ready = block_.prepare(index_, data_, variogram_, centre, reach, k_, radius_);
        const std::size_t k = k_ < data_.size() ? k_ : data_.size();
        if (ready && may_split && block_.candidate_count() > 4 * k + 32) return false;
        KrigedValue v{};
        if (!ready) {
            for (std::size_t t = 0; t < targets.size(); ++t) {
                const bool ok = krige_one(targets[t], v);
                store(t, ok, v);
            }
            return true;
        }
        auto fill = [&](double* a, std::size_t n, std::size_t) { block_.fill_pair_matrix(slots_, a, n, path_); };
        for (std::size_t t = 0; t < targets.size(); ++t) {
            block_.nearest_into(targets[t], k_, radius_, scratch_.neighbours, slots_);
            const bool ok = solve_ordinary_kriging(variogram_, data_, scratch_, fill, path_, v);
            store(t, ok, v);
        }
        return true;
    }

    // One target by its own query.
    bool krige_one(Xy p, KrigedValue& out) {
        index_.nearest_into(p.x, p.y, k_, scratch_.neighbours, radius_);
        return ordinary_kriging_at(variogram_, data_, scratch_, out, path_);
    }

private:
    const Variogram& variogram_;
    std::span<const DataPoint> data_;
    const Neighbourhood& index_;
    std::size_t k_;
    double radius_;
    SolvePath path_;
    KrigingBlock block_;
    KrigingScratch scratch_;
    std::vector<std::uint32_t> slots_;
};

}  // namespace zaviktools
