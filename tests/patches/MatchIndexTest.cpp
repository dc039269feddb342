// The match index both ways it sorts: the same longest matches wherever it
// is asked, and the choice between the ways made by how much of the target
// long copies cover.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "patches/MatchIndex.h"
#include "tests/support/PatchPairs.h"

namespace {

using patches::Bytes;
using patches::MatchIndex;

size_t Common(const Bytes& a, int32_t from, const Bytes& b, size_t at) {
    if (from == MatchIndex::kNone) return 0;
    size_t k = 0;
    while (static_cast<size_t>(from) + k < a.size() && at + k < b.size() && a[static_cast<size_t>(from) + k] == b[at + k]) {
        ++k;
    }
    return k;
}

// The longest match of the target's suffix at `at` in the source, and in
// the target before `at`, by trying every place.
size_t LongestInSource(const Bytes& source, const Bytes& target, size_t at) {
    size_t longest = 0;
    for (size_t from = 0; from < source.size(); ++from) {
        longest = std::max(longest, Common(source, static_cast<int32_t>(from), target, at));
    }
    return longest;
}

size_t LongestEarlier(const Bytes& target, size_t at) {
    size_t longest = 0;
    for (size_t from = 0; from < at; ++from) longest = std::max(longest, Common(target, static_cast<int32_t>(from), target, at));
    return longest;
}

// A small alphabet, runs and repeats: many suffixes tie for long stretches.
Bytes Repetitive(std::mt19937& random, size_t size) {
    Bytes bytes;
    while (bytes.size() < size) {
        if (bytes.size() > 8 && random() % 3 == 0) {
            const size_t from = random() % bytes.size();
            const size_t length = 1 + random() % 20;
            for (size_t k = 0; k < length && bytes.size() < size; ++k) bytes.push_back(bytes[from + k]);
        } else {
            bytes.insert(bytes.end(), std::min<size_t>(1 + random() % 5, size - bytes.size()),
                         static_cast<uint8_t>(random() % 3));
        }
    }
    return bytes;
}

TEST(MatchIndex, BothWaysFindTheLongestMatchesEverywhere) {
    std::mt19937 random(30);
    for (int round = 0; round < 200; ++round) {
        const Bytes source = Repetitive(random, random() % 120);
        const Bytes target = Repetitive(random, 1 + random() % 120);
        const MatchIndex together(source, target, MatchIndex::Sorting::Together);
        const MatchIndex apart(source, target, MatchIndex::Sorting::Apart);
        ASSERT_FALSE(together.LooksUp());
        ASSERT_TRUE(apart.LooksUp());
        for (size_t at = 0; at < target.size(); ++at) {
            const std::string where = "round " + std::to_string(round) + ", position " + std::to_string(at);
            const size_t inSource = LongestInSource(source, target, at);
            const size_t earlier = LongestEarlier(target, at);
            for (const MatchIndex* index : {&together, &apart}) {
                const MatchIndex::Neighbours near = index->At(at);
                const size_t found = std::max(Common(source, near.sourceBefore, target, at),
                                              Common(source, near.sourceAfter, target, at));
                // Sorted together, a source suffix runs on into the target,
                // which may hide a match that runs to the source's end.
                if (index == &apart) {
                    EXPECT_EQ(found, inSource) << where;
                } else {
                    EXPECT_LE(found, inSource) << where;
                }
                EXPECT_LT(near.targetBefore, static_cast<int32_t>(at)) << where;
                EXPECT_LT(near.targetAfter, static_cast<int32_t>(at)) << where;
                EXPECT_EQ(std::max(Common(target, near.targetBefore, target, at),
                                   Common(target, near.targetAfter, target, at)),
                          earlier)
                    << where;
            }
            // The target is sorted alone either way: the same neighbours.
            EXPECT_EQ(together.At(at).targetBefore, apart.At(at).targetBefore) << where;
            EXPECT_EQ(together.At(at).targetAfter, apart.At(at).targetAfter) << where;
        }
    }
}

TEST(MatchIndex, LooksUpOnlyWhereLongCopiesCoverMostOfTheTarget) {
    // Every game pair of the benchmark is mostly copies, the shifted and
    // swapped ones too.
    for (const patchpairs::Change change : patchpairs::kChanges) {
        const patchpairs::Pair pair = patchpairs::MakePair(change);
        EXPECT_TRUE(patches::MostlyCopies(pair.original, pair.modified)) << patchpairs::ChangeName(change);
    }
    std::mt19937 random(31);
    Bytes source(1 << 20);
    for (uint8_t& b : source) b = static_cast<uint8_t>(random());
    Bytes target(1 << 20);
    for (uint8_t& b : target) b = static_cast<uint8_t>(random());
    EXPECT_FALSE(patches::MostlyCopies(source, target));
    // Half copied, half new: not most.
    std::copy(source.begin(), source.begin() + (1 << 19), target.begin());
    EXPECT_FALSE(patches::MostlyCopies(source, target));
    // A target repeating itself is covered by copies from itself.
    for (size_t k = 1 << 16; k < target.size(); ++k) target[k] = target[k % (1 << 16)];
    EXPECT_TRUE(patches::MostlyCopies(source, target));
    // Small targets are sorted together, whatever they hold.
    EXPECT_FALSE(patches::MostlyCopies(source, Bytes(source.begin(), source.begin() + 1000)));
}

}  // namespace
