// quillmere-cli patch and checksum as their users run them: the files the
// process writes (or keeps), what it prints and its exit status.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "rom/HexDigits.h"
#include "rom/ImageFacts.h"
#include "tests/cli/CliProcess.h"

namespace {

using clitest::Cli;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using testsupport::TestImage;

constexpr int64_t kImageSize = 256 * 1024;

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// A patterned image and, next to it, an edited copy: a changed byte in the
// header, a run of one value, the last byte changed and 100 bytes added.
class PatchCli : public Cli {
protected:
    void SetUp() override {
        original_.FillWithPattern();
        std::string edited = ReadFile(original_.path());
        edited[0x150] = static_cast<char>(edited[0x150] ^ 0xFF);
        edited.replace(0x4000, 300, 300, '\x7A');
        edited.back() = static_cast<char>(edited.back() ^ 0x01);
        edited += std::string(100, '\x33');
        modified_ = edited;
        WriteFile(InFolder("modified.gbc"), modified_);
    }

    Outcome Create(const std::string& patch) {
        return Quillmere({"patch", "create", original_.path(), InFolder("modified.gbc"), patch});
    }

    TestImage original_{0x41, kImageSize};
    std::string modified_;
};

TEST_F(PatchCli, CreateThenApplyGivesTheModifiedImageForBothFormats) {
    const std::string originalBytes = ReadFile(original_.path());
    for (const std::string format : {"IPS", "BPS"}) {
        const std::string extension = format == "IPS" ? ".ips" : ".bps";
        const std::string patch = InFolder("edits" + extension);
        const Outcome create = Create(patch);
        ASSERT_EQ(create.status, 0) << create.err;
        EXPECT_TRUE(create.err.empty()) << create.err;
        EXPECT_NE(create.out.find("Wrote the " + format + " patch"), std::string::npos) << create.out;
        EXPECT_EQ(ReadFile(patch).substr(0, 4), format == "IPS" ? "PATC" : "BPS1");

        const std::string output = InFolder("patched" + extension + ".gbc");
        const Outcome apply = Quillmere({"patch", "apply", patch, original_.path(), output});
        ASSERT_EQ(apply.status, 0) << apply.err;
        EXPECT_TRUE(apply.err.empty()) << apply.err;
        EXPECT_NE(apply.out.find("Wrote \"" + output + "\""), std::string::npos) << apply.out;
        EXPECT_TRUE(ReadFile(output) == modified_) << format;
    }
    EXPECT_TRUE(ReadFile(original_.path()) == originalBytes);
}

TEST_F(PatchCli, RefusalsLeaveTheFilesAsTheyWere) {
    // The patch's format comes from its extension; any other is refused.
    const Outcome unknown = Create(InFolder("edits.txt"));
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_EQ(Lines(unknown.err), 1u) << unknown.err;
    EXPECT_NE(unknown.err.find("\".ips\" or \".bps\""), std::string::npos) << unknown.err;
    EXPECT_FALSE(std::filesystem::exists(InFolder("edits.txt")));

    const std::string patch = InFolder("edits.bps");
    ASSERT_EQ(Create(patch).status, 0);
    const std::string image = original_.path();
    const std::string imageBytes = ReadFile(image);

    const Outcome overImage = Quillmere({"patch", "apply", patch, image, image});
    EXPECT_EQ(overImage.status, 1);
    EXPECT_NE(overImage.err.find("it is the image"), std::string::npos) << overImage.err;
    EXPECT_TRUE(ReadFile(image) == imageBytes);

    // An existing OUTPUT is kept, with a hint at --force, and replaced with it.
    const std::string output = InFolder("patched.gbc");
    WriteFile(output, "old");
    const Outcome kept = Quillmere({"patch", "apply", patch, image, output});
    EXPECT_EQ(kept.status, 1);
    EXPECT_TRUE(kept.out.empty());
    EXPECT_EQ(Lines(kept.err), 1u) << kept.err;
    EXPECT_NE(kept.err.find("already exists and is kept"), std::string::npos) << kept.err;
    EXPECT_NE(kept.err.find("--force"), std::string::npos) << kept.err;
    EXPECT_EQ(ReadFile(output), "old");
    const Outcome forced = Quillmere({"patch", "apply", patch, image, output, "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_TRUE(ReadFile(output) == modified_);

    // A truncated patch of either format: one message, no OUTPUT.
    ASSERT_EQ(Create(InFolder("edits.ips")).status, 0);
    for (const std::string name : {"edits.bps", "edits.ips"}) {
        const std::string whole = ReadFile(InFolder(name));
        const std::string cut = InFolder("cut-" + name);
        WriteFile(cut, whole.substr(0, whole.size() - 6));
        const std::string nowhere = InFolder("nowhere.gbc");
        const Outcome hostile = Quillmere({"patch", "apply", cut, image, nowhere});
        EXPECT_EQ(hostile.status, 1) << name;
        EXPECT_TRUE(hostile.out.empty());
        EXPECT_EQ(Lines(hostile.err), 1u) << hostile.err;
        EXPECT_NE(hostile.err.find("Nothing was written."), std::string::npos) << hostile.err;
        EXPECT_FALSE(std::filesystem::exists(nowhere)) << name;
    }
    // No temporary file was left behind.
    for (const auto& entry : std::filesystem::directory_iterator(folder())) {
        EXPECT_EQ(entry.path().filename().string().find(".quillmere-unfinished-"), std::string::npos) << entry.path();
    }
    EXPECT_TRUE(ReadFile(image) == imageBytes);
}

TEST_F(Cli, ChecksumShowsBothThenFixesOnlyTheirThreeBytes) {
    TestImage image(0x41, 64 * 1024);
    image.FillWithPattern();
    image.SetBytes(0x14D, {0x00, 0x00, 0x00});
    const std::vector<uint8_t> before = image.ReadAll();
    const uint8_t header = rom::HeaderChecksum(before);
    ASSERT_NE(header, 0x00);

    const Outcome wrong = Quillmere({"checksum", image.path()});
    EXPECT_EQ(wrong.status, 1) << wrong.err;
    EXPECT_TRUE(wrong.err.empty()) << wrong.err;
    EXPECT_EQ(Lines(wrong.out), 2u) << wrong.out;
    EXPECT_EQ(wrong.out.substr(0, wrong.out.find('\n') + 1),
              "Header checksum:  stored 0x00, computed 0x" + rom::hexdigits::Of(header, 2) + ", wrong\n");
    EXPECT_NE(wrong.out.find("Global checksum:  stored 0x0000, computed 0x"), std::string::npos) << wrong.out;

    const Outcome fix = Quillmere({"checksum", image.path(), "--fix"});
    EXPECT_EQ(fix.status, 0) << fix.err;
    EXPECT_EQ(fix.out.find("Fixed the checksums of"), 0u) << fix.out;
    // Then the values as the file holds them now.
    EXPECT_EQ(Lines(fix.out), 3u) << fix.out;
    EXPECT_NE(fix.out.find("Header checksum:  stored 0x" + rom::hexdigits::Of(header, 2) + ", computed 0x" +
                           rom::hexdigits::Of(header, 2) + ", right\n"),
              std::string::npos)
        << fix.out;
    EXPECT_EQ(fix.out.find("wrong"), std::string::npos) << fix.out;
    EXPECT_NE(fix.out.find("header checksum 0x00 -> 0x" + rom::hexdigits::Of(header, 2)), std::string::npos)
        << fix.out;
    const std::vector<uint8_t> after = image.ReadAll();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (i < 0x14D || i > 0x14F) {
            ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(after[0x14D], header);

    const Outcome right = Quillmere({"checksum", image.path()});
    EXPECT_EQ(right.status, 0) << right.err;
    EXPECT_EQ(std::count(right.out.begin(), right.out.end(), ','), 4);
    EXPECT_EQ(right.out.find("wrong"), std::string::npos) << right.out;
    const Outcome again = Quillmere({"checksum", image.path(), "--fix"});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("already right"), std::string::npos) << again.out;
    EXPECT_TRUE(image.ReadAll() == after);

    const TestImage tooShort(0x00, 0x100);
    for (const std::string& path : {InFolder("missing.gbc"), tooShort.path()}) {
        const Outcome failed = Quillmere({"checksum", path, "--fix"});
        EXPECT_EQ(failed.status, 2) << path;
        EXPECT_TRUE(failed.out.empty());
        EXPECT_EQ(Lines(failed.err), 1u) << failed.err;
    }
}

TEST_F(Cli, HelpOfPatchAndChecksum) {
    const std::vector<std::vector<std::string>> commands = {
        {"patch"}, {"patch", "create"}, {"patch", "apply"}, {"checksum"}};
    for (std::vector<std::string> command : commands) {
        std::string name = "quillmere-cli";
        for (const std::string& word : command) name += " " + word;
        command.push_back("--help");
        const Outcome help = Quillmere(command);
        EXPECT_EQ(help.status, 0) << name;
        EXPECT_NE(help.out.find(name), std::string::npos) << help.out;
    }
    EXPECT_NE(Quillmere({"patch", "apply", "--help"}).out.find("--force"), std::string::npos);
    EXPECT_NE(Quillmere({"checksum", "--help"}).out.find("--fix"), std::string::npos);
    EXPECT_EQ(Quillmere({"patch"}).status, 2);
    EXPECT_EQ(Quillmere({"patch", "create", "a.gbc", "b.gbc"}).status, 2);
    EXPECT_EQ(Quillmere({"patch", "apply", "p.bps", "a.gbc", "b.gbc", "--fix"}).status, 2);
}

}  // namespace
