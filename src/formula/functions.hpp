// The formula function table: names (exact, case-sensitive) and arities.
#pragma once

#include <cstddef>
#include <string_view>

namespace zaviktools {

enum class Fn { Abs, Exp, Log, Log10, Sqrt, Pow, Min, Max, Clip, If };

struct FnInfo {
    Fn fn;
    std::size_t arity;
};

// nullptr for a name outside the table.
const FnInfo* find_function(std::string_view name);

}  // namespace zaviktools
