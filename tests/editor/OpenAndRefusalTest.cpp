// Opening, cancelling, unrecognised images, what a load shows, what a save
// refuses, and images that change under the editor's feet.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"
#include "rom/SpeciesNames.h"
#include "tests/editor/EditorSession.h"
#include "tests/support/NameImages.h"
#include "tests/support/TestImage.h"

using rom::GameVersion;
using testing_editor::EditorSession;
using testsupport::TestImage;

namespace {

constexpr const char* kSpeciesGroups[] = {"FrameStats",  "FrameCry",    "FrameAdvanced", "FrameItems",
                                          "FrameSprite", "FrameGender", "EggCycle",      "EggGroup"};

bool GroupEnabled(EditorSession& session, const char* name) {
    return session.Control<QGroupBox>(name).isEnabled();
}

bool AllGroupsEnabled(EditorSession& session, bool enabled) {
    bool all = GroupEnabled(session, "FrameKreblin") == enabled;
    for (const char* name : kSpeciesGroups) all = all && GroupEnabled(session, name) == enabled;
    return all;
}

QString VersionCaption(EditorSession& session) { return session.Control<QLabel>("Version").text(); }

// Gold image whose species 0 has HP 0x11 and species 1 HP 0x22.
TestImage GoldImage() {
    TestImage image(TestImage::HeaderByte(GameVersion::Gold));
    const auto base = rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset;
    image.SetByte(base + 1, 0x11);
    image.SetByte(base + 32 + 1, 0x22);
    return image;
}

}  // namespace

TEST(SaveGuard, WithoutAnImageSaveOnlyAnswersWithTheMessage) {
    EditorSession session;
    session.Save();
    ASSERT_EQ(session.MessageCount(), 1u);
    EXPECT_EQ(session.LastMessage().text, "You can't save without a ROM loaded.");
    EXPECT_EQ(session.LastMessage().title, "Quillmere");
}

TEST(Open, TheDialogIsAskedForAGbcImage) {
    EditorSession session;
    session.OpenCancelled();
    ASSERT_EQ(session.chooser.calls.size(), 1u);
    const auto& record = session.chooser.calls[0].record;
    EXPECT_EQ(record.lpstrTitle, "Open Kreblin GBC ROM...");
    EXPECT_EQ(record.Flags, 6148);
    EXPECT_EQ(record.lpstrFilter, QString("GBC ROMs (*.gbc)") + QChar(u'\0') + "*.gbc" + QChar(u'\0'));
    EXPECT_EQ(record.hwndOwner.data(), &session.editor);
    EXPECT_EQ(VersionCaption(session), "None");
}

TEST(Open, CancelAfterAnOpenKeepsTheImageInUse) {
    TestImage image = GoldImage();
    EditorSession session;
    session.Open(image.path());
    session.Select(1);
    session.OpenCancelled();

    EXPECT_EQ(session.editor.State().ChosenFile, "");
    EXPECT_EQ(session.editor.State().RomFile, image.path());
    EXPECT_EQ(VersionCaption(session), "Kreblin Gold Version");
    EXPECT_EQ(session.Box("HP").text(), "34");
    session.Box("HP").setText("7");
    session.Save();
    EXPECT_EQ(image.ByteAt(rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset + 32 + 1), 7);
}

// The header digits are read as a decimal number: 0x35 and 0x29 are not Silver
// and Crystal, and texts with hex letters or a failed read are unknown too.
TEST(Open, HeaderBytesThatAreNotGoldSilverOrCrystalAreUnknown) {
    for (const uint8_t header : {0x35, 0x29, 0x4A, 0xA0, 0x00, 0x47 + 1}) {
        SCOPED_TRACE(header);
        TestImage image(header);
        EditorSession session;
        session.Open(image.path());
        EXPECT_EQ(VersionCaption(session), "Unknown Rom");
        EXPECT_FALSE(session.editor.form.Save->isEnabled());
        EXPECT_TRUE(AllGroupsEnabled(session, false));
        EXPECT_EQ(session.editor.State().Profile, rom::VersionProfile{});
        EXPECT_EQ(session.MessageCount(), 0u);
    }
}

TEST(Open, ByteAt0x13CAloneDecidesTheVersion) {
    TestImage image(0x53);
    image.SetBytes(0x134, {'G', 'O', 'L', 'D'});
    EditorSession session;
    session.Open(image.path());
    EXPECT_EQ(VersionCaption(session), "Kreblin Silver Version");
    EXPECT_EQ(session.editor.State().VersionCode, 53);
}

