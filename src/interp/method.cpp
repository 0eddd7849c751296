#include "interp/method.hpp"

#include <string>

#include "foundation/name_key.hpp"

namespace zaviktools {

namespace {

struct Alias {
    const char* name;
    Interp1dMethod method;
};

constexpr Alias kAliases[] = {
    {"nearest", Interp1dMethod::Nearest},      {"closest", Interp1dMethod::Nearest},
    {"nn", Interp1dMethod::Nearest},           {"previous", Interp1dMethod::Previous},
    {"prev", Interp1dMethod::Previous},        {"ffill", Interp1dMethod::Previous},
    {"next", Interp1dMethod::Next},            {"bfill", Interp1dMethod::Next},
    {"linear", Interp1dMethod::Linear},        {"cubic", Interp1dMethod::Cubic},
    {"spline", Interp1dMethod::Cubic},         {"natural", Interp1dMethod::Cubic},
    {"natural_cubic", Interp1dMethod::Cubic},  {"cubic_natural", Interp1dMethod::Cubic},
};

}  // namespace

Result<Interp1dMethod> parse_interp1d_method(std::string_view text) {
    const std::string key = name_key(text);
    for (const Alias& a : kAliases) {
        if (key == a.name) return a.method;
    }
    return fail(AlgoError::invalid_argument("unknown interpolation method '" + key + "'"));
}

}  // namespace zaviktools
