// One formula line `name = expression`, split, lexed and parsed.
#pragma once

#include <string>
#include <string_view>

#include "foundation/error.hpp"
#include "formula/ast.hpp"

namespace zaviktools {

struct Assignment {
    std::string name;
    ExprPtr expr;

    static Result<Assignment> parse(std::string_view line);
};

}  // namespace zaviktools
