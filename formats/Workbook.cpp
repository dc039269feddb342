// Cells and cell references.

#include "formats/Workbook.h"

#include <charconv>
#include <locale>
#include <sstream>

namespace formats {

WorkbookCell WorkbookCell::Number(double value) {
    return WorkbookCell{Kind::Number, value, {}};
}

WorkbookCell WorkbookCell::Text(std::string value) {
    return WorkbookCell{Kind::Text, 0, std::move(value)};
}

namespace {

constexpr uint32_t kMostRows = 1048576;
constexpr uint32_t kMostColumns = 16384;

std::string ColumnLetters(uint32_t column) {
    std::string letters;
    for (uint32_t n = column + 1; n > 0; n = (n - 1) / 26) letters.insert(letters.begin(), char('A' + (n - 1) % 26));
    return letters;
}

}  // namespace

std::string CellReference(uint32_t row, uint32_t column) {
    return ColumnLetters(column) + std::to_string(row);
}

std::optional<std::pair<uint32_t, uint32_t>> ParseCellReference(std::string_view reference) {
    size_t at = 0;
    uint32_t column = 0;
    for (; at < reference.size() && at < 4 && reference[at] >= 'A' && reference[at] <= 'Z'; ++at) {
        column = column * 26 + uint32_t(reference[at] - 'A' + 1);
    }
    if (at == 0 || column > kMostColumns) return std::nullopt;
    const std::string_view digits = reference.substr(at);
    uint32_t row = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), row);
    if (digits.empty() || digits[0] == '0' || error != std::errc() || end != digits.data() + digits.size() ||
        row > kMostRows) {
        return std::nullopt;
    }
    return std::pair{row, column - 1};
}

std::optional<double> NumberOfText(std::string_view text) {
    double number = 0;
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
#else
    // The page's C++ library has no from_chars of a double: a stream in the
    // classic locale, refusing what from_chars refuses (spaces, a plus sign).
    if (text.empty() || text[0] == '+' || text[0] == ' ' || text[0] == '\t' || text[0] == '\n') return std::nullopt;
    std::istringstream in{std::string(text)};
    in.imbue(std::locale::classic());
    in >> number;
    if (in.fail() || in.peek() != std::char_traits<char>::eof()) return std::nullopt;
#endif
    return number;
}

}  // namespace formats
