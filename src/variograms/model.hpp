// The variogram model shapes and the one table that describes them. Adding a
// model means a row here (plus its enum value) and a case in the shape
// formula (variograms/shape.hpp); names, messages, validation and the fit
// read the rest from the row.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zaviktools {

enum class VariogramModel { Nugget, Spherical, Exponential, Gaussian };

struct ModelRow {
    VariogramModel value;
    std::string_view name;  // canonical: the `model` attribute, listed in messages
    std::array<std::string_view, 4> aliases;
    // The model is its nugget alone: the partial sill and range play no part
    // in gamma, so validation asks for a positive nugget rather than a
    // positive total sill, and the fit takes the count-weighted mean
    // semivariance instead of searching ranges.
    bool nugget_only;
};

// One row per model, in enum order.
inline constexpr ModelRow kModels[] = {
    {VariogramModel::Nugget, "nugget", {}, true},
    {VariogramModel::Spherical, "spherical", {"sph"}, false},
    {VariogramModel::Exponential, "exponential", {"exp"}, false},
    {VariogramModel::Gaussian, "gaussian", {"gauss"}, false},
};

constexpr bool models_in_enum_order() {
    for (std::size_t k = 0; k < std::size(kModels); ++k)
        if (static_cast<std::size_t>(kModels[k].value) != k) return false;
    return true;
}
static_assert(models_in_enum_order(), "kModels rows must follow the VariogramModel order");

constexpr const ModelRow& model_row(VariogramModel m) { return kModels[static_cast<std::size_t>(m)]; }

}  // namespace zaviktools
