#include "foundation/format.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zaviktools {

namespace {

// Shortest round-trip decimal digits of a finite x: value = 0.DIGITS * 10^point.
struct Shortest {
    bool negative;
    std::string digits;
    int point;
};

Shortest shortest(double x) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific);
    std::string s(buf, res.ptr);
    Shortest out{false, {}, 0};
    std::size_t i = 0;
    if (s[i] == '-') {
        out.negative = true;
        ++i;
    }
    std::size_t e = s.find('e');
    for (; i < e; ++i)
        if (s[i] != '.') out.digits += s[i];
    out.point = std::atoi(s.c_str() + e + 1) + 1;
    return out;
}

std::string layout_fixed(const Shortest& sh) {
    std::string out = sh.negative ? "-" : "";
    const int n = static_cast<int>(sh.digits.size());
    if (sh.point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-sh.point), '0');
        out += sh.digits;
    } else if (sh.point >= n) {
        out += sh.digits;
        out.append(static_cast<std::size_t>(sh.point - n), '0');
    } else {
        out.append(sh.digits, 0, static_cast<std::size_t>(sh.point));
        out += '.';
        out.append(sh.digits, static_cast<std::size_t>(sh.point));
    }
    return out;
}

const char* non_finite(double x) {
    if (std::isnan(x)) return "NaN";
    return x > 0 ? "inf" : "-inf";
}

}  // namespace

std::string fmt_num(double x) {
    if (!std::isfinite(x)) return non_finite(x);
    return layout_fixed(shortest(x));
}

std::string fmt_debug(double x) {
    if (!std::isfinite(x)) return non_finite(x);
    const double a = std::fabs(x);
    Shortest sh = shortest(x);
    if (a != 0.0 && (a < 1e-4 || a >= 1e16)) {
        std::string out = sh.negative ? "-" : "";
        out += sh.digits[0];
        if (sh.digits.size() > 1) {
            out += '.';
            out.append(sh.digits, 1);
        }
        out += 'e';
        out += std::to_string(sh.point - 1);
        return out;
    }
    std::string out = layout_fixed(sh);
    if (out.find('.') == std::string::npos) out += ".0";
    return out;
}

std::string fmt_fixed(double x, int decimals) {
    if (!std::isfinite(x)) return non_finite(x);
    // glibc's printf expands the exact binary value, so this is correctly rounded.
    // 309 integral digits + 340 decimals + sign and point fit in the buffer.
    decimals = decimals < 0 ? 0 : (decimals > 340 ? 340 : decimals);
    char buf[720];
    const int len = std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    return std::string(buf, static_cast<std::size_t>(len > 0 ? len : 0));
}

namespace {

std::string unicode_escape(unsigned code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\u{%x}", code);
    return buf;
}

}  // namespace

std::string fmt_debug(std::string_view text) {
    std::string out = "\"";
    for (std::size_t k = 0; k < text.size(); ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        switch (c) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            case '\0': out += "\\0"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7f) {
            out += unicode_escape(c);
        } else if (c == 0xc2 && k + 1 < text.size() && static_cast<unsigned char>(text[k + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[k + 1]) <= 0x9f) {
            // U+0080 .. U+009F, the C1 controls, encoded as two bytes.
            out += unicode_escape(static_cast<unsigned char>(text[++k]));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace zaviktools
