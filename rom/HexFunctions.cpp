#include "rom/HexFunctions.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "rom/FailureReporter.h"
#include "rom/HexDigits.h"

// Failure numbers follow the system's errno numbering throughout:
//   EINVAL    a negative offset, or text that is not a hex byte-string
//   EOVERFLOW the addressed bytes would lie past the highest signed 32-bit offset
//   EFBIG     a write that would reach the end of the file (a write never
//             makes a file longer)
//   EISDIR    the path names a folder
//   ENOMEM    a read too large to hold in memory
//   any other the system's own number when opening, reading or writing fails
//             (ENOENT for a path that names no file)
//
// A transfer of no bytes (a count of 0 or less, or an empty text) addresses no
// byte, so its offset is not checked; the file is still opened and closed, and
// a file that cannot be opened is a reported failure.

namespace HexFunctions {

namespace {

using rom::hexdigits::kDigits;
constexpr int64_t kHighestOffset = std::numeric_limits<int32_t>::max();

using rom::hexdigits::Value;

void AppendByte(std::string& out, unsigned char byte) {
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0x0F]);
}

std::string OffsetText(int64_t offset) {
    if (offset < 0) return std::to_string(offset);
    return "0x" + rom::hexdigits::Of(static_cast<uint64_t>(offset));
}