TEST(Open, UnknownAfterKnownKeepsTheControlsAndSwitchesEditingOff) {
    TestImage gold = GoldImage();
    TestImage unknown(0x35);
    EditorSession session;
    session.Open(gold.path());
    session.Select(1);
    session.Open(unknown.path());

    EXPECT_EQ(VersionCaption(session), "Unknown Rom");
    EXPECT_EQ(session.Box("HP").text(), "34");
    EXPECT_EQ(session.editor.State().RomFile, unknown.path());
    EXPECT_EQ(session.editor.State().Profile, rom::DefaultProfile(GameVersion::Gold));
    EXPECT_TRUE(AllGroupsEnabled(session, false));
    EXPECT_FALSE(session.editor.form.Save->isEnabled());

    // A recognised image afterwards brings everything back, Save included.
    session.Open(gold.path());
    EXPECT_TRUE(AllGroupsEnabled(session, true));
    EXPECT_TRUE(session.editor.form.Save->isEnabled());
    EXPECT_EQ(session.editor.form.KreblinLoader->currentRow(), 0);
    EXPECT_EQ(session.Box("HP").text(), "17");
}

TEST(Open, CrystalAfterGoldSwitchesAllFourOffsetsAndShowsTheFirstSpecies) {
    TestImage gold = GoldImage();
    TestImage crystal(TestImage::HeaderByte(GameVersion::Crystal));
    const auto profile = rom::DefaultProfile(GameVersion::Crystal);
    crystal.SetByte(profile.BaseStatsOffset + 1, 0x99);
    crystal.SetByte(profile.MenuIconOffset, 0x05);
    crystal.SetByte(profile.CryTableOffset + 2, 0x10);
    crystal.SetBytes(profile.EvoMovePointerOffset, {0xAB, 0xCD});
    EditorSession session;
    session.Open(gold.path());
    session.Select(7);
    session.Open(crystal.path());

    EXPECT_EQ(session.editor.State().Profile, profile);
    EXPECT_EQ(session.editor.State().SpeciesIndex, 0);
    EXPECT_EQ(session.editor.form.KreblinLoader->currentRow(), 0);
    EXPECT_EQ(session.Box("HP").text(), "153");
    EXPECT_EQ(session.Combo("Sprite").currentIndex(), 5);
    EXPECT_EQ(session.Slider("Pitch").value(), 0x10);
    EXPECT_EQ(session.Control<QLabel>("DatPitch").text(), "10");
    EXPECT_EQ(session.Box("Pointer").text(), "ABCD");
}

