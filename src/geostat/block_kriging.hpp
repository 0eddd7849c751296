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
#include "geostat/ok_lanes.hpp"
#include "geostat/ok_system.hpp"

namespace zaviktools {

// One worker's engine: its candidate list and buffers, reused block after block.
class BlockKriger {
public:
    BlockKriger(const Variogram& variogram, std::span<const DataPoint> data, const Neighbourhood& index,
                std::size_t max_neighbours, double radius, SolvePath path)
        : variogram_(variogram), data_(data), index_(index), k_(max_neighbours), radius_(radius), path_(path) {}

    // Kriges `targets`, all within `reach` of `centre`, calling
    // store(t, ok, value) once for each t, in no fixed order (ok false: no
    // data in range or a singular system). With `may_split`, a candidate list
    // that is long compared with the neighbour count kriges nothing and
    // returns false: the caller then hands the block over in smaller parts.
    // On the vector path, runs of targets with the same neighbour count are
    // solved four at a time (ok_lanes.hpp), each with its own system's bits.
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
        if (!use_vector_path(path_)) {
            for (std::size_t t = 0; t < targets.size(); ++t) {
                block_.nearest_into(targets[t], k_, radius_, scratch_.neighbours, slots_);
                store(t, solve_one(v), v);
            }
            return true;
        }
        pending_ = 0;
        for (std::size_t t = 0; t < targets.size(); ++t) {
            Lane& next = lanes_[pending_];
            block_.nearest_into(targets[t], k_, radius_, next.neighbours, next.slots);
            next.target = t;
            const std::size_t m = next.neighbours.size();
            if (m == 0 || next.neighbours[0].distance == 0.0) {  // no system to solve
                store(t, solve_lane(next, v), v);
                continue;
            }
            if (pending_ > 0 && m != lanes_[0].neighbours.size()) {
                flush(store);  // lanes_[0] .. lanes_[pending_ - 1] only
                std::swap(lanes_[0], next);
            }
            if (++pending_ == kSolveLanes) flush(store);
        }
        flush(store);
        return true;
    }

    // One target by its own query.
    bool krige_one(Xy p, KrigedValue& out) {
        index_.nearest_into(p.x, p.y, k_, scratch_.neighbours, radius_);
        return ordinary_kriging_at(variogram_, data_, scratch_, out, path_);
    }

private:
    struct Lane {
        std::vector<Neighbour> neighbours;
        std::vector<std::uint32_t> slots;
        std::size_t target = 0;
    };

    // The system of scratch_.neighbours / slots_ on its own.
    bool solve_one(KrigedValue& v) {
        auto fill = [&](double* a, std::size_t n, std::size_t) { block_.fill_pair_matrix(slots_, a, n, path_); };
        return solve_ordinary_kriging(variogram_, data_, scratch_, fill, path_, v);
    }

    bool solve_lane(Lane& lane, KrigedValue& v) {
        std::swap(scratch_.neighbours, lane.neighbours);
        std::swap(slots_, lane.slots);
        const bool ok = solve_one(v);
        std::swap(scratch_.neighbours, lane.neighbours);
        std::swap(slots_, lane.slots);
        return ok;
    }

    // Solves the pending lanes (same neighbour count): a lone one on its own,
    // two or more side by side, idle lanes repeating lane 0.
    template <class Store>
    void flush(Store&& store) {
        KrigedValue v{};
        const std::size_t count = pending_;
        pending_ = 0;
        if (count == 0) return;
        if (count == 1) {
            store(lanes_[0].target, solve_lane(lanes_[0], v), v);
            return;
        }
        const std::size_t m = lanes_[0].neighbours.size();
        double* a = systems_.reserve(m);
        const std::vector<Neighbour>* lists[kSolveLanes];
        const std::uint32_t* slots[kSolveLanes];
        for (std::size_t l = 0; l < kSolveLanes; ++l) {
            const Lane& lane = lanes_[l < count ? l : 0];
            lists[l] = &lane.neighbours;
            slots[l] = lane.slots.data();
        }
        block_.fill_pair_lanes(slots, m, a, m + 1);
        bool ok[kSolveLanes];
        KrigedValue out[kSolveLanes];
        solve_ordinary_kriging_lanes(variogram_, data_, lists, systems_, ok, out);
        for (std::size_t l = 0; l < count; ++l) store(lanes_[l].target, ok[l], out[l]);
    }

    const Variogram& variogram_;
    std::span<const DataPoint> data_;
    const Neighbourhood& index_;
    std::size_t k_;
    double radius_;
    SolvePath path_;
    KrigingBlock block_;
    KrigingScratch scratch_;
    std::vector<std::uint32_t> slots_;
    Lane lanes_[kSolveLanes];
    std::size_t pending_ = 0;
    LaneSystems systems_;
};

}  // namespace zaviktools