std::string ByteCountText(int64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string SystemReason(const char* what, int number) {
    return std::string("the file could not be ") + what + " (" + std::strerror(number) + ")";
}

// The common form of every description:
//   Could not <verb> <n> bytes at offset <0x...> of "<path>": <reason>.<tail>
void Report(int number, const char* verb, int64_t count, int64_t offset, const std::string& path,
            const std::string& reason, const char* tail = "") {
    rom::Failure failure;
    failure.number = number;
    failure.description = std::string("Could not ") + verb + " " + ByteCountText(count) + " at offset " +
                          OffsetText(offset) + " of \"" + path + "\": " + reason + "." + tail;
    rom::ReportFailure(failure);
}

// Checks the addressed range [offset, offset + count - 1]; reports and returns
// false when it does not lie inside the signed 32-bit offsets.
bool CheckRange(const char* verb, const char* tail, const std::string& path, int32_t offset, int64_t count) {
    if (offset < 0) {
        Report(EINVAL, verb, count, offset, path, "the offset is negative, and a file has no byte before its start",
               tail);
        return false;
    }
    if (static_cast<int64_t>(offset) + count - 1 > kHighestOffset) {
        Report(EOVERFLOW, verb, count, offset, path,
               "the last byte would lie past offset " + OffsetText(kHighestOffset) +
                   ", the highest offset that can be addressed",
               tail);
        return false;
    }
    return true;
}

// Closes the file on every way out.
class File {
public:
    File() = default;
    File(const std::string& path, const char* mode) { Open(path, mode); }
    void Open(const std::string& path, const char* mode) {
        errno = 0;
        handle_ = std::fopen(path.c_str(), mode);
        openError_ = handle_ == nullptr ? (errno != 0 ? errno : EIO) : 0;
    }
    ~File() {
        if (handle_ != nullptr) std::fclose(handle_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    std::FILE* get() const { return handle_; }
    int openError() const { return openError_; }

    // Closes the file now; returns 0 or the system's error number.
    int Close() {
        if (handle_ == nullptr) return 0;
        errno = 0;
        const int result = std::fclose(handle_);
        handle_ = nullptr;
        return result == 0 ? 0 : (errno != 0 ? errno : EIO);
    }

    // The file's length in bytes, or -1 with the error number in `error`.
    int64_t Length(int& error) const {
        errno = 0;
        if (std::fseek(handle_, 0, SEEK_END) != 0) {
            error = errno != 0 ? errno : EIO;
            return -1;
        }
        const long length = std::ftell(handle_);
        if (length < 0) {
            error = errno != 0 ? errno : EIO;
            return -1;
        }
        return length;
    }

    // Moves to the offset; returns 0 or the system's error number.
    int SeekTo(int64_t offset) const {
        errno = 0;
        if (std::fseek(handle_, static_cast<long>(offset), SEEK_SET) != 0) return errno != 0 ? errno : EIO;
        return 0;
    }

private:
    std::FILE* handle_ = nullptr;
    int openError_ = 0;
};

bool IsFolder(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

// True when the file exists and nobody may write it. The system lets an
// administrator write such a file anyway; the editor respects the mark.
bool IsMarkedReadOnly(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) return false;
    using std::filesystem::perms;
    return (status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none;
}

constexpr char kWriteVerb[] = "write";
constexpr char kNothingWritten[] = " Nothing was written.";

// Opens `file` for update after checking that `count` bytes at `offset` can be
// written in place: the file exists, is not marked read-only, opens for update
// and already holds every addressed byte. Reports and returns false otherwise.
// "r+b" never creates a file and never truncates one.
bool OpenForUpdate(File& file, const std::string& path, int32_t offset, int64_t count) {
    if (IsMarkedReadOnly(path)) {
        Report(EACCES, kWriteVerb, count, offset, path, "the file is marked read-only", kNothingWritten);
        return false;
    }
    file.Open(path, "r+b");
    if (file.get() == nullptr) {
        const int error = file.openError();
        Report(error, kWriteVerb, count, offset, path, SystemReason("opened", error),
               error == ENOENT ? " Nothing was written, and no file was created." : kNothingWritten);
        return false;
    }
    if (count > 0) {
        int error = 0;
        const int64_t length = file.Length(error);
        if (length < 0) {
            Report(error, kWriteVerb, count, offset, path, SystemReason("measured", error), kNothingWritten);
            return false;
        }
        if (static_cast<int64_t>(offset) + count > length) {
            Report(EFBIG, kWriteVerb, count, offset, path,
                   "the file ends at " + OffsetText(length) + ", and a write never makes it longer",
                   kNothingWritten);
            return false;
        }
    }
    return true;
}

std::optional<std::string> ReadChecked(const std::string& path, int32_t offset, int32_t count) {
    static constexpr char kVerb[] = "read";
    const int64_t shownCount = count > 0 ? count : 0;

    if (count > 0 && !CheckRange(kVerb, "", path, offset, count)) return std::nullopt;

    // A folder opens for reading on some systems but holds no bytes to read;
    // a read of no bytes would not notice.
    if (count <= 0 && IsFolder(path)) {
        Report(EISDIR, kVerb, shownCount, offset, path, "the path names a folder, not a file");
        return std::nullopt;
    }

    File file(path, "rb");
    if (file.get() == nullptr) {
        Report(file.openError(), kVerb, shownCount, offset, path, SystemReason("opened", file.openError()));
        return std::nullopt;
    }
    if (count <= 0) {
        if (const int error = file.Close(); error != 0) {
            Report(error, kVerb, shownCount, offset, path, SystemReason("closed", error));
            return std::nullopt;
        }
        return std::string();
    }

    // Unbuffered, so that the read asks the system for exactly these bytes:
    // one seek and one read per call. A seek past the end succeeds, and the
    // read then stops short; each byte beyond the end reads as 00.
    std::string result;
    try {
        std::setvbuf(file.get(), nullptr, _IONBF, 0);
        std::vector<unsigned char> bytes(static_cast<size_t>(count));
        if (const int seekError = file.SeekTo(offset); seekError != 0) {
            Report(seekError, kVerb, count, offset, path, SystemReason("read", seekError));
            return std::nullopt;
        }
        errno = 0;
        const size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
        if (got != bytes.size() && std::ferror(file.get())) {
            const int readError = errno != 0 ? errno : EIO;
            if (readError == EISDIR) {
                Report(EISDIR, kVerb, count, offset, path, "the path names a folder, not a file");
            } else {
                Report(readError, kVerb, count, offset, path, SystemReason("read", readError));
            }
            return std::nullopt;
        }
        result.reserve(bytes.size() * 2);
        for (size_t k = 0; k < got; ++k) AppendByte(result, bytes[k]);
        result.append((bytes.size() - got) * 2, '0');
    } catch (const std::bad_alloc&) {
        Report(ENOMEM, kVerb, count, offset, path, "there is not enough memory to hold that many bytes");
        return std::nullopt;
    }

    if (const int closeError = file.Close(); closeError != 0) {
        Report(closeError, kVerb, count, offset, path, SystemReason("closed", closeError));
        return std::nullopt;
    }
    return result;
}

}  // namespace

std::optional<std::string> TryReadHexBytes(const std::string& path, int32_t offset, int32_t count) {
    return ReadChecked(path, offset, count);
}

std::string ReadHexBytes(const std::string& path, int32_t offset, int32_t count) {
    return ReadChecked(path, offset, count).value_or(std::string());
}

bool CheckWritable(const std::string& path, int32_t offset, int32_t count) {
    if (count > 0 && !CheckRange(kWriteVerb, kNothingWritten, path, offset, count)) return false;
    File file;
    return OpenForUpdate(file, path, offset, count > 0 ? count : 0);
}

bool WriteHexBytes(const std::string& path, int32_t offset, std::string_view hexText) {

    std::string text;
    if (hexText.size() % 2 != 0) text.push_back('0');
    text.append(hexText);
    const int64_t count = static_cast<int64_t>(text.size() / 2);

    // Everything is checked before the file is touched, so that a refused
    // write leaves no part of a value behind.
    if (count > 0 && !CheckRange(kWriteVerb, kNothingWritten, path, offset, count)) return false;

    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(count));
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = Value(text[i]);
        const int low = Value(text[i + 1]);
        if (high < 0 || low < 0) {
            Report(EINVAL, kWriteVerb, count, offset, path,
                   "the text \"" + std::string(hexText) + "\" is not a hex byte-string, because \"" +
                       text.substr(i, 2) + "\" is not a hexadecimal number",
                   kNothingWritten);
            return false;
        }
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }

    File file;
    if (!OpenForUpdate(file, path, offset, count)) return false;

    if (count > 0) {
        if (const int seekError = file.SeekTo(offset); seekError != 0) {
            Report(seekError, kWriteVerb, count, offset, path, SystemReason("written", seekError), kNothingWritten);
            return false;
        }
        errno = 0;
        const size_t put = std::fwrite(bytes.data(), 1, bytes.size(), file.get());
        if (put != bytes.size() || std::fflush(file.get()) != 0) {
            const int writeError = errno != 0 ? errno : EIO;
            Report(writeError, kWriteVerb, count, offset, path, SystemReason("written", writeError),
                   " The bytes may be written only in part.");
            return false;
        }
    }

    if (const int closeError = file.Close(); closeError != 0) {
        Report(closeError, kWriteVerb, count, offset, path, SystemReason("closed", closeError),
               count > 0 ? " The bytes may be written only in part." : "");
        return false;
    }
    return true;
}

bool SyncFile(const std::string& path) {
    const auto fail = [&path](int number, const char* what) {
        rom::ReportFailure({number, "Could not flush \"" + path + "\" to the disk: " + SystemReason(what, number) +
                                        ". The bytes written may not be kept if the power fails."});
        return false;
    };
    // O_WRONLY without O_CREAT or O_TRUNC: a missing file stays missing and an
    // existing one keeps every byte.
    int descriptor = -1;
    do {
        errno = 0;
        descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return fail(errno != 0 ? errno : EIO, "opened");

    int result = 0;
    do {
        errno = 0;
        result = ::fdatasync(descriptor);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int syncError = errno != 0 ? errno : EIO;
        ::close(descriptor);
        return fail(syncError, "flushed");
    }
    errno = 0;
    if (::close(descriptor) != 0) return fail(errno != 0 ? errno : EIO, "closed");
    return true;
}

std::string ReverseHexBytes(std::string_view hexText) {
    std::string text;
    if (hexText.size() % 2 != 0) text.push_back('0');
    text.append(hexText);
    std::string result;
    result.reserve(text.size());
    for (size_t end = text.size(); end >= 2; end -= 2) {
        result.append(text, end - 2, 2);
    }
    return result;
}

}  // namespace HexFunctions
