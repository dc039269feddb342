// The page's editing session on an image laid out like a release: every edit
// goes through the import rules and is one step; refusals write nothing;
// undo and redo give back the exact bytes; downloads and exports match what
// the command line makes of the same image.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>
#include <string>
#include <tuple>
#include <vector>

#include "patches/BpsPatch.h"
#include "rom/ImageFacts.h"
#include "rom/SpeciesLayout.h"
#include "rom/TablesFile.h"
#include "tables/FieldText.h"
#include "tables/ImageFiles.h"
#include "tables/WorkbookTables.h"
#include "tests/web/WebImages.h"
#include "web/Session.h"

namespace {

using nlohmann::json;

class SessionTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("quillmere-web-" + std::to_string(::getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_ / "edit");
        std::filesystem::create_directories(folder_ / "download");
        original_ = webtest::ReleaseLikeImage();
        session_.emplace((folder_ / "edit").string(), (folder_ / "download").string());
        const json opened = session_->Open("crystal.gbc", original_, std::nullopt);
        ASSERT_TRUE(opened["ok"]) << opened.dump();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::vector<uint8_t> Bytes() const {
        std::ifstream in(folder_ / "edit" / "crystal.gbc", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    size_t HpOffset() const {
        const rom::SpeciesField& hp = rom::kSpeciesFields[0];
        return static_cast<size_t>(*rom::FieldOffset(webtest::Release().tables, webtest::kPikachu, hp));
    }
    std::vector<size_t> ChangedOffsets(const std::vector<uint8_t>& bytes) const {
        std::vector<size_t> changed;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != original_[i]) changed.push_back(i);
        }
        return changed;
    }

    std::filesystem::path folder_;
    std::vector<uint8_t> original_;
    std::optional<web::Session> session_;
};

TEST_F(SessionTest, OpensAsTheProgramsDoAndRefusesMovedTables) {
    web::Session session((folder_ / "edit").string(), (folder_ / "download").string());
    json opened = session.Open("crystal.gbc", original_, std::nullopt);
    EXPECT_EQ(opened["caption"], "Kreblin Crystal Version");
    EXPECT_EQ(opened["release"], "Kreblin Crystal Version (America)");
    EXPECT_EQ(opened["identity"], "Kreblin Crystal Version (America)");
    EXPECT_EQ(opened["columns"].size(), 3 + rom::kSpeciesFields.size());  // Position, Species, Name, the fields
    EXPECT_EQ(session.Species()["rows"].size(), 251u);

    // Its ".tables" file makes the moved image editable where it says.
    const rom::VersionProfile moved = testsupport::TestImage::MovedTables(webtest::Release(), webtest::kMovedBy);
    opened = session.Open("moved.gbc", webtest::MovedTablesImage(), rom::TablesFileText(moved));
    ASSERT_TRUE(opened["ok"]) << opened.dump();
    EXPECT_EQ(opened["layout"], "tables file");
    EXPECT_EQ(opened["identity"], "Kreblin Crystal Version (tables file layout)");
    ASSERT_TRUE(session.SetField(webtest::kPikachu, "HP", "7")["changed"]);
    EXPECT_EQ(session.SavedImage().bytes[static_cast<size_t>(
                  *rom::FieldOffset(moved, webtest::kPikachu, *tables::FieldOfColumn("HP")))],
              7);

    // The same name refused (no ".tables" file this time): the image that is
    // open keeps its file, its edit and its step.
    opened = session.Open("moved.gbc", webtest::MovedTablesImage(), std::nullopt);
    EXPECT_FALSE(opened["ok"]);
    EXPECT_NE(opened["message"].get<std::string>().find("\"moved.gbc\""), std::string::npos) << opened.dump();
    EXPECT_NE(opened["message"].get<std::string>().find("where its tables lie is not proven"), std::string::npos);
    EXPECT_EQ(opened["message"].get<std::string>().find(folder_.string()), std::string::npos);
    ASSERT_TRUE(session.IsOpen());
    EXPECT_EQ(session.History()["steps"].size(), 1u);
    EXPECT_EQ(session.SavedImage().bytes[static_cast<size_t>(
                  *rom::FieldOffset(moved, webtest::kPikachu, *tables::FieldOfColumn("HP")))],
              7);
    EXPECT_TRUE(session.Undo()["changed"]);
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "download"));

    // With the routines that read its tables: a modified game, named as one.
    opened = session.Open("modified.gbc", testsupport::TestImage::OfRelease(webtest::Release(), webtest::kMovedBy).ReadAll(),
                          std::nullopt);
    ASSERT_TRUE(opened["ok"]) << opened.dump();
    EXPECT_EQ(opened["layout"], "modified game");
    EXPECT_EQ(opened["release"], "");
    EXPECT_EQ(opened["identity"],
              "a modified game based on Kreblin Crystal Version (game code and revision of the American release)");
}

