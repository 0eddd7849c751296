// Number rendering used by every message and repr.
#pragma once

#include <string>
#include <string_view>

namespace zaviktools {

// Shortest round-trip digits laid out in fixed notation, never an exponent;
// integral values print without a decimal point: 25 -> "25", 1e-7 -> "0.0000001",
// 1.2345678901234568e20 -> "123456789012345680000". NaN -> "NaN", inf -> "inf".
std::string fmt_num(double x);

// Debug rendering: shortest round-trip digits, keeps ".0" on integral values and
// switches to exponent form at |x| >= 1e16 or |x| < 1e-4: "1.0", "1e16", "1.5e-5".
std::string fmt_debug(double x);

// Debug rendering of text: in double quotes, with backslash escapes for
// quotes, backslashes, \n \r \t \0 and \u{..} for the other C0 and C1
// controls and DEL: a"b<LF> -> "a\"b\n".
std::string fmt_debug(std::string_view text);

// Exactly `decimals` digits after the point, correctly rounded (ties to even on
// exact binary ties): fmt_fixed(0.25, 1) -> "0.2".
std::string fmt_fixed(double x, int decimals);

}  // namespace zaviktools
