#include "rom/ImageFacts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rom/SpeciesLayout.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TestImage.h"
#include "tests/support/TestNames.h"

namespace {

using rom::GameVersion;
using rom::ImageLayout;
using testsupport::RecordingReporter;
using testsupport::TestImage;

constexpr int64_t kMovedBy = 16;

// ---- Header facts ------------------------------------------------------------------

TEST(HeaderChecksum, FollowsTheCartridgeRule) {
    std::vector<uint8_t> image(0x150, 0);
    // 25 bytes of 0: x = -25 mod 256.
    EXPECT_EQ(rom::HeaderChecksum(image), 0xE7);
    image[0x134] = 0x41;
    image[0x14C] = 0x01;
    EXPECT_EQ(rom::HeaderChecksum(image), static_cast<uint8_t>(0xE7 - 0x41 - 0x01));
    // Bytes outside 0x134 to 0x14C do not count.
    image[0x133] = 0xFF;
    image[0x14D] = 0xFF;
    EXPECT_EQ(rom::HeaderChecksum(image), static_cast<uint8_t>(0xE7 - 0x41 - 0x01));
}

TEST(GlobalChecksum, SumsEveryByteButItsOwnTwo) {
    std::vector<uint8_t> image(0x8000, 0);
    image[0] = 0xFF;
    image[0x14E] = 0x12;  // its own two bytes are left out
    image[0x14F] = 0x34;
    image[0x7FFF] = 0x02;
    EXPECT_EQ(rom::GlobalChecksum(image), 0x0101);

    std::vector<uint8_t> full(0x20000, 0xFF);  // the sum wraps at 65536
    EXPECT_EQ(rom::GlobalChecksum(full), static_cast<uint16_t>((0x20000 - 2) * 0xFF));
}

// The sum is taken eight bytes at a time: every length's tail, every byte
// value in every lane, and a whole 8 MiB image of 0xFF (where wide sums would
// overflow narrower counters) agree with a byte-by-byte sum.
TEST(GlobalChecksum, AgreesWithAByteLoopOnEveryLengthAndValue) {
    auto byteLoop = [](const std::vector<uint8_t>& image) {
        uint32_t sum = 0;
        for (size_t i = 0; i < image.size(); ++i) {
            if (i != 0x14E && i != 0x14F) sum += image[i];
        }
        return static_cast<uint16_t>(sum);
    };
    std::vector<uint8_t> image(0x150 + 16);
    uint32_t state = 12345;
    for (size_t length = 0x150; length <= image.size(); ++length) {
        image.resize(length);
        for (uint8_t& byte : image) byte = static_cast<uint8_t>((state = state * 1103515245 + 12345) >> 16);
        EXPECT_EQ(rom::GlobalChecksum(image), byteLoop(image)) << length;
    }
    for (int value = 0; value < 256; ++value) {
        std::vector<uint8_t> same(0x160, static_cast<uint8_t>(value));
        EXPECT_EQ(rom::GlobalChecksum(same), byteLoop(same)) << value;
    }
    const std::vector<uint8_t> largest(8u << 20, 0xFF);
    EXPECT_EQ(rom::GlobalChecksum(largest), byteLoop(largest));
}

TEST(DeclaredRomSize, ThirtyTwoKibShiftedForZeroToEight) {
    EXPECT_EQ(rom::DeclaredRomSize(0), 32 * 1024);
    EXPECT_EQ(rom::DeclaredRomSize(6), 2 * 1024 * 1024);
    EXPECT_EQ(rom::DeclaredRomSize(8), 8 * 1024 * 1024);
    EXPECT_EQ(rom::DeclaredRomSize(9), std::nullopt);
    EXPECT_EQ(rom::DeclaredRomSize(0x52), std::nullopt);
}

TEST(CartridgeHeader, ReadsTheFieldsAndKeepsPrintableTitleBytes) {
    std::vector<uint8_t> image(0x150, 0);
    const std::string title = "KREBLIN";
    std::copy(title.begin(), title.end(), image.begin() + 0x134);
    image[0x134 + 7] = 0x07;  // not printable: left out
    image[0x134 + 8] = 'X';
    image[0x147] = 0x10;
    image[0x148] = 0x06;
    image[0x14A] = 0x01;
    image[0x14C] = 0x01;
    image[0x14D] = 0xAB;
    image[0x14E] = 0xCD;
    image[0x14F] = 0xEF;
    const rom::CartridgeHeader header = rom::ReadCartridgeHeader(image);
    EXPECT_EQ(header.title, "KREBLINX");
    EXPECT_EQ(header.cartridgeType, 0x10);
    EXPECT_EQ(header.romSizeByte, 0x06);
    EXPECT_EQ(header.destinationCode, 0x01);
    EXPECT_EQ(header.romVersion, 0x01);
    EXPECT_EQ(header.headerChecksum, 0xAB);
    EXPECT_EQ(header.globalChecksum, 0xCDEF);

    // A file too short for the header reads as zeros.
    EXPECT_EQ(rom::ReadCartridgeHeader(std::vector<uint8_t>(0x140, 0x41)).romSizeByte, 0);
}

TEST(CompleteImage, NeedsTheRightChecksumAndTheDeclaredLength) {
    TestImage image(0x41);
    image.MakeComplete();
    const std::vector<uint8_t> bytes = image.ReadAll();
    ASSERT_TRUE(rom::IsCompleteImage(bytes, static_cast<int64_t>(bytes.size())));
    EXPECT_EQ(bytes[0x148], 6);

    EXPECT_FALSE(rom::IsCompleteImage(bytes, static_cast<int64_t>(bytes.size()) + 1));
    EXPECT_FALSE(rom::IsCompleteImage(bytes, static_cast<int64_t>(bytes.size()) / 2));
    EXPECT_FALSE(rom::IsCompleteImage(std::span(bytes).first(0x14F), static_cast<int64_t>(bytes.size())));

    // A one-bit change in any byte that the checksum covers, or in the
    // checksum itself, makes the image incomplete.
    for (int64_t offset = 0x134; offset <= 0x14D; ++offset) {
        for (int bit = 0; bit < 8; ++bit) {
            std::vector<uint8_t> changed(bytes.begin(), bytes.begin() + rom::kHeaderEnd);
            changed[static_cast<size_t>(offset)] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_FALSE(rom::IsCompleteImage(changed, static_cast<int64_t>(bytes.size())))
                << "offset " << offset << " bit " << bit;
        }
    }
}

TEST(ImageLayout, Names) {
    EXPECT_EQ(rom::LayoutName(ImageLayout::Released), "released");
    EXPECT_EQ(rom::LayoutName(ImageLayout::TablesFile), "tables file");
    EXPECT_EQ(rom::LayoutName(ImageLayout::HandBuilt), "hand-built");
    EXPECT_EQ(rom::LayoutName(ImageLayout::Unknown), "unknown");
}

// ---- The layout answer ----------------------------------------------------------------

class LayoutResolution : public testing::TestWithParam<GameVersion> {
protected:
    GameVersion version() const { return GetParam(); }
    int32_t releasedBase() const { return rom::ReleasedProfile(version()).BaseStatsOffset; }
    int32_t releasedCry() const { return rom::ReleasedProfile(version()).CryTableOffset; }