TEST(Load, ShowsEachPresentationAsStored) {
    TestImage image(TestImage::HeaderByte(GameVersion::Gold));
    const auto profile = rom::DefaultProfile(GameVersion::Gold);
    const int32_t base = profile.BaseStatsOffset;
    image.SetBytes(base + 1, {0x00, 0x0A, 0x64, 0xFF, 0x2D, 0x09});
    image.SetBytes(base + 11, {0x00, 0xFF});
    image.SetByte(base + 17, 0x55);
    image.SetByte(base + 13, 0xFF);
    image.SetBytes(profile.CryTableOffset + 4, {0x40, 0x01});
    image.SetBytes(profile.EvoMovePointerOffset, {0x3A, 0x67});
    image.SetByte(base + 32 + 13, 0x1F);
    EditorSession session;
    session.Open(image.path());

    const char* stats[] = {"HP", "ATK", "DEF", "SPD", "SATK", "SDEF"};
    const char* shown[] = {"0", "10", "100", "255", "45", "9"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(session.Box(stats[i]).text(), shown[i]) << stats[i];
    EXPECT_EQ(session.Combo("Item1").currentText(), "00 - None");
    EXPECT_EQ(session.Combo("Item2").currentIndex(), 255);
    EXPECT_EQ(session.Combo("Item2").currentText(), "FF - Nothing ");
    EXPECT_EQ(session.Box("Size").text(), "55");
    EXPECT_EQ(session.Slider("Length").value(), 320);
    EXPECT_EQ(session.Control<QLabel>("DatLength").text(), "140");
    EXPECT_EQ(session.Box("Pointer").text(), "3A67");

    // Gender 0xFF: the box ticked, the slider off and unmoved, caption FF.
    EXPECT_TRUE(session.Control<QCheckBox>("NoGender").isChecked());
    EXPECT_FALSE(session.Slider("Gender").isEnabled());
    EXPECT_EQ(session.Slider("Gender").value(), 0);
    EXPECT_EQ(session.Control<QLabel>("GenderValueCaption").text(), "FF");

    // The next species, gender 0x1F: the box cleared, the slider on at 31.
    session.Select(1);
    EXPECT_FALSE(session.Control<QCheckBox>("NoGender").isChecked());
    EXPECT_TRUE(session.Slider("Gender").isEnabled());
    EXPECT_EQ(session.Slider("Gender").value(), 31);
    EXPECT_EQ(session.Control<QLabel>("GenderValueCaption").text(), "1F");
}

// Bytes that no control can show as a list entry or within the slider's
// range are shown exactly and written back exactly.
TEST(Load, ValuesOutsideListsAndRangesSurviveASave) {
    TestImage image(TestImage::HeaderByte(GameVersion::Silver));
    const auto profile = rom::DefaultProfile(GameVersion::Silver);
    image.SetBytes(profile.BaseStatsOffset + 7, {0x1C, 0xFF});
    image.SetByte(profile.MenuIconOffset, 0x27);
    image.SetByte(profile.CryTableOffset, 0x44);
    image.SetBytes(profile.CryTableOffset + 4, {0x00, 0x90});
    image.SetBytes(profile.CryTableOffset + 6 + 4, {0x40, 0x01});
    const auto before = image.ReadAll();
    EditorSession session;
    session.Open(image.path());

    EXPECT_EQ(session.Combo("Type1").currentText(), "1C");
    EXPECT_EQ(session.Combo("Type1").currentIndex(), -1);
    EXPECT_EQ(session.Combo("Type2").currentText(), "FF");
    EXPECT_EQ(session.Combo("Sprite").currentText(), "27");
    EXPECT_EQ(session.Combo("Cry").currentText(), "44");
    EXPECT_EQ(session.Slider("Length").value(), 0x9000);
    EXPECT_EQ(session.Control<QLabel>("DatLength").text(), "9000");
    session.Save();
    EXPECT_EQ(session.MessageCount(), 0u);
    EXPECT_EQ(image.ReadAll(), before);

    // A species with a length in range puts the usual range back.
    session.Select(1);
    EXPECT_EQ(session.Slider("Length").maximum(), 767);
    EXPECT_EQ(session.Slider("Length").value(), 320);
}

// Every refused control: one message naming the field, nothing written.
TEST(Save, RefusedValuesWriteNothingAndShowOneMessage) {
    struct Refusal {
        const char* control;
        QString text;
        const char* caption;
    };
    const Refusal refusals[] = {
        {"HP", "300", "HP"},           {"HP", "-1", "HP"},         {"ATK", "", "ATK"},
        {"EXP", "12a", "Base EXP"},    {"Size", "ABC", "Pic Size"}, {"Groups", "G", "Egg Groups"},
        {"Pointer", "12G4", "Move/Evo"}, {"Pointer", "ABCDE", "Move/Evo"}, {"Cycles", " ", "Egg Cycles"},
        {"Type1", "Fire!", "Types"},   {"Item2", "", "Held Items"}, {"Cry", "100", "Base Cry"},
    };
    TestImage image = GoldImage();
    const auto before = image.ReadAll();
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(std::string(refusal.control) + " = \"" + refusal.text.toStdString() + "\"");
        EditorSession session;
        session.Open(image.path());
        if (std::string(refusal.control).rfind("Type", 0) == 0 || std::string(refusal.control).rfind("Item", 0) == 0 ||
            std::string(refusal.control) == "Cry") {
            session.TypeInto(refusal.control, refusal.text);
        } else {
            session.Box(refusal.control).setText(refusal.text);
        }
        session.Save();
        ASSERT_EQ(session.MessageCount(), 1u);
        EXPECT_EQ(session.LastMessage().title, "Quillmere");
        EXPECT_TRUE(session.LastMessage().text.contains(refusal.caption)) << session.LastMessage().text.toStdString();
        EXPECT_TRUE(session.LastMessage().text.contains("Nothing was saved."));
        EXPECT_EQ(image.ReadAll(), before);
    }
}

TEST(Save, TypedEntryTextOrCodeIsTaken) {
    TestImage image = GoldImage();
    const int32_t base = rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset;
    EditorSession session;
    session.Open(image.path());
    session.TypeInto("Type1", "Fire");
    session.TypeInto("Type2", "1c");
    session.TypeInto("Item1", "C3 - TM 4 - Rollout (not a typo. It shows up twice.) ");
    session.Save();
    EXPECT_EQ(session.MessageCount(), 0u);
    EXPECT_EQ(image.ByteAt(base + 7), 0x14);
    EXPECT_EQ(image.ByteAt(base + 8), 0x1C);
    EXPECT_EQ(image.ByteAt(base + 11), 0xC3);
}

