#include "formats/JsonPlaces.h"

#include <algorithm>
#include <string>

namespace formats {

void PlacedHandler::Parse() {
    const PlaceIterator first(text_.data(), &place_);
    const PlaceIterator last(text_.data() + text_.size(), &place_);
    nlohmann::json::sax_parse(first, last, this, nlohmann::detail::input_format_t::json, true, false);
}

Refusal NotJsonRefusal(std::string_view text, std::size_t position, const nlohmann::detail::exception& error) {
    // The position counts the characters read, the offending one included.
    const size_t end = std::min(position > 0 ? position - 1 : 0, text.size());
    int line = 1;
    int column = 1;
    for (size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    std::string what = error.what();
    if (const size_t colon = what.find(": "); colon != std::string::npos) what = what.substr(colon + 2);
    return {line, column, "", "the file is not valid JSON: " + what};
}

}  // namespace formats
