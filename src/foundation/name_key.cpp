#include "foundation/name_key.hpp"

#include <cstddef>
#include <cstdint>

namespace zaviktools {

namespace {

bool is_white_space(std::uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Length in bytes of the UTF-8 sequence led by `b` (1 for stray bytes).
std::size_t seq_len(unsigned char b) {
    if (b >= 0xF0 && b < 0xF8) return 4;
    if (b >= 0xE0) return b < 0xF0 ? 3 : 1;
    if (b >= 0xC0) return 2;
    return 1;
}

std::uint32_t decode(std::string_view s, std::size_t at, std::size_t len) {
    const auto b = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + k])); };
    switch (len) {
        case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
        case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
        case 4: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
        default: return b(0);
    }
}

// Byte length of the white-space character starting at `at`, or 0.
std::size_t white_at(std::string_view s, std::size_t at) {
    const std::size_t len = seq_len(static_cast<unsigned char>(s[at]));
    if (at + len > s.size()) return 0;
    return is_white_space(decode(s, at, len)) ? len : 0;
}

// Byte length of the white-space character ending just before `end`, or 0.
std::size_t white_before(std::string_view s, std::size_t end) {
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    const std::size_t len = white_at(s, start);
    return start + len == end ? len : 0;
}

}  // namespace

std::string name_key(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end) {
        const std::size_t n = white_at(text, begin);
        if (n == 0) break;
        begin += n;
    }
    while (end > begin) {
        const std::size_t n = white_before(text, end);
        if (n == 0) break;
        end -= n;
    }
    std::string out(text.substr(begin, end - begin));
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace zaviktools