TEST(Save, NoGenderWritesFFWhateverTheSliderShows) {
    TestImage image = GoldImage();
    const int32_t genderOffset = rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset + 13;
    EditorSession session;
    session.Open(image.path());
    session.Slider("Gender").setValue(200);
    session.Control<QCheckBox>("NoGender").setChecked(true);
    session.Save();
    EXPECT_EQ(image.ByteAt(genderOffset), 0xFF);
    session.Control<QCheckBox>("NoGender").setChecked(false);
    session.Slider("Gender").setValue(0);
    session.Save();
    EXPECT_EQ(image.ByteAt(genderOffset), 0x00);
    EXPECT_EQ(session.MessageCount(), 0u);
}

// ---- Images that change after they were opened ----------------------------------

TEST(Faults, ReadOnlyImageLoadsAndItsSaveIsRefusedOnce) {
    TestImage image = GoldImage();
    ASSERT_EQ(chmod(image.path().c_str(), 0444), 0);
    const auto before = image.ReadAll();
    EditorSession session;
    session.Open(image.path());
    EXPECT_EQ(session.Box("HP").text(), "17");
    EXPECT_EQ(session.MessageCount(), 0u);

    session.Box("HP").setText("18");
    session.Save();
    ASSERT_EQ(session.MessageCount(), 1u);
    EXPECT_TRUE(session.LastMessage().title.startsWith("Error: "));
    EXPECT_TRUE(session.LastMessage().text.contains("read-only"));
    EXPECT_TRUE(session.LastMessage().text.contains("Nothing had been written."));
    EXPECT_EQ(image.ReadAll(), before);
}

TEST(Faults, DeletedImageGivesOneMessagePerCommandAndIsNotCreated) {
    TestImage image = GoldImage();
    EditorSession session;
    session.Open(image.path());
    std::filesystem::rename(image.path(), image.path() + ".moved");

    session.Select(1);
    EXPECT_EQ(session.MessageCount(), 1u);
    EXPECT_EQ(session.LastMessage().title, "Error: 2");
    session.Save();
    EXPECT_EQ(session.MessageCount(), 2u);
    EXPECT_EQ(session.LastMessage().title, "Error: 2");
    EXPECT_FALSE(std::filesystem::exists(image.path()));
    std::filesystem::rename(image.path() + ".moved", image.path());
}

TEST(Faults, TruncatedImageIsNeverMadeLongerNorPartlyWritten) {
    TestImage image = GoldImage();
    EditorSession session;
    session.Open(image.path());
    // Cut the file between the base records and the cry table.
    const auto cut = rom::DefaultProfile(GameVersion::Gold).CryTableOffset - 16;
    std::filesystem::resize_file(image.path(), static_cast<uintmax_t>(cut));
    const auto before = image.ReadAll();

    session.Box("HP").setText("99");
    session.Save();
    ASSERT_EQ(session.MessageCount(), 1u);
    EXPECT_TRUE(session.LastMessage().text.contains("The save stopped at Base Cry."));
    EXPECT_EQ(image.size(), cut);
    EXPECT_EQ(image.ReadAll(), before);
}

TEST(Faults, PathWithSpacesAndNonAsciiLetters) {
    TestImage image = GoldImage();
    const std::string odd = (image.folder() / "Kreblin Gold – Spiel ä ö.gbc").string();
    std::filesystem::copy_file(image.path(), odd);
    EditorSession session;
    session.Open(odd);
    EXPECT_EQ(VersionCaption(session), "Kreblin Gold Version");
    EXPECT_EQ(session.Box("HP").text(), "17");
    session.Box("HP").setText("18");
    session.Save();
    EXPECT_EQ(session.MessageCount(), 0u);
    std::ifstream in(odd, std::ios::binary);
    in.seekg(rom::DefaultProfile(GameVersion::Gold).BaseStatsOffset + 1);
    EXPECT_EQ(in.get(), 18);
}

TEST(Faults, AFolderInPlaceOfAFileIsOneMessageAndUnknown) {
    TestImage image = GoldImage();
    EditorSession session;
    session.Open(image.folder().string());
    EXPECT_EQ(session.MessageCount(), 1u);
    EXPECT_EQ(VersionCaption(session), "Unknown Rom");
    EXPECT_FALSE(session.editor.form.Save->isEnabled());
}

