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

    // The nearest source suffix on either side of each target suffix, in the
    // sorted order: one pass down and one pass up.
    int32_t lastSource = kNone;
    for (const int32_t position : suffixes) {
        if (static_cast<size_t>(position) < n) {
            lastSource = position;
        } else {
            neighbours_[static_cast<size_t>(position) - n].sourceBefore = lastSource;
        }
    }
    lastSource = kNone;
    for (auto it = suffixes.rbegin(); it != suffixes.rend(); ++it) {
        if (static_cast<size_t>(*it) < n) {
            lastSource = *it;
        } else {
            neighbours_[static_cast<size_t>(*it) - n].sourceAfter = lastSource;
        }
    }

    // Among the target's suffixes, the nearest one before and after each in
    // the sorted order that starts earlier in the target: the stack holds
    // target positions rising from bottom to top; a suffix pops every larger
    // position, which finds its nearest smaller one after it, and what is
    // left on top is its own nearest smaller one before it.
    std::vector<int32_t> stack;
    stack.reserve(1024);
    for (const int32_t position : suffixes) {
        if (static_cast<size_t>(position) < n) continue;
        const auto here = static_cast<int32_t>(static_cast<size_t>(position) - n);
        while (!stack.empty() && stack.back() > here) {
            neighbours_[static_cast<size_t>(stack.back())].targetAfter = here;
            stack.pop_back();
        }
        neighbours_[static_cast<size_t>(here)].targetBefore = stack.empty() ? kNone : stack.back();
        stack.push_back(here);
    }
}

}  // namespace patches
