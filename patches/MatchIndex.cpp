#include "patches/MatchIndex.h"

#include <divsufsort.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace patches {

namespace {

std::vector<int32_t> SortedSuffixes(ByteSpan bytes) {
    std::vector<int32_t> suffixes(bytes.size());
    if (!bytes.empty() && divsufsort(bytes.data(), suffixes.data(), static_cast<saidx_t>(bytes.size())) != 0) {
        throw std::bad_alloc();
    }
    return suffixes;
}

// The two bytes a suffix starts with as one key; a suffix of one byte sorts
// before every longer one with that first byte, and takes the key of that
// byte followed by 00.
size_t KeyAt(ByteSpan bytes, size_t at) {
    return size_t{bytes[at]} << 8 | (at + 1 < bytes.size() ? bytes[at + 1] : 0);
}

// How many bytes `a` and `b` have in common from their starts, up to `most`;
// eight at a time where the machine stores numbers low byte first.
size_t CommonPrefix(const uint8_t* a, const uint8_t* b, size_t most) {
    size_t k = 0;
    if constexpr (std::endian::native == std::endian::little) {
        while (k + 8 <= most) {
            uint64_t x = 0;
            uint64_t y = 0;
            std::memcpy(&x, a + k, 8);
            std::memcpy(&y, b + k, 8);
            if (x != y) return k + static_cast<size_t>(std::countr_zero(x ^ y)) / 8;
            k += 8;
        }
    }
    while (k < most && a[k] == b[k]) ++k;
    return k;
}

}  // namespace

MatchIndex::MatchIndex(ByteSpan source, ByteSpan target)
    : source_(source), target_(target), sourceSuffixes_(SortedSuffixes(source)), buckets_(65537, 0),
      earlier_(target.size()) {
    // The suffixes sort by their first two bytes first, so those of each key
    // follow each other: counts of each key, summed up.
    for (size_t at = 0; at < source.size(); ++at) ++buckets_[KeyAt(source, at) + 1];
    for (size_t key = 1; key < buckets_.size(); ++key) buckets_[key] += buckets_[key - 1];

    if (target.empty()) return;
    const std::vector<int32_t> suffixes = SortedSuffixes(target);

    // One pass down the target's sorted suffixes finds, for each, the
    // nearest ones before and after it that start earlier in the target: the
    // stack holds target positions rising from bottom to top; a suffix pops
    // every larger position, which finds its nearest smaller one after it,
    // and what is left on top is its own nearest smaller one before it. Raw
    // pointers: the loop runs over every suffix, and stays quick in
    // unoptimised builds too.
    std::vector<int32_t> stack(target.size());
    int32_t* bottom = stack.data();
    int32_t* top = bottom;  // one past the top
    Earlier* earlier = earlier_.data();
    for (const int32_t here : suffixes) {
        while (top != bottom && top[-1] > here) {
            earlier[top[-1]].after = here;
            --top;
        }
        earlier[here].before = top == bottom ? kNone : top[-1];
        *top++ = here;
    }
}

MatchIndex::Neighbours MatchIndex::At(size_t targetPosition) const {
    Neighbours near;
    near.targetBefore = earlier_[targetPosition].before;
    near.targetAfter = earlier_[targetPosition].after;
    const size_t n = source_.size();
    if (n == 0) return near;

    // The first of the source's suffixes that does not sort before the
    // target's (one that is a prefix of it does), searched among those with
    // its first two bytes. What both bounds share with the target's suffix
    // the suffixes between them share too, and is not compared again.
    const uint8_t* wanted = target_.data() + targetPosition;
    const size_t length = target_.size() - targetPosition;
    size_t low = 0;
    size_t high = n;
    if (length >= 2) {
        const size_t key = KeyAt(target_, targetPosition);
        low = buckets_[key];
        high = buckets_[key + 1];
    }
    size_t sharedLow = 0;
    size_t sharedHigh = 0;
    const int32_t* sorted = sourceSuffixes_.data();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const auto at = static_cast<size_t>(sorted[middle]);
        const size_t most = std::min(length, n - at);
        const size_t known = std::min({sharedLow, sharedHigh, most});
        const size_t shared = known + CommonPrefix(wanted + known, source_.data() + at + known, most - known);
        if (shared == length || (shared < n - at && wanted[shared] < source_[at + shared])) {
            high = middle;
            sharedHigh = shared;
        } else {
            low = middle + 1;
            sharedLow = shared;
        }
    }
    if (low > 0) near.sourceBefore = sorted[low - 1];
    if (low < n) near.sourceAfter = sorted[low];
    return near;
}

}  // namespace patches
