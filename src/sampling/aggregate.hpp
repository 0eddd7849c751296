// Field totals from per-segment Monte Carlo realisation vectors.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/error.hpp"

namespace zaviktools {

// Dependence between segments: sum trial by trial as drawn, or rank for rank
// (the fully dependent low-together / high-together bound).
enum class Correlation { Independent, Comonotonic };

// "independent" / "indep" and "comonotonic" / "comono", trimmed and
// ASCII-lower-cased. InvalidArgument whose payload is the whole user-facing
// text "unknown correlation '{name}' (expected 'independent' or 'comonotonic')".
Result<Correlation> parse_correlation(std::string_view text);

// Index-wise sum over the shortest segment's length; empty when there are no
// segments or any segment is empty. Comonotonic sorts each segment's leading
// prefix of that length ascending before summing. Fails only with Interrupted
// "aggregate", when the installed StopPoll asks to stop.
Result<std::vector<double>> aggregate(std::span<const std::vector<double>> segments, Correlation mode);

}  // namespace zaviktools
