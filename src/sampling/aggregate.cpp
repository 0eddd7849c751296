#include "sampling/aggregate.hpp"

#include <algorithm>
#include <cstdint>

#include "stats/sort.hpp"

namespace zaviktools {

namespace {

// Code points with the Unicode White_Space property.
bool is_unicode_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Decodes the well-formed UTF-8 sequence s[i, end) starting at a lead byte.
char32_t decode_at(std::string_view s, std::size_t i, std::size_t end) {
    const auto b = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t lead = b(i);
    const std::size_t len = end - i;
    if (lead < 0x80 || len < 2) return lead;
    char32_t c = lead & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    for (std::size_t k = i + 1; k < end; ++k) c = (c << 6) | (b(k) & 0x3F);
    return c;
}

std::size_t sequence_length(std::uint8_t lead) {
    if (lead < 0xC0) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

}  // namespace

std::string normalise_correlation_name(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end) {
        const std::size_t len = std::min(sequence_length(static_cast<std::uint8_t>(text[begin])), end - begin);
        if (!is_unicode_space(decode_at(text, begin, begin + len))) break;
        begin += len;
    }
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80) --start;
        if (!is_unicode_space(decode_at(text, start, end))) break;
        end = start;
    }
    std::string out(text.substr(begin, end - begin));
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return out;
}

std::optional<Correlation> correlation_from_name(std::string_view name) {
    if (name == "independent" || name == "indep") return Correlation::Independent;
    if (name == "comonotonic" || name == "comono") return Correlation::Comonotonic;
    return std::nullopt;
}

std::vector<double> aggregate(std::span<const std::vector<double>> segments, Correlation mode) {
    if (segments.empty()) return {};
    std::size_t m = segments[0].size();
    for (const auto& seg : segments) m = std::min(m, seg.size());
    if (m == 0) return {};

    std::vector<double> total(m, 0.0);
    if (mode == Correlation::Independent) {
        for (const auto& seg : segments)
            for (std::size_t k = 0; k < m; ++k) total[k] = seg[k] + total[k];
        return total;
    }
    // Ranks are taken within the leading m trials of each segment, not its m smallest.
    std::vector<double> sorted(m);
    for (const auto& seg : segments) {
        std::copy(seg.begin(), seg.begin() + static_cast<std::ptrdiff_t>(m), sorted.begin());
        stable_sort_values(sorted);
        for (std::size_t k = 0; k < m; ++k) total[k] = sorted[k] + total[k];
    }
    return total;
}

}  // namespace zaviktools
