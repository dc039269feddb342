// Where quillmere-cli writes (links, FIFOs, devices, standard output), how it
// treats short and cut images, and the exit status of every documented case.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "rom/ImageFacts.h"
#include "tests/cli/CliProcess.h"
#include "tests/tables/TablesTestSupport.h"

namespace {

namespace fs = std::filesystem;
using clitest::Cli;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::WriteFile;
using rom::GameVersion;
using testsupport::TestImage;

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

TEST_F(Cli, EveryWriterFollowsLinksToTheFileTheyNameAndKeepsItsMode) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Gold);
    const std::string table = Quillmere({"export", image.path()}).out;
    ASSERT_FALSE(table.empty());

    // The real files lie in another folder; links to them, relative and
    // chained, lie here.
    fs::create_directory(InFolder("elsewhere"));
    WriteFile(InFolder("elsewhere/table.csv"), "old");
    ::chmod(InFolder("elsewhere/table.csv").c_str(), 0640);
    fs::create_symlink("elsewhere/table.csv", InFolder("table-link.csv"));
    fs::create_symlink("table-link.csv", InFolder("chain.csv"));

    const Outcome viaChain = Quillmere({"export", image.path(), "-o", InFolder("chain.csv")});
    ASSERT_EQ(viaChain.status, 0) << viaChain.err;
    EXPECT_EQ(ReadFile(InFolder("elsewhere/table.csv")), table);
    EXPECT_TRUE(fs::is_symlink(InFolder("chain.csv")));
    EXPECT_TRUE(fs::is_symlink(InFolder("table-link.csv")));
    struct stat info {};
    ASSERT_EQ(::stat(InFolder("elsewhere/table.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const Outcome infoOut = Quillmere({"info", image.path(), "-o", InFolder("table-link.csv")});
    ASSERT_EQ(infoOut.status, 0) << infoOut.err;
    EXPECT_EQ(ReadFile(InFolder("elsewhere/table.csv")).substr(0, 5), "File:");

    // patch create and patch apply --force through links.
    TestImage modified = tablestest::PatternedImage(GameVersion::Gold, 3);
    WriteFile(InFolder("elsewhere/edit.bps"), "old");
    fs::create_symlink("elsewhere/edit.bps", InFolder("edit.bps"));
    const Outcome create = Quillmere({"patch", "create", image.path(), modified.path(), InFolder("edit.bps")});
    ASSERT_EQ(create.status, 0) << create.err;
    EXPECT_EQ(ReadFile(InFolder("elsewhere/edit.bps")).substr(0, 4), "BPS1");
    EXPECT_TRUE(fs::is_symlink(InFolder("edit.bps")));

    WriteFile(InFolder("elsewhere/out.gbc"), "old");
    fs::create_symlink("elsewhere/out.gbc", InFolder("out.gbc"));
    const Outcome kept = Quillmere({"patch", "apply", InFolder("edit.bps"), image.path(), InFolder("out.gbc")});
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(ReadFile(InFolder("elsewhere/out.gbc")), "old");
    const Outcome apply =
        Quillmere({"patch", "apply", InFolder("edit.bps"), image.path(), InFolder("out.gbc"), "--force"});
    ASSERT_EQ(apply.status, 0) << apply.err;
    EXPECT_EQ(ReadFile(InFolder("elsewhere/out.gbc")), ReadFile(modified.path()));
    EXPECT_TRUE(fs::is_symlink(InFolder("out.gbc")));
    // Nothing but the files themselves in either folder: no temporary file left.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(InFolder("elsewhere"))) ++entries;
    EXPECT_EQ(entries, 3u);
}

TEST_F(Cli, DanglingLinksAndTheImageThroughALinkAreRefused) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Silver);
    const std::vector<uint8_t> bytes = image.ReadAll();
    fs::create_symlink("nowhere/table.csv", InFolder("dangling.csv"));
    const Outcome dangling = Quillmere({"export", image.path(), "-o", InFolder("dangling.csv")});
    EXPECT_EQ(dangling.status, 1);
    EXPECT_NE(dangling.err.find("which does not exist"), std::string::npos) << dangling.err;
    EXPECT_NE(dangling.err.find("(error 2)"), std::string::npos) << dangling.err;
    EXPECT_TRUE(fs::is_symlink(InFolder("dangling.csv")));
    EXPECT_FALSE(fs::exists(InFolder("nowhere")));

    fs::create_symlink("dangling.csv", InFolder("dangling.gbc"));
    const TestImage modified = tablestest::PatternedImage(GameVersion::Silver, 1);
    ASSERT_EQ(Quillmere({"patch", "create", image.path(), modified.path(), InFolder("p.ips")}).status, 0);
    const Outcome apply = Quillmere({"patch", "apply", InFolder("p.ips"), image.path(), InFolder("dangling.gbc")});
    EXPECT_EQ(apply.status, 2) << apply.err;
    EXPECT_NE(apply.err.find("which does not exist"), std::string::npos) << apply.err;

    // Standard output that goes into the image (appended to, by the shell).
    const std::string appended = std::string(QUILLMERE_CLI_PATH) + " export '" + image.path() + "' >> '" +
                                 image.path() + "' 2>/dev/null";
    const int status = std::system(appended.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_EQ(image.ReadAll(), bytes);

    // The image reached through a chain of links and through a hard link.
    fs::create_symlink(image.path(), InFolder("image-link"));
    fs::create_symlink("image-link", InFolder("image-chain.csv"));
    fs::create_hard_link(image.path(), InFolder("image-hard.json"));
    for (const char* name : {"image-chain.csv", "image-hard.json"}) {
        EXPECT_EQ(Quillmere({"export", image.path(), "-o", InFolder(name)}).status, 2) << name;
        EXPECT_EQ(Quillmere({"info", image.path(), "-o", InFolder(name)}).status, 2) << name;
        EXPECT_EQ(Quillmere({"patch", "apply", InFolder("p.ips"), image.path(), InFolder(name), "--force"}).status,
                  1)
            << name;
    }
    EXPECT_EQ(image.ReadAll(), bytes);
}

TEST_F(Cli, StreamsAreWrittenIntoNeverReplaced) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Crystal);
    const std::string table = Quillmere({"export", image.path()}).out;

    // "-o -" and /dev/stdout are standard output.
    const Outcome dash = Quillmere({"export", image.path(), "-o", "-"});
    EXPECT_EQ(dash.status, 0) << dash.err;
    EXPECT_EQ(dash.out, table);
    const Outcome devStdout = Quillmere({"export", image.path(), "-o", "/dev/stdout"});
    EXPECT_EQ(devStdout.status, 0) << devStdout.err;
    EXPECT_EQ(devStdout.out, table);
    EXPECT_EQ(Quillmere({"export", image.path(), "-o", "/dev/null"}).status, 0);

    // A FIFO with a reader gets the table once, and stays a FIFO.
    const std::string fifo = InFolder("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    const Outcome piped = Quillmere({"export", image.path(), "-o", fifo});
    reader.join();
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(received, table);
    struct stat info {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // A full device: the system's own words, and nothing replaced.
    if (fs::exists("/dev/full")) {
        const Outcome full = Quillmere({"export", image.path(), "-o", "/dev/full"});
        EXPECT_EQ(full.status, 1);
        EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
        EXPECT_NE(full.err.find("(error 28)"), std::string::npos) << full.err;
        const Outcome info = Quillmere({"info", image.path()}, "/dev/full");
        EXPECT_NE(info.err.find("No space left on device"), std::string::npos) << info.err;
        const Outcome diff = Quillmere({"diff", image.path(), tablestest::PatternedImage(GameVersion::Crystal, 9).path()},
                                       "/dev/full");
        EXPECT_NE(diff.err.find("No space left on device"), std::string::npos) << diff.err;
    }

    // A private character device of the test's own (the null device's
    // numbers), as root only: written into by every writer, never replaced.
    if (::geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    const std::string device = InFolder("device");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "no device nodes here";
    const TestImage modified = tablestest::PatternedImage(GameVersion::Crystal, 2);
    EXPECT_EQ(Quillmere({"export", image.path(), "-o", device}).status, 0);
    EXPECT_EQ(Quillmere({"patch", "create", image.path(), modified.path(), InFolder("p.bps")}).status, 0);
    fs::create_symlink("device", InFolder("device.bps"));
    EXPECT_EQ(Quillmere({"patch", "create", image.path(), modified.path(), InFolder("device.bps")}).status, 0);
    EXPECT_EQ(Quillmere({"patch", "apply", InFolder("p.bps"), image.path(), device}).status, 0);
    ASSERT_EQ(::lstat(device.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(info.st_rdev, makedev(1, 3));
    EXPECT_TRUE(fs::is_symlink(InFolder("device.bps")));
}

TEST_F(Cli, ShortAndCutImages) {
    const TestImage empty(0x00, 0);
    const TestImage header(0x00, rom::kHeaderEnd - 1);
    const std::string tooShort = "too short to hold a cartridge header (336 bytes).";
    for (const TestImage* image : {&empty, &header}) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"info", image->path()}, {"export", image->path()},
              {"import", image->path(), InFolder("t.csv")}, {"diff", image->path(), image->path()},
              {"checksum", image->path()}}) {
            const Outcome run = Quillmere(command);
            EXPECT_EQ(run.status, command[0] == "diff" || command[0] == "checksum" ? 2 : 1) << command[0];
            EXPECT_TRUE(run.out.empty()) << command[0] << ": " << run.out;
            EXPECT_EQ(Count(run.err, "Could not check the image \"" + image->path() + "\": it is "), 1u)
                << command[0] << ": " << run.err;
            EXPECT_NE(run.err.find(tooShort), std::string::npos) << run.err;
        }
    }

    // An image of 1 MiB whose header declares 2 MiB.
    TestImage cut = TestImage::Released(GameVersion::Crystal, 1024 * 1024);
    cut.SetByte(rom::kRomSizeOffset, 0x06);
    const Outcome info = Quillmere({"info", cut.path()});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("1048576 bytes, shorter than the 2097152 its header declares"), std::string::npos)
        << info.out;
    EXPECT_EQ(Count(info.err, "warning: "), 1u) << info.err;
    const Outcome json = Quillmere({"info", cut.path(), "--json"});
    EXPECT_NE(json.out.find("\"size\": 1048576,\n  \"declaredSize\": 2097152,"), std::string::npos) << json.out;
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"export", cut.path()}, {"diff", cut.path(), cut.path()}}) {
        const Outcome run = Quillmere(command);
        EXPECT_EQ(run.status, 0) << run.err;
        // diff reads it twice, as two images: one warning each.
        EXPECT_EQ(Count(run.err, "shorter than the 2097152 bytes its header declares"), command[0] == "diff" ? 2u : 1u)
            << run.err;
    }
    ASSERT_EQ(Quillmere({"export", cut.path(), "-o", InFolder("cut.csv")}).status, 0);
    const Outcome import = Quillmere({"import", cut.path(), InFolder("cut.csv")});
    EXPECT_EQ(import.status, 0);
    EXPECT_EQ(Count(import.err, "warning: "), 1u) << import.err;

    const std::vector<uint8_t> before = cut.ReadAll();
    const Outcome fix = Quillmere({"checksum", cut.path(), "--fix"});
    EXPECT_EQ(fix.status, 2);
    EXPECT_NE(fix.err.find("Give --force"), std::string::npos) << fix.err;
    EXPECT_EQ(cut.ReadAll(), before);
    const Outcome forced = Quillmere({"checksum", cut.path(), "--fix", "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(Quillmere({"checksum", cut.path(), "--force"}).status, 2);  // --force only goes with --fix
}

// Every exit status the manual page gives, once each.
TEST_F(Cli, EveryDocumentedExitStatus) {
    const TestImage image = tablestest::PatternedImage(GameVersion::Gold);
    const std::string path = image.path();
    TestImage right(0x41, 64 * 1024);
    right.FillWithPattern();
    ASSERT_EQ(Quillmere({"checksum", right.path(), "--fix"}).status, 0);
    const TestImage other = tablestest::PatternedImage(GameVersion::Gold, 5);
    const TestImage noVersion(0x00, 64 * 1024);
    ASSERT_EQ(Quillmere({"export", path, "-o", InFolder("t.csv")}).status, 0);
    WriteFile(InFolder("bad.csv"), "Position,HP\r\n1,300\r\n");
    ASSERT_EQ(Quillmere({"patch", "create", path, other.path(), InFolder("p.bps")}).status, 0);
    WriteFile(InFolder("exists.gbc"), "x");
    WriteFile(InFolder("damaged.bps"), "BPS1 not really");
    fs::create_directory(InFolder("folder"));
    fs::create_directory(InFolder("folder.ips"));
    const std::string missing = InFolder("missing.gbc");

    struct Case {
        std::vector<std::string> arguments;
        int status;
    };
    const std::vector<Case> cases = {
        // Wrong arguments.
        {{}, 2},
        {{"bogus"}, 2},
        {{"patch", "bogus"}, 2},
        {{"info"}, 2},
        {{"export", path, "--format", "xml"}, 2},
        {{"import", path, InFolder("t.txt")}, 2},
        {{"export", path, "-o", path}, 2},
        // info, export, import.
        {{"info", path}, 0},
        {{"info", missing}, 1},
        {{"export", path, "-o", "-"}, 0},
        {{"export", noVersion.path()}, 1},
        {{"import", path, InFolder("t.csv"), "--dry-run"}, 0},
        {{"import", path, InFolder("bad.csv")}, 1},
        // diff.
        {{"diff", path, path}, 0},
        {{"diff", path, other.path()}, 1},
        {{"diff", path, missing}, 2},
        // patch.
        {{"patch", "create", path, other.path(), InFolder("q.ips")}, 0},
        {{"patch", "create", path, other.path(), InFolder("q.txt")}, 1},
        {{"patch", "create", path, other.path(), InFolder("folder.ips")}, 2},
        {{"patch", "create", missing, other.path(), InFolder("r.ips")}, 2},
        {{"patch", "apply", InFolder("p.bps"), path, InFolder("new.gbc")}, 0},
        {{"patch", "apply", InFolder("p.bps"), path, InFolder("exists.gbc")}, 1},
        {{"patch", "apply", InFolder("damaged.bps"), path, InFolder("new2.gbc")}, 1},
        {{"patch", "apply", InFolder("p.bps"), path, InFolder("folder"), "--force"}, 2},
        {{"patch", "apply", InFolder("folder"), path, InFolder("new3.gbc")}, 2},
        // checksum.
        {{"checksum", right.path()}, 0},
        {{"checksum", other.path()}, 1},
        {{"checksum", missing}, 2},
    };
    for (const Case& c : cases) {
        const Outcome run = Quillmere(c.arguments);
        std::string line;
        for (const std::string& argument : c.arguments) line += " " + argument;
        EXPECT_EQ(run.status, c.status) << line << "\n" << run.err;
        // A failure says so in one message; a success in none.
        if (c.status != 0 && !(c.arguments.size() >= 1 && c.arguments[0] == "diff" && c.status == 1) &&
            !(c.arguments.size() >= 1 && c.arguments[0] == "checksum" && c.status == 1)) {
            EXPECT_FALSE(run.err.empty()) << line;
        }
    }
    const Outcome unknown = Quillmere({"bogus"});
    EXPECT_NE(unknown.err.find("\"bogus\" is not a subcommand; the subcommands are info, export, import, diff, "
                               "patch, checksum."),
              std::string::npos)
        << unknown.err;
    const Outcome missingRun = Quillmere({"info", missing});
    EXPECT_NE(missingRun.err.find("(No such file or directory). (error 2)\n"), std::string::npos) << missingRun.err;
}

}  // namespace
