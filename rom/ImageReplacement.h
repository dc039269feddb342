#pragma once
// Rewriting an image with new bytes: either whole (a new file beside it,
// flushed and renamed over it, so that a failure or a kill leaves the old
// image or the new one, never a mix) or in place (only the changed bytes
// written into the file itself, as the window's save does). Before a whole
// replacement, what it would lose is checked, and it is refused instead.

#include <string>
#include <string_view>

#include "rom/WholeFiles.h"

namespace rom {

enum class ImageWriteMode {
    Whole,    // a new image written beside the old one and renamed over it
    InPlace,  // only the changed bytes written into the file itself
};

// The sentence a refusal of a whole replacement ends with: the way out.
inline constexpr std::string_view kInPlaceHint =
    "Give --in-place to write only the changed bytes into the file itself (a failure then can leave the image "
    "holding part of the change).";

struct ReplacementCheck {
    FileStatus status = FileStatus::Done;
    std::string reason;  // a clause in lower case without a final full stop
    int number = 0;      // errno of a failure or refusal
    std::string target;  // the file the path finally names, after symbolic links
    // True when the refusal is one that writing in place avoids (more than
    // one hard link, a folder that cannot take a new file).
    bool inPlaceWouldDo = false;

    bool ok() const { return status == FileStatus::Done; }
};

// Checks, without writing, that the image at `path` can be replaced whole and
// lose nothing. Refused when the file is marked read-only (also for an
// administrator) or may not be written by this process (as writing in place
// is), when it is not a regular file, when it has more than one hard link
// (the other names would keep the old content), and when its folder cannot
// take a new file or lets only the file's owner replace it. Failed when the
// file cannot be examined. The target is the file after every symbolic link,
// so that the link itself stays a link.
ReplacementCheck CheckWholeReplacement(const std::string& path);

}  // namespace rom
