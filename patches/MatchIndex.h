#pragma once
// Where to look for copies when a BPS patch is created: for a position of the
// target, the suffixes of the source, and of the target before that position,
// that sort nearest to the target's suffix there. The longest match of that
// suffix in the source is at one of the two source positions, and the longest
// match that starts earlier in the target at one of the two target positions.
//
// Two ways to find them, chosen by how much of the target long copies cover
// (sampled first, in a fraction of the time either takes):
// - Mostly copies (a modified game against its original): the source and the
//   target are sorted each on its own (libdivsufsort), as one text of both is
//   then full of long repeats that cost the sort several times more than
//   either alone. The target's neighbours come from one pass over its sorted
//   suffixes; the source's are looked up when asked for, by a binary search,
//   which is quick for the few positions a creation then asks about.
// - Otherwise, one text of the source followed by the target is sorted and
//   the neighbours of every target position found in two passes over it:
//   a creation then asks about most positions, and lookups one by one would
//   cost more than the passes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "patches/PatchFormat.h"

namespace patches {

// The largest source and the largest target the index is built for. It takes
// at most 5 bytes of memory for each byte of both and 20 more for each target
// byte while it is built (240 MiB at the limit), then 16 for each target byte
// (sorted apart: 4 for each source byte and 8 for each target byte).
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

    // How the suffixes are sorted: chosen by MostlyCopies, or either way
    // (both give the same neighbours but where suffixes tie, and the same
    // longest matches).
    enum class Sorting { Chosen, Together, Apart };

    // Both sizes at most kMaxIndexedSize; both inputs must outlive the
    // index. Throws std::bad_alloc when memory runs out.
    MatchIndex(ByteSpan source, ByteSpan target, Sorting sorting = Sorting::Chosen);

    Neighbours At(size_t targetPosition) const;

    // Whether the source's neighbours are looked up when asked for: long
    // copies cover most of the target, and few positions will be asked about.
    bool LooksUp() const { return !buckets_.empty(); }

private:
    // Left unset until the index is built, which sets both of each.
    struct Earlier {
        int32_t before;
        int32_t after;
    };

    void SortTogether();
    void SortApart();
    void SourceNeighbours(size_t targetPosition, Neighbours& near) const;

    ByteSpan source_;
    ByteSpan target_;
    // Sorted together: every target position's neighbours.
    std::vector<Neighbours> neighbours_;
    // Sorted apart: every target position's neighbours in the target, the
    // source's suffixes in sorted order, and where those starting with each
    // two-byte value begin among them (65,537 entries).
    std::unique_ptr<Earlier[]> earlier_;
    std::unique_ptr<int32_t[]> sourceSuffixes_;
    std::vector<uint32_t> buckets_;
};

// Whether copies of 16 bytes or more, from the source or from the target
// before them, cover at least three quarters of the target, judged from 256
// places spread over it. False for targets under 64 KiB.
bool MostlyCopies(ByteSpan source, ByteSpan target);

}  // namespace patches
