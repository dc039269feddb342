// BPS creation with copies: which actions a created patch holds, that every
// created patch gives its target through our own applier, and how small the
// patches are for pairs that behave like modified games.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "patches/BpsPatch.h"
#include "patches/IpsPatch.h"
#include "patches/MatchIndex.h"
#include "tests/support/PatchPairs.h"

namespace {

using patches::ApplyBps;
using patches::Bytes;
using patches::BytesResult;
using patches::CreateBps;

enum Kind { kSourceRead, kTargetRead, kSourceCopy, kTargetCopy };

// How many actions of each kind the patch holds, and whether the two copy
// kinds ever move their cursors backwards, and TargetCopy ever reads bytes
// that the same action writes.
struct Actions {
    std::array<int, 4> count{};
    bool sourceBackwards = false;
    bool targetBackwards = false;
    bool overlapping = false;
};

Actions ReadActions(const Bytes& patch) {
    Actions actions;
    size_t position = 4;
    const size_t end = patch.size() - 12;
    auto number = [&] { return patches::ReadBpsNumber(patch, position, end).value; };
    number();
    number();
    position += number();
    uint64_t written = 0;
    uint64_t targetCursor = 0;
    while (position < end) {
        const uint64_t action = number();
        const uint64_t length = (action >> 2) + 1;
        ++actions.count[action & 3];
        if ((action & 3) == kTargetRead) position += length;
        if ((action & 3) == kSourceCopy && (number() & 1) != 0) actions.sourceBackwards = true;
        if ((action & 3) == kTargetCopy) {
            const uint64_t move = number();
            if ((move & 1) != 0) actions.targetBackwards = true;
            targetCursor = (move & 1) != 0 ? targetCursor - (move >> 1) : targetCursor + (move >> 1);
            if (targetCursor + length > written) actions.overlapping = true;
            targetCursor += length;
        }
        written += length;
    }
    return actions;
}

Bytes RandomBytes(std::mt19937& random, size_t size) {
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t size) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + size));
}

void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

// Creates the patch, applies it with our applier and compares every byte.
Bytes ExpectRoundTrip(const Bytes& source, const Bytes& target, const std::string& what) {
    const BytesResult patch = CreateBps(source, target);
    EXPECT_TRUE(patch.ok()) << what << ": " << patch.error;
    const BytesResult applied = ApplyBps(patch.bytes, source);
    EXPECT_TRUE(applied.ok()) << what << ": " << applied.error;
    EXPECT_EQ(applied.bytes.size(), target.size()) << what;
    EXPECT_TRUE(applied.bytes == target) << what << ": the result differs from the target";
    return patch.bytes;
}

TEST(BpsCreate, UsesEveryActionKindWithCursorsMovingBothWays) {
    std::mt19937 random(18);
    const Bytes source = RandomBytes(random, 8192);
    const Bytes fresh = RandomBytes(random, 60);
    Bytes target = Slice(source, 0, 1000);  // SourceRead
    Append(target, fresh);                 // TargetRead
    Append(target, Slice(source, 5000, 700));  // SourceCopy forwards
    Append(target, Slice(source, 3000, 700));  // SourceCopy backwards
    target.insert(target.end(), 300, 0x77);    // a run: TargetCopy over itself
    Append(target, fresh);                     // TargetCopy backwards
    Append(target, Slice(source, 7000, 500));
    Append(target, Slice(target, 1000, 40));  // TargetCopy from the first fresh bytes again

    const Bytes patch = ExpectRoundTrip(source, target, "every kind");
    const Actions actions = ReadActions(patch);
    for (int kind = 0; kind < 4; ++kind) EXPECT_GT(actions.count[kind], 0) << "action kind " << kind;
    EXPECT_TRUE(actions.sourceBackwards);
    EXPECT_TRUE(actions.targetBackwards);
    EXPECT_TRUE(actions.overlapping);
    // The new bytes once, the rest as a few actions.
    EXPECT_LT(patch.size(), fresh.size() + 1 + 300 / 8 + 80);
    EXPECT_LT(patch.size(), patches::CreateBpsWithoutCopies(source, target).bytes.size() / 10);
}

TEST(BpsCreate, InsertionsDeletionsAndMovesCostAFewActions) {
    std::mt19937 random(64);
    const Bytes source = RandomBytes(random, 100000);
    const Bytes fresh = RandomBytes(random, 50);
    // The signature, two sizes of three bytes, no metadata, the CRC-32 values;
    // every SourceRead, SourceCopy and move below takes three bytes, as its
    // number is above 16511.
    const size_t header = 4 + 3 + 3 + 1 + 12;

    Bytes inserted = Slice(source, 0, 50000);
    Append(inserted, fresh);
    Append(inserted, Slice(source, 50000, 50000));
    // SourceRead; TargetRead (two bytes) and the new bytes; SourceCopy and its move.
    EXPECT_EQ(ExpectRoundTrip(source, inserted, "inserted").size(), header + 3 + 2 + fresh.size() + 3 + 3);

    Bytes deleted = Slice(source, 0, 30000);
    Append(deleted, Slice(source, 31000, 69000));
    // SourceRead; SourceCopy and its move.
    EXPECT_EQ(ExpectRoundTrip(source, deleted, "deleted").size(), header + 3 + 3 + 3);

    Bytes swapped = Slice(source, 60000, 40000);
    Append(swapped, Slice(source, 0, 60000));
    // Two SourceCopy actions and their moves.
    EXPECT_EQ(ExpectRoundTrip(source, swapped, "halves swapped").size(), header + 3 + 3 + 3 + 3);
}