TEST_F(SessionTest, FieldEditsAreStepsAndRefusalsWriteNothing) {
    json answer = session_->SetField(webtest::kPikachu, "HP", " 40 ");
    ASSERT_TRUE(answer["ok"]) << answer.dump();
    EXPECT_EQ(answer["value"], "40");
    const std::vector<uint8_t> edited = Bytes();
    EXPECT_EQ(ChangedOffsets(edited), std::vector<size_t>{HpOffset()});
    EXPECT_EQ(edited[HpOffset()], 40);

    for (const auto& [column, text] : {std::pair{"HP", "300"}, {"Type1", "Fairy"}, {"Pointer", "XYZ"}}) {
        answer = session_->SetField(webtest::kPikachu, column, text);
        EXPECT_FALSE(answer["ok"]) << column;
        EXPECT_NE(answer["message"].get<std::string>().find(column), std::string::npos) << answer.dump();
    }
    EXPECT_EQ(Bytes(), edited);
    EXPECT_EQ(session_->History()["steps"].size(), 1u);
    EXPECT_NE(session_->History()["changes"].get<std::string>().find("24 Pikachu\n  HP: "), std::string::npos);

    // The same value again is no step.
    EXPECT_FALSE(session_->SetField(webtest::kPikachu, "HP", "40")["changed"]);
    EXPECT_EQ(session_->History()["steps"].size(), 1u);

    // A Pointer leading to another species' list changes the lists shown.
    const size_t pointer = tables::FieldIndex(*tables::FieldOfColumn("Pointer"));
    const std::string raichus = session_->Species()["rows"][webtest::kPikachu + 1]["values"][pointer];
    answer = session_->SetField(webtest::kPikachu, "Pointer", raichus);
    ASSERT_TRUE(answer["ok"]) << answer.dump();
    EXPECT_TRUE(answer["listsChanged"]);
    EXPECT_TRUE(session_->Lists(webtest::kPikachu)["moves"].empty());
    EXPECT_FALSE(session_->SetField(webtest::kPikachu, "ATK", "1")["listsChanged"]);
    // One byte into Raichu's list is no list's start: refused, nothing written.
    const int address = std::stoi(raichus.substr(2, 2) + raichus.substr(0, 2), nullptr, 16) + 1;
    const std::vector<uint8_t> before = Bytes();
    answer = session_->SetField(webtest::kPikachu, "Pointer", rom::TwoDigitHex(address & 0xFF) + rom::TwoDigitHex(address >> 8));
    EXPECT_FALSE(answer["ok"]) << answer.dump();
    EXPECT_EQ(Bytes(), before);

    // The page's lists send an entry's code.
    for (const char* code : {"0A", "0B"}) {
        answer = session_->SetField(0, "Type1", code);
        EXPECT_TRUE(answer["ok"]) << answer.dump();
    }
    EXPECT_EQ(Bytes()[static_cast<size_t>(*rom::FieldOffset(webtest::Release().tables, 0, *tables::FieldOfColumn("Type1")))],
              0x0B);
}

