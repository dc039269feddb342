// Imports and checksum fixes replace the image whole: an I/O error or a kill
// at any moment leaves the image byte for byte as it was or as the finished
// import makes it. The faults come from outside the program (strace's fault
// and signal injection, SIGKILL at random moments), as a user's would.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tables/SpeciesRows.h"
#include "tests/cli/CliProcess.h"
#include "tests/tables/ListImages.h"
#include "tests/tables/TablesTestSupport.h"

namespace {

namespace fs = std::filesystem;
using clitest::Cli;
using clitest::Finish;
using clitest::Outcome;
using clitest::ReadFile;
using clitest::RunCommand;
using clitest::Start;
using clitest::WriteFile;
using rom::GameVersion;
using testsupport::TestImage;

// The bytes of an image file, read in one go (the images are 2 MiB).
std::string WholeFile(const std::string& path) {
    std::string bytes(static_cast<size_t>(fs::file_size(path)), '\0');
    std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// The files beside the image that a killed write left behind; each must say
// what it is. Removes them and returns how many there were.
int ExpectOnlyNamedLeftovers(const fs::path& folder, const std::string& imageName) {
    const std::string prefix = "." + imageName + ".quillmere-unfinished-";
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("." + imageName, 0) != 0) continue;
        EXPECT_EQ(name.rfind(prefix, 0), 0u) << name;
        fs::remove(entry.path());
        ++count;
    }
    return count;
}

class ImportSafety : public Cli {
protected:
    void SetUp() override {
        image_ = tablestest::PatternedImage(GameVersion::Crystal);
        before_ = State();
        // The table: HP of every species changed, 251 fields in 251 places.
        std::string refusal;
        std::optional<tables::TableImage> opened = tables::OpenTableImage(image_.path(), refusal);
        ASSERT_TRUE(opened) << refusal;
        for (auto& species : opened->table) species.fields[0][0] ^= 0x5A;
        table_ = InFolder("hp.csv");
        WriteFile(table_, tables::ExportCsv(opened->table));
        // The finished import, made once in a copy of the image.
        const std::string copy = InFolder("finished.gbc");
        fs::copy_file(image_.path(), copy);
        ASSERT_EQ(Quillmere({"import", copy, table_}).status, 0);
        after_ = WholeFile(copy);
        ASSERT_TRUE(after_ != before_);
    }

    // Puts the old image back; returns how many temporary files were left.
    int Restore() const {
        WriteFile(image_.path(), before_);
        return ExpectOnlyNamedLeftovers(image_.folder(), "image.gbc");
    }

    // Why the write-counting tests cannot run here, or empty: a build with the
    // sanitizers makes write calls of its own that an injected error would hit.
    static std::string WhyWritesCannotBeCounted() {
#ifdef QUILLMERE_SANITIZED
        return "the sanitizers' runtime makes write calls of its own";
#else
        if (!StraceWorks()) return "strace cannot trace here (no strace, or no ptrace permission)";
        return {};
#endif
    }

    // True when strace can trace here (it cannot without ptrace permission).
    static bool StraceWorks() {
        TestImage scratch(0x00, 0);
        return RunCommand({"strace", "-qq", "-o", "/dev/null", "-e", "trace=none", "true"}, scratch.folder()).status == 0;
    }

    std::vector<std::string> Import(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> command{QUILLMERE_CLI_PATH, "import", image_.path(), table_};
        command.insert(command.end(), tableOptions_.begin(), tableOptions_.end());
        command.insert(command.end(), extra.begin(), extra.end());
        return command;
    }

    // The command run under strace. A build with the leak checker would fail
    // every traced run (the checker stops the process's threads with ptrace,
    // which a traced process cannot), so it is off there.
    static std::vector<std::string> Traced(std::vector<std::string> options, const std::vector<std::string>& command) {
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        std::string asan = sanitizer != nullptr && *sanitizer != '\0' ? std::string(sanitizer) + ":" : std::string();
        std::vector<std::string> all{"strace", "-qq", "-E", "ASAN_OPTIONS=" + asan + "detect_leaks=0"};
        all.insert(all.end(), options.begin(), options.end());
        all.insert(all.end(), command.begin(), command.end());
        return all;
    }

    static std::vector<std::string> UnderStrace(const std::string& injection, const std::vector<std::string>& command) {
        return Traced({"-o", "/dev/null", "-e", "inject=" + injection}, command);
    }

    // The number of write calls of a whole import.
    int CountWrites() const {
        const std::string trace = InFolder("trace");
        EXPECT_EQ(RunCommand(Traced({"-o", trace, "-e", "trace=write"}, Import()), folder()).status, 0);
        const std::string text = ReadFile(trace);
        int count = 0;
        for (size_t at = text.find("write("); at != std::string::npos; at = text.find("write(", at + 1)) ++count;
        return count;
    }

