#include "rom/HexFunctions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/RecordingReporter.h"
#include "tests/support/TestImage.h"

namespace {

using HexFunctions::ReadHexBytes;
using HexFunctions::ReverseHexBytes;
using HexFunctions::TryReadHexBytes;
using HexFunctions::WriteHexBytes;
using HexFunctions::CheckWritable;
using HexFunctions::SyncFile;
using testsupport::RecordingReporter;
using testsupport::TestImage;

constexpr int64_t kSmallSize = 64;

// ---- Reads ---------------------------------------------------------------------

TEST(ReadHexBytes, ReadsRunsAsUppercaseHexInFileOrder) {
    TestImage image(0x00, kSmallSize);
    image.SetBytes(16, {0x0A, 0xFF, 0x00});
    RecordingReporter reporter;

    EXPECT_EQ(ReadHexBytes(image.path(), 16, 3), "0AFF00");
    EXPECT_EQ(ReadHexBytes(image.path(), 17, 1), "FF");
    EXPECT_TRUE(reporter.empty());
}

TEST(ReadHexBytes, CountOfZeroOrLessIsEmptyWithoutFailure) {
    TestImage image(0x00, kSmallSize);
    RecordingReporter reporter;

    EXPECT_EQ(ReadHexBytes(image.path(), 16, 0), "");
    EXPECT_EQ(ReadHexBytes(image.path(), 16, -3), "");
    EXPECT_EQ(TryReadHexBytes(image.path(), 16, 0), std::optional<std::string>(""));
    EXPECT_TRUE(reporter.empty());
}

TEST(ReadHexBytes, BytesPastTheEndReadAsZeroWithoutFailure) {
    TestImage image(0x00, kSmallSize);
    image.SetByte(kSmallSize - 1, 0x7C);
    RecordingReporter reporter;

    EXPECT_EQ(ReadHexBytes(image.path(), kSmallSize - 1, 3), "7C0000");
    EXPECT_EQ(ReadHexBytes(image.path(), kSmallSize + 100, 2), "0000");
    EXPECT_TRUE(reporter.empty());
}

TEST(ReadHexBytes, ReadOnlyFileCanBeRead) {
    TestImage image(0x00, kSmallSize);
    image.SetByte(5, 0xA5);
    ASSERT_EQ(chmod(image.path().c_str(), 0444), 0);
    RecordingReporter reporter;

    EXPECT_EQ(ReadHexBytes(image.path(), 5, 1), "A5");
    EXPECT_TRUE(reporter.empty());
}

// Every kind of refused read: empty result, nullopt from TryReadHexBytes, and
// exactly one report with the expected number that names path and offset.
struct ReadFailureCase {
    const char* name;
    int32_t offset;
    int32_t count;
    bool missingFile;
    int expectedNumber;
    const char* expectedOffsetText;
};

class ReadFailure : public testing::TestWithParam<ReadFailureCase> {};

TEST_P(ReadFailure, IsReportedOnceAndYieldsNothing) {
    const ReadFailureCase& c = GetParam();
    TestImage image(0x00, kSmallSize);
    image.SetByte(0, 0x12);
    const std::string path = c.missingFile ? (image.folder() / "gone.gbc").string() : image.path();
    RecordingReporter reporter;

    EXPECT_EQ(ReadHexBytes(path, c.offset, c.count), "");
    ASSERT_EQ(reporter.count(), 1u);
    EXPECT_EQ(TryReadHexBytes(path, c.offset, c.count), std::nullopt);
    ASSERT_EQ(reporter.count(), 2u);

    const rom::Failure& failure = reporter.last();
    EXPECT_EQ(failure.number, c.expectedNumber);
    EXPECT_NE(failure.description.find("\"" + path + "\""), std::string::npos) << failure.description;
    EXPECT_NE(failure.description.find(c.expectedOffsetText), std::string::npos) << failure.description;
    EXPECT_FALSE(std::filesystem::exists(image.folder() / "gone.gbc"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadFailure,
    testing::Values(ReadFailureCase{"NegativeOffset", -1, 1, false, EINVAL, "offset -1"},
                    ReadFailureCase{"PastHighestOffset", INT32_MAX, 2, false, EOVERFLOW, "0x7FFFFFFF"},
                    ReadFailureCase{"MissingFile", 0x13C, 1, true, ENOENT, "offset 0x13C"},
                    ReadFailureCase{"MissingFileCountZero", 0x10, 0, true, ENOENT, "offset 0x10"}),
    [](const testing::TestParamInfo<ReadFailureCase>& info) { return std::string(info.param.name); });

TEST(ReadHexBytes, FolderIsAReportedFailure) {
    TestImage image(0x00, kSmallSize);
    RecordingReporter reporter;
    EXPECT_EQ(ReadHexBytes(image.folder().string(), 0, 1), "");
    ASSERT_EQ(reporter.count(), 1u);
    EXPECT_EQ(reporter.last().number, EISDIR);
}

// ---- Writes --------------------------------------------------------------------

struct WriteCase {
    const char* name;
    const char* text;
    std::vector<uint8_t> expectedAtFive;  // bytes expected from offset 5 on
};

class WriteAccepted : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteAccepted, WritesExactlyTheAddressedBytes) {
    const WriteCase& c = GetParam();
    TestImage image(0x00, kSmallSize);
    image.FillWithPattern();
    const std::vector<uint8_t> before = image.ReadAll();
    RecordingReporter reporter;

    EXPECT_TRUE(WriteHexBytes(image.path(), 5, c.text));
    EXPECT_TRUE(reporter.empty());

    std::vector<uint8_t> expected = before;
    for (size_t k = 0; k < c.expectedAtFive.size(); ++k) expected[5 + k] = c.expectedAtFive[k];
    EXPECT_EQ(image.ReadAll(), expected);  // same length, nothing else changed
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteAccepted,
                         testing::Values(WriteCase{"OneDigit", "7", {0x07}},
                                         WriteCase{"OddLength", "1FF", {0x01, 0xFF}},
                                         WriteCase{"LowerCase", "ff", {0xFF}},
                                         WriteCase{"MixedCase", "aBcD", {0xAB, 0xCD}},
                                         WriteCase{"Empty", "", {}}),
                         [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(WriteHexBytes, WriteEndingOnTheLastByteIsAccepted) {
    TestImage image(0x00, kSmallSize);
    RecordingReporter reporter;
    EXPECT_TRUE(WriteHexBytes(image.path(), kSmallSize - 2, "BEEF"));
    EXPECT_TRUE(reporter.empty());
    EXPECT_EQ(image.ByteAt(kSmallSize - 2), 0xBE);
    EXPECT_EQ(image.ByteAt(kSmallSize - 1), 0xEF);
    EXPECT_EQ(image.size(), kSmallSize);
}

TEST(WriteHexBytes, FileCanBeReopenedRightAfterARefusedWrite) {
    TestImage image(0x00, kSmallSize);
    RecordingReporter reporter;
    EXPECT_FALSE(WriteHexBytes(image.path(), 5, "12G4"));
    EXPECT_TRUE(WriteHexBytes(image.path(), 5, "1234"));
    EXPECT_EQ(ReadHexBytes(image.path(), 5, 2), "1234");
    EXPECT_EQ(reporter.count(), 1u);
}

// Every kind of refused write: false, one report with the expected number that
// names path and offset, and the file byte for byte as it was.
struct WriteFailureCase {
    const char* name;
    int32_t offset;
    const char* text;
    int expectedNumber;
    const char* expectedInDescription;
};

class WriteRefused : public testing::TestWithParam<WriteFailureCase> {};

TEST_P(WriteRefused, WritesNothingAndReportsOnce) {
    const WriteFailureCase& c = GetParam();
    TestImage image(0x00, kSmallSize);
    image.FillWithPattern();
    const std::vector<uint8_t> before = image.ReadAll();
    RecordingReporter reporter;

    EXPECT_FALSE(WriteHexBytes(image.path(), c.offset, c.text));

    ASSERT_EQ(reporter.count(), 1u);
    const rom::Failure& failure = reporter.last();
    EXPECT_EQ(failure.number, c.expectedNumber);
    EXPECT_NE(failure.description.find("\"" + image.path() + "\""), std::string::npos) << failure.description;
    EXPECT_NE(failure.description.find(c.expectedInDescription), std::string::npos) << failure.description;
    EXPECT_NE(failure.description.find("Nothing was written."), std::string::npos) << failure.description;
    EXPECT_EQ(image.ReadAll(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteRefused,
    testing::Values(WriteFailureCase{"BadGroupAfterGoodOne", 5, "12G4", EINVAL, "\"G4\""},
                    WriteFailureCase{"BadFirstGroup", 5, "zz", EINVAL, "\"zz\""},
                    WriteFailureCase{"SpaceInside", 5, "12 4", EINVAL, "\" 4\""},
                    WriteFailureCase{"NegativeOffset", -1, "00", EINVAL, "offset -1"},
                    WriteFailureCase{"PastHighestOffset", INT32_MAX, "0102", EOVERFLOW, "0x7FFFFFFF"},
                    WriteFailureCase{"StartsAtTheEnd", static_cast<int32_t>(kSmallSize), "01", EFBIG,
                                     "the file ends at 0x40"},
                    WriteFailureCase{"CrossesTheEnd", static_cast<int32_t>(kSmallSize - 1), "0102", EFBIG,
                                     "offset 0x3F"},
                    WriteFailureCase{"FarPastTheEnd", 0xF2D67, "0102", EFBIG, "offset 0xF2D67"}),
    [](const testing::TestParamInfo<WriteFailureCase>& info) { return std::string(info.param.name); });

TEST(WriteHexBytes, MissingFileIsReportedAndNeverCreated) {
    TestImage image(0x00, kSmallSize);
    const std::string missing = (image.folder() / "gone.gbc").string();
    RecordingReporter reporter;

    EXPECT_FALSE(WriteHexBytes(missing, 5, "12"));
    EXPECT_FALSE(WriteHexBytes(missing, 5, ""));

    ASSERT_EQ(reporter.count(), 2u);
    EXPECT_EQ(reporter.failures()[0].number, ENOENT);
    EXPECT_NE(reporter.failures()[0].description.find("\"" + missing + "\""), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

// The read-only mark is honoured also when the system would let an
// administrator write (the tests may run as root).
TEST(WriteHexBytes, ReadOnlyFileIsReportedAndUnchanged) {
    TestImage image(0x00, kSmallSize);
    ASSERT_EQ(chmod(image.path().c_str(), 0444), 0);
    RecordingReporter reporter;

    EXPECT_FALSE(CheckWritable(image.path(), 5, 1));
    EXPECT_FALSE(WriteHexBytes(image.path(), 5, "12"));
    ASSERT_EQ(reporter.count(), 2u);
    EXPECT_EQ(reporter.last().number, EACCES);
    EXPECT_EQ(image.ByteAt(5), 0x00);
}

// CheckWritable refuses exactly what WriteHexBytes would refuse, and writes nothing.
TEST(CheckWritable, AgreesWithWriteAndTouchesNothing) {
    TestImage image(0x00, kSmallSize);
    RecordingReporter reporter;
    EXPECT_TRUE(CheckWritable(image.path(), 5, 2));
    EXPECT_TRUE(reporter.empty());
    EXPECT_FALSE(CheckWritable(image.path(), static_cast<int32_t>(kSmallSize) - 1, 2));
    EXPECT_FALSE(CheckWritable(image.path(), -1, 1));
    EXPECT_FALSE(CheckWritable(image.path() + ".missing", 0, 1));
    EXPECT_EQ(reporter.count(), 3u);
    EXPECT_FALSE(std::filesystem::exists(image.path() + ".missing"));
    EXPECT_EQ(image.ReadAll(), std::vector<uint8_t>(kSmallSize, 0x00));
}

// ---- Flushing to the disk ---------------------------------------------------------

TEST(SyncFile, FlushesAnExistingFileAndChangesNothing) {
    TestImage image(0x00, kSmallSize);
    image.FillWithPattern();
    ASSERT_TRUE(WriteHexBytes(image.path(), 5, "12"));
    const std::vector<uint8_t> before = image.ReadAll();
    RecordingReporter reporter;

    EXPECT_TRUE(SyncFile(image.path()));
    EXPECT_TRUE(reporter.empty());
    EXPECT_EQ(image.ReadAll(), before);
}

// A file that cannot be opened for the flush: one report with the system's
// number that names the file; a missing file is not created.
TEST(SyncFile, FileThatCannotBeOpenedIsReportedOnce) {
    TestImage image(0x00, kSmallSize);
    const std::string missing = (image.folder() / "gone.gbc").string();
    RecordingReporter reporter;

    EXPECT_FALSE(SyncFile(missing));
    ASSERT_EQ(reporter.count(), 1u);
    EXPECT_EQ(reporter.last().number, ENOENT);
    EXPECT_NE(reporter.last().description.find("\"" + missing + "\""), std::string::npos) << reporter.last().description;
    EXPECT_NE(reporter.last().description.find("(" + std::string(std::strerror(ENOENT)) + ")"), std::string::npos)
        << reporter.last().description;
    EXPECT_FALSE(std::filesystem::exists(missing));

    reporter.clear();
    EXPECT_FALSE(SyncFile(image.folder().string()));
    ASSERT_EQ(reporter.count(), 1u);
    EXPECT_EQ(reporter.last().number, EISDIR);
}

// ---- Reversal ------------------------------------------------------------------

TEST(ReverseHexBytes, ReversesTwoDigitGroups) {
    EXPECT_EQ(ReverseHexBytes(""), "");
    EXPECT_EQ(ReverseHexBytes("A"), "0A");
    EXPECT_EQ(ReverseHexBytes("ABC"), "BC0A");
    EXPECT_EQ(ReverseHexBytes("BC0A"), "0ABC");
    EXPECT_EQ(ReverseHexBytes("1234AB"), "AB3412");
    EXPECT_EQ(ReverseHexBytes(ReverseHexBytes("1234AB")), "1234AB");
}

}  // namespace