TEST(BpsCreate, WorstCasesGiveTheirTargets) {
    std::mt19937 random(4);
    const Bytes source = RandomBytes(random, 40000);

    Bytes inverted = source;
    for (uint8_t& b : inverted) b = static_cast<uint8_t>(~b);
    const Bytes allDifferent = ExpectRoundTrip(source, inverted, "every byte different");
    // Nothing to copy: hardly more than the bytes themselves.
    EXPECT_LT(allDifferent.size(), inverted.size() + inverted.size() / 100 + 40);

    const Bytes fromNothing = ExpectRoundTrip({}, source, "empty source");
    EXPECT_LT(fromNothing.size(), source.size() + source.size() / 100 + 40);
    const Bytes toNothing = ExpectRoundTrip(source, {}, "empty target");
    EXPECT_EQ(toNothing.size(), 4u + 3 + 1 + 1 + 12);  // "BPS1", sizes 40000, 0 and 0, no action
    ExpectRoundTrip({}, {}, "both empty");
    const Bytes same = ExpectRoundTrip(source, source, "equal");
    EXPECT_EQ(ReadActions(same).count, (std::array<int, 4>{1, 0, 0, 0}));

    // Four times the source, each copy with a few changes and the last one
    // shifted by new bytes in front of it.
    Bytes grown;
    for (int copy = 0; copy < 4; ++copy) {
        if (copy == 3) Append(grown, RandomBytes(random, 33));
        const size_t start = grown.size();
        Append(grown, source);
        for (int k = 0; k < 10; ++k) grown[start + random() % source.size()] ^= 0x5A;
    }
    const Bytes fourTimes = ExpectRoundTrip(source, grown, "target four times the source");
    EXPECT_LT(fourTimes.size(), 400u);

    // Runs and repeats of every length at every edge.
    for (size_t size : {1, 2, 3, 15, 16, 17, 300}) {
        ExpectRoundTrip(Bytes(size, 0x00), Bytes(size, 0xFF), "a run of " + std::to_string(size));
        ExpectRoundTrip(Bytes(size, 0x00), Bytes(4 * size, 0x00), "a longer run of " + std::to_string(size));
        ExpectRoundTrip(Slice(source, 0, size), Slice(source, 1, size), "shifted by one, " + std::to_string(size));
    }
}

TEST(BpsCreate, PairsPastTheIndexLimitGetThePlainFormAndStillGiveTheirTargets) {
    Bytes source(patches::kMaxIndexedSize + 1, 0x00);
    for (size_t i = 0; i < source.size(); i += 4099) source[i] = static_cast<uint8_t>(i >> 12);
    Bytes target = source;
    std::fill_n(target.begin() + 1000, 100, 0xAB);
    target[target.size() - 1] = 0x01;
    const Bytes patch = ExpectRoundTrip(source, target, "past the limit");
    EXPECT_EQ(patch, patches::CreateBpsWithoutCopies(source, target).bytes);
    EXPECT_EQ(ReadActions(patch).count[kSourceCopy], 0);
}

// The sizes the creator reached for the game pairs when it first weighed
// every end of every action, before it sorted the source and the target apart
// for speed: no quicker way of finding copies may give up a byte of them.
size_t SizeReached(patchpairs::Change change) {
    switch (change) {
        case patchpairs::Change::OneSpecies: return 73;
        case patchpairs::Change::InsertedBlock: return 15067;
        case patchpairs::Change::ScatteredRuns: return 135114;
        case patchpairs::Change::BanksSwapped: return 163;
        case patchpairs::Change::OtherVersionTables: return 2380;
        case patchpairs::Change::Revision: return 251;
    }
    return 0;
}

TEST(BpsCreate, PatchesOfModifiedGamesGiveTheirTargetsAndAreSmall) {
    for (const patchpairs::Change change : patchpairs::kChanges) {
        const std::string name = patchpairs::ChangeName(change);
        const patchpairs::Pair pair = patchpairs::MakePair(change);
        const Bytes patch = ExpectRoundTrip(pair.original, pair.modified, name);
        const BytesResult ips = patches::CreateIps(pair.original, pair.modified);
        ASSERT_TRUE(ips.ok()) << name;
        // IPS has no CRC-32 values to carry: only larger changes must give
        // the smaller BPS.
        if (pair.changedBytes > 1000) {
            EXPECT_LT(patch.size(), ips.bytes.size()) << name;
        }
        EXPECT_LE(patch.size(), patches::CreateBpsWithoutCopies(pair.original, pair.modified).bytes.size()) << name;
        EXPECT_LE(patch.size(), SizeReached(change)) << name;
        switch (change) {
            case patchpairs::Change::OneSpecies:
                EXPECT_LE(patch.size(), 80u);
                break;
            case patchpairs::Change::InsertedBlock:
                // The shift costs nearly nothing: under 1% of the image.
                EXPECT_LT(patch.size(), pair.original.size() / 100);
                break;
            case patchpairs::Change::BanksSwapped:
                EXPECT_LT(patch.size(), 400u);
                break;
            default:
                break;
        }
    }
}

}  // namespace
