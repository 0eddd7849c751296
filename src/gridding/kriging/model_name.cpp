// parse_model: the model-name parser shared by every entry point taking a
// variogram model name.
#include <cstdint>
#include <string>

#include "gridding/kriging/variogram.hpp"

namespace zaviktools {

namespace {

// Unicode White_Space code points.
bool is_unicode_space(std::uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Length of the UTF-8 sequence starting with lead byte b (1 for stray bytes).
std::size_t seq_len(unsigned char b) {
    if (b < 0xC0) return 1;
    if (b < 0xE0) return 2;
    if (b < 0xF0) return 3;
    return 4;
}

// Decodes the sequence at s[i, i+n); any malformed sequence decodes to a
// non-space value.
std::uint32_t decode(std::string_view s, std::size_t i, std::size_t n) {
    if (n == 1 || i + n > s.size()) return static_cast<unsigned char>(s[i]);
    std::uint32_t c = static_cast<unsigned char>(s[i]) & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return c;
}

std::string_view trim(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size()) {
        const std::size_t n = seq_len(static_cast<unsigned char>(s[b]));
        if (!is_unicode_space(decode(s, b, n))) break;
        b += n;
    }
    std::size_t e = s.size();
    while (e > b) {
        std::size_t start = e - 1;  // back up over continuation bytes to the lead byte
        while (start > b && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80 && e - start < 4) --start;
        const std::size_t n = e - start;
        if (seq_len(static_cast<unsigned char>(s[start])) != n || !is_unicode_space(decode(s, start, n))) break;
        e = start;
    }
    return s.substr(b, e - b);
}

}  // namespace

Result<VariogramModel> parse_model(std::string_view text) {
    std::string name(trim(text));
    for (char& ch : name)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    if (name == "nugget") return VariogramModel::Nugget;
    if (name == "spherical" || name == "sph") return VariogramModel::Spherical;
    if (name == "exponential" || name == "exp") return VariogramModel::Exponential;
    if (name == "gaussian" || name == "gauss") return VariogramModel::Gaussian;
    return fail(AlgoError::invalid_argument("unknown variogram model '" + name +
                                            "' (expected 'nugget', 'spherical', 'exponential', or 'gaussian')"));
}

}  // namespace zaviktools
