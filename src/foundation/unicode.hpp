// UTF-8 decoding and the Unicode White_Space set, for user-typed text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zaviktools {

// The Unicode White_Space property: \t..\r, space, NEL, NBSP, U+1680,
// U+2000..U+200A, line/paragraph separators, U+202F, U+205F, U+3000.
bool is_white_space(char32_t c);

// One code point read at `at`; a malformed or truncated sequence reads as
// U+FFFD over one byte, so every input makes progress.
struct CodePoint {
    char32_t value;
    std::size_t length;
};
CodePoint decode_utf8(std::string_view s, std::size_t at);

void append_utf8(std::string& out, char32_t c);

// `text` without leading and trailing White_Space.
std::string_view trim_white_space(std::string_view text);

}  // namespace zaviktools
