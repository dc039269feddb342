#include "tables/ImageFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "rom/FailureReporter.h"

namespace tables {

namespace {

void Report(int number, std::string description) {
    rom::ReportFailure({number, std::move(description)});
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string SizeText(int64_t bytes) {
    if (bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// Closes the descriptor on every way out.
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
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t put = ::write(fd, content.data(), content.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.remove_prefix(static_cast<size_t>(put));
    }
    return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, int64_t limit, std::string_view what) {
    const std::string lead = "Could not read the " + std::string(what) + " " + Quoted(path) + ": ";
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        const int error = errno;
        Report(error, lead + std::strerror(error) + ".");
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        const int error = errno;
        Report(error, lead + std::strerror(error) + ".");
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode)) {
        Report(EISDIR, lead + "the path names a folder, not a file.");
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        Report(EINVAL, lead + "it is not a regular file.");
        return std::nullopt;
    }
    if (status.st_size > limit) {
        Report(EFBIG, lead + "it holds " + std::to_string(status.st_size) + " bytes, more than the " +
                          SizeText(limit) + " a " + std::string(what) + " can have.");
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(status.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t read = ::read(file.get(), bytes.data() + got, bytes.size() - got);
        if (read < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            Report(error, lead + std::strerror(error) + ".");
            return std::nullopt;
        }
        if (read == 0) break;  // the file shrank while being read
        got += static_cast<size_t>(read);
    }
    bytes.resize(got);
    return bytes;
}

bool ReplaceFileContents(const std::string& path, std::string_view content) {
    const std::string lead = "Could not write " + Quoted(path) + ": ";
    std::string temporary = path + ".XXXXXX";
    Descriptor file(::mkstemp(temporary.data()));
    if (file.get() < 0) {
        const int error = errno;
        Report(error, lead + "no temporary file could be created next to it (" + std::strerror(error) + ").");
        return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int error = 0;
    if (::fchmod(file.get(), 0666 & ~mask) != 0 || !WriteAll(file.get(), content) || ::fsync(file.get()) != 0) {
        error = errno;
    }
    if (error == 0) error = file.Close();
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        Report(error, lead + std::strerror(error) + ". The file was left as it was.");
        return false;
    }
    return true;
}

}  // namespace tables