TEST_F(SessionTest, UndoAndRedoGiveBackTheExactBytes) {
    ASSERT_TRUE(session_->SetField(webtest::kPikachu, "HP", "40")["ok"]);
    const std::vector<uint8_t> afterField = Bytes();
    ASSERT_TRUE(session_->SetList(webtest::kPikachu, "moves", {{"1", "84"}, {"6", "39"}, {"8", "86"}, {"11", "85"}})["changed"]);
    const std::vector<uint8_t> afterList = Bytes();

    EXPECT_EQ(session_->Undo()["step"], "Level-up moves of Pikachu");
    EXPECT_EQ(Bytes(), afterField);
    EXPECT_TRUE(session_->Undo()["changed"]);
    EXPECT_EQ(Bytes(), original_);
    EXPECT_FALSE(session_->Undo()["changed"]);
    EXPECT_EQ(session_->History()["changes"], "");

    EXPECT_TRUE(session_->Redo()["changed"]);
    EXPECT_TRUE(session_->Redo()["changed"]);
    EXPECT_EQ(Bytes(), afterList);
    EXPECT_FALSE(session_->History()["canRedo"]);

    // A new change after an undo drops what could be redone.
    session_->Undo();
    ASSERT_TRUE(session_->SetField(0, "ATK", "99")["changed"]);
    const json history = session_->History();
    EXPECT_FALSE(history["canRedo"]);
    EXPECT_EQ(history["steps"].size(), 2u);
}

TEST_F(SessionTest, ListEditsTakeTheImportsRulesAndRoom) {
    const json before = session_->Lists(webtest::kPikachu);
    ASSERT_EQ(before["moves"].size(), 3u);
    ASSERT_EQ(before["evolutions"].size(), 1u);
    EXPECT_EQ(before["evolutions"][0], json::array({"2", "", "16", "", "", "26"}));

    json answer = session_->SetList(webtest::kPikachu, "moves", {{"1", "84"}, {"6", "39"}, {"8", "86"}, {"11", "85"}});
    ASSERT_TRUE(answer["ok"]) << answer.dump();
    const json after = session_->Lists(webtest::kPikachu);
    EXPECT_EQ(after["moves"].size(), 4u);
    EXPECT_EQ(after["room"]["free"].get<int64_t>(), before["room"]["free"].get<int64_t>() - 2);
    const std::vector<uint8_t> edited = Bytes();

    answer = session_->SetList(webtest::kPikachu, "moves", {{"1", "84"}, {"0", "84"}});
    EXPECT_FALSE(answer["ok"]);
    EXPECT_EQ(answer["places"], json::parse(R"([{"row": 1, "column": "Level"}])"));
    EXPECT_NE(answer["message"].get<std::string>().find("Level must be a whole number from 1 to 100"),
              std::string::npos) << answer.dump();
    // The page's rows are named by species and column, never by a line.
    answer = session_->SetList(webtest::kPikachu, "evolutions", {{"1", "", "16", "", "", "26"}});
    std::string message = answer["message"];
    EXPECT_TRUE(message.starts_with("Evolutions of Pikachu, Level: Level must be")) << message;
    EXPECT_EQ(message.find("line"), std::string::npos) << message;
    message = session_->SetField(0, "HP", "300")["message"];
    EXPECT_TRUE(message.starts_with("HP of Bulbasaur: HP must be")) << message;
    EXPECT_EQ(Bytes(), edited);

    // A new move takes its place by level, after the moves of its level.
    answer = session_->SetList(webtest::kPikachu, "moves",
                               {{"1", "84"}, {"6", "39"}, {"8", "86"}, {"11", "85"}, {"6", "98"}}, 4);
    ASSERT_TRUE(answer["changed"]) << answer.dump();
    EXPECT_FALSE(answer.contains("warning")) << answer.dump();
    EXPECT_EQ(session_->Lists(webtest::kPikachu)["moves"],
              json::parse(R"([["1","84"],["6","39"],["6","98"],["8","86"],["11","85"]])"));
    session_->Undo();
    // A refusal beside a new move names the rows as the page holds them, the new one moved or not.
    answer = session_->SetList(webtest::kPikachu, "moves", {{"1", "84"}, {"300", "39"}, {"8", "86"}, {"5", ""}}, 3);
    EXPECT_EQ(answer["places"], json::parse(R"([{"row": 3, "column": "Move"}, {"row": 1, "column": "Level"}])"))
        << answer.dump();

    // Levels that fall are taken, with the library's warning less its line.
    answer = session_->SetList(webtest::kPikachu, "moves", {{"8", "86"}, {"6", "39"}});
    EXPECT_TRUE(answer["changed"]) << answer.dump();
    EXPECT_NE(answer.value("warning", "").find("warning: "), std::string::npos) << answer.dump();
    EXPECT_EQ(answer.value("warning", "").find("line"), std::string::npos) << answer.dump();
    EXPECT_EQ(session_->History()["room"], session_->Lists(webtest::kPikachu)["room"]);

    // Emptied, and machines by their cells.
    ASSERT_TRUE(session_->SetList(0, "egg-moves", {})["changed"]);
    EXPECT_TRUE(session_->Lists(0)["eggMoves"].empty());
    std::vector<std::string> machines(60, "0");
    machines[0] = "1";
    ASSERT_TRUE(session_->SetList(1, "machines", {machines})["ok"]);
    EXPECT_EQ(session_->Lists(1)["machines"][0], true);
    EXPECT_EQ(session_->Lists(1)["machines"][1], false);
}