    // The answer from the file and from the bytes in memory, which must agree;
    // the profile is the one of the layout's kind.
    ImageLayout Resolve(const TestImage& image) {
        RecordingReporter reporter;
        const std::optional<rom::ResolvedLayout> fromFile = rom::ResolveLayoutOfFile(image.path(), version());
        EXPECT_TRUE(reporter.empty());
        const rom::ResolvedLayout inMemory = rom::ResolveLayout(image.ReadAll(), version(), image.path());
        EXPECT_TRUE(fromFile.has_value());
        if (!fromFile) return ImageLayout::Unknown;
        EXPECT_EQ(fromFile->kind, inMemory.kind);
        EXPECT_EQ(fromFile->profile, inMemory.profile);
        EXPECT_EQ(fromFile->refusal, inMemory.refusal);
        switch (inMemory.kind) {
            case ImageLayout::Released:
                EXPECT_EQ(inMemory.profile, rom::ReleasedProfile(version()));
                break;
            case ImageLayout::HandBuilt:
                EXPECT_EQ(inMemory.profile, rom::DefaultProfile(version()));
                break;
            default:
                break;
        }
        return inMemory.kind;
    }

    // A complete image with the game code of the first American release.
    static void MakeAmerican(TestImage& image, GameVersion version) {
        image.SetGameCode(rom::FirstAmericanRelease(version).gameCode);
        image.MakeComplete();
    }
};

TEST_P(LayoutResolution, IncompleteImagesAreReleasedWhenNumberedElseHandBuilt) {
    EXPECT_EQ(Resolve(TestImage::Released(version())), ImageLayout::Released);
    EXPECT_EQ(Resolve(TestImage(TestImage::HeaderByte(version()))), ImageLayout::HandBuilt);

    // One wrong number, first, in the middle or last.
    for (int32_t k : {0, 120, 250}) {
        TestImage image = TestImage::Released(version());
        image.SetByte(releasedBase() + 32 * k, static_cast<uint8_t>(k + 2));
        EXPECT_EQ(Resolve(image), ImageLayout::HandBuilt) << "record " << k;
    }
    // A file that ends inside the records.
    EXPECT_EQ(Resolve(TestImage::Released(version(), releasedBase() + 32 * 200)), ImageLayout::HandBuilt);
    // Numbered at the hand-built base offset instead.
    TestImage shifted(TestImage::HeaderByte(version()));
    shifted.NumberBaseRecords(rom::DefaultProfile(version()).BaseStatsOffset);
    EXPECT_EQ(Resolve(shifted), ImageLayout::HandBuilt);
}

TEST_P(LayoutResolution, CompleteImagesAreReleasedOrUnknownNeverHandBuilt) {
    const rom::ReleaseLayout& row = rom::FirstAmericanRelease(version());
    EXPECT_EQ(Resolve(TestImage::OfRelease(row)), ImageLayout::Released);

    // The base records moved 16 bytes later, the routines still reading the
    // release's places: what the code names does not confirm.
    TestImage moved = TestImage::OfRelease(row, static_cast<int32_t>(kMovedBy), /*withRoutines=*/false);
    moved.PlantTableRoutines(row.tables, row.eggMovePointerOffset);
    moved.MakeComplete();
    EXPECT_EQ(Resolve(moved), ImageLayout::Unknown);

    // Blank but complete: a complete image never gets the hand-built tables.
    TestImage blank(TestImage::HeaderByte(version()));
    MakeAmerican(blank, version());
    EXPECT_EQ(Resolve(blank), ImageLayout::Unknown);

    // Byte 1 of one cry entry is not 0.
    for (int32_t k : {0, 250}) {
        TestImage image = TestImage::OfRelease(row);
        image.SetByte(releasedCry() + 6 * k + 1, 0x01);
        EXPECT_EQ(Resolve(image), ImageLayout::Unknown) << "cry entry " << k;
    }

    // Complete, numbered, but too short to hold the cry, icon and pointer
    // tables (512 KiB): nothing is confirmed.
    TestImage small = TestImage::Released(version(), 512 * 1024);
    MakeAmerican(small, version());
    EXPECT_EQ(Resolve(small), ImageLayout::Unknown);

    // The moved image made incomplete by one header byte: hand-built, as
    // images built by hand always were.
    moved.SetByte(0x134, 0x55);
    EXPECT_EQ(Resolve(moved), ImageLayout::HandBuilt);
}

TEST_P(LayoutResolution, EverySavedValueKeepsTheReleasedLayout) {
    // Every byte of every field of every species set to FF (out-of-list codes,
    // no gender), and every pointer to another list's start (an import
    // refuses a pointer that leads to no complete list): the answer only
    // reads bytes no field covers, and lists any list writer keeps complete.
    TestImage image = TestImage::OfRelease(rom::FirstAmericanRelease(version()));
    const rom::VersionProfile profile = rom::ReleasedProfile(version());
    const std::vector<uint8_t> firstList = {image.ByteAt(profile.EvoMovePointerOffset),
                                            image.ByteAt(profile.EvoMovePointerOffset + 1)};
    for (int32_t index = 0; index < rom::kSpeciesCount; ++index) {
        for (const rom::SpeciesField& field : rom::kSpeciesFields) {
            const int64_t at = *rom::FieldOffset(profile, index, field);
            if (field.table == rom::SpeciesTable::EvoMovePointer) {
                image.SetBytes(at, firstList);
            } else {
                image.FillRange(at, field.width, 0xFF);
            }
        }
    }
    EXPECT_EQ(Resolve(image), ImageLayout::Released);
}

INSTANTIATE_TEST_SUITE_P(Versions, LayoutResolution,
                         testing::Values(GameVersion::Gold, GameVersion::Silver, GameVersion::Crystal),
                         testsupport::VersionParamName);

TEST(LayoutResolutionOfFile, MissingFileIsOneReportedFailure) {
    TestImage image(0x47, 64);
    RecordingReporter reporter;
    EXPECT_EQ(rom::ResolveLayoutOfFile((image.folder() / "gone.gbc").string(), GameVersion::Gold), std::nullopt);
    EXPECT_EQ(reporter.count(), 1u);
}

}  // namespace
