// Pictures and palettes through quillmere-cli, on images laid out like a
// Crystal and a Gold release with pictures planted through the bank fix-ups:
// every PNG read back with libpng, and the palettes table in every format.

#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "rom/Pictures.h"
#include "tests/cli/CliProcess.h"
#include "rom/SpeciesNames.h"
#include "tests/support/NameImages.h"
#include "tests/support/PictureImages.h"

namespace {

using clitest::Cli;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using testsupport::TestImage;

struct Png {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    std::vector<std::array<uint8_t, 3>> palette;
    std::vector<uint8_t> indices;  // one byte a pixel
};

// Reads an indexed PNG with libpng, unpacking the pixels to a byte each.
Png ReadPng(const std::string& path) {
    Png png;
    // Closed on every way out, the jump back of a libpng error included.
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (file == nullptr) return png;
    png_structp read = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(read);
    if (setjmp(png_jmpbuf(read))) {
        png_destroy_read_struct(&read, &info, nullptr);
        return Png{};
    }
    png_init_io(read, file.get());
    png_read_png(read, info, PNG_TRANSFORM_PACKING, nullptr);
    png.width = int(png_get_image_width(read, info));
    png.height = int(png_get_image_height(read, info));
    png.bitDepth = png_get_bit_depth(read, info);
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(read, info, &colours, &count) != 0) {
        for (int k = 0; k < count; ++k) png.palette.push_back({colours[k].red, colours[k].green, colours[k].blue});
    }
    png_bytepp rows = png_get_rows(read, info);
    for (int y = 0; y < png.height; ++y) png.indices.insert(png.indices.end(), rows[y], rows[y] + png.width);
    png_destroy_read_struct(&read, &info, nullptr);
    return png;
}