TEST_F(SessionTest, DownloadsAreTheImageWithRightChecksumsAndItsPatch) {
    ASSERT_TRUE(session_->SetField(webtest::kPikachu, "HP", "40")["ok"]);
    const web::Download image = session_->SavedImage();
    ASSERT_TRUE(image.ok) << image.message;
    EXPECT_EQ(image.name, "crystal.gbc");
    EXPECT_EQ(image.bytes[rom::kHeaderChecksumOffset], rom::HeaderChecksum(image.bytes));
    const uint16_t global = rom::GlobalChecksum(image.bytes);
    EXPECT_EQ(image.bytes[rom::kGlobalChecksumOffset] << 8 | image.bytes[rom::kGlobalChecksumOffset + 1], global);
    EXPECT_NE(image.message.find("\"crystal.gbc\""), std::string::npos) << image.message;
    const std::vector<uint8_t> edited = Bytes();
    std::vector<uint8_t> unfixed = image.bytes;
    std::copy_n(edited.begin() + rom::kGlobalChecksumOffset, 2, unfixed.begin() + rom::kGlobalChecksumOffset);
    EXPECT_EQ(unfixed, edited);

    const web::Download patch = session_->Patch();
    ASSERT_TRUE(patch.ok) << patch.message;
    EXPECT_EQ(patch.name, "crystal.bps");
    const patches::BytesResult applied = patches::ApplyBps(patch.bytes, original_);
    ASSERT_TRUE(applied.ok()) << applied.error;
    EXPECT_EQ(applied.bytes, image.bytes);
}

// An image shorter than its header declares is not given as one with right
// checksums; its patch carries the edits with the checksums as they are.
TEST_F(SessionTest, ACutImageIsNotDownloadedAsFixed) {
    std::vector<uint8_t> cut(original_.begin(), original_.begin() + static_cast<std::ptrdiff_t>(original_.size() / 2));
    ASSERT_TRUE(session_->Open("cut.gbc", cut, std::nullopt)["ok"]);
    ASSERT_TRUE(session_->SetField(webtest::kPikachu, "HP", "40")["changed"]);
    const web::Download image = session_->SavedImage();
    EXPECT_FALSE(image.ok);
    EXPECT_TRUE(image.cut);
    EXPECT_TRUE(image.bytes.empty());
    EXPECT_NE(image.message.find("Not downloaded: \"cut.gbc\""), std::string::npos) << image.message;
    const web::Download patch = session_->Patch();
    ASSERT_TRUE(patch.ok) << patch.message;
    cut[HpOffset()] = 40;
    const std::vector<uint8_t> opened(original_.begin(), original_.begin() + static_cast<std::ptrdiff_t>(cut.size()));
    EXPECT_EQ(patches::ApplyBps(patch.bytes, opened).bytes, cut);
}

