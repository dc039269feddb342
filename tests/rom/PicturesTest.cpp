#include "rom/Pictures.h"

#include <gtest/gtest.h>

#include <vector>

#include "rom/CodeRoutines.h"
#include "tests/support/PictureImages.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The stream decoded from the start of a bank-sized image.
rom::DecodedStream Decode(const Bytes& stream, size_t room = 2048) {
    Bytes image(0x8000, 0xFF);
    std::copy(stream.begin(), stream.end(), image.begin() + 0x4000);
    return rom::DecodePictureStream(image, 0x4000, room);
}

TEST(PictureStreamTest, WorkedExampleDecodesToItsThirtyBytes) {
    const Bytes stream = {0x02, 0xAA, 0x0F, 0x33, 0x22, 0x55, 0x43, 0xF0, 0x0F, 0x61, 0x81,
                          0x00, 0x01, 0xA1, 0x88, 0xC2, 0x85, 0xE4, 0x0A, 0x77, 0xFF};
    ASSERT_EQ(stream.size(), 21u);
    const rom::DecodedStream out = Decode(stream);
    ASSERT_TRUE(out.ok()) << out.refusal;
    Bytes expected = {0xAA, 0x0F, 0x33, 0x55, 0x55, 0x55, 0xF0, 0x0F, 0xF0, 0x0F, 0x00, 0x00, 0x0F, 0x33,
                      0xAA, 0x0F, 0x00, 0x0F, 0xF0};
    expected.insert(expected.end(), 11, 0x77);
    EXPECT_EQ(out.bytes, expected);
}

TEST(PictureStreamTest, EveryLongFormAndOffsetFormAndOverlap) {
    Bytes stream;
    Bytes expected;
    // Long literal of 40 bytes, holding 0xFF as data.
    stream.insert(stream.end(), {0xE0, 39});
    for (int i = 0; i < 40; ++i) {
        const auto v = uint8_t(i == 5 ? 0xFF : i * 9 + 1);
        stream.push_back(v);
        expected.push_back(v);
    }
    // Long iterate of 300 x 0x3C (the count's high bits used).
    stream.insert(stream.end(), {0xE5, 0x2B, 0x3C});
    expected.insert(expected.end(), 300, 0x3C);
    // Long alternate of 5 bytes, and a short one of 1 (both bytes read).
    stream.insert(stream.end(), {0xE8, 0x04, 0x12, 0x34, 0x40, 0x56, 0x78});
    expected.insert(expected.end(), {0x12, 0x34, 0x12, 0x34, 0x12, 0x56});
    // Long zero of 33.
    stream.insert(stream.end(), {0xEC, 0x20});
    expected.insert(expected.end(), 33, 0);
    // Long repeat of 35 from start + 1 (big-endian offset 0x0001).
    stream.insert(stream.end(), {0xF0, 0x22, 0x00, 0x01});
    for (int i = 0; i < 35; ++i) expected.push_back(expected[size_t(1 + i)]);
    // Long flip of 3 from 2 back (relative form), each byte's bits reversed.
    stream.insert(stream.end(), {0xF4, 0x02, 0x81});
    for (int i = 0; i < 3; ++i) {
        uint8_t v = expected[expected.size() - 2];
        uint8_t r = 0;
        for (int b = 0; b < 8; ++b) r = uint8_t(r | ((v >> b) & 1) << (7 - b));
        expected.push_back(r);
    }
    // Long reverse of 4 from start + 3, read backwards.
    stream.insert(stream.end(), {0xF8, 0x03, 0x00, 0x03});
    for (int i = 0; i < 4; ++i) expected.push_back(expected[size_t(3 - i)]);
    // Long command 7 acts as repeat: 6 bytes overlapping themselves from 1 back.
    stream.insert(stream.end(), {0xFC, 0x05, 0x80});
    expected.insert(expected.end(), 6, expected.back());
    // Short repeat overlapping itself with period 3, from start (big-endian 0x0000 offset form).
    const size_t here = expected.size();
    stream.insert(stream.end(), {0x82, 0x00, 0x00, 0x87, 0x82});
    for (int i = 0; i < 3; ++i) expected.push_back(expected[size_t(i)]);
    for (int i = 0; i < 8; ++i) expected.push_back(expected[here + size_t(i)]);
    stream.push_back(0xFF);

    const rom::DecodedStream out = Decode(stream);
    ASSERT_TRUE(out.ok()) << out.refusal;
    EXPECT_EQ(out.bytes, expected);
}

