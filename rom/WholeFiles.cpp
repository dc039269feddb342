#include "rom/WholeFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
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
    if (S_ISDIR(info.st_mode)) return fail(FileStatus::Refused, EISDIR, "the path names a folder, not a file");
    if (!S_ISREG(info.st_mode)) return fail(FileStatus::Refused, EINVAL, "the path names no regular file");
    const auto size = static_cast<uint64_t>(info.st_size);
    if (size > maxSize) {
        return fail(FileStatus::Refused, EFBIG,
                    "the file is " + ByteCount(size) + ", more than the " + ByteCount(maxSize) + " this program reads");
    }
    try {
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

FileWrite WriteFileThroughTemporary(const std::string& path, std::span<const uint8_t> bytes, bool replace) {
    FileWrite outcome;
    auto fail = [&](FileStatus status, int number, std::string reason) {
        outcome.status = status;
        outcome.number = number;
        outcome.reason = std::move(reason);
        return outcome;
    };
    const fs::path target(path);
    const std::string name = target.filename().string();
    if (name.empty() || name == "." || name == "..") {
        return fail(FileStatus::Refused, EISDIR, "the path names a folder, not a file");
    }
    if (IsFolder(path)) return fail(FileStatus::Refused, EISDIR, "the path names a folder, not a file");
    if (!replace && PathExists(path)) return fail(FileStatus::Refused, EEXIST, "the file already exists and is kept");

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    static std::atomic<unsigned> counter{0};
    int fd = -1;
    std::string temporaryPath;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporaryPath = (folder / TemporaryFileName(name, ::getpid(), counter.fetch_add(1))).string();
        // 0666 as for any new file: the user's umask decides the rest.
        fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int error = errno;
            return fail(FileStatus::Failed, error,
                        "a temporary file could not be created in its folder (" + SystemText(error) + ")");
        }
    }
    if (fd < 0) return fail(FileStatus::Failed, EEXIST, "no free name for a temporary file was found in its folder");
    TemporaryFile temporary(temporaryPath);
    Descriptor file(fd);

    int error = 0;
    if (!WriteAll(file.get(), bytes, error)) {
        return fail(FileStatus::Failed, error, "the file could not be written (" + SystemText(error) + ")");
    }
    if (::fsync(file.get()) != 0) {
        error = errno;
        return fail(FileStatus::Failed, error, "the file could not be flushed to the disk (" + SystemText(error) + ")");
    }
    if ((error = file.Close()) != 0) {
        return fail(FileStatus::Failed, error, "the file could not be closed (" + SystemText(error) + ")");
    }

    if (replace) {
        if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
            error = errno;
            return fail(FileStatus::Failed, error, "the file could not be renamed into place (" + SystemText(error) + ")");
        }
    } else if (::renameat2(AT_FDCWD, temporary.path().c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
        error = errno;
        if (error == EEXIST) return fail(FileStatus::Refused, EEXIST, "the file already exists and is kept");
        if (error != EINVAL && error != ENOSYS && error != ENOTSUP) {
            return fail(FileStatus::Failed, error, "the file could not be renamed into place (" + SystemText(error) + ")");
        }
        // A file system without a rename that refuses to replace: check, then rename.
        if (PathExists(path)) return fail(FileStatus::Refused, EEXIST, "the file already exists and is kept");
        if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
            error = errno;
            return fail(FileStatus::Failed, error, "the file could not be renamed into place (" + SystemText(error) + ")");
        }
    }
    temporary.Release();
    FlushFolder(folder);
    return outcome;
}

}  // namespace rom
