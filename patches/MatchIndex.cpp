#include "patches/MatchIndex.h"

#include <divsufsort.h>

#include <algorithm>
#include <new>

namespace patches {

MatchIndex::MatchIndex(ByteSpan source, ByteSpan target) : neighbours_(target.size()) {
    const size_t n = source.size();
    const size_t total = n + target.size();
    if (target.empty()) return;

    std::vector<int32_t> suffixes(total);
    {
        Bytes text(total);
        std::copy(source.begin(), source.end(), text.begin());
        std::copy(target.begin(), target.end(), text.begin() + static_cast<std::ptrdiff_t>(n));
        if (divsufsort(text.data(), suffixes.data(), static_cast<saidx_t>(total)) != 0) throw std::bad_alloc();
    }

    // Raw pointers in the loops below: they run over every suffix, and stay
    // quick in unoptimised builds too.
    const int32_t* sorted = suffixes.data();
    Neighbours* neighbours = neighbours_.data();

    // One pass down the sorted suffixes finds, for each target suffix, the
    // nearest source suffix before it, and, among the target's suffixes, the
    // nearest ones before and after it that start earlier in the target: the
    // stack holds target positions rising from bottom to top; a suffix pops
    // every larger position, which finds its nearest smaller one after it,
    // and what is left on top is its own nearest smaller one before it.
    std::vector<int32_t> stack(target.size());
    int32_t* bottom = stack.data();
    int32_t* top = bottom;  // one past the top
    int32_t lastSource = kNone;
    for (size_t k = 0; k < total; ++k) {
        const auto position = static_cast<size_t>(sorted[k]);
        if (position < n) {
            lastSource = sorted[k];
            continue;
        }
        const auto here = static_cast<int32_t>(position - n);
        while (top != bottom && top[-1] > here) {
            neighbours[top[-1]].targetAfter = here;
            --top;
        }
        Neighbours& near = neighbours[here];
        near.sourceBefore = lastSource;
        near.targetBefore = top == bottom ? kNone : top[-1];
        *top++ = here;
    }
    // One pass up finds the nearest source suffix after each.
    lastSource = kNone;
    for (size_t k = total; k-- > 0;) {
        const auto position = static_cast<size_t>(sorted[k]);
        if (position < n) {
            lastSource = sorted[k];
        } else {
            neighbours[position - n].sourceAfter = lastSource;
        }
    }
}

}  // namespace patches