    std::string State() const { return WholeFile(image_.path()); }

    // Runs the import with an I/O error at each write in `writes`: the image
    // is every time the old one or the imported one, a run that says it
    // succeeded left the imported one, and exactly one write (the image's)
    // leaves the old one with "The image is as it was".
    void ExpectEachFailedWriteLeavesOldOrNew(const std::vector<int>& writes) const {
        int asItWas = 0;
        for (const int k : writes) {
            EXPECT_EQ(Restore(), 0) << "a failed write removes its temporary file";
            const Outcome run =
                RunCommand(UnderStrace("write:error=EIO:when=" + std::to_string(k), Import()), folder());
            const std::string state = State();
            ASSERT_TRUE(state == before_ || state == after_) << "write " << k << ": the image is neither";
            if (run.status == 0) {
                EXPECT_TRUE(state == after_) << "write " << k;
            }
            if (state == before_) {
                EXPECT_NE(run.status, 0) << "write " << k;
                EXPECT_NE(run.err.find("The image is as it was"), std::string::npos) << run.err;
                ++asItWas;
            }
        }
        EXPECT_EQ(asItWas, 1) << "one of the writes is the image's";
    }

    void TearDown() override {
        std::error_code ignored;
        fs::permissions(image_.folder(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }

    TestImage image_{0x00, 0};
    std::string before_;
    std::string after_;
    std::string table_;
    std::vector<std::string> tableOptions_;  // "--table NAME" for a list table
};

// For every k, an I/O error at the k-th write of the import leaves the image
// as it was or fully imported; the exit status says which.
TEST_F(ImportSafety, AnIoErrorAtAnyWriteLeavesTheImageAsItWasOrFullyImported) {
    if (const std::string why = WhyWritesCannotBeCounted(); !why.empty()) GTEST_SKIP() << why;
    const int writes = CountWrites();
    ASSERT_GT(writes, 0);
    std::vector<int> hit;
    for (int k = 1; k <= writes + 1; ++k) hit.push_back(k);
    ExpectEachFailedWriteLeavesOldOrNew(hit);
    // The flush and the rename are the other steps that can fail.
    for (const char* step : {"fsync,fdatasync", "rename,renameat,renameat2"}) {
        Restore();
        const Outcome run = RunCommand(UnderStrace(std::string(step) + ":error=EIO", Import()), folder());
        EXPECT_EQ(run.status, 1) << step;
        EXPECT_TRUE(State() == before_) << step;
        EXPECT_NE(run.err.find("Input/output error"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    // checksum --fix writes the image whole too: its first write is the image's.
    Restore();
    const Outcome fix = RunCommand(
        UnderStrace("write:error=EIO:when=1", {QUILLMERE_CLI_PATH, "checksum", image_.path(), "--fix"}), folder());
    EXPECT_EQ(fix.status, 2);
    EXPECT_NE(fix.err.find("The image is as it was."), std::string::npos) << fix.err;
    EXPECT_TRUE(State() == before_);
    Restore();
}

// A kill at any write, at the flush or at the rename leaves the image as it
// was or fully imported, and a temporary file that says what it is.
TEST_F(ImportSafety, AKillAtAnyStepLeavesTheImageAsItWasOrFullyImported) {
    if (!StraceWorks()) GTEST_SKIP() << "strace cannot trace here (no strace, or no ptrace permission)";
    const int writes = CountWrites();
    std::vector<std::string> injections;
    for (int k = 1; k <= writes; ++k) injections.push_back("write:signal=KILL:when=" + std::to_string(k));
    injections.push_back("fsync,fdatasync:signal=KILL");
    injections.push_back("rename,renameat,renameat2:signal=KILL");
    int leftovers = 0;
    for (const std::string& injection : injections) {
        leftovers += Restore();
        const Outcome run = RunCommand(UnderStrace(injection, Import()), folder());
        EXPECT_NE(run.status, 0) << injection;
        const std::string state = State();
        ASSERT_TRUE(state == before_ || state == after_) << injection << ": the image is neither";
    }
    leftovers += Restore();
    // The kills at the image's write, flush and rename left one each.
    EXPECT_EQ(leftovers, 3);
}

// Imports killed at random moments, back and forth between two tables: the
// image is always one of the two states.
TEST_F(ImportSafety, AKillAtARandomMomentLeavesTheImageWhole) {
    const std::string back = InFolder("back.csv");
    {
        std::string refusal;
        WriteFile(back, tables::ExportCsv(tables::OpenTableImage(image_.path(), refusal)->table));
    }
    // How long one import takes here, so that the kills fall inside one.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Quillmere({"import", image_.path(), table_}).status, 0);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(State() == after_);
    ASSERT_EQ(Quillmere({"import", image_.path(), back}).status, 0);
    ASSERT_TRUE(State() == before_);

    std::mt19937 random(19);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(took).count() * 3 / 2 + 1;
    int killed = 0;
    for (int i = 0; i < 40; ++i) {
        const std::string& table = State() == after_ ? back : table_;
        const pid_t child = Start({QUILLMERE_CLI_PATH, "import", image_.path(), table}, folder());
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % static_cast<unsigned>(span)));
        kill(child, SIGKILL);
        if (Finish(child, folder()).status == 128 + SIGKILL) ++killed;
        const std::string state = State();
        ASSERT_TRUE(state == before_ || state == after_) << "run " << i << ": the image is neither";
        ExpectOnlyNamedLeftovers(image_.folder(), "image.gbc");
    }
    EXPECT_GT(killed, 0);
}

// --in-place writes as before: byte by byte, and an error part of the way
// leaves part of the import and says so.
TEST_F(ImportSafety, InPlaceWritesByteByByteAsBefore) {
    if (const std::string why = WhyWritesCannotBeCounted(); !why.empty()) GTEST_SKIP() << why;
    const Outcome run = RunCommand(UnderStrace("write:error=EIO:when=100", Import({"--in-place"})), folder());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("The import stopped after writing 99 of 251 changed bytes; the image now holds part of "
                           "the import."),
              std::string::npos)
        << run.err;
    const std::string state = State();
    EXPECT_TRUE(state != before_);
    EXPECT_TRUE(state != after_);
    Restore();
}

TEST_F(ImportSafety, AnImageWithHardLinksIsRefusedUnlessInPlace) {
    const std::string other = InFolder("other-name.gbc");
    fs::create_hard_link(image_.path(), other);
    const fs::file_time_type time = fs::last_write_time(image_.path());

    const Outcome refused = Quillmere({"import", image_.path(), table_});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.empty()) << refused.out;
    EXPECT_NE(refused.err.find("has 2 names (hard links)"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--in-place"), std::string::npos) << refused.err;
    EXPECT_TRUE(State() == before_);
    EXPECT_EQ(fs::last_write_time(image_.path()), time);

    // A dry run is not refused: it writes nothing.
    EXPECT_EQ(Quillmere({"import", image_.path(), table_, "--dry-run"}).status, 0);

    const Outcome inPlace = Quillmere({"import", image_.path(), table_, "--in-place"});
    EXPECT_EQ(inPlace.status, 0) << inPlace.err;
    EXPECT_NE(inPlace.out.find("Changed 251 fields of 251 species."), std::string::npos) << inPlace.out;
    EXPECT_TRUE(State() == after_);
    EXPECT_TRUE(WholeFile(other) == after_);  // both names, one file

    // The same for the checksums.
    const Outcome checksum = Quillmere({"checksum", image_.path(), "--fix"});
    EXPECT_EQ(checksum.status, 2);
    EXPECT_NE(checksum.err.find("--in-place"), std::string::npos) << checksum.err;
    EXPECT_TRUE(State() == after_);
    const Outcome fixed = Quillmere({"checksum", image_.path(), "--fix", "--in-place"});
    EXPECT_EQ(fixed.status, 0) << fixed.err;
    EXPECT_TRUE(WholeFile(other) == State());
    EXPECT_TRUE(State() != after_);
}

// A whole import or checksum fix puts a new file in the image's place; the
// name keeps pointing where it did (a link stays a link).
TEST_F(ImportSafety, TheImageIsReplacedWholeAndALinkStaysALink) {
    const std::string link = InFolder("linked.gbc");
    fs::create_symlink(image_.path(), link);
    struct stat old {};
    ASSERT_EQ(stat(image_.path().c_str(), &old), 0);

    const Outcome run = Quillmere({"import", link, table_});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(State() == after_);
    struct stat now {};
    ASSERT_EQ(stat(image_.path().c_str(), &now), 0);
    EXPECT_NE(now.st_ino, old.st_ino);  // a new file, renamed into place

    const Outcome fix = Quillmere({"checksum", link, "--fix"});
    EXPECT_EQ(fix.status, 0) << fix.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Quillmere({"checksum", image_.path()}).status, 0);
    ExpectOnlyNamedLeftovers(image_.folder(), "image.gbc");
    EXPECT_TRUE(fs::is_regular_file(image_.path()));

    // --in-place only with --fix.
    EXPECT_EQ(Quillmere({"checksum", image_.path(), "--in-place"}).status, 2);
}

// A folder that cannot take a new file: refused, and --in-place writes into
// the file. As an administrator (who may write any folder) the program runs
// as the unprivileged user "nobody" through setpriv.
TEST_F(ImportSafety, AFolderThatCannotTakeANewFileIsRefusedUnlessInPlace) {
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
        // The test's folder and its files become readable to nobody, and the
        // image writable, but not the folder.
        fs::permissions(folder(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
        fs::permissions(table_, fs::perms::others_read, fs::perm_options::add);
        ASSERT_EQ(chown(image_.path().c_str(), kNobody, kNobody), 0);
        fs::permissions(image_.folder(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
        std::vector<std::string> probe = prefix;
        probe.insert(probe.end(), {QUILLMERE_CLI_PATH, "import", image_.path(), table_, "--dry-run"});
        const Outcome canRun = RunCommand(probe, folder());
        if (canRun.status != 0) {
            GTEST_SKIP() << "running as root, and the program cannot run as nobody here (setpriv missing, or a "
                            "folder on the way is closed to others): "
                         << canRun.err;
        }
    } else {
        fs::permissions(image_.folder(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    std::vector<std::string> command = prefix;
    command.insert(command.end(), {QUILLMERE_CLI_PATH, "import", image_.path(), table_});

    const Outcome refused = RunCommand(command, folder());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("cannot take a new file"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--in-place"), std::string::npos) << refused.err;
    EXPECT_TRUE(State() == before_);

    command.push_back("--in-place");
    const Outcome inPlace = RunCommand(command, folder());
    EXPECT_EQ(inPlace.status, 0) << inPlace.err;
    EXPECT_TRUE(State() == after_);
}

// A list import that makes a table be packed again (a level-up move list
// grown, so that every list after it moves and 250 pointers change) is all
// or nothing as well.
class ListImportSafety : public ImportSafety {
protected:
    void SetUp() override {
        image_ = listtest::ReleaseLikeImage(listtest::SyntheticLists());
        before_ = State();
        table_ = InFolder("moves.csv");
        WriteFile(table_, "Position,Species,Level,Move\n0,,1,Tackle\n0,,7,Vine Whip\n0,,20,Sleep Powder\n");
        tableOptions_ = {"--table", "moves"};
        const std::string copy = InFolder("finished.gbc");
        fs::copy_file(image_.path(), copy);
        const Outcome finished = Quillmere({"import", copy, table_, "--table", "moves"});
        ASSERT_EQ(finished.status, 0) << finished.err;
        ASSERT_NE(finished.out.find("Changed the level-up moves of 1 species"), std::string::npos) << finished.out;
        after_ = WholeFile(copy);
        ASSERT_TRUE(after_ != before_);
    }

    // The writes to inject a fault at: every one when there are few, else the
    // first and last ten and an even sample between them.
    static std::vector<int> WritesToHit(int writes) {
        std::vector<int> hit;
        const int step = writes <= 40 ? 1 : (writes - 20) / 20 + 1;
        for (int k = 1; k <= writes; ++k) {
            if (k <= 10 || k > writes - 10 || k % step == 0) hit.push_back(k);
        }
        return hit;
    }
};

TEST_F(ListImportSafety, AnIoErrorAtAnyWriteLeavesThePackedTableAsItWasOrFullyImported) {
    if (const std::string why = WhyWritesCannotBeCounted(); !why.empty()) GTEST_SKIP() << why;
    const int writes = CountWrites();
    ASSERT_GT(writes, 0);
    std::vector<int> hit = WritesToHit(writes);
    hit.push_back(writes + 1);
    ExpectEachFailedWriteLeavesOldOrNew(hit);
    for (const char* step : {"fsync,fdatasync", "rename,renameat,renameat2"}) {
        Restore();
        const Outcome run = RunCommand(UnderStrace(std::string(step) + ":error=EIO", Import()), folder());
        EXPECT_EQ(run.status, 1) << step;
        EXPECT_TRUE(State() == before_) << step;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    Restore();
}

TEST_F(ListImportSafety, AKillAtAnyStepLeavesThePackedTableAsItWasOrFullyImported) {
    if (!StraceWorks()) GTEST_SKIP() << "strace cannot trace here (no strace, or no ptrace permission)";
    std::vector<std::string> injections;
    for (const int k : WritesToHit(CountWrites())) injections.push_back("write:signal=KILL:when=" + std::to_string(k));
    injections.push_back("fsync,fdatasync:signal=KILL");
    injections.push_back("rename,renameat,renameat2:signal=KILL");
    int leftovers = 0;
    int imported = 0;
    for (const std::string& injection : injections) {
        leftovers += Restore();
        const Outcome run = RunCommand(UnderStrace(injection, Import()), folder());
        EXPECT_NE(run.status, 0) << injection;
        const std::string state = State();
        ASSERT_TRUE(state == before_ || state == after_) << injection << ": the image is neither";
        imported += state == after_ ? 1 : 0;
    }
    leftovers += Restore();
    EXPECT_EQ(leftovers, 3) << "the kills at the image's write, flush and rename leave one each";
    EXPECT_GT(imported, 0) << "a kill after the rename leaves the finished import";
}

}  // namespace