// Growth, egg groups and gender are stored as numbers and shown with words.
TEST_F(SessionTest, NumbersGetReadableWords) {
    for (const auto& [column, text, words] : {std::tuple{"Gender", "31", "1 in 8 female"},
                                              {"Gender", "255", "no gender"},
                                              {"Gender", "100", "101 in 256 female"},
                                              {"Groups", "17", "Monster and Grass"},
                                              {"Groups", "FF", "No eggs"},
                                              {"Growth", "3", "Medium Slow"}}) {
        const json answer = session_->SetField(0, column, text);
        ASSERT_TRUE(answer["ok"]) << answer.dump();
        EXPECT_EQ(answer["value"], text);
        EXPECT_EQ(answer["readable"], words);
        EXPECT_EQ(session_->Species()["rows"][0]["readable"][column], words);
    }
    EXPECT_EQ(session_->SetField(0, "HP", "9")["readable"], "");
}

TEST_F(SessionTest, ImportsAreOneStepAndTheirOwnExportChangesNothing) {
    for (const std::string table : {"species", "machines", "evolutions", "moves", "egg-moves"}) {
        // The workbook holds every table whichever is chosen.
        for (const std::string format : {"csv", "json", "xlsx"}) {
            const web::Download exported = session_->Export(table, format);
            ASSERT_TRUE(exported.ok) << table << ": " << exported.message;
            EXPECT_EQ(exported.name, format == "xlsx" ? "crystal.xlsx" : "crystal-" + table + "." + format);
            const json answer =
                session_->Import(table, exported.name, std::string(exported.bytes.begin(), exported.bytes.end()));
            EXPECT_TRUE(answer["ok"]) << answer.dump();
            EXPECT_FALSE(answer["changed"]) << table;
        }
    }
    EXPECT_TRUE(session_->History()["steps"].empty());

    const web::Download moves = session_->Export("moves", "csv");
    std::string text(moves.bytes.begin(), moves.bytes.end());
    text += "24,Pikachu,200,Thunder\r\n";
    const json refused = session_->Import("moves", "moves.csv", text);
    EXPECT_FALSE(refused["ok"]);
    EXPECT_NE(refused["message"].get<std::string>().find("refused in \"moves.csv\". Nothing was written."),
              std::string::npos) << refused.dump();
    EXPECT_EQ(Bytes(), original_);
    EXPECT_FALSE(session_->Import("species", "table.txt", "")["ok"]);
    EXPECT_TRUE(web::Session::Fits("image", "a.gbc", 8 * 1024 * 1024)["ok"]);
    EXPECT_FALSE(web::Session::Fits("image", "a.gbc", 8 * 1024 * 1024 + 1)["ok"]);
}

// The image's own name of a species: shown, renamed as one step, undone to the
// exact bytes; a name the set cannot write is refused and writes nothing.
TEST_F(SessionTest, RenamesAreStepsAndUndoGivesTheNameBack) {
    EXPECT_EQ(session_->Species()["rows"][webtest::kPikachu]["imageName"], "PIKACHU");
    const json refused = session_->SetField(webtest::kPikachu, "Name", "Pika~");
    EXPECT_FALSE(refused["ok"]);
    EXPECT_NE(refused["message"].get<std::string>().find("\"~\" at character 5"), std::string::npos) << refused.dump();
    EXPECT_EQ(Bytes(), original_);

    const json renamed = session_->SetField(webtest::kPikachu, "Name", "Sparky");
    ASSERT_TRUE(renamed["ok"]) << renamed.dump();
    EXPECT_EQ(renamed["value"], "Sparky");
    EXPECT_EQ(ChangedOffsets(Bytes()).size(), 7u);  // "Sparky" over "PIKACHU", a 0x50 over the "U"
    EXPECT_NE(session_->History()["changes"].get<std::string>().find("Name: PIKACHU -> Sparky"), std::string::npos);
    EXPECT_FALSE(session_->SetField(webtest::kPikachu, "Name", "Sparky")["changed"]);
    session_->Undo();
    EXPECT_EQ(Bytes(), original_);
    EXPECT_EQ(session_->Species()["rows"][webtest::kPikachu]["imageName"], "PIKACHU");
}

