// Carrying a node-centred grid from one Lattice onto the nodes of another.
#pragma once

#include <string_view>

#include "foundation/error.hpp"
#include "foundation/field.hpp"
#include "foundation/lattice.hpp"

namespace zaviktools {

enum class ResampleMethod { Bilinear, Nearest };

// Trimmed, ASCII-lower-cased lookup: "bilinear"/"linear", "nearest"/"nn".
// InvalidArgument whose payload is the whole user-facing text "unknown
// resample method '{name}' (expected 'bilinear' or 'nearest')".
Result<ResampleMethod> parse_resample_method(std::string_view text);

// The target-shaped field of values read from `src` (one value per node of
// `src_lattice`, NaN = hole) at the world position of every target node. Nodes
// outside the source extent are NaN; a hole at the nearest source node gives
// NaN; bilinear weights renormalise over the defined corners.
//
// Fails with InvalidArgument when `src` is not shaped like `src_lattice`, and
// with InvalidGeometry when the source has no nodes or a zero spacing;
// Interrupted "resample" when the installed StopPoll asks to stop.
Result<Field> resample(const Field& src, const Lattice& src_lattice, const Lattice& target, ResampleMethod method);

}  // namespace zaviktools