namespace {

QString VersionTip(EditorSession& session) { return session.Control<QLabel>("Version").toolTip(); }

// The Version label's tooltip names the image in use and its layout; its
// caption stays the version's name.
TEST(ImageInUse, VersionTooltipNamesThePathAndTheLayout) {
    EditorSession session;
    EXPECT_EQ(VersionTip(session), "No image is open");

    TestImage handBuilt(TestImage::HeaderByte(GameVersion::Crystal));
    session.Open(handBuilt.path());
    EXPECT_EQ(VersionCaption(session), "Kreblin Crystal Version");
    EXPECT_EQ(VersionTip(session),
              QString::fromStdString("Image in use: " + handBuilt.path() + "\nHand-built layout"));

    // A cancelled open changes nothing.
    session.OpenCancelled();
    EXPECT_TRUE(VersionTip(session).contains(QString::fromStdString(handBuilt.path())));

    TestImage released = TestImage::Released(GameVersion::Gold);
    session.Open(released.path());
    EXPECT_EQ(VersionCaption(session), "Kreblin Gold Version");
    EXPECT_EQ(VersionTip(session),
              QString::fromStdString("Image in use: " + released.path() + "\nReleased layout: American release"));

    // A complete image whose tables are nowhere known.
    TestImage unknown(TestImage::HeaderByte(GameVersion::Silver));
    unknown.MakeComplete();
    session.Open(unknown.path());
    EXPECT_TRUE(VersionTip(session).startsWith(QString::fromStdString("Image in use: " + unknown.path() +
                                                                      "\nUnknown layout")))
        << VersionTip(session).toStdString();

    // An image of no known version is still the one in use.
    TestImage foreign(0x35);
    session.Open(foreign.path());
    EXPECT_EQ(VersionCaption(session), "Unknown Rom");
    EXPECT_EQ(VersionTip(session), QString::fromStdString("Image in use: " + foreign.path() +
                                                          "\nVersion not recognised: nothing can be shown or saved"));
}

// With its names table found, the tooltip also names the shown species as
// the image holds it, in the image's character set; a name of bytes no
// character draws as those bytes, as the command line shows it.
TEST(ImageInUse, VersionTooltipNamesTheShownSpeciesAsTheImageHoldsIt) {
    const auto nameLine = [](EditorSession& session) { return VersionTip(session).split('\n').value(2); };
    const rom::ReleaseLayout* japanese = nullptr;
    for (const rom::ReleaseLayout& row : rom::kReleaseLayouts) {
        if (row.market == "Japanese" && japanese == nullptr) japanese = &row;
    }
    ASSERT_NE(japanese, nullptr);
    TestImage kana = TestImage::OfRelease(*japanese);
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> kanaNames{};
    kanaNames[3] = {0x80, 0x81, 0x82, 0x83, 0x84};  // a full field: no end byte
    testsupport::PlantNames(kana, japanese->version, rom::kJapaneseNameFieldLength, kanaNames);

    TestImage latin = TestImage::Released(GameVersion::Crystal);
    std::array<std::vector<uint8_t>, rom::kSpeciesCount> names{};
    names[24] = {0x8F, 0x88, 0x8A, 0x80, 0x82, 0x87, 0x94};
    names[25] = {0x8F, 0x01};  // 0x01 draws nothing
    testsupport::PlantNames(latin, GameVersion::Crystal, rom::kNameFieldLength, names);

    EditorSession session;
    session.Open(kana.path());
    session.Select(3);
    EXPECT_EQ(nameLine(session), QString::fromUtf8("Name in the image: アイウエオ"));

    session.Open(latin.path());
    EXPECT_EQ(nameLine(session), "Name in the image: N000");
    session.Select(24);
    EXPECT_EQ(nameLine(session), "Name in the image: PIKACHU");
    session.Select(25);
    EXPECT_EQ(nameLine(session), "Name in the image: {8F 01 50 50 50 50 50 50 50 50}");

    // A refused image with names, and one without the names' routine: no name line.
    TestImage refused = TestImage::OfRelease(rom::FirstAmericanRelease(GameVersion::Crystal), 17, false);
    testsupport::PlantNames(refused, GameVersion::Crystal, rom::kNameFieldLength);
    session.Open(refused.path());
    EXPECT_EQ(VersionTip(session).count('\n'), 1) << VersionTip(session).toStdString();
    TestImage handBuilt(TestImage::HeaderByte(GameVersion::Crystal));
    session.Open(handBuilt.path());
    EXPECT_EQ(VersionTip(session).count('\n'), 1) << VersionTip(session).toStdString();
}

}  // namespace
