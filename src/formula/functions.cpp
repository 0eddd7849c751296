#include "formula/functions.hpp"

#include <array>
#include <utility>

namespace zaviktools {

const FnInfo* find_function(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, FnInfo>, 10> table{{
        {"abs", {Fn::Abs, 1}},   {"exp", {Fn::Exp, 1}},   {"log", {Fn::Log, 1}},   {"log10", {Fn::Log10, 1}},
        {"sqrt", {Fn::Sqrt, 1}}, {"pow", {Fn::Pow, 2}},   {"min", {Fn::Min, 2}},   {"max", {Fn::Max, 2}},
        {"clip", {Fn::Clip, 3}}, {"if", {Fn::If, 3}},
    }};
    for (const auto& [n, info] : table)
        if (n == name) return &info;
    return nullptr;
}

}  // namespace zaviktools
