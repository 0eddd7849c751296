// Field totals from per-segment Monte Carlo realisation vectors.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zaviktools {

// Dependence between segments: sum trial by trial as drawn, or rank for rank
// (the fully dependent low-together / high-together bound).
enum class Correlation { Independent, Comonotonic };

// The name as it is matched: Unicode white space stripped from both ends
// (input is UTF-8), ASCII letters lower-cased, other characters kept.
std::string normalise_correlation_name(std::string_view text);

// "independent" / "indep" and "comonotonic" / "comono" (after normalising).
std::optional<Correlation> correlation_from_name(std::string_view normalised);

// Index-wise sum over the shortest segment's length; empty when there are no
// segments or any segment is empty. Comonotonic sorts each segment's leading
// prefix of that length ascending before summing. Never fails.
std::vector<double> aggregate(std::span<const std::vector<double>> segments, Correlation mode);

}  // namespace zaviktools
