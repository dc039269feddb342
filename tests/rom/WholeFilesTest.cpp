// The whole-file layer's writes go where a name points: through links to the
// file they finally name, into devices and FIFOs, keeping permissions.

#include "rom/WholeFiles.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestImage.h"

namespace {

namespace fs = std::filesystem;
using rom::FileStatus;
using rom::OutputKind;
using rom::WriteFileThroughTemporary;
using testsupport::TestImage;

using Bytes = std::vector<uint8_t>;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

rom::FileWrite Put(const fs::path& path, const std::string& text, bool replace = true) {
    const Bytes bytes(text.begin(), text.end());
    return WriteFileThroughTemporary(path.string(), bytes, replace);
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// Each test works in an empty folder of its own, removed after it.
class WholeFiles : public testing::Test {
protected:
    void SetUp() override { fs::create_directory(folder_); }
    fs::path Path(const std::string& name) const { return folder_ / name; }
    const fs::path& folder() const { return folder_; }

private:
    TestImage scratch_{0x00, 0};
    fs::path folder_ = scratch_.folder() / "work";
};

TEST_F(WholeFiles, LinksAreFollowedToTheFileTheyFinallyNameAndStayLinks) {
    // A relative link, a chain of two, and a link into another folder.
    fs::create_directory(Path("other"));
    Write(Path("other/target.csv"), "old");
    fs::create_symlink("other/target.csv", Path("direct"));
    fs::create_symlink("direct", Path("chained"));
    fs::create_directory(Path("links"));
    fs::create_symlink("../other/target.csv", Path("links/up"));

    for (const char* name : {"direct", "chained", "links/up"}) {
        const rom::FileWrite write = Put(Path(name), std::string("via ") + name);
        ASSERT_EQ(write.status, FileStatus::Done) << name << ": " << write.reason;
        EXPECT_TRUE(fs::is_symlink(Path(name))) << name;
        EXPECT_EQ(Read(Path("other/target.csv")), std::string("via ") + name);
    }
    EXPECT_EQ(fs::read_symlink(Path("chained")), fs::path("direct"));
    // The temporary file lay in the target's folder and is gone; nothing new
    // appeared beside the links.
    EXPECT_EQ(Names(Path("other")), (std::set<std::string>{"target.csv"}));
    EXPECT_EQ(Names(Path("links")), (std::set<std::string>{"up"}));

    const rom::OutputTarget resolved = rom::ResolveOutput(Path("chained").string());
    EXPECT_EQ(resolved.kind, OutputKind::File);
    EXPECT_EQ(fs::path(resolved.path), Path("other/target.csv"));

    // A link that exists counts as an existing file for a write that may not replace.
    const rom::FileWrite kept = Put(Path("links/up"), "no", /*replace=*/false);
    EXPECT_EQ(kept.status, FileStatus::Refused);
    EXPECT_EQ(Read(Path("other/target.csv")), "via links/up");
    EXPECT_TRUE(rom::OutputFileExists(Path("links/up").string()));
}

TEST_F(WholeFiles, DanglingLinksAndLoopsAndFoldersAreNotWritten) {
    fs::create_symlink("missing/nowhere.csv", Path("dangling"));
    fs::create_symlink("dangling", Path("to-dangling"));
    fs::create_symlink("loop-b", Path("loop-a"));
    fs::create_symlink("loop-a", Path("loop-b"));
    fs::create_directory(Path("folder"));
    fs::create_symlink("folder", Path("folder-link"));
    const std::set<std::string> before = Names(folder());

    for (const char* name : {"dangling", "to-dangling"}) {
        const rom::FileWrite write = Put(Path(name), "x");
        EXPECT_EQ(write.status, FileStatus::Failed) << name;
        EXPECT_NE(write.reason.find("does not exist"), std::string::npos) << write.reason;
        EXPECT_EQ(rom::ResolveOutput(Path(name).string()).kind, OutputKind::DanglingLink);
    }
    const rom::FileWrite loop = Put(Path("loop-a"), "x");
    EXPECT_EQ(loop.status, FileStatus::Failed);
    EXPECT_EQ(loop.number, ELOOP);
    for (const char* name : {"folder", "folder-link"}) {
        const rom::FileWrite write = Put(Path(name), "x");
        EXPECT_EQ(write.status, FileStatus::Failed) << name;
        EXPECT_EQ(write.number, EISDIR) << name;
    }
    EXPECT_EQ(Names(folder()), before);
    EXPECT_TRUE(fs::is_empty(Path("folder")));
}

TEST_F(WholeFiles, AReplacedFileKeepsItsModeAndANewFileGetsTheUsualOne) {
    Write(Path("private.csv"), "old");
    ::chmod(Path("private.csv").c_str(), 0600);
    Write(Path("shared.csv"), "old");
    ::chmod(Path("shared.csv").c_str(), 0664);
    fs::create_symlink("shared.csv", Path("shared-link"));
    ASSERT_EQ(Put(Path("private.csv"), "new").status, FileStatus::Done);
    ASSERT_EQ(Put(Path("shared-link"), "new").status, FileStatus::Done);

    struct stat info {};
    ASSERT_EQ(::stat(Path("private.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat(Path("shared.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
    EXPECT_EQ(Read(Path("shared.csv")), "new");

    ASSERT_EQ(Put(Path("new.csv"), "new").status, FileStatus::Done);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ASSERT_EQ(::stat(Path("new.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0666u & ~mask);

    // The owner is kept too. Only root can give a file to another user, so
    // this half runs as root alone.
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another owner needs root";
    ASSERT_EQ(::chown(Path("private.csv").c_str(), 4321, 4322), 0);
    ASSERT_EQ(Put(Path("private.csv"), "again").status, FileStatus::Done);
    ASSERT_EQ(::stat(Path("private.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4322u);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST_F(WholeFiles, AFifoIsWrittenIntoOnceAndStaysAFifo) {
    const fs::path fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = Read(fifo); });
    const rom::FileWrite write = Put(fifo, "through the pipe", /*replace=*/false);
    reader.join();
    EXPECT_EQ(write.status, FileStatus::Done) << write.reason;
    EXPECT_EQ(received, "through the pipe");
    struct stat info {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(Names(folder()), (std::set<std::string>{"pipe"}));
    EXPECT_FALSE(rom::OutputFileExists(fifo.string()));
}

TEST_F(WholeFiles, ALocalSocketIsConnectedToAndWrittenInto) {
    const fs::path path = Path("socket");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << errno;
    ASSERT_EQ(::listen(listener, 1), 0);
    std::string received;
    std::thread reader([&] {
        const int connection = ::accept(listener, nullptr, nullptr);
        char buffer[256];
        for (ssize_t got; (got = ::read(connection, buffer, sizeof buffer)) > 0;) received.append(buffer, got);
        ::close(connection);
    });
    fs::create_symlink("socket", Path("socket-link"));
    const rom::FileWrite write = Put(Path("socket-link"), "over the socket");
    reader.join();
    ::close(listener);
    EXPECT_EQ(write.status, FileStatus::Done) << write.reason;
    EXPECT_EQ(received, "over the socket");
    EXPECT_TRUE(fs::is_socket(path));
    EXPECT_TRUE(fs::is_symlink(Path("socket-link")));
}

TEST_F(WholeFiles, ACharacterDeviceIsWrittenIntoAndStaysADevice) {
    // A private device node of its own, never one of the system's: the null
    // device's numbers (1, 3), made in the test's folder. Only root may.
    if (::geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    const fs::path device = Path("null-device");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "this system does not allow device nodes here (errno " << errno << ")";
    }
    fs::create_symlink("null-device", Path("device-link"));
    for (const char* name : {"null-device", "device-link"}) {
        const rom::FileWrite write = Put(Path(name), std::string(32768, 'x'));
        EXPECT_EQ(write.status, FileStatus::Done) << name << ": " << write.reason;
    }
    struct stat info {};
    ASSERT_EQ(::lstat(device.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(info.st_rdev, makedev(1, 3));
    EXPECT_TRUE(fs::is_symlink(Path("device-link")));
    EXPECT_EQ(Names(folder()), (std::set<std::string>{"null-device", "device-link"}));
}

TEST_F(WholeFiles, StandardOutputByAnyNameIsWrittenIntoAndAFullDeviceSaysSo) {
    // Standard output redirected to a file of the test's own: /dev/stdout
    // and the file's own name are written into, not replaced.
    const fs::path file = Path("captured");
    const int saved = ::dup(STDOUT_FILENO);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_GE(::dup2(fd, STDOUT_FILENO), 0);
    struct stat before {};
    ::fstat(fd, &before);
    const rom::OutputTarget target = rom::ResolveOutput("/dev/stdout");
    const rom::FileWrite first = Put("/dev/stdout", "one ");
    const rom::FileWrite second = Put(file, "two");
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(fd);
    EXPECT_EQ(target.kind, OutputKind::Stream);
    EXPECT_TRUE(target.standardOutput);
    EXPECT_EQ(first.status, FileStatus::Done) << first.reason;
    EXPECT_EQ(second.status, FileStatus::Done) << second.reason;
    EXPECT_EQ(Read(file), "one two");
    struct stat after {};
    ::stat(file.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, written into

    // The system's own words for a device that is full.
    if (fs::exists("/dev/full")) {
        const rom::FileWrite full = Put("/dev/full", "x");
        EXPECT_EQ(full.status, FileStatus::Failed);
        EXPECT_EQ(full.number, ENOSPC);
        EXPECT_NE(full.reason.find("No space left on device"), std::string::npos) << full.reason;
    }
}

TEST_F(WholeFiles, SameFileSeesThroughLinksAndHardLinks) {
    Write(Path("image.gbc"), "image");
    fs::create_symlink("image.gbc", Path("soft"));
    fs::create_symlink("soft", Path("softer"));
    fs::create_hard_link(Path("image.gbc"), Path("hard"));
    for (const char* name : {"soft", "softer", "hard"}) {
        EXPECT_TRUE(rom::SameFile(Path(name).string(), Path("image.gbc").string())) << name;
    }
    EXPECT_FALSE(rom::SameFile(Path("new.csv").string(), Path("image.gbc").string()));
}

}  // namespace
