#include "formula/token.hpp"

#include "foundation/format.hpp"

namespace zaviktools {

std::string token_debug(TokenKind k) {
    switch (k) {
        case TokenKind::Number: return "Number";
        case TokenKind::Ident: return "Ident";
        case TokenKind::Param: return "Param";
        case TokenKind::Plus: return "Plus";
        case TokenKind::Minus: return "Minus";
        case TokenKind::Star: return "Star";
        case TokenKind::Slash: return "Slash";
        case TokenKind::Pow: return "Pow";
        case TokenKind::LParen: return "LParen";
        case TokenKind::RParen: return "RParen";
        case TokenKind::Comma: return "Comma";
        case TokenKind::Lt: return "Lt";
        case TokenKind::Le: return "Le";
        case TokenKind::Gt: return "Gt";
        case TokenKind::Ge: return "Ge";
        case TokenKind::EqEq: return "EqEq";
        case TokenKind::Ne: return "Ne";
        case TokenKind::End: return "End";
    }
    return "";
}

std::string token_debug(const Token& t) {
    std::string out = token_debug(t.kind);
    if (t.kind == TokenKind::Number) {
        out += '(' + fmt_debug(t.number) + ')';
    } else if (t.kind == TokenKind::Ident || t.kind == TokenKind::Param) {
        out += "(\"";
        out += t.name;
        out += "\")";
    }
    return out;
}

}  // namespace zaviktools
