// Tokens of the right-hand side of a formula line.
#pragma once

#include <string>
#include <string_view>

namespace zaviktools {

enum class TokenKind {
    Number, Ident, Param, Plus, Minus, Star, Slash, Pow, LParen, RParen, Comma,
    Lt, Le, Gt, Ge, EqEq, Ne, End
};

// `name` views the line being parsed (identifiers are ASCII, so a slice of
// the UTF-8 text is the name itself); it lives as long as that text.
struct Token {
    TokenKind kind;
    double number = 0.0;
    std::string_view name;
};

// As quoted in parse messages: `Plus`, `End`, `Number(2.0)`, `Ident("x")`, `Param("p")`.
std::string token_debug(const Token& t);
std::string token_debug(TokenKind k);

}  // namespace zaviktools
