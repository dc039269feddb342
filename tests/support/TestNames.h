#pragma once
// Readable, stable names for parameterised test cases. A test name may only
// hold letters, digits and underscores, so typed texts are spelled out.

#include <cctype>
#include <string>
#include <string_view>

namespace testsupport {

// "45" stays "45", " a0 " becomes "Space_a0_Space", "" becomes "Empty".
inline std::string NameFromText(std::string_view text) {
    if (text.empty()) return "Empty";
    std::string name;
    auto word = [&name](const char* w) {
        if (!name.empty() && name.back() != '_') name += '_';
        name += w;
        name += '_';
    };
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            name += c;
        } else if (c == ' ') {
            word("Space");
        } else if (c == '-') {
            word("Minus");
        } else if (c == '+') {
            word("Plus");
        } else if (c == '.') {
            word("Dot");
        } else {
            word("Sign");
        }
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

}  // namespace testsupport
