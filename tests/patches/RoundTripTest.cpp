// Create, then apply: the result is the modified file byte for byte, for
// both formats, over seeded random pairs of many sizes and kinds of change.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "patches/BpsPatch.h"
#include "patches/IpsPatch.h"
#include "patches/PatchFormat.h"

namespace {

using patches::ApplyPatch;
using patches::Bytes;
using patches::BytesResult;
using patches::CreatePatch;
using patches::PatchFormat;

void ExpectRoundTrip(PatchFormat format, const Bytes& original, const Bytes& modified, const std::string& what) {
    const BytesResult patch = CreatePatch(format, original, modified);
    ASSERT_TRUE(patch.ok()) << what << ": " << patch.error;
    ASSERT_EQ(patches::DetectFormat(patch.bytes), format) << what;
    const BytesResult applied = ApplyPatch(patch.bytes, original);
    ASSERT_TRUE(applied.ok()) << what << ": " << applied.error;
    // Compared whole, but reported by size and first difference only.
    ASSERT_EQ(applied.bytes.size(), modified.size()) << what;
    if (applied.bytes != modified) {
        const auto difference = std::mismatch(modified.begin(), modified.end(), applied.bytes.begin());
        FAIL() << what << ": first difference at " << (difference.first - modified.begin());
    }
}

void ExpectBothRoundTrips(const Bytes& original, const Bytes& modified, const std::string& what) {
    ExpectRoundTrip(PatchFormat::Bps, original, modified, what + " (BPS)");
    if (modified.size() >= original.size()) ExpectRoundTrip(PatchFormat::Ips, original, modified, what + " (IPS)");
}

Bytes RandomBytes(std::mt19937& random, size_t size) {
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// Changes of several kinds: scattered bytes, runs of one value, stretches of
// fresh random bytes, a change in the last byte, and a new size.
Bytes Modify(std::mt19937& random, const Bytes& original) {
    Bytes modified = original;
    const int edits = static_cast<int>(random() % 12);
    for (int e = 0; e < edits && !modified.empty(); ++e) {
        const size_t at = random() % modified.size();
        const size_t length = std::min<size_t>(modified.size() - at, 1 + random() % 80);
        switch (random() % 4) {
            case 0:
                modified[at] = static_cast<uint8_t>(random());
                break;
            case 1:
                std::fill_n(modified.begin() + static_cast<std::ptrdiff_t>(at), length, static_cast<uint8_t>(random()));
                break;
            case 2:
                for (size_t i = 0; i < length; ++i) modified[at + i] = static_cast<uint8_t>(random());
                break;
            default:
                modified.back() = static_cast<uint8_t>(modified.back() + 1);
                break;
        }
    }
    switch (random() % 4) {
        case 0: {  // grow, with a run of zeros or random bytes (one draw a statement: same data in every build)
            const size_t grown = modified.size() + random() % 300;
            const uint8_t fill = random() % 2 == 0 ? 0 : static_cast<uint8_t>(random());
            modified.resize(grown, fill);
            break;
        }
        case 1:  // shrink (BPS only)
            modified.resize(modified.size() - std::min<size_t>(modified.size(), random() % 300));
            break;
        default:
            break;
    }
    return modified;
}

TEST(PatchRoundTrip, ManySeededRandomPairsOfEverySizeGiveTheModifiedFile) {
    std::mt19937 random(20261208);
    for (int pair = 0; pair < 600; ++pair) {
        const size_t size = pair < 64 ? static_cast<size_t>(pair) : random() % (pair < 400 ? 600 : 70000);
        Bytes original = RandomBytes(random, size);
        if (random() % 3 == 0) std::fill(original.begin(), original.end(), 0x00);  // mostly runs
        const Bytes modified = Modify(random, original);
        ExpectBothRoundTrips(original, modified, "pair " + std::to_string(pair) + " of size " + std::to_string(size));
        if (HasFatalFailure()) return;
    }
}

TEST(PatchRoundTrip, IdenticalAndEmptyFiles) {
    std::mt19937 random(7);
    const Bytes bytes = RandomBytes(random, 1000);
    ExpectBothRoundTrips(bytes, bytes, "identical");
    ExpectBothRoundTrips({}, {}, "both empty");
    ExpectBothRoundTrips({}, bytes, "from empty");
    ExpectRoundTrip(PatchFormat::Bps, bytes, {}, "to empty");
}

TEST(PatchRoundTrip, RunsOfOneValueLongerThanARecordAndChangesAtEveryEdge) {
    const Bytes original(200000, 0x00);
    Bytes modified = original;
    std::fill(modified.begin() + 5, modified.begin() + 150000, 0xEE);  // several maximal run records
    modified.front() = 0x01;
    modified.back() = 0x02;
    ExpectBothRoundTrips(original, modified, "long runs");

    // A literal stretch longer than one IPS record.
    std::mt19937 random(3);
    for (size_t i = 1000; i < 1000 + 0x20000; ++i) modified[i] = static_cast<uint8_t>(random());
    ExpectBothRoundTrips(original, modified, "long literal");
}

TEST(PatchRoundTrip, ChangesAroundTheOffsetThatReadsAsEof) {
    constexpr size_t kEof = patches::kIpsEofOffset;
    std::mt19937 random(454);
    const Bytes original = RandomBytes(random, kEof + 0x100);  // a little over 4.3 MiB
    for (size_t first : {kEof - 1, kEof, kEof + 1}) {
        Bytes modified = original;
        for (size_t at = first; at < first + 3; ++at) modified[at] = static_cast<uint8_t>(~original[at]);
        ExpectBothRoundTrips(original, modified, "change from " + std::to_string(first));
    }
    // A maximal record ending just before it, so that the next record would start there.
    Bytes modified = original;
    for (size_t at = kEof - 0xFFFF; at <= kEof + 2; ++at) modified[at] = static_cast<uint8_t>(~original[at]);
    ExpectBothRoundTrips(original, modified, "record ending at the offset");
    // Growth that starts exactly there.
    Bytes shorter(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(kEof));
    ExpectBothRoundTrips(shorter, original, "growth from the offset");
}

}  // namespace
