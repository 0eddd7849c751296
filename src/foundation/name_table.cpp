#include "foundation/name_table.hpp"

namespace zaviktools {

std::string unknown_name_message(std::string_view what, std::string_view key, std::span<const std::string_view> names) {
    std::string out = "unknown ";
    out += what;
    out += " '";
    out += key;
    out += "'";
    if (names.empty()) return out;
    // An English list: 'a' or 'b'; 'a', 'b', or 'c' (serial comma).
    out += " (expected ";
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k > 0) out += names.size() > 2 ? ", " : " ";
        if (k > 0 && k + 1 == names.size()) out += "or ";
        out += "'";
        out += names[k];
        out += "'";
    }
    out += ")";
    return out;
}

}  // namespace zaviktools
