#include "tests/support/TestImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "rom/FailureReporter.h"
#include "tests/support/RecordingReporter.h"

namespace {

using testsupport::RecordingReporter;
using testsupport::TestImage;

TEST(TestImage, IsTwoMebibytesOfZerosWithTheHeaderByte) {
    TestImage image(0x53);
    const std::vector<uint8_t> bytes = image.ReadAll();
    ASSERT_EQ(bytes.size(), 2u * 1024 * 1024);
    EXPECT_EQ(bytes[0x13C], 0x53);
    size_t nonZero = 0;
    for (uint8_t b : bytes) nonZero += b != 0;
    EXPECT_EQ(nonZero, 1u);
}

TEST(TestImage, SetsAndReadsBackBytesAndKeepsItsLength) {
    TestImage image(0x00, 100);
    image.SetBytes(10, {0x01, 0x02});
    image.FillRange(20, 3, 0xEE);
    EXPECT_EQ(image.ByteAt(11), 0x02);
    EXPECT_EQ(image.ByteAt(22), 0xEE);
    EXPECT_EQ(image.ByteAt(23), 0x00);
    EXPECT_EQ(image.size(), 100);
    EXPECT_THROW(image.SetByte(100, 1), std::out_of_range);

    image.FillWithPattern();
    EXPECT_EQ(image.ByteAt(50), TestImage::PatternByte(50));
    EXPECT_EQ(image.size(), 100);
}

TEST(TestImage, ReleasedImageNumbersItsBaseRecords) {
    const TestImage image = TestImage::Released(rom::GameVersion::Crystal);
    const int32_t base = rom::ReleasedProfile(rom::GameVersion::Crystal).BaseStatsOffset;
    EXPECT_EQ(image.ByteAt(0x13C), 0x41);
    EXPECT_EQ(image.ByteAt(base), 1);
    EXPECT_EQ(image.ByteAt(base + 32 * 250), 251);
    EXPECT_EQ(image.ByteAt(base + 1), 0);
}

TEST(TestImage, FolderIsRemovedWithTheImageAndMovesWithIt) {
    std::filesystem::path folder;
    {
        TestImage first(0x47, 16);
        folder = first.folder();
        ASSERT_TRUE(std::filesystem::exists(first.path()));
        TestImage second = std::move(first);
        EXPECT_EQ(second.folder(), folder);
        EXPECT_TRUE(std::filesystem::exists(second.path()));
    }
    EXPECT_FALSE(std::filesystem::exists(folder));

    TestImage a(0, 16);
    TestImage b(0, 16);
    EXPECT_NE(a.folder(), b.folder());
}

TEST(RecordingReporter, RecordsAndPutsThePreviousReporterBack) {
    int outerCalls = 0;
    rom::FailureReporter original = rom::SetFailureReporter([&](const rom::Failure&) { ++outerCalls; });
    {
        RecordingReporter reporter;
        rom::ReportFailure({5, "first"});
        {
            rom::ScopedFailureCapture outer;
            {
                rom::ScopedFailureCapture capture;
                rom::ReportFailure({6, "captured"});
                rom::ReportFailure({7, "second captured"});
                ASSERT_TRUE(capture.captured().has_value());
                EXPECT_EQ(capture.captured()->number, 6);  // the first one is kept
            }
            EXPECT_FALSE(outer.captured().has_value());  // the innermost capture took it
        }
        ASSERT_EQ(reporter.count(), 1u);
        EXPECT_EQ(reporter.last().description, "first");
    }
    rom::ReportFailure({8, "after"});
    EXPECT_EQ(outerCalls, 1);
    rom::SetFailureReporter(std::move(original));
}

}  // namespace
