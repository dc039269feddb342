#include "formats/Rows.h"

#include <algorithm>

namespace formats {

std::string_view Trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string NormalizedColumnName(std::string_view name) {
    std::string normal;
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '.') continue;
        normal += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return normal;
}

std::string NotAColumnText(std::string_view name, std::string_view columnList, bool first) {
    std::string text = "\"" + std::string(name) + "\" is not a column of the table";
    if (!first) return text + ".";
    return text + " (names are matched without regard to case, spaces and dots); the columns are " +
           std::string(columnList) + ".";
}

bool AllCellsEmpty(std::span<const std::string> cells) {
    return std::all_of(cells.begin(), cells.end(), [](const std::string& cell) { return Trimmed(cell).empty(); });
}

std::string ColumnList(std::span<const std::string> columns) {
    std::string list;
    for (const std::string& name : columns) list += (list.empty() ? "" : ", ") + name;
    return list;
}

ColumnMatcher::ColumnMatcher(std::span<const std::string> columns) {
    normalized_.reserve(columns.size());
    for (const std::string& name : columns) normalized_.push_back(NormalizedColumnName(name));
}

std::optional<size_t> ColumnMatcher::Find(std::string_view name) const {
    const std::string normal = NormalizedColumnName(name);
    for (size_t c = 0; c < normalized_.size(); ++c) {
        if (normalized_[c] == normal) return c;
    }
    return std::nullopt;
}

}  // namespace formats
