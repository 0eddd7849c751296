// Names users type (variogram models, resampling methods, aggregation modes,
// interpolation methods, well profiles): one table row per value, one lookup,
// one message.
//
// A row is any struct with `value` (the enum), `name` (the canonical name,
// the one listed in messages) and `aliases` (further accepted spellings;
// empty slots are unused), so a table may carry more per-value facts beside
// its names (see variograms/model.hpp).
//
// parse_name looks up name_key(text) (Unicode white space trimmed, A-Z
// lower-cased) and fails with InvalidArgument whose payload is the complete
// user-facing text
//     unknown {what} '{key}' (expected 'a', 'b', or 'c')
// ("'a' or 'b'" for two names); the list is left out for a table that does
// not list its names.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/name_key.hpp"

namespace zaviktools {

// The usual row: a value, its canonical name and up to four aliases.
template <class E>
struct NameRow {
    E value;
    std::string_view name;
    std::array<std::string_view, 4> aliases{};
};

template <class Row>
struct NameTable {
    std::string_view what;       // "variogram model", "resample method", ...
    std::span<const Row> rows;
    bool lists_names = true;     // append " (expected ...)" to the message
};

// The row whose name or an alias equals `key` exactly, or null.
template <class Row>
const Row* find_name(std::span<const Row> rows, std::string_view key) {
    for (const Row& row : rows) {
        if (row.name == key) return &row;
        for (std::string_view alias : row.aliases)
            if (!alias.empty() && alias == key) return &row;
    }
    return nullptr;
}

// "unknown {what} '{key}'", then " (expected {names})" unless `names` is empty.
std::string unknown_name_message(std::string_view what, std::string_view key, std::span<const std::string_view> names);

template <class Row>
auto parse_name(const NameTable<Row>& table, std::string_view text) -> Result<decltype(Row::value)> {
    const std::string key = name_key(text);
    if (const Row* row = find_name(table.rows, key)) return row->value;
    std::vector<std::string_view> names;
    if (table.lists_names)
        for (const Row& row : table.rows) names.push_back(row.name);
    return fail(AlgoError::invalid_argument(unknown_name_message(table.what, key, names)));
}

}  // namespace zaviktools