// A workbook brought in as the command line brings it: every sheet as one
// step; another release's workbook refused with the page's own advice.
TEST_F(SessionTest, WorkbooksAreOneStepAndAnotherReleasesIsRefused) {
    std::string refusal;
    const std::optional<tables::TableImage> image =
        tables::OpenTableImage((folder_ / "edit" / "crystal.gbc").string(), refusal);
    ASSERT_TRUE(image) << refusal;
    formats::WorkbookContent content = tables::ImageWorkbook(*image, tables::ReadSpeciesLists(*image), "test");
    std::vector<formats::WorkbookCell>& pikachu = content.sheets[0].rows[1 + webtest::kPikachu];
    pikachu[3 + tables::FieldIndex(rom::kSpeciesFields[0])] = formats::WorkbookCell::Number(41);
    for (auto& [key, value] : content.about) {
        if (key == "Release") value = "Kreblin Gold Version (America)";
    }
    const formats::WrittenWorkbook other = formats::WriteWorkbook(content);
    ASSERT_TRUE(other.ok()) << other.error;
    const json refused = session_->Import("species", "other.xlsx", other.bytes);
    const std::string message = refused.value("message", "");
    EXPECT_NE(message.find("other.xlsx: The workbook comes from another image"), std::string::npos) << message;
    EXPECT_NE(message.find("This page imports workbooks of the image it has open only"), std::string::npos);
    EXPECT_TRUE(message.ends_with("Nothing was written.")) << message;
    EXPECT_EQ(Bytes(), original_);

    content.about = tables::AboutRows(*image, true, "test");
    const formats::WrittenWorkbook edited = formats::WriteWorkbook(content);
    const json taken = session_->Import("moves", "edited.xlsx", edited.bytes);
    ASSERT_TRUE(taken["ok"]) << taken.dump();
    EXPECT_EQ(ChangedOffsets(Bytes()), std::vector<size_t>{HpOffset()});
    EXPECT_EQ(session_->History()["steps"].size(), 1u);
}

}  // namespace

namespace {

TEST_F(SessionTest, PicturesAndAColourPickedSnapToAStoredColourAsOneStep) {
    const json pictures = session_->Pictures(webtest::kPikachu);
    ASSERT_TRUE(pictures["ok"]) << pictures.dump();
    EXPECT_EQ(pictures["colours"]["Normal1"], "#EFD629");
    ASSERT_EQ(pictures["pictures"].size(), 2u);
    EXPECT_EQ(pictures["pictures"][0]["kind"], "front");
    EXPECT_EQ(pictures["pictures"][0]["pixels"].get<std::string>().size(), 48u * 48u);
    EXPECT_EQ(session_->Pictures(200)["pictures"].size(), 3u);  // letters A (front and back) and Z
    EXPECT_TRUE(session_->Front(webtest::kPikachu)["ok"]);
    EXPECT_FALSE(session_->Front(2)["ok"]);  // no picture planted

    // #FF0102 is no stored colour: the nearest, #FF0000, is written, in two bytes.
    const json set = session_->SetColour(webtest::kPikachu, "Normal1", "#FF0102");
    ASSERT_TRUE(set["ok"]) << set.dump();
    EXPECT_EQ(set["value"], "#FF0000");
    const std::vector<size_t> changed = ChangedOffsets(Bytes());
    const size_t entry = size_t(0x2 * 0x4000 + 0x28CE + 25 * 8);
    EXPECT_EQ(changed, (std::vector<size_t>{entry, entry + 1}));
    EXPECT_NE(session_->History()["changes"].get<std::string>().find("Palette: Normal1 #EFD629"), std::string::npos);
    EXPECT_EQ(session_->Front(webtest::kPikachu)["colours"][1], "#FF0000");
    EXPECT_FALSE(session_->SetColour(webtest::kPikachu, "Normal1", "red")["ok"]);
    EXPECT_EQ(session_->Undo()["step"], "Normal1 of Pikachu");
    EXPECT_EQ(Bytes(), original_);

    // The palettes table round trip writes nothing.
    const web::Download exported = session_->Export("palettes", "csv");
    ASSERT_TRUE(exported.ok) << exported.message;
    const json imported = session_->Import("palettes", "p.csv", std::string(exported.bytes.begin(), exported.bytes.end()));
    EXPECT_TRUE(imported["ok"]);
    EXPECT_FALSE(imported["changed"]);
}

}  // namespace
