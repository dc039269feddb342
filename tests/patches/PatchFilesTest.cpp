#include "patches/PatchFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "patches/PatchFormat.h"
#include "tests/patches/PatchBytes.h"
#include "tests/support/TestImage.h"

namespace {

namespace fs = std::filesystem;
using patches::ApplyPatchFile;
using patches::Bytes;
using patches::CreatePatchFile;
using patches::FileOutcome;
using patches::FileStatus;
using testsupport::TestImage;

Bytes ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// The original (a patterned test image), a modified copy and paths in the
// same folder.
class PatchFiles : public ::testing::Test {
protected:
    void SetUp() override {
        original.FillWithPattern();
        folder = original.folder();
        modifiedPath = (folder / "modified.gbc").string();
        Bytes modified = original.ReadAll();
        modified[0x4000] = 0x12;
        modified[0x4001] = 0x34;
        modified.back() = static_cast<uint8_t>(~modified.back());
        WriteFile(modifiedPath, modified);
    }
    std::string Path(const char* name) const { return (folder / name).string(); }

    TestImage original{0x41, 0x10000};
    fs::path folder;
    std::string modifiedPath;
};

TEST_F(PatchFiles, CreateThenApplyGivesTheModifiedFileInBothFormats) {
    for (const char* name : {"edits.ips", "edits.BPS"}) {
        const FileOutcome created = CreatePatchFile(original.path(), modifiedPath, Path(name));
        ASSERT_TRUE(created.ok()) << created.message;
        EXPECT_EQ(created.ExitCode(), 0);
        const std::string output = Path("result.gbc");
        const FileOutcome applied = ApplyPatchFile(Path(name), original.path(), output, false);
        ASSERT_TRUE(applied.ok()) << applied.message;
        EXPECT_EQ(ReadFile(output), ReadFile(modifiedPath)) << name;
        fs::remove(output);
    }
    EXPECT_EQ(Names(folder), (std::set<std::string>{"image.gbc", "modified.gbc", "edits.ips", "edits.BPS"}));
}

TEST_F(PatchFiles, CreateRefusesOtherExtensionsAndNeverOverwritesItsInputs) {
    const Bytes before = original.ReadAll();
    for (const std::string& patch : {Path("edits.txt"), Path("edits"), original.path(), modifiedPath}) {
        const FileOutcome outcome = CreatePatchFile(original.path(), modifiedPath, patch);
        EXPECT_EQ(outcome.status, FileStatus::Refused) << patch;
        EXPECT_NE(outcome.message.find("Nothing was written."), std::string::npos) << outcome.message;
    }
    // A patch named like the original but with a patch extension, reached by a link.
    const std::string link = Path("original.ips");
    fs::create_symlink(original.path(), link);
    EXPECT_EQ(CreatePatchFile(original.path(), modifiedPath, link).status, FileStatus::Refused);
    EXPECT_EQ(original.ReadAll(), before);
    EXPECT_EQ(Names(folder), (std::set<std::string>{"image.gbc", "modified.gbc", "original.ips"}));

    const FileOutcome missing = CreatePatchFile(modifiedPath, Path("absent.gbc"), Path("p.ips"));
    EXPECT_EQ(missing.status, FileStatus::Failed) << missing.message;
    EXPECT_FALSE(fs::exists(Path("p.ips")));
}

TEST_F(PatchFiles, ApplyKeepsAnExistingOutputUnlessForcedAndNeverWritesItsInputs) {
    const std::string patch = Path("edits.bps");
    ASSERT_TRUE(CreatePatchFile(original.path(), modifiedPath, patch).ok());
    const Bytes image = original.ReadAll();
    const Bytes patchBytes = ReadFile(patch);

    const std::string output = Path("existing.gbc");
    WriteFile(output, Bytes{1, 2, 3});
    const FileOutcome kept = ApplyPatchFile(patch, original.path(), output, false);
    EXPECT_EQ(kept.status, FileStatus::Refused);
    EXPECT_NE(kept.message.find("already exists and is kept"), std::string::npos) << kept.message;
    EXPECT_EQ(ReadFile(output), (Bytes{1, 2, 3}));

    const FileOutcome forced = ApplyPatchFile(patch, original.path(), output, true);
    ASSERT_TRUE(forced.ok()) << forced.message;
    EXPECT_EQ(ReadFile(output), ReadFile(modifiedPath));

    // The image or the patch as output, by path, by another spelling, by a
    // symbolic link and by a hard link: refused even with force.
    fs::create_symlink(original.path(), Path("image-link.gbc"));
    fs::create_hard_link(patch, Path("patch-link.bps"));
    const std::string otherSpelling = (folder / "." / "image.gbc").string();
    for (const std::string& same : {original.path(), otherSpelling, Path("image-link.gbc"), patch,
                                    Path("patch-link.bps")}) {
        const FileOutcome outcome = ApplyPatchFile(patch, original.path(), same, true);
        EXPECT_EQ(outcome.status, FileStatus::Refused) << same;
        EXPECT_NE(outcome.message.find("itself"), std::string::npos) << outcome.message;
    }
    EXPECT_EQ(original.ReadAll(), image);
    EXPECT_EQ(ReadFile(patch), patchBytes);

    fs::create_directory(Path("folder"));
    EXPECT_EQ(ApplyPatchFile(patch, original.path(), Path("folder"), true).status, FileStatus::Failed);
}

TEST_F(PatchFiles, HostileOrMismatchedPatchesWriteNothing) {
    const std::string patch = Path("edits.bps");
    ASSERT_TRUE(CreatePatchFile(original.path(), modifiedPath, patch).ok());
    const Bytes good = ReadFile(patch);

    struct Case {
        const char* name;
        Bytes patch;
        const char* message;
    };
    Bytes truncated(good.begin(), good.end() - 5);
    Bytes damaged = good;
    damaged[8] ^= 0x40;
    const std::vector<Case> cases = {
        {"not a patch", patchtest::Text("hello"), "neither an IPS patch nor a BPS patch"},
        {"truncated", truncated, "damaged"},
        {"damaged", damaged, "damaged"},
        {"IPS past its end", patchtest::Hex("50 41 54 43 48 00 00 01 00 09 01"), "truncated"},
    };
    const std::set<std::string> before = Names(folder);
    for (const Case& c : cases) {
        const std::string hostile = Path("hostile.bin");
        WriteFile(hostile, c.patch);
        for (bool force : {false, true}) {
            const FileOutcome outcome = ApplyPatchFile(hostile, original.path(), Path("out.gbc"), force);
            EXPECT_EQ(outcome.status, FileStatus::Refused) << c.name;
            EXPECT_EQ(outcome.ExitCode(), 1) << c.name;
            EXPECT_NE(outcome.message.find(c.message), std::string::npos) << c.name << ": " << outcome.message;
            EXPECT_NE(outcome.message.find("Nothing was written."), std::string::npos) << outcome.message;
        }
        fs::remove(hostile);
        EXPECT_EQ(Names(folder), before) << c.name;
    }

    // The right patch on the wrong image.
    const FileOutcome wrongImage = ApplyPatchFile(patch, modifiedPath, Path("out.gbc"), false);
    EXPECT_NE(wrongImage.message.find("the source's CRC-32 does not match the patch"), std::string::npos)
        << wrongImage.message;
    const FileOutcome missing = ApplyPatchFile(patch, Path("absent.gbc"), Path("out.gbc"), false);
    EXPECT_EQ(missing.status, FileStatus::Failed);
    EXPECT_EQ(missing.ExitCode(), 2);
    EXPECT_EQ(Names(folder), before);
}

TEST_F(PatchFiles, AnOutputThatCannotBeWrittenLeavesNothing) {
    const std::string patch = Path("edits.ips");
    ASSERT_TRUE(CreatePatchFile(original.path(), modifiedPath, patch).ok());
    const std::set<std::string> before = Names(folder);
    const FileOutcome outcome = ApplyPatchFile(patch, original.path(), Path("absent-folder/out.gbc"), false);
    EXPECT_EQ(outcome.status, FileStatus::Failed) << outcome.message;
    EXPECT_NE(outcome.message.find("temporary file could not be created"), std::string::npos) << outcome.message;
    EXPECT_EQ(Names(folder), before);

    if (::geteuid() == 0) return;  // an administrator may write any folder
    const fs::path locked = folder / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(ApplyPatchFile(patch, original.path(), (locked / "out.gbc").string(), false).status,
              FileStatus::Failed);
    EXPECT_TRUE(fs::is_empty(locked));
    fs::permissions(locked, fs::perms::owner_all);
}

}  // namespace
