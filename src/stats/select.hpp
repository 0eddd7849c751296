// Order statistics without a full sort. Under `a < b` every sort places the
// same bits at each rank unless NaN (unordered) or -0.0 (equal to +0.0 but a
// different value) is present; without them a selection gives the very ranks
// the stable sort would.
#pragma once

#include <cmath>
#include <span>

namespace zaviktools {

inline bool order_is_ambiguous(std::span<const double> v) {
    for (double x : v)
        if (x != x || (x == 0.0 && std::signbit(x))) return true;
    return false;
}

}  // namespace zaviktools
