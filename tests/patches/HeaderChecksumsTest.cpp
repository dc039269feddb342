#include "patches/HeaderChecksums.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "rom/ImageFacts.h"
#include "tests/support/TestImage.h"

namespace {

using patches::ChecksumFix;
using patches::ChecksumReport;
using patches::FileStatus;
using testsupport::TestImage;

TEST(HeaderChecksums, FixingMakesBothRightAndChangesOnlyTheirThreeBytes) {
    TestImage image(0x41);
    image.FillWithPattern();
    image.SetBytes(0x14D, {0x00, 0x00, 0x00});
    const std::vector<uint8_t> before = image.ReadAll();

    const ChecksumReport wrong = patches::ReadChecksums(image.path());
    ASSERT_TRUE(wrong.checked()) << wrong.message;
    EXPECT_FALSE(wrong.headerRight());
    EXPECT_FALSE(wrong.globalRight());
    EXPECT_EQ(wrong.ExitCode(), 1);

    const ChecksumFix fix = patches::FixChecksums(image.path());
    ASSERT_TRUE(fix.ok()) << fix.message;
    EXPECT_EQ(fix.ExitCode(), 0);
    EXPECT_TRUE(fix.headerChanged);
    EXPECT_TRUE(fix.globalChanged);
    EXPECT_NE(fix.message.find("header checksum 0x00 -> 0x"), std::string::npos) << fix.message;

    const std::vector<uint8_t> after = image.ReadAll();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (i >= 0x14D && i <= 0x14F) continue;
        ASSERT_EQ(after[i], before[i]) << "byte " << i << " changed";
    }
    EXPECT_EQ(after[0x14D], fix.header);
    EXPECT_EQ(after[0x14E] << 8 | after[0x14F], fix.global);

    const ChecksumReport right = patches::ReadChecksums(image.path());
    EXPECT_TRUE(right.bothRight());
    EXPECT_EQ(right.ExitCode(), 0);
    // The global sum counts the corrected header checksum.
    std::vector<uint8_t> expected = before;
    expected[0x14D] = rom::HeaderChecksum(before);
    EXPECT_EQ(right.storedGlobal, rom::GlobalChecksum(expected));
}

TEST(HeaderChecksums, RightChecksumsAreNotWrittenAgain) {
    TestImage image(0x47, 0x8000);
    ASSERT_TRUE(patches::FixChecksums(image.path()).ok());
    // Marked read-only now: a fix that needs no write still succeeds.
    ::chmod(image.path().c_str(), 0444);
    const ChecksumFix again = patches::FixChecksums(image.path());
    EXPECT_TRUE(again.ok()) << again.message;
    EXPECT_FALSE(again.headerChanged || again.globalChanged);
    EXPECT_NE(again.message.find("already right"), std::string::npos) << again.message;
}

TEST(HeaderChecksums, ARefusedFixWritesNothing) {
    TestImage readOnly(0x47, 0x8000);
    readOnly.SetByte(0x14D, 0x01);
    const std::vector<uint8_t> before = readOnly.ReadAll();
    ::chmod(readOnly.path().c_str(), 0444);
    const ChecksumFix refused = patches::FixChecksums(readOnly.path());
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.message.find("read-only"), std::string::npos) << refused.message;
    EXPECT_EQ(readOnly.ReadAll(), before);

    TestImage tooShort(0x00, 0x14F);
    const ChecksumFix shortFix = patches::FixChecksums(tooShort.path());
    EXPECT_EQ(shortFix.status, FileStatus::Refused);
    EXPECT_NE(shortFix.message.find("too short to hold a cartridge header"), std::string::npos) << shortFix.message;
    EXPECT_EQ(tooShort.size(), 0x14F);
    EXPECT_EQ(patches::ReadChecksums(tooShort.path()).ExitCode(), 2);

    const ChecksumReport missing = patches::ReadChecksums((readOnly.folder() / "absent.gbc").string());
    EXPECT_EQ(missing.ExitCode(), 2);
    EXPECT_FALSE(std::filesystem::exists(readOnly.folder() / "absent.gbc"));
}

}  // namespace