std::string Hex(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::array<uint8_t, 3> Rgb(uint16_t colour) {
    const auto channel = [](int v) { return uint8_t(v << 3 | v >> 2); };
    return {channel(colour & 31), channel(colour >> 5 & 31), channel(colour >> 10 & 31)};
}

class PictureCli : public Cli, public testing::WithParamInterface<rom::GameVersion> {
protected:
    void SetUp() override {
        const rom::ReleaseLayout& release = rom::FirstAmericanRelease(GetParam());
        image_ = TestImage::OfRelease(release);
        bytes_ = image_.ReadAll();
        planted_ = testsupport::PlantPictures(bytes_, GetParam(), release.tables.BaseStatsOffset);
        image_.SetBytes(0, bytes_);
    }

    uint16_t Colour(int species, int k) const {
        const size_t at = size_t(planted_.palettes + species * 8 + k * 2);
        return uint16_t((bytes_[at] | bytes_[at + 1] << 8) & 0x7FFF);
    }

    TestImage image_{0x00, 0};
    std::vector<uint8_t> bytes_;
    testsupport::PlantedPictures planted_;
};

TEST_P(PictureCli, EveryPictureIsWrittenAsAnIndexedPngOfItsPixelsAndColours) {
    const std::string folder = InFolder("pictures");
    const Outcome run = Quillmere({"export", "--pictures", folder, image_.path()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::set<std::string> expected;
    for (const testsupport::PlantedPicture& p : planted_.pictures) {
        expected.insert(p.name + ".png");
        if (p.species != rom::kEggSpecies) expected.insert(p.name + "-shiny.png");
    }
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) written.insert(entry.path().filename());
    EXPECT_EQ(written, expected);
    EXPECT_EQ(run.out, "Wrote " + std::to_string(expected.size()) + " pictures into \"" + folder + "\".\n");

    for (const testsupport::PlantedPicture& p : planted_.pictures) {
        for (const bool shiny : {false, true}) {
            if (shiny && p.species == rom::kEggSpecies) continue;
            const std::string name = p.name + (shiny ? "-shiny" : "") + ".png";
            const Png png = ReadPng(folder + "/" + name);
            ASSERT_EQ(png.width, p.dim * 8) << name;
            ASSERT_EQ(png.height, p.dim * 8) << name;
            EXPECT_EQ(ReadFile(folder + "/" + name).substr(24, 2), std::string("\x02\x03", 2)) << name;  // IHDR
            const int entry = p.species;  // letters use species 201's palette, the egg entry 253
            const std::vector<std::array<uint8_t, 3>> colours = {
                {0xFF, 0xFF, 0xFF}, Rgb(Colour(entry, shiny ? 2 : 0)), Rgb(Colour(entry, shiny ? 3 : 1)), {0, 0, 0}};
            EXPECT_EQ(png.palette, colours) << name;
            bool same = true;
            for (int y = 0; y < png.height; ++y) {
                for (int x = 0; x < png.width; ++x) {
                    same = same && png.indices[size_t(y * png.width + x)] == testsupport::DrawnPixel(p.seed, x, y);
                }
            }
            EXPECT_TRUE(same) << name;
        }
    }
    EXPECT_EQ(image_.ReadAll(), bytes_);

    // A picture whose stream is broken is said and left out; the others are written.
    std::vector<uint8_t> broken = bytes_;
    const size_t entry = size_t(planted_.pointers + 24 * 6);  // species 25's front
    const size_t stream = size_t(testsupport::BankedStream(broken, entry, GetParam()));
    broken[stream] = 0x80;  // a repeat of bytes not yet written
    broken[stream + 1] = 0x7F;
    broken[stream + 2] = 0xFF;
    image_.SetBytes(0, broken);
    const std::string again = InFolder("again");
    const Outcome refused = Quillmere({"export", "--pictures", again, image_.path()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("picture 025-front: the picture's stream at"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(again + "/025-front.png"));
    EXPECT_TRUE(std::filesystem::exists(again + "/025-back.png"));
}

// The names, picture and palette tables are tables of the layout like the
// five: info shows each with its offset, routine and proof, info --tables
// prints their lines, and a ".tables" file holding those lines is used (and
// refused, naming its line, where the image does not confirm one).
TEST_P(PictureCli, InfoShowsTheNamesPictureAndPaletteTablesAndATablesFileMayNameThem) {
    const bool crystal = GetParam() == rom::GameVersion::Crystal;
    testsupport::PlantNames(image_, GetParam(), rom::kNameFieldLength);
    bytes_ = image_.ReadAll();
    const int64_t egg = 0x15 * 0x4000 + 0x2000;  // Gold's egg: ld hl, 0x6000; ld a, 0x15
    const Outcome info = Quillmere({"info", image_.path()});
    ASSERT_EQ(info.status, 0) << info.err;
    const auto shows = [&](const std::string& line) {
        EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
    };
    shows("    species names:           " + Hex(testsupport::kNamesOffset) +
          ", read by the routine at 0x3D00, fields of 10 bytes; every field a name ending with 0x50 or filling its "
          "field\n");
    shows("    picture pointers:        " + Hex(planted_.pointers) + ", read by the routine at 0x38100, " +
          (crystal ? "253 entries of 6 bytes (the egg's the last); stored banks turned into real ones through the "
                     "list at 0x34200\n"
                   : "251 entries of 6 bytes; stored banks turned into real ones through the list at 0x34200\n"));
    shows("    letter pictures:         " + Hex(planted_.letters) + ", read by the routine at " +
          (crystal ? "0x38100" : "0x38180") + ", 26 entries of 6 bytes, A to Z\n");
    shows("    palettes:                " + Hex(planted_.palettes) +
          ", read by the routine at 0x8100, entries of 8 bytes by species number\n");
    EXPECT_EQ(info.out.find("egg picture:") != std::string::npos, !crystal) << info.out;
    if (!crystal) shows("    egg picture:             " + Hex(egg) + ", read by the routine at 0x3810F, a stream of 5 x 5 tiles\n");

    const Outcome lines = Quillmere({"info", "--tables", image_.path()});
    ASSERT_EQ(lines.status, 0) << lines.err;
    std::string others = "names = " + Hex(testsupport::kNamesOffset) + "\npictures = " + Hex(planted_.pointers) +
                         "\nletters = " + Hex(planted_.letters) + "\n";
    if (!crystal) others += "egg = " + Hex(egg) + "\n";
    others += "palettes = " + Hex(planted_.palettes) + "\n";
    ASSERT_GT(lines.out.size(), others.size());
    EXPECT_EQ(lines.out.substr(lines.out.size() - others.size()), others) << lines.out;

    // The lines kept beside the image: the same tables, on the file's word;
    // every picture is exported as before.
    image_.WriteTablesFile(lines.out);
    const Outcome fromFile = Quillmere({"info", image_.path()});
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    EXPECT_NE(fromFile.out.find("    picture pointers:        " + Hex(planted_.pointers) +
                                ", line 7 of the \".tables\" file, "),
              std::string::npos)
        << fromFile.out;
    const Outcome pictures = Quillmere({"export", "--pictures", InFolder("pictures"), image_.path()});
    EXPECT_EQ(pictures.status, 0) << pictures.err;

    // A names line where no names stand refuses the file, naming its line;
    // so does an egg line in a Crystal, which reads its egg from the pointers.
    std::string misplaced = lines.out;
    const std::string names = "names = " + Hex(testsupport::kNamesOffset);
    misplaced.replace(misplaced.find(names), names.size(), "names = 0x4");
    image_.WriteTablesFile(misplaced);
    Outcome refused = Quillmere({"export", image_.path()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Line 6 of \"" + image_.tablesPath() + "\": the species names at 0x4 are not name fields"),
              std::string::npos)
        << refused.err;
    if (crystal) {
        image_.WriteTablesFile(lines.out + "egg = 0x56000\n");
        refused = Quillmere({"export", image_.path()});
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("Line 10 of \"" + image_.tablesPath() +
                                   "\": a Crystal game reads its egg picture as entry 253 of its picture pointers"),
                  std::string::npos)
            << refused.err;
    }
    EXPECT_EQ(image_.ReadAll(), bytes_);
}

TEST_P(PictureCli, PalettesRoundTripInEveryFormatAndAnEditWritesTwoBytes) {
    for (const char* extension : {".csv", ".json"}) {
        const std::string file = InFolder(std::string("palettes") + extension);
        const Outcome exported = Quillmere({"export", image_.path(), "--table", "palettes", "-o", file});
        ASSERT_EQ(exported.status, 0) << exported.err;
        const Outcome imported = Quillmere({"import", image_.path(), file, "--table", "palettes"});
        EXPECT_EQ(imported.status, 0) << imported.err;
        EXPECT_EQ(imported.out, "Nothing changed.\n");
    }
    const std::string workbook = InFolder("all.xlsx");
    const Outcome exported = Quillmere({"export", image_.path(), "-o", workbook});
    ASSERT_TRUE(std::filesystem::exists(workbook)) << exported.err;
    const Outcome sheet = Quillmere({"import", image_.path(), workbook, "--table", "palettes"});
    EXPECT_EQ(sheet.status, 0) << sheet.err;
    EXPECT_NE(sheet.out.find("Nothing changed"), std::string::npos) << sheet.out;
    EXPECT_EQ(image_.ReadAll(), bytes_);

    // A refused colour writes nothing and names the nearest stored one.
    const std::string bad = InFolder("bad.csv");
    WriteFile(bad, "Position,Normal1\n24,#EFD62A\n");
    const Outcome refused = Quillmere({"import", image_.path(), bad, "--table", "palettes"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("the nearest is #EFD629"), std::string::npos) << refused.err;
    EXPECT_EQ(image_.ReadAll(), bytes_);

    const std::string edit = InFolder("edit.csv");
    WriteFile(edit, "Position,Normal1\n24,#FF0000\n");
    const Outcome edited = Quillmere({"import", image_.path(), edit, "--table", "palettes"});
    ASSERT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(edited.out, "24 Pikachu\n  Palette: Normal1 #EFD629 \u2192 #FF0000\n"
                          "Changed the palettes of 1 species (2 bytes of the image).\n");
    std::vector<uint8_t> expected = bytes_;
    expected[size_t(planted_.palettes + 25 * 8)] = 0x1F;
    expected[size_t(planted_.palettes + 25 * 8 + 1)] = 0x00;
    EXPECT_EQ(image_.ReadAll(), expected);

    TestImage original = TestImage::OfRelease(rom::FirstAmericanRelease(GetParam()));
    original.SetBytes(0, bytes_);
    const Outcome diff = Quillmere({"diff", original.path(), image_.path(), "--table", "palettes"});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out, "24 Pikachu\n  Palette: Normal1 #EFD629 \u2192 #FF0000\n");
}

INSTANTIATE_TEST_SUITE_P(Versions, PictureCli, testing::Values(rom::GameVersion::Crystal, rom::GameVersion::Gold));

}  // namespace
