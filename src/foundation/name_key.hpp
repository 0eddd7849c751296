// Lookup key of a user-typed name (method, model, profile names): surrounding
// white space removed, ASCII letters lower-cased, everything else kept.
#pragma once

#include <string>
#include <string_view>

namespace zaviktools {

// Trims Unicode White_Space (ASCII blanks and controls \t..\r, NEL, NBSP, the
// U+2000 block, line/paragraph separators, ideographic space) from both ends of
// UTF-8 text, then lower-cases A-Z only.
std::string name_key(std::string_view text);

}  // namespace zaviktools
