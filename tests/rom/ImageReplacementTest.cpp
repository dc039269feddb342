#include "rom/ImageReplacement.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "tests/support/TestImage.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TestImage;

// What stops a whole replacement, and what writing in place would get round.
TEST(CheckWholeReplacement, RefusesWhatAReplacementWouldLose) {
    const TestImage image(0x41, 1024);
    const fs::path folder = image.folder();

    const rom::ReplacementCheck plain = rom::CheckWholeReplacement(image.path());
    EXPECT_TRUE(plain.ok()) << plain.reason;
    EXPECT_EQ(fs::path(plain.target), fs::canonical(image.path()));

    // Through two links (one relative), the target is the file itself.
    fs::create_symlink("image.gbc", folder / "first-link.gbc");
    fs::create_symlink(folder / "first-link.gbc", folder / "second-link.gbc");
    const rom::ReplacementCheck linked = rom::CheckWholeReplacement((folder / "second-link.gbc").string());
    EXPECT_TRUE(linked.ok()) << linked.reason;
    EXPECT_EQ(linked.target, plain.target);

    fs::create_hard_link(image.path(), folder / "hard-link.gbc");
    const rom::ReplacementCheck twoNames = rom::CheckWholeReplacement((folder / "second-link.gbc").string());
    EXPECT_EQ(twoNames.status, rom::FileStatus::Refused);
    EXPECT_EQ(twoNames.number, EMLINK);
    EXPECT_TRUE(twoNames.inPlaceWouldDo);
    EXPECT_NE(twoNames.reason.find("2 names (hard links)"), std::string::npos) << twoNames.reason;
    fs::remove(folder / "hard-link.gbc");

    // Marked read-only: refused for everyone, and writing in place is refused too.
    fs::permissions(image.path(), fs::perms::owner_read | fs::perms::group_read);
    const rom::ReplacementCheck readOnly = rom::CheckWholeReplacement(image.path());
    EXPECT_EQ(readOnly.status, rom::FileStatus::Refused);
    EXPECT_EQ(readOnly.number, EACCES);
    EXPECT_FALSE(readOnly.inPlaceWouldDo);
    fs::permissions(image.path(), fs::perms::owner_write, fs::perm_options::add);

    EXPECT_EQ(rom::CheckWholeReplacement(folder.string()).status, rom::FileStatus::Refused);
    const rom::ReplacementCheck missing = rom::CheckWholeReplacement((folder / "missing.gbc").string());
    EXPECT_EQ(missing.status, rom::FileStatus::Failed);
    EXPECT_EQ(missing.number, ENOENT);
}

// A folder that cannot take a new file. An administrator may write any
// folder, so this needs an ordinary user (the command-line tests cover it
// as an administrator too, through an unprivileged user).
TEST(CheckWholeReplacement, RefusesAFolderThatCannotTakeANewFile) {
    if (geteuid() == 0) GTEST_SKIP() << "an administrator may write any folder";
    const TestImage image(0x41, 1024);
    fs::permissions(image.folder(), fs::perms::owner_read | fs::perms::owner_exec);
    const rom::ReplacementCheck check = rom::CheckWholeReplacement(image.path());
    fs::permissions(image.folder(), fs::perms::owner_all);
    EXPECT_EQ(check.status, rom::FileStatus::Refused);
    EXPECT_EQ(check.number, EACCES);
    EXPECT_TRUE(check.inPlaceWouldDo);
    EXPECT_NE(check.reason.find("cannot take a new file"), std::string::npos) << check.reason;
}

}  // namespace