TEST(PictureStreamTest, HostileStreamsAreRefusedWithoutReadingOutOfBounds) {
    struct Case {
        const char* what;
        Bytes stream;
        const char* says;
    };
    Bytes endless;
    for (int i = 0; i < 2000; ++i) endless.push_back(0x61);  // zero 2, never ending within the room
    const std::vector<Case> cases = {
        {"endless", endless, "more than the 784 bytes"},
        {"one long command past the room", {0xE3, 0xFF, 0x00, 0xFF}, "more than the 784 bytes"},
        {"repeat before the start", {0x00, 0x11, 0x81, 0x85, 0xFF}, "before its start"},
        {"reverse running before the start", {0x01, 0x11, 0x22, 0xC3, 0x80, 0xFF}, "before its start"},
        {"repeat from bytes not yet written", {0x00, 0x11, 0x80, 0x00, 0x01, 0xFF}, "not yet written"},
        {"reverse from the current position", {0x00, 0x11, 0xC0, 0x00, 0x01, 0xFF}, "not yet written"},
        {"copy from far out of range", {0x00, 0x11, 0x80, 0x7F, 0xFF, 0xFF}, "not yet written"},
    };
    for (const Case& c : cases) {
        const rom::DecodedStream out = Decode(c.stream, 784);
        EXPECT_FALSE(out.ok()) << c.what;
        EXPECT_NE(out.refusal.find(c.says), std::string::npos) << c.what << ": " << out.refusal;
    }

    // A stream without an end runs into the end of its bank, and one at the
    // very end of the image into the end of the image; neither is read past.
    Bytes image(0x8000, 0x00);
    image[0x3FFE] = 0x07;  // literal 8, cut off by the bank's end
    EXPECT_NE(rom::DecodePictureStream(image, 0x3FFE, 2048).refusal.find("past the end of its bank"),
              std::string::npos);
    image[0x7FFF] = 0xE0;  // a long form whose second byte is past the image
    EXPECT_FALSE(rom::DecodePictureStream(image, 0x7FFF, 2048).ok());
    EXPECT_FALSE(rom::DecodePictureStream(image, 0x8000, 2048).ok());
    EXPECT_FALSE(rom::DecodePictureStream(image, -1, 2048).ok());
}

TEST(PicturePixelsTest, TilesStandInColumnOrderAndBitsGiveTwoBitPixels) {
    for (const int dim : {1, 2, 5, 7}) {
        const std::vector<uint8_t> pixels = rom::TilesToPixels(testsupport::DrawnTiles(dim, dim), dim);
        ASSERT_EQ(pixels.size(), size_t(dim * 8 * dim * 8));
        for (int y = 0; y < dim * 8; ++y) {
            for (int x = 0; x < dim * 8; ++x) {
                ASSERT_EQ(pixels[size_t(y * dim * 8 + x)], testsupport::DrawnPixel(dim, x, y)) << dim << " " << x;
            }
        }
    }
    // One tile by hand: row 0 low 0x80 high 0x01 -> pixel 0 is 1, pixel 7 is 2.
    std::vector<uint8_t> tile(16, 0);
    tile[0] = 0x80;
    tile[1] = 0x01;
    tile[2] = 0xFF;
    tile[3] = 0xFF;
    const std::vector<uint8_t> pixels = rom::TilesToPixels(tile, 1);
    EXPECT_EQ(pixels[0], 1);
    EXPECT_EQ(pixels[7], 2);
    EXPECT_EQ(pixels[8], 3);
    EXPECT_EQ(rom::ColourToRgb(0x175D), (std::array<uint8_t, 3>{0xEF, 0xD6, 0x29}));
}

class PictureTablesTest : public testing::TestWithParam<rom::GameVersion> {};

