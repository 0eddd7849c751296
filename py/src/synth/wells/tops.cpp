// tops_from_surface.
#include <array>
#include <cstdint>
#include <vector>

#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/result.hpp"
#include "frame/grid.hpp"
#include "synth/wells/tops.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(tops_from_surface, "tops_from_surface(surface, lattice, well_xy, residual, seed)",
            "Pick a top from `surface` (nested lists, `ncol × nrow`) on `lattice` at each\n"
            "well in `well_xy` (`[x, y]` 2-lists), adding one `residual` draw per well (a\n"
            "`Sampler`, e.g. `Sampler.uniform(-10, 10)`). A well outside the extent → `NaN`.\n"
            "Returns one top per well. Seeded/reproducible.") {
    std::vector<std::vector<double>> surface;
    zkpy::Instance<zk::Lattice> lattice;
    std::vector<std::array<double, 2>> wells;
    zkpy::Instance<zk::Sampler> residual;
    std::uint64_t seed = 0;
    if (!args.parse(surface, lattice, wells, residual, seed)) return nullptr;
    const auto field = zkpy::to_array2(surface, lattice->ncol(), lattice->nrow());
    if (!field) return nullptr;
    std::vector<zk::Xy> wells_xy;
    wells_xy.reserve(wells.size());
    for (const auto& w : wells) wells_xy.push_back({w[0], w[1]});
    const zkpy::HeldSignalPoll poll;  // the tops are drawn with the lock held
    return zkpy::to_py(zk::tops_from_surface(*field, *lattice, wells_xy, *residual, seed));
}
