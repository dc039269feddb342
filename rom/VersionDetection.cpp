#include "rom/VersionDetection.h"

#include <limits>

namespace rom {

std::optional<int32_t> VersionCodeFromHeaderText(std::string_view headerText) {
    if (headerText.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : headerText) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<GameVersion> RecognizeVersion(std::string_view headerText) {
    const std::optional<int32_t> code = VersionCodeFromHeaderText(headerText);
    if (!code) return std::nullopt;
    if (*code == 47) return GameVersion::Gold;
    if (*code == 53) return GameVersion::Silver;
    if (*code == 41) return GameVersion::Crystal;
    return std::nullopt;
}

uint8_t HeaderByteOf(GameVersion version) {
    switch (version) {
        case GameVersion::Gold:
            return 0x47;
        case GameVersion::Silver:
            return 0x53;
        case GameVersion::Crystal:
            return 0x41;
    }
    return 0x00;
}

std::string_view VersionCaption(std::optional<GameVersion> version) {
    if (!version) return "Unknown Rom";
    switch (*version) {
        case GameVersion::Gold:
            return "Kreblin Gold Version";
        case GameVersion::Silver:
            return "Kreblin Silver Version";
        case GameVersion::Crystal:
            return "Kreblin Crystal Version";
    }
    return "Unknown Rom";
}

}  // namespace rom