TEST_P(PictureTablesTest, RoutinesLocateTheTablesAndEveryPlantedPictureDecodes) {
    const rom::GameVersion version = GetParam();
    std::vector<uint8_t> image(0x200000, 0);
    const int64_t base = 0x51424;
    const testsupport::PlantedPictures planted = testsupport::PlantPictures(image, version, base);
    const rom::PictureTables tables = rom::LocatePictureTables(image, version);
    EXPECT_EQ(tables.pointers.offset, planted.pointers) << tables.pointers.why;
    EXPECT_EQ(tables.letters.offset, planted.letters) << tables.letters.why;
    EXPECT_EQ(tables.palettes.offset, planted.palettes);
    EXPECT_NE(tables.fixUp, rom::BankFixUpKind::None);
    for (const testsupport::PlantedPicture& p : planted.pictures) {
        const int frontDim = p.species <= 251 ? rom::FrontPictureDim(image[size_t(base + (p.species - 1) * 32 + 17)]) : 0;
        const rom::Picture picture = rom::ReadPicture(image, tables, {p.species, p.letter, p.back}, frontDim);
        ASSERT_TRUE(picture.ok()) << p.name << ": " << picture.refusal;
        ASSERT_EQ(picture.dim, p.dim) << p.name;
        bool same = true;
        for (int y = 0; y < p.dim * 8; ++y) {
            for (int x = 0; x < p.dim * 8; ++x) {
                same = same && picture.pixels[size_t(y * p.dim * 8 + x)] == testsupport::DrawnPixel(p.seed, x, y);
            }
        }
        EXPECT_TRUE(same) << p.name;
    }
    EXPECT_TRUE(rom::ReadPicture(image, tables, {2, -1, false}, 5).absent);
    EXPECT_EQ(rom::ReadPalette(image, tables, 25), (rom::Palette{0x175D, 0x00DA, 0x023F, 0x2C54}));

    // Without the fix-up routine the stored bank is the real one: the first
    // picture now points into the wrong bank and does not decode as before.
    std::vector<uint8_t> unfixed = image;
    const std::string_view fixUp =
        version == rom::GameVersion::Crystal ? rom::kCrystalBankFixUpRoutine : rom::kGoldBankFixUpRoutine;
    unfixed[size_t(rom::RoutinePattern(fixUp).FindIn(unfixed)[0].at)] ^= 0xFF;
    const rom::PictureTables real = rom::LocatePictureTables(unfixed, version);
    EXPECT_EQ(real.fixUp, rom::BankFixUpKind::None);
    std::string why;
    EXPECT_EQ(rom::RealBank(unfixed, real, 0x1F, why), 0x1F);

    // A routine that occurs twice giving two places proves nothing: the
    // the palettes still are.
    std::vector<uint8_t> twice = image;
    const std::string_view pictures =
        version == rom::GameVersion::Crystal ? rom::kCrystalPictureRoutine : rom::kGoldPictureRoutine;
    const std::vector<uint8_t> again = rom::RoutinePattern(pictures).Bytes(0x4000, 0x30);
    std::copy(again.begin(), again.end(), twice.begin() + 0x3C000);
    const rom::PictureTables doubled = rom::LocatePictureTables(twice, version);
    EXPECT_FALSE(doubled.pointers.offset);
    EXPECT_NE(doubled.pointers.why.find("giving two places"), std::string::npos);
    EXPECT_FALSE(rom::ReadPicture(twice, doubled, {1, -1, false}, 5).ok());
    EXPECT_TRUE(doubled.palettes.offset);
    // Twice for one place is one proof, as for the species tables.
    std::vector<uint8_t> same = image;
    const std::vector<uint8_t> copy(image.begin() + tables.pointers.routineAt.value_or(0),
                                    image.begin() + tables.pointers.routineAt.value_or(0) + 32);
    std::copy(copy.begin(), copy.end(), same.begin() + 0x3C000);
    const rom::PictureTables once = rom::LocatePictureTables(same, version);
    EXPECT_EQ(once.pointers.offset, tables.pointers.offset);
    EXPECT_EQ(once.pointers.routines, 2u);
}

INSTANTIATE_TEST_SUITE_P(Versions, PictureTablesTest,
                         testing::Values(rom::GameVersion::Crystal, rom::GameVersion::Gold));

TEST(CrystalRoutineFormsTest, RewrittenCrystalRoutinesAreFoundToo) {
    std::vector<uint8_t> image(0x200000, 0);
    // The form with the address loaded in each branch: pointers first, the
    // letter table's own address and bank in the next branch.
    const std::vector<uint8_t> branches = {0xFA, 0, 0, 0x21, 0x00, 0x40, 0x16, 0x50, 0x18, 0x08,
                                           0xFA, 0, 0, 0x21, 0x00, 0x48, 0x16, 0x5A};
    std::copy(branches.begin(), branches.end(), image.begin() + 0x38100);
    rom::PictureTables tables = rom::LocatePictureTables(image, rom::GameVersion::Crystal);
    EXPECT_EQ(tables.pointers.offset, 0x50 * 0x4000);
    EXPECT_EQ(tables.letters.offset, 0x5A * 0x4000 + 0x800);

    std::vector<uint8_t> checked = rom::RoutinePattern(rom::kCrystalPictureRoutineChecked).Bytes(0x4000, 0x48);
    checked[12] = 0x5A;
    std::fill(image.begin() + 0x38100, image.begin() + 0x38200, 0);
    std::copy(checked.begin(), checked.end(), image.begin() + 0x38100);
    tables = rom::LocatePictureTables(image, rom::GameVersion::Crystal);
    EXPECT_EQ(tables.pointers.offset, 0x48 * 0x4000);
    EXPECT_EQ(tables.letters.offset, 0x5A * 0x4000);
}

}  // namespace
