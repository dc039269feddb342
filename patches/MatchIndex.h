#pragma once
// Where to look for copies when a BPS patch is created: for every position of
// the target, the suffixes of the source, and of the target before that
// position, that sort nearest to the target's suffix there. The longest match
// of that suffix in the source is at one of the two source positions, and the
// longest match that starts earlier in the target at one of the two target
// positions. Built from one suffix array over the source followed by the
// target (libdivsufsort), in time and memory linear in their sizes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "patches/PatchFormat.h"

namespace patches {

// The largest source and the largest target the index is built for. It takes
// 5 bytes of memory for each byte of both and 20 more for each target byte
// while it is built (240 MiB at the limit), then 16 for each target byte.
inline constexpr uint64_t kMaxIndexedSize = uint64_t{8} << 20;

class MatchIndex {
public:
    static constexpr int32_t kNone = -1;

    struct Neighbours {
        // Positions in the source whose suffixes sort just before and just
        // after the target's suffix, or kNone.
        int32_t sourceBefore = kNone;
        int32_t sourceAfter = kNone;
        // Positions in the target, all smaller than the one asked about,
        // whose suffixes sort nearest before and after it, or kNone.
        int32_t targetBefore = kNone;
        int32_t targetAfter = kNone;
    };

    // Both sizes at most kMaxIndexedSize. Throws std::bad_alloc when memory
    // runs out.
    MatchIndex(ByteSpan source, ByteSpan target);

    const Neighbours& At(size_t targetPosition) const { return neighbours_[targetPosition]; }

private:
    std::vector<Neighbours> neighbours_;
};

}  // namespace patches
