#include "formula/lexer.hpp"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

#include "foundation/unicode.hpp"

namespace zaviktools {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Decimal exponent of the leading nonzero digit of a literal, saturated far
// beyond the double range; only asked when the conversion is out of range.
std::int64_t magnitude(std::string_view lit) {
    std::int64_t lead = 0;
    bool seen = false, after_point = false;
    std::size_t i = 0;
    for (; i < lit.size() && lit[i] != 'e' && lit[i] != 'E'; ++i) {
        if (lit[i] == '.') {
            after_point = true;
            continue;
        }
        if (!seen && lit[i] != '0') {
            seen = true;
            if (after_point) --lead;
        } else if (!seen && after_point) {
            --lead;
        } else if (seen && !after_point) {
            ++lead;
        }
        if (lead < -1000000 || lead > 1000000) break;
    }
    std::int64_t exp = 0, sign = 1;
    if (i < lit.size()) {
        ++i;
        if (i < lit.size() && (lit[i] == '+' || lit[i] == '-')) sign = lit[i++] == '-' ? -1 : 1;
        for (; i < lit.size(); ++i)
            if (exp < 1000000000) exp = exp * 10 + (lit[i] - '0');
    }
    return lead + sign * exp;
}

Result<double> convert_number(std::string_view lit) {
    double v = 0.0;
    const auto res = std::from_chars(lit.data(), lit.data() + lit.size(), v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Beyond the double range: infinity; below the smallest subnormal: zero.
        return magnitude(lit) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (res.ec != std::errc() || res.ptr != lit.data() + lit.size())
        return fail(AlgoError::parse("invalid formula number literal: invalid float literal"));
    return v;
}

// The literal starting at `i`; advances `i` past it.
Result<double> read_number(std::string_view text, std::size_t& i) {
    const std::size_t start = i;
    const std::size_t n = text.size();
    while (i < n && is_digit(text[i])) ++i;
    if (i < n && text[i] == '.') {
        if (i == start && !(i + 1 < n && is_digit(text[i + 1])))
            return fail(AlgoError::parse("expected digit in formula number literal"));
        ++i;
        while (i < n && is_digit(text[i])) ++i;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        if (!(i < n && is_digit(text[i]))) return fail(AlgoError::parse("invalid exponent in formula number literal"));
        while (i < n && is_digit(text[i])) ++i;
    }
    return convert_number(text.substr(start, i - start));
}

}  // namespace

bool is_ident_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_ident_char(char c) { return is_ident_start(c) || is_digit(c); }

Result<std::pair<std::string_view, std::size_t>> read_ident(std::string_view text, std::size_t start) {
    if (start >= text.size() || !is_ident_start(text[start]))
        return fail(AlgoError::parse("expected identifier in formula expression"));
    std::size_t i = start + 1;
    while (i < text.size() && is_ident_char(text[i])) ++i;
    return std::pair{text.substr(start, i - start), i};
}

Result<std::vector<Token>> lex_formula(std::string_view text) {
    std::vector<Token> out;
    const std::size_t n = text.size();
    std::size_t i = 0;
    const auto next_is = [&](char c) { return i + 1 < n && text[i + 1] == c; };
    const auto emit = [&](TokenKind k, std::size_t width) {
        out.push_back(Token{k});
        i += width;
    };
    while (i < n) {
        const char c = text[i];
        switch (c) {
            case '!':
                if (!next_is('='))
                    return fail(AlgoError::parse("unexpected `!` inside formula expression; use `!=` for inequality"));
                emit(TokenKind::Ne, 2);
                continue;
            case '=':
                if (!next_is('='))
                    return fail(AlgoError::parse("unexpected `=` inside formula expression; use `==` for equality"));
                emit(TokenKind::EqEq, 2);
                continue;
            case '<': next_is('=') ? emit(TokenKind::Le, 2) : emit(TokenKind::Lt, 1); continue;
            case '>': next_is('=') ? emit(TokenKind::Ge, 2) : emit(TokenKind::Gt, 1); continue;
            case '*': next_is('*') ? emit(TokenKind::Pow, 2) : emit(TokenKind::Star, 1); continue;
            case '+': emit(TokenKind::Plus, 1); continue;
            case '-': emit(TokenKind::Minus, 1); continue;
            case '/': emit(TokenKind::Slash, 1); continue;
            case '(': emit(TokenKind::LParen, 1); continue;
            case ')': emit(TokenKind::RParen, 1); continue;
            case ',': emit(TokenKind::Comma, 1); continue;
            case '$': {
                auto id = read_ident(text, i + 1);
                if (!id) return fail(std::move(id).error());
                out.push_back(Token{TokenKind::Param, 0.0, id->first});
                i = id->second;
                continue;
            }
            default: break;
        }
        if (is_ident_start(c)) {
            auto id = read_ident(text, i);
            if (!id) return fail(std::move(id).error());
            out.push_back(Token{TokenKind::Ident, 0.0, id->first});
            i = id->second;
            continue;
        }
        if (is_digit(c) || c == '.') {
            auto v = read_number(text, i);
            if (!v) return fail(std::move(v).error());
            out.push_back(Token{TokenKind::Number, *v});
            continue;
        }
        const CodePoint cp = decode_utf8(text, i);
        if (is_white_space(cp.value)) {
            i += cp.length;
            continue;
        }
        // The character verbatim, a NUL included; a malformed byte shows as U+FFFD.
        std::string msg = "unexpected character `";
        append_utf8(msg, cp.value);
        msg += "` in formula expression";
        return fail(AlgoError::parse(std::move(msg)));
    }
    out.push_back(Token{TokenKind::End});
    return out;
}

}  // namespace zaviktools
