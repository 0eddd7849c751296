#include "interp/method.hpp"

#include "foundation/name_table.hpp"

namespace zaviktools {

namespace {

constexpr NameRow<Interp1dMethod> kMethods[] = {
    {Interp1dMethod::Nearest, "nearest", {"closest", "nn"}},
    {Interp1dMethod::Previous, "previous", {"prev", "ffill"}},
    {Interp1dMethod::Next, "next", {"bfill"}},
    {Interp1dMethod::Linear, "linear", {}},
    {Interp1dMethod::Cubic, "cubic", {"spline", "natural", "natural_cubic", "cubic_natural"}},
};

}  // namespace

Result<Interp1dMethod> parse_interp1d_method(std::string_view text) {
    // The message quotes the name without listing the methods.
    return parse_name(NameTable<NameRow<Interp1dMethod>>{"interpolation method", kMethods, false}, text);
}

}  // namespace zaviktools
