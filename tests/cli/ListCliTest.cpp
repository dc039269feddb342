// The four list tables through quillmere-cli: export, import, diff, and an
// edit shared as a patch.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/CliProcess.h"
#include "tests/tables/ListImages.h"

namespace {

using clitest::Cli;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using testsupport::TestImage;

class ListCli : public Cli {
protected:
    TestImage image_ = listtest::ReleaseLikeImage(listtest::SyntheticLists());
};

TEST_F(ListCli, EachTableExportedAndImportedAgainLeavesTheImageAsItWas) {
    const std::string before = ReadFile(image_.path());
    for (const char* table : {"machines", "evolutions", "moves", "egg-moves"}) {
        for (const char* extension : {".csv", ".json"}) {
            const std::string file = InFolder(std::string(table) + extension);
            const Outcome exported = Quillmere({"export", image_.path(), "--table", table, "-o", file});
            ASSERT_EQ(exported.status, 0) << exported.err;
            const Outcome imported = Quillmere({"import", image_.path(), file, "--table", table});
            EXPECT_EQ(imported.status, 0) << imported.err;
            EXPECT_EQ(imported.out, "Nothing changed.\n");
        }
    }
    EXPECT_TRUE(ReadFile(image_.path()) == before);
    const Outcome wrong = Quillmere({"export", image_.path(), "--table", "items"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("--table must be species, machines, evolutions, moves, egg-moves or palettes"), std::string::npos);
}

// Teach Bulbasaur Vine Whip at level 7, check it with a dry run, write it,
// and share it as a patch that gives the same image.
TEST_F(ListCli, ALevelUpMoveTaughtLandsAndTravelsAsAPatch) {
    const std::string original = InFolder("original.gbc");
    std::filesystem::copy_file(image_.path(), original);
    const std::string moves = InFolder("moves.csv");
    WriteFile(moves, "Position,Species,Level,Move\n0,Bulbasaur,7,Vine Whip\n");
    const Outcome dry = Quillmere({"import", image_.path(), moves, "--table", "moves", "--dry-run"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out.rfind("0 Bulbasaur\n  Moves: +7 Vine Whip\nWould change the level-up moves of 1 species (", 0), 0u)
        << dry.out;
    EXPECT_TRUE(ReadFile(image_.path()) == ReadFile(original));

    const Outcome taught = Quillmere({"import", image_.path(), moves, "--table", "moves"});
    ASSERT_EQ(taught.status, 0) << taught.err;
    const Outcome diff = Quillmere({"diff", original, image_.path()});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out.rfind("0 Bulbasaur\n  Moves: +7 Vine Whip\n", 0), 0u) << diff.out;
    EXPECT_NE(diff.out.find("Pointers of 250 more species differ"), std::string::npos) << diff.out;
    const Outcome movesOnly = Quillmere({"diff", original, image_.path(), "--table", "moves"});
    EXPECT_EQ(movesOnly.status, 1);
    EXPECT_EQ(movesOnly.out, "0 Bulbasaur\n  Moves: +7 Vine Whip\n");
    EXPECT_EQ(Quillmere({"diff", original, image_.path(), "--table", "egg-moves"}).status, 0);

    const std::string patch = InFolder("vine-whip.ips");
    ASSERT_EQ(Quillmere({"patch", "create", original, image_.path(), patch}).status, 0);
    const std::string patched = InFolder("patched.gbc");
    const Outcome applied = Quillmere({"patch", "apply", patch, original, patched});
    ASSERT_EQ(applied.status, 0) << applied.err;
    EXPECT_TRUE(ReadFile(patched) == ReadFile(image_.path()));
    EXPECT_EQ(Quillmere({"diff", patched, image_.path()}).status, 0);
}

TEST_F(ListCli, RefusedImportsWriteNothing) {
    const std::string before = ReadFile(image_.path());
    const std::string moves = InFolder("moves.csv");
    WriteFile(moves, "Position,Species,Level,Move\n0,,7,Vine Whip\n0,,101,Tackle\n");
    const Outcome level = Quillmere({"import", image_.path(), moves, "--table", "moves"});
    EXPECT_EQ(level.status, 1);
    EXPECT_NE(level.err.find("moves.csv: line 3, column 3 (Level): Level must be"), std::string::npos) << level.err;
    EXPECT_NE(level.err.find("1 value or row was refused"), std::string::npos);

    // Far more egg moves than the bank has room for (lists that differ, so
    // that none is shared).
    std::string eggs = "Position,Species,Move\n";
    for (int k = 0; k < 9000; ++k) eggs += std::to_string(k % 251) + ",," + std::to_string(k % 250 + 1) + "\n";
    WriteFile(InFolder("eggs.csv"), eggs);
    const Outcome full = Quillmere({"import", image_.path(), InFolder("eggs.csv"), "--table", "egg-moves"});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("The egg move lists do not fit: packed, they take"), std::string::npos) << full.err;
    EXPECT_TRUE(ReadFile(image_.path()) == before);
}

// A changed list whose levels fall is written in the file's order, with one
// warning of what the game makes of it, also in a dry run.
TEST_F(ListCli, AChangedListWhoseLevelsFallIsWrittenWithAWarning) {
    const std::string moves = InFolder("moves.csv");
    WriteFile(moves, "Position,Species,Level,Move\n0,,7,Vine Whip\n0,,5,Tackle\n");
    const std::string warning = "quillmere-cli: warning: the level-up moves of 0 Bulbasaur fall from level 7 to level "
                                "5 at line 3; they are written in that order.";
    const Outcome dry = Quillmere({"import", image_.path(), moves, "--table", "moves", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.err.rfind(warning, 0), 0u) << dry.err;
    const Outcome written = Quillmere({"import", image_.path(), moves, "--table", "moves"});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.err, dry.err);
    const Outcome exported = Quillmere({"export", image_.path(), "--table", "moves"});
    EXPECT_NE(exported.out.find("\r\n0,Bulbasaur,7,Vine Whip\r\n0,Bulbasaur,5,Tackle\r\n1,"), std::string::npos)
        << exported.out.substr(0, 200);
}

// A moves file as a spreadsheet saves it (semicolons, its own spelling of
// the column names, empty rows below) does what the same rows with commas do.
TEST_F(ListCli, ASpreadsheetSavedFileImportsAsItsCommaForm) {
    const std::string copy = InFolder("copy.gbc");
    std::filesystem::copy_file(image_.path(), copy);
    WriteFile(InFolder("moves.csv"), "Position,Species,Level,Move\r\n0,Bulbasaur,7,Vine Whip\r\n1,Ivysaur,,\r\n");
    WriteFile(InFolder("saved.csv"),
              "position;SPECIES;le.vel;m ove\r\n0;Bulbasaur;7;Vine Whip\r\n1;Ivysaur;;\r\n;;;\r\n;;;\r\n");
    const Outcome plain = Quillmere({"import", copy, InFolder("moves.csv"), "--table", "moves"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    const Outcome saved = Quillmere({"import", image_.path(), InFolder("saved.csv"), "--table", "moves"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, plain.out);
    EXPECT_EQ(saved.out.rfind("0 Bulbasaur\n  Moves: +7 Vine Whip\n1 Ivysaur\n  Moves: \u2212", 0), 0u) << saved.out;
    EXPECT_TRUE(ReadFile(image_.path()) == ReadFile(copy));

    const std::string before = ReadFile(image_.path());
    WriteFile(InFolder("eggs.tsv.csv"), "POSITION\tspecies\tMove\r\n0\t\tFly Kick\r\n\t\t\r\n");
    const Outcome refused = Quillmere({"import", image_.path(), InFolder("eggs.tsv.csv"), "--table", "egg-moves"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("eggs.tsv.csv: line 2, column 3 (Move): Move must be a move's name"), std::string::npos)
        << refused.err;
    EXPECT_TRUE(ReadFile(image_.path()) == before);
}

TEST_F(ListCli, AnImageWithoutAKnownEggTableHasNoEggMoves) {
    const TestImage handBuilt(TestImage::HeaderByte(rom::GameVersion::Gold));
    const Outcome exported = Quillmere({"export", handBuilt.path(), "--table", "egg-moves"});
    EXPECT_EQ(exported.status, 1);
    EXPECT_TRUE(exported.out.empty());
    EXPECT_NE(exported.err.find("has no known egg move table"), std::string::npos) << exported.err;
    WriteFile(InFolder("eggs.csv"), "Position,Species,Move\n0,,Tackle\n");
    const Outcome imported = Quillmere({"import", handBuilt.path(), InFolder("eggs.csv"), "--table", "egg-moves"});
    EXPECT_EQ(imported.status, 1);
    EXPECT_NE(imported.err.find("has no known egg move table"), std::string::npos) << imported.err;
}

TEST_F(ListCli, AnUnreadableListIsSaidAndTheRestExported) {
    const rom::VersionProfile profile = rom::ReleasedProfile(rom::GameVersion::Crystal);
    image_.SetBytes(profile.EvoMovePointerOffset + 2 * 3, {0x00, 0x20});  // Charmander: 0x2000
    // A complete image holding it is refused whole (its pointers do not all
    // lead to lists); one built by hand (its header checksum broken) is read.
    image_.SetByte(rom::kHeaderChecksumOffset, static_cast<uint8_t>(image_.ByteAt(rom::kHeaderChecksumOffset) + 1));
    const Outcome exported = Quillmere({"export", image_.path(), "--table", "evolutions"});
    EXPECT_EQ(exported.status, 1);
    EXPECT_NE(exported.out.find("\r\n2,Venusaur,"), std::string::npos);
    EXPECT_EQ(exported.out.find("\r\n3,Charmander,"), std::string::npos);
    EXPECT_NE(exported.err.find("unreadable list of 3 Charmander: its pointer at 0x425B7 holds the address 0x2000"),
              std::string::npos)
        << exported.err;
}

}  // namespace
