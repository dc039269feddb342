#include "tables/ImageInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tables/ReleasedImages.h"
#include "tests/support/TestImage.h"

namespace {

using rom::GameVersion;
using testsupport::TestImage;

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(ReleasedImages, Sha1OfKnownTexts) {
    EXPECT_EQ(tables::Sha1Hex(Bytes("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(tables::Sha1Hex(Bytes("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(ImageInfo, DescribesAHandBuiltImage) {
    TestImage image(TestImage::HeaderByte(GameVersion::Silver), 1024 * 1024);
    image.SetBytes(0x134, {'K', 'R', 'E', 'B', 0x01, 'X'});
    image.SetByte(0x147, 0x10);
    image.SetByte(0x14A, 0x01);
    image.SetByte(0x14C, 0x01);
    const tables::ImageInfo info = tables::DescribeImage(image.ReadAll());
    EXPECT_EQ(info.size, 1024 * 1024);
    EXPECT_EQ(info.header.title, "KREBXS");  // the version byte 0x13C lies in the title field
    EXPECT_EQ(info.header.cartridgeType, 0x10);
    EXPECT_EQ(info.header.destinationCode, 0x01);
    EXPECT_EQ(info.header.romVersion, 0x01);
    EXPECT_FALSE(info.headerChecksumRight);
    EXPECT_FALSE(info.globalChecksumRight);
    EXPECT_EQ(info.version, GameVersion::Silver);
    EXPECT_EQ(info.layout.kind, rom::ImageLayout::HandBuilt);
    EXPECT_EQ(info.release, nullptr);
    EXPECT_EQ(info.sha1, tables::Sha1Hex(image.ReadAll()));
}

TEST(ImageInfo, ChecksumsRightAfterTheyAreSet) {
    TestImage image = TestImage::OfRelease(*rom::FindReleaseLayout("BYTE", 0));
    std::vector<uint8_t> bytes = image.ReadAll();
    bytes[0x14E] = static_cast<uint8_t>(bytes[0x14E] + 1);
    EXPECT_FALSE(tables::DescribeImage(bytes).globalChecksumRight);
    const uint16_t global = rom::GlobalChecksum(bytes);
    bytes[0x14E] = static_cast<uint8_t>(global >> 8);
    bytes[0x14F] = static_cast<uint8_t>(global & 0xFF);
    const tables::ImageInfo info = tables::DescribeImage(bytes);
    EXPECT_TRUE(info.headerChecksumRight);
    EXPECT_TRUE(info.globalChecksumRight);
    EXPECT_EQ(info.header.globalChecksum, global);
    EXPECT_EQ(info.layout.kind, rom::ImageLayout::Released);  // complete, its code proving the release's tables
}

TEST(ImageInfo, NoVersionMeansNoLayout) {
    const tables::ImageInfo info = tables::DescribeImage(std::vector<uint8_t>(0x100, 0x47));  // too short for 0x13C
    EXPECT_EQ(info.version, std::nullopt);
    EXPECT_EQ(info.layout.kind, rom::ImageLayout::Unknown);
    EXPECT_FALSE(info.headerChecksumRight);
    EXPECT_EQ(tables::VersionOfImage(std::vector<uint8_t>(0x13D, 0x47)), GameVersion::Gold);
    EXPECT_EQ(tables::VersionOfImage(std::vector<uint8_t>(0x13D, 0x4A)), std::nullopt);
}

}  // namespace
