#include "rom/WholeFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

namespace rom {

namespace {

namespace fs = std::filesystem;

std::string SystemText(int number) {
    return std::strerror(number);
}

// Closes the descriptor on every way out unless released.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; returns 0 or the system's error number.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

std::string ByteCount(uint64_t count) {
    constexpr uint64_t kMiB = 1024 * 1024;
    if (count >= kMiB && count % kMiB == 0) return std::to_string(count / kMiB) + " MiB";
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// Removes the temporary file unless the rename took it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

bool WriteAll(int fd, std::span<const uint8_t> bytes, int& error) {
    const uint8_t* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t put = ::write(fd, data, left);
        if (put < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        data += put;
        left -= static_cast<size_t>(put);
    }
    return true;
}

// Flushes the folder's entry of a renamed file; a folder that cannot be
// flushed (some file systems refuse) is not a failure of the write.
void FlushFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

int ExitCodeOf(FileStatus status) {
    switch (status) {
        case FileStatus::Done:
            return 0;
        case FileStatus::Refused:
            return 1;
        default:
            return 2;
    }
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
    std::error_code ignored;
    return fs::is_directory(path, ignored);
}

bool SameFile(const std::string& first, const std::string& second) {
    struct stat a {};
    struct stat b {};
    if (::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    }
    // At least one does not exist: compare the paths, with the links of the
    // folders that do exist resolved.
    auto normal = [](const std::string& path) {
        std::error_code error;
        fs::path absolute = fs::absolute(path, error);
        if (error) return fs::path(path).lexically_normal();
        fs::path canonical = fs::weakly_canonical(absolute, error);
        return error ? absolute.lexically_normal() : canonical;
    };
    try {
        return normal(first) == normal(second);
    } catch (const std::exception&) {
        return first == second;
    }
}

namespace {

// Faults in the pages of a large buffer about to be written with one call
// instead of one fault per page: a 2 MiB image is 512 faults, on a virtual
// machine most of the time it takes to read it. A hint only, where the system
// offers it; nothing changes when it is refused.
void FaultInForWriting([[maybe_unused]] uint8_t* data, [[maybe_unused]] size_t size) {
#ifdef MADV_POPULATE_WRITE
    constexpr size_t kWorthIt = 256 * 1024;
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (size < kWorthIt || pageSize <= 0) return;
    const auto page = static_cast<uintptr_t>(pageSize);
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(page - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
}

}  // namespace

FileRead ReadWholeFile(const std::string& path, uint64_t maxSize) {
    FileRead read;
    auto fail = [&](FileStatus status, int number, std::string reason) {
        read.bytes.clear();
        read.status = status;
        read.number = number;
        read.reason = std::move(reason);
        return std::move(read);
    };
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        return fail(FileStatus::Failed, error, "the file could not be opened (" + SystemText(error) + ")");
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        const int error = errno;
        return fail(FileStatus::Failed, error, "the file could not be measured (" + SystemText(error) + ")");
    }
    if (S_ISDIR(info.st_mode)) return fail(FileStatus::Failed, EISDIR, "the path names a folder, not a file");
    if (!S_ISREG(info.st_mode)) return fail(FileStatus::Refused, EINVAL, "the path names no regular file");
    const auto size = static_cast<uint64_t>(info.st_size);
    if (size > maxSize) {
        return fail(FileStatus::Refused, EFBIG,
                    "the file is " + ByteCount(size) + ", more than the " + ByteCount(maxSize) + " this program reads");
    }
    try {
        read.bytes.reserve(static_cast<size_t>(size));
        FaultInForWriting(read.bytes.data(), static_cast<size_t>(size));
        read.bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return fail(FileStatus::Failed, ENOMEM, "there is not enough memory to hold the file");
    }
    size_t got = 0;
    while (got < read.bytes.size()) {
        const ssize_t part = ::read(fd.get(), read.bytes.data() + got, read.bytes.size() - got);
        if (part < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            return fail(FileStatus::Failed, error, "the file could not be read (" + SystemText(error) + ")");
        }
        if (part == 0) break;
        got += static_cast<size_t>(part);
    }
    // A file that changed length while being read is read as it is now.
    read.bytes.resize(got);
    return read;
}

std::string TemporaryFileName(const std::string& name, long processId, unsigned serial) {
    return "." + name + ".quillmere-unfinished-" + std::to_string(processId) + "-" + std::to_string(serial);
}

namespace {

// Renames without replacing an existing file, where the system can. The
// browser's memory file system has no such rename: it answers ENOSYS, and the
// caller checks, then renames.
int RenameWithoutReplacing(const char* from, const char* to) {
#if defined(__EMSCRIPTEN__)
    (void)from;
    (void)to;
    errno = ENOSYS;
    return -1;
#else
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#endif
}

bool SameIdentity(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True when `info` is the file this process's standard output writes to.
bool IsStandardOutput(const struct stat& info) {
    struct stat out {};
    return ::fstat(STDOUT_FILENO, &out) == 0 && SameIdentity(info, out);
}

// The most links followed in one chain, as the system itself follows them.
constexpr int kMostLinks = 40;

FileWrite Failure(FileStatus status, int number, std::string reason) {
    FileWrite outcome;
    outcome.status = status;
    outcome.number = number;
    outcome.reason = std::move(reason);
    return outcome;
}

// A socket cannot be opened like a file: it is connected to, as a local
// stream socket. Returns the descriptor, or -1 with `error` set.
int ConnectedSocket(const std::string& path, int& error) {
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

// Writes into a stream once: no temporary file, no rename, no truncation.
FileWrite WriteIntoStream(const OutputTarget& target, std::span<const uint8_t> bytes) {
    int error = 0;
    if (target.standardOutput) {
        // Whatever the program's own buffered output holds goes first.
        std::fflush(stdout);
        if (!WriteAll(STDOUT_FILENO, bytes, error)) {
            return Failure(FileStatus::Failed, error, "standard output could not be written (" + SystemText(error) + ")");
        }
        return {};
    }
    Descriptor stream(target.socket ? ConnectedSocket(target.path, error)
                                    : ::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (stream.get() < 0) {
        if (!target.socket) error = errno;
        return Failure(FileStatus::Failed, error, "the file could not be opened (" + SystemText(error) + ")");
    }
    if (!WriteAll(stream.get(), bytes, error)) {
        return Failure(FileStatus::Failed, error, "the file could not be written (" + SystemText(error) + ")");
    }
    if ((error = stream.Close()) != 0) {
        return Failure(FileStatus::Failed, error, "the file could not be closed (" + SystemText(error) + ")");
    }
    return {};
}

// Gives the new file the replaced file's owner (where the process may) and
// mode. The owner first: changing it may clear the set-user-ID bits.
void KeepPermissions(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return;
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0 && now.st_gid != old.st_gid) {
            // An ordinary user may still give the file a group they belong to.
            [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        }
    }
    ::fchmod(fd, old.st_mode & 07777);
}

FileWrite ReplaceThroughTemporary(const std::string& path, std::span<const uint8_t> bytes, bool replace,
                                  const struct stat* old) {
    const fs::path target(path);
    const std::string name = target.filename().string();
    if (name.empty() || name == "." || name == "..") {
        return Failure(FileStatus::Failed, EISDIR, "the path names a folder, not a file");
    }
    if (!replace && old != nullptr) return Failure(FileStatus::Refused, EEXIST, "the file already exists and is kept");

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    static std::atomic<unsigned> counter{0};
    int fd = -1;
    std::string temporaryPath;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporaryPath = (folder / TemporaryFileName(name, ::getpid(), counter.fetch_add(1))).string();
        // 0666 as for any new file: the user's umask decides the rest. A
        // replaced file's own owner and mode are given below, before a byte is
        // written, so that a private file's content is never readable to more
        // people than the file itself is.
        fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int error = errno;
            return Failure(FileStatus::Failed, error,
                           "a temporary file could not be created in its folder (" + SystemText(error) + ")");
        }
    }
    if (fd < 0) return Failure(FileStatus::Failed, EEXIST, "no free name for a temporary file was found in its folder");
    TemporaryFile temporary(temporaryPath);
    Descriptor file(fd);

    if (old != nullptr) KeepPermissions(file.get(), *old);
    int error = 0;
    if (!WriteAll(file.get(), bytes, error)) {
        return Failure(FileStatus::Failed, error, "the file could not be written (" + SystemText(error) + ")");
    }
    if (::fsync(file.get()) != 0) {
        error = errno;
        return Failure(FileStatus::Failed, error,
                       "the file could not be flushed to the disk (" + SystemText(error) + ")");
    }
    if ((error = file.Close()) != 0) {
        return Failure(FileStatus::Failed, error, "the file could not be closed (" + SystemText(error) + ")");
    }

    if (replace) {
        if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
            error = errno;
            return Failure(FileStatus::Failed, error,
                           "the file could not be renamed into place (" + SystemText(error) + ")");
        }
    } else if (RenameWithoutReplacing(temporary.path().c_str(), path.c_str()) != 0) {
        error = errno;
        if (error == EEXIST) return Failure(FileStatus::Refused, EEXIST, "the file already exists and is kept");
        if (error != EINVAL && error != ENOSYS && error != ENOTSUP) {
            return Failure(FileStatus::Failed, error,
                           "the file could not be renamed into place (" + SystemText(error) + ")");
        }
        // A file system without a rename that refuses to replace: check, then rename.
        if (PathExists(path)) return Failure(FileStatus::Refused, EEXIST, "the file already exists and is kept");
        if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
            error = errno;
            return Failure(FileStatus::Failed, error,
                           "the file could not be renamed into place (" + SystemText(error) + ")");
        }
    }
    temporary.Release();
    FlushFolder(folder);
    return {};
}

}  // namespace

OutputTarget ResolveOutput(const std::string& path) {
    OutputTarget target;
    target.path = path;
    struct stat own {};
    if (::lstat(path.c_str(), &own) != 0) {
        const int error = errno;
        if (error == ENOENT) return target;  // a new file
        target.number = error;
        target.reason = "the path could not be looked at (" + SystemText(error) + ")";
        return target;
    }
    // What the name finally names, as the system follows it (this also
    // follows the links of /proc that name pipes and sockets).
    struct stat named {};
    const bool reached = ::stat(path.c_str(), &named) == 0;
    const int reachError = reached ? 0 : errno;
    if (reached && IsStandardOutput(named)) {
        target.kind = OutputKind::Stream;
        target.standardOutput = true;
        return target;
    }
    if (reached && S_ISDIR(named.st_mode)) {
        target.kind = OutputKind::Folder;
        target.number = EISDIR;
        target.reason = "the path names a folder, not a file";
        return target;
    }
    if (reached && !S_ISREG(named.st_mode)) {
        target.kind = OutputKind::Stream;
        target.socket = S_ISSOCK(named.st_mode);
        return target;
    }
    if (!reached && !S_ISLNK(own.st_mode)) {
        target.number = reachError;
        target.reason = "the path could not be looked at (" + SystemText(reachError) + ")";
        return target;
    }
    if (!reached && reachError != ENOENT) {
        target.number = reachError;
        target.reason = "its symbolic links could not be followed (" + SystemText(reachError) + ")";
        return target;
    }

    // Follow the chain one link at a time, so that the file is replaced where
    // it lies and every link on the way stays.
    fs::path at(path);
    struct stat step = own;
    for (int hops = 0; S_ISLNK(step.st_mode); ++hops) {
        if (hops == kMostLinks) {
            target.number = ELOOP;
            target.reason = "its symbolic links could not be followed (" + SystemText(ELOOP) + ")";
            return target;
        }
        std::error_code error;
        const fs::path next = fs::read_symlink(at, error);
        if (error) {
            target.number = error.value();
            target.reason = "its symbolic link could not be read (" + SystemText(error.value()) + ")";
            return target;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
        if (::lstat(at.c_str(), &step) != 0) {
            const int failure = errno;
            if (failure == ENOENT) {
                target.kind = OutputKind::DanglingLink;
                target.path = at.string();
                target.number = ENOENT;
                target.reason = "it is a symbolic link to \"" + at.string() + "\", which does not exist";
                return target;
            }
            target.number = failure;
            target.reason = "its symbolic links could not be followed (" + SystemText(failure) + ")";
            return target;
        }
    }
    if (!reached) {
        // The chain ends at something the system would not follow to a file.
        target.kind = OutputKind::DanglingLink;
        target.path = at.string();
        target.number = ENOENT;
        target.reason = "it is a symbolic link to \"" + at.string() + "\", which does not exist";
        return target;
    }
    target.kind = OutputKind::File;
    target.path = at.string();
    return target;
}

bool OutputFileExists(const std::string& path) {
    const OutputTarget target = ResolveOutput(path);
    return target.kind == OutputKind::File;
}

FileWrite WriteFileThroughTemporary(const std::string& path, std::span<const uint8_t> bytes, bool replace) {
    const OutputTarget target = ResolveOutput(path);
    switch (target.kind) {
        case OutputKind::Stream:
            return WriteIntoStream(target, bytes);
        case OutputKind::Folder:
        case OutputKind::DanglingLink:
            return Failure(FileStatus::Failed, target.number, target.reason);
        case OutputKind::NewFile:
            if (target.number != 0) return Failure(FileStatus::Failed, target.number, target.reason);
            return ReplaceThroughTemporary(target.path, bytes, replace, nullptr);
        case OutputKind::File: {
            struct stat old {};
            if (::stat(target.path.c_str(), &old) != 0) {
                const int error = errno;
                return Failure(FileStatus::Failed, error, "the file could not be looked at (" + SystemText(error) + ")");
            }
            return ReplaceThroughTemporary(target.path, bytes, replace, &old);
        }
    }
    return Failure(FileStatus::Failed, EINVAL, "the path names nothing that can be written");
}

}  // namespace rom
