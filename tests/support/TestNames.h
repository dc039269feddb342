#pragma once
// Readable, stable names for parameterised test cases ("Gold", "Crystal_Csv",
// "HP_Minus_1"), so that a case can be picked with `ctest -R` and its name is
// the same on every run. A test name may only hold letters, digits and
// underscores, so typed texts are spelled out.

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"

namespace testsupport {

inline std::string VersionName(rom::GameVersion version) {
    switch (version) {
        case rom::GameVersion::Gold:
            return "Gold";
        case rom::GameVersion::Silver:
            return "Silver";
        case rom::GameVersion::Crystal:
            return "Crystal";
    }
    return "Unknown";
}

// The name generator of a suite whose parameter is a version.
inline std::string VersionParamName(const testing::TestParamInfo<rom::GameVersion>& info) {
    return VersionName(info.param);
}

// "Crystal_French", "Gold_Japanese_Revision1".
inline std::string ReleaseName(const rom::ReleaseLayout& release) {
    std::string name = VersionName(release.version) + "_" + std::string(release.market);
    if (release.revision != 0) name += "_Revision" + std::to_string(release.revision);
    return name;
}

// The name generator of a suite whose parameter is an index into the table of
// releases.
inline std::string ReleaseParamName(const testing::TestParamInfo<size_t>& info) {
    return ReleaseName(rom::kReleaseLayouts[info.param]);
}

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
