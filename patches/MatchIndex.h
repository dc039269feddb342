#pragma once
// Where to look for copies when a BPS patch is created: for a position of the
// target, the suffixes of the source, and of the target before that position,
// that sort nearest to the target's suffix there. The longest match of that
// suffix in the source is at one of the two source positions, and the longest
// match that starts earlier in the target at one of the two target positions.
// The source and the target are sorted each on its own (libdivsufsort): a
// target that is mostly its source makes one text of both full of long
// repeats, which cost the sort several times more than either alone. The
// target's neighbours come from one pass over its sorted suffixes; the
// source's are looked up when asked for, by a binary search in the source's
// sorted suffixes, for the few positions a patch's creation asks about.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "patches/PatchFormat.h"

namespace patches {

// The largest source and the largest target the index is built for. It takes
// 4 bytes of memory for each source byte and 8 for each target byte, and 8
// more for each target byte while it is built (224 MiB at the limit).
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

    // Both sizes at most kMaxIndexedSize; both inputs must outlive the
    // index. Throws std::bad_alloc when memory runs out.
    MatchIndex(ByteSpan source, ByteSpan target);

    // In time logarithmic in the source's size, plus the length of the
    // longest match found.
    Neighbours At(size_t targetPosition) const;

private:
    struct Earlier {
        int32_t before = kNone;
        int32_t after = kNone;
    };

    ByteSpan source_;
    ByteSpan target_;
    // The source's suffixes in sorted order, and where those starting with
    // each two-byte value begin among them (65,537 entries).
    std::vector<int32_t> sourceSuffixes_;
    std::vector<uint32_t> buckets_;
    std::vector<Earlier> earlier_;
};

}  // namespace patches
