// The formula lexer: right-hand side text into tokens ending in `End`.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/error.hpp"
#include "formula/token.hpp"

namespace zaviktools {

bool is_ident_start(char c);
bool is_ident_char(char c);

// The identifier starting at byte `start` of `text` and the index after it;
// "expected identifier in formula expression" when none starts there.
Result<std::pair<std::string_view, std::size_t>> read_ident(std::string_view text, std::size_t start);

// Tokens of `text`, which must outlive them (names view it).
Result<std::vector<Token>> lex_formula(std::string_view text);

}  // namespace zaviktools
