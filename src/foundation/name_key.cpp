#include "foundation/name_key.hpp"

#include "foundation/unicode.hpp"

namespace zaviktools {

std::string name_key(std::string_view text) {
    std::string out(trim_white_space(text));
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace zaviktools
