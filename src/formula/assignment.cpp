#include "formula/assignment.hpp"

#include <optional>

#include "foundation/unicode.hpp"
#include "formula/lexer.hpp"
#include "formula/parser.hpp"

namespace zaviktools {

namespace {

// The first `=` that is neither part of `==` nor the tail of `!=`, `<=`, `>=`.
std::optional<std::size_t> assignment_sign(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '=') continue;
        const bool after_op = i > 0 && (line[i - 1] == '!' || line[i - 1] == '<' || line[i - 1] == '=' ||
                                        line[i - 1] == '>');
        const bool before_eq = i + 1 < line.size() && line[i + 1] == '=';
        if (!after_op && !before_eq) return i;
    }
    return std::nullopt;
}

bool is_identifier(std::string_view s) {
    if (s.empty() || !is_ident_start(s[0])) return false;
    for (char c : s)
        if (!is_ident_char(c)) return false;
    return true;
}

}  // namespace

Result<Assignment> Assignment::parse(std::string_view line) {
    const auto sign = assignment_sign(line);
    if (!sign) return fail(AlgoError::parse("formula assignment missing `=`: " + std::string(line)));
    const std::string_view lhs = trim_white_space(line.substr(0, *sign));
    const std::string_view rhs = trim_white_space(line.substr(*sign + 1));
    if (lhs.empty() || rhs.empty()) return fail(AlgoError::parse("formula assignment requires non-empty lhs and rhs"));
    if (!is_identifier(lhs))
        return fail(AlgoError::parse("invalid assignment lhs `" + std::string(lhs) + "`: expected a bare identifier"));
    auto tokens = lex_formula(rhs);
    if (!tokens) return fail(std::move(tokens).error());
    Parser parser(*tokens);
    auto expr = parser.parse_expression();
    if (!expr) return fail(std::move(expr).error());
    if (parser.current().kind != TokenKind::End)
        return fail(AlgoError::parse("unexpected trailing formula token " + token_debug(parser.current())));
    return Assignment{std::string(lhs), std::move(*expr)};
}

}  // namespace zaviktools
