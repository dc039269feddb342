#include "patches/MatchIndex.h"

#include <divsufsort.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

namespace patches {

namespace {

// Room for `count` values left as they are: every one is written before it
// is read, and setting megabytes first would cost a pass of its own.
template <typename T>
std::unique_ptr<T[]> Room(size_t count) {
    return std::unique_ptr<T[]>(new T[count]);
}

std::unique_ptr<int32_t[]> SortedSuffixes(ByteSpan bytes) {
    auto suffixes = Room<int32_t>(bytes.size());
    if (!bytes.empty() && divsufsort(bytes.data(), suffixes.get(), static_cast<saidx_t>(bytes.size())) != 0) {
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

// One stack pass down sorted suffixes finds, for each target suffix, the
// nearest ones before and after it that start earlier in the target: the
// stack holds target positions rising from bottom to top; a suffix pops every
// larger position, which finds its nearest smaller one after it, and what is
// left on top is its own nearest smaller one before it; those left on the
// stack at the end have none after them. `record(here, before)` and
// `recordAfter(position, after)` keep what is found. Raw pointers: the loop
// runs over every suffix, and stays quick in unoptimised builds too.
template <typename Before, typename After>
void NearestEarlier(const int32_t* sorted, size_t count, int32_t firstTarget, size_t targetSize, Before record,
                    After recordAfter) {
    const auto stack = Room<int32_t>(targetSize);
    int32_t* bottom = stack.get();
    int32_t* top = bottom;  // one past the top
    for (size_t k = 0; k < count; ++k) {
        if (sorted[k] < firstTarget) continue;
        const int32_t here = sorted[k] - firstTarget;
        while (top != bottom && top[-1] > here) {
            recordAfter(top[-1], here);
            --top;
        }
        record(here, top == bottom ? MatchIndex::kNone : top[-1]);
        *top++ = here;
    }
    for (const int32_t* left = bottom; left != top; ++left) recordAfter(*left, MatchIndex::kNone);
}

}  // namespace

bool MostlyCopies(ByteSpan source, ByteSpan target) {
    constexpr size_t kWindow = 16;
    constexpr size_t kSamples = 256;
    const size_t m = target.size();
    if (m < (size_t{64} << 10)) return false;

    // The windows looked for, by a rolling hash of their bytes, in a table
    // with open addressing (a window may be there more than once).
    constexpr uint64_t kBase = 0x100000001B3;
    uint64_t highest = 1;
    for (size_t k = 1; k < kWindow; ++k) highest *= kBase;
    auto hashOf = [&](const uint8_t* bytes) {
        uint64_t hash = 0;
        for (size_t k = 0; k < kWindow; ++k) hash = hash * kBase + bytes[k];
        return hash;
    };
    // A window that repeats an earlier sample's is that sample's: found in
    // the target before it at least.
    std::array<size_t, kSamples> places{};
    std::array<uint64_t, kSamples> hashes{};
    std::array<bool, kSamples> found{};
    constexpr size_t kSlots = 1024;
    constexpr size_t kEmpty = kSamples;
    std::array<size_t, kSlots> slots{};
    slots.fill(kEmpty);
    for (size_t s = 0; s < kSamples; ++s) {
        // In 64 bits: the product passes 4 GiB where size_t has 32.
        places[s] = static_cast<size_t>((2 * uint64_t{s} + 1) * (m - kWindow) / (2 * kSamples));
        hashes[s] = hashOf(target.data() + places[s]);
        size_t slot = hashes[s] % kSlots;
        for (; slots[slot] != kEmpty && !found[s]; slot = (slot + 1) % kSlots) {
            const size_t other = slots[slot];
            found[s] = hashes[other] == hashes[s] &&
                       std::memcmp(target.data() + places[other], target.data() + places[s], kWindow) == 0;
        }
        if (!found[s]) slots[slot] = s;
    }
    // Every window of `bytes`; of the target, those before the sample's own
    // place only.
    auto search = [&](ByteSpan bytes, bool earlierOnly) {
        if (bytes.size() < kWindow) return;
        uint64_t hash = hashOf(bytes.data());
        for (size_t at = 0;; ++at) {
            for (size_t slot = hash % kSlots; slots[slot] != kEmpty; slot = (slot + 1) % kSlots) {
                const size_t s = slots[slot];
                if (hashes[s] != hash || found[s] || (earlierOnly && at >= places[s])) continue;
                found[s] = std::memcmp(bytes.data() + at, target.data() + places[s], kWindow) == 0;
            }
            if (at + kWindow >= bytes.size()) break;
            hash = (hash - bytes[at] * highest) * kBase + bytes[at + kWindow];
        }
    };
    search(source, false);
    search(target, true);
    const auto covered = static_cast<size_t>(std::count(found.begin(), found.end(), true));
    return 4 * covered >= 3 * kSamples;
}

MatchIndex::MatchIndex(ByteSpan source, ByteSpan target, Sorting sorting) : source_(source), target_(target) {
    if (target.empty()) return;
    if (sorting == Sorting::Apart || (sorting == Sorting::Chosen && MostlyCopies(source, target))) {
        SortApart();
    } else {
        SortTogether();
    }
}

void MatchIndex::SortTogether() {
    const size_t n = source_.size();
    const size_t total = n + target_.size();
    neighbours_.resize(target_.size());
    std::unique_ptr<int32_t[]> suffixes;
    {
        Bytes text(total);
        std::copy(source_.begin(), source_.end(), text.begin());
        std::copy(target_.begin(), target_.end(), text.begin() + static_cast<std::ptrdiff_t>(n));
        suffixes = SortedSuffixes(text);
    }
    const int32_t* sorted = suffixes.get();
    Neighbours* neighbours = neighbours_.data();
    NearestEarlier(
        sorted, total, static_cast<int32_t>(n), target_.size(),
        [&](int32_t here, int32_t before) { neighbours[here].targetBefore = before; },
        [&](int32_t position, int32_t after) { neighbours[position].targetAfter = after; });
    // One pass down finds the nearest source suffix before each target
    // suffix, one pass up the nearest after it.
    int32_t lastSource = kNone;
    for (size_t k = 0; k < total; ++k) {
        if (static_cast<size_t>(sorted[k]) < n) {
            lastSource = sorted[k];
        } else {
            neighbours[static_cast<size_t>(sorted[k]) - n].sourceBefore = lastSource;
        }
    }
    lastSource = kNone;
    for (size_t k = total; k-- > 0;) {
        if (static_cast<size_t>(sorted[k]) < n) {
            lastSource = sorted[k];
        } else {
            neighbours[static_cast<size_t>(sorted[k]) - n].sourceAfter = lastSource;
        }
    }
}

void MatchIndex::SortApart() {
    sourceSuffixes_ = SortedSuffixes(source_);
    // The suffixes sort by their first two bytes first, so those of each key
    // follow each other: counts of each key, summed up.
    buckets_.assign(65537, 0);
    for (size_t at = 0; at < source_.size(); ++at) ++buckets_[KeyAt(source_, at) + 1];
    for (size_t key = 1; key < buckets_.size(); ++key) buckets_[key] += buckets_[key - 1];

    earlier_ = Room<Earlier>(target_.size());
    const auto suffixes = SortedSuffixes(target_);
    Earlier* earlier = earlier_.get();
    NearestEarlier(
        suffixes.get(), target_.size(), 0, target_.size(),
        [&](int32_t here, int32_t before) { earlier[here].before = before; },
        [&](int32_t position, int32_t after) { earlier[position].after = after; });
}

MatchIndex::Neighbours MatchIndex::At(size_t targetPosition) const {
    if (!LooksUp()) return neighbours_[targetPosition];
    Neighbours near;
    near.targetBefore = earlier_[targetPosition].before;
    near.targetAfter = earlier_[targetPosition].after;
    SourceNeighbours(targetPosition, near);
    return near;
}

void MatchIndex::SourceNeighbours(size_t targetPosition, Neighbours& near) const {
    const size_t n = source_.size();
    if (n == 0) return;
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
    const int32_t* sorted = sourceSuffixes_.get();
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
}

}  // namespace patches
