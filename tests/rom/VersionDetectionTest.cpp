#include "rom/VersionDetection.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "rom/HexFunctions.h"
#include "tests/support/TestImage.h"
#include "tests/support/TestNames.h"

namespace {

using rom::GameVersion;

struct HeaderCase {
    const char* text;
    std::optional<GameVersion> version;
    const char* caption;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << '"' << c.text << "\" -> " << c.caption;
}

class Recognition : public testing::TestWithParam<HeaderCase> {};

TEST_P(Recognition, HeaderTextGivesVersionAndCaption) {
    const HeaderCase& c = GetParam();
    EXPECT_EQ(rom::RecognizeVersion(c.text), c.version) << '"' << c.text << '"';
    EXPECT_EQ(rom::VersionCaption(rom::RecognizeVersion(c.text)), c.caption) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Recognition,
    testing::Values(HeaderCase{"47", GameVersion::Gold, "Kreblin Gold Version"},
                    HeaderCase{"53", GameVersion::Silver, "Kreblin Silver Version"},
                    HeaderCase{"41", GameVersion::Crystal, "Kreblin Crystal Version"},
                    // 0x35 is decimal 53 and 0x29 decimal 41: the text counts, not the byte.
                    HeaderCase{"35", std::nullopt, "Unknown Rom"}, HeaderCase{"29", std::nullopt, "Unknown Rom"},
                    HeaderCase{"4A", std::nullopt, "Unknown Rom"}, HeaderCase{"A0", std::nullopt, "Unknown Rom"},
                    HeaderCase{"00", std::nullopt, "Unknown Rom"}, HeaderCase{"", std::nullopt, "Unknown Rom"},
                    HeaderCase{" 47", std::nullopt, "Unknown Rom"}, HeaderCase{"-47", std::nullopt, "Unknown Rom"}),
    [](const testing::TestParamInfo<HeaderCase>& info) {
        return "Header_" + testsupport::NameFromText(info.param.text);
    });

TEST(VersionCode, IsTheTextReadAsADecimalNumber) {
    EXPECT_EQ(rom::VersionCodeFromHeaderText("47"), 47);
    EXPECT_EQ(rom::VersionCodeFromHeaderText("09"), 9);
    EXPECT_EQ(rom::VersionCodeFromHeaderText("4A"), std::nullopt);
    EXPECT_EQ(rom::VersionCodeFromHeaderText(""), std::nullopt);
    EXPECT_EQ(rom::VersionCodeFromHeaderText("99999999999"), std::nullopt);
}

TEST(Recognition, ReadsTheHeaderByteOfABuiltImage) {
    for (GameVersion version : {GameVersion::Gold, GameVersion::Silver, GameVersion::Crystal}) {
        testsupport::TestImage image(testsupport::TestImage::HeaderByte(version));
        EXPECT_EQ(rom::RecognizeVersion(HexFunctions::ReadHexBytes(image.path(), rom::kVersionByteOffset, 1)),
                  version);
    }
}

}  // namespace
