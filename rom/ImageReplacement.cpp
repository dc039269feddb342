#include "rom/ImageReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace rom {

namespace {

namespace fs = std::filesystem;

ReplacementCheck Refusal(ReplacementCheck check, int number, std::string reason, bool inPlaceWouldDo = false) {
    check.status = FileStatus::Refused;
    check.number = number;
    check.reason = std::move(reason);
    check.inPlaceWouldDo = inPlaceWouldDo;
    return check;
}

// The file the path finally names: every symbolic link followed. The path as
// given when it cannot be resolved (the examination that follows then says
// why).
std::string FollowLinks(const std::string& path) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? path : target.string();
}

fs::path FolderOf(const std::string& path) {
    const fs::path file(path);
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

}  // namespace

ReplacementCheck CheckWholeReplacement(const std::string& path) {
    ReplacementCheck check;
    check.target = FollowLinks(path);

    struct stat file {};
    if (::stat(check.target.c_str(), &file) != 0) {
        const int error = errno;
        check.status = FileStatus::Failed;
        check.number = error;
        check.reason = std::string("the image could not be examined (") + std::strerror(error) + ")";
        return check;
    }
    if (!S_ISREG(file.st_mode)) return Refusal(std::move(check), EINVAL, "the path names no regular file");
    if ((file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return Refusal(std::move(check), EACCES, "the file is marked read-only");
    }
    // Replacing a file this process may not write would get round its
    // permissions; writing in place would be refused too.
    if (::faccessat(AT_FDCWD, check.target.c_str(), W_OK, AT_EACCESS) != 0) {
        const int error = errno;
        return Refusal(std::move(check), error,
                       std::string("the file may not be written (") + std::strerror(error) + ")");
    }
    if (file.st_nlink > 1) {
        return Refusal(std::move(check), EMLINK,
                       "the file has " + std::to_string(file.st_nlink) +
                           " names (hard links), and a new file in its place would leave the other names holding "
                           "the old content",
                       true);
    }

    const fs::path folder = FolderOf(check.target);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        const int error = errno;
        return Refusal(std::move(check), error,
                       "its folder \"" + folder.string() + "\" cannot take a new file (" + std::strerror(error) + ")",
                       true);
    }
    // In a folder with the sticky bit (such as /tmp) only the owner of a file
    // (or of the folder) may rename another file over it.
    struct stat folderInfo {};
    const uid_t user = ::geteuid();
    if (::stat(folder.c_str(), &folderInfo) == 0 && (folderInfo.st_mode & S_ISVTX) != 0 && user != 0 &&
        file.st_uid != user && folderInfo.st_uid != user) {
        return Refusal(std::move(check), EPERM,
                       "its folder \"" + folder.string() + "\" lets only the file's owner replace it", true);
    }
    return check;
}

}  // namespace rom
