// How small created BPS patches are against the smallest ones that can be
// worked out independently of the creator: for small pairs, the optimal parse
// over every action, every length and every place to copy from; for the
// synthetic game pairs made piece by piece, the best patch built from those
// pieces, each copied whole or written out.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "patches/BpsPatch.h"
#include "tests/patches/PatchBytes.h"
#include "tests/support/PatchPairs.h"

namespace {

using patches::Bytes;
using patchpairs::Piece;

size_t NumberSize(uint64_t value) {
    Bytes bytes;
    patches::AppendBpsNumber(bytes, value);
    return bytes.size();
}

// An action's first number; its size depends on the length only.
size_t ActionSize(size_t length) { return NumberSize((uint64_t{length} - 1) << 2); }

// "BPS1", the two sizes, no metadata, the three CRC-32 values.
size_t FixedSize(size_t source, size_t target) { return 4 + NumberSize(source) + NumberSize(target) + 1 + 12; }

size_t Common(const Bytes& a, size_t i, const Bytes& b, size_t j) {
    size_t k = 0;
    while (i + k < a.size() && j + k < b.size() && a[i + k] == b[j + k]) ++k;
    return k;
}

// The smallest patch for inputs under 64 bytes each, where every cursor move
// takes one byte: from the end backwards, the cheapest of every action of
// every length from every place.
size_t OptimalSize(const Bytes& source, const Bytes& target) {
    const size_t m = target.size();
    std::vector<size_t> best(m + 1, std::numeric_limits<size_t>::max());
    best[m] = 0;
    for (size_t i = m; i-- > 0;) {
        auto offer = [&](size_t length, size_t cost) { best[i] = std::min(best[i], cost + best[i + length]); };
        for (size_t length = 1; i + length <= m; ++length) offer(length, ActionSize(length) + length);
        const size_t inPlace = i < source.size() ? Common(source, i, target, i) : 0;
        for (size_t length = 1; length <= inPlace; ++length) offer(length, ActionSize(length));
        for (size_t from = 0; from < source.size(); ++from) {
            const size_t most = Common(source, from, target, i);
            for (size_t length = 1; length <= most; ++length) offer(length, ActionSize(length) + 1);
        }
        for (size_t from = 0; from < i; ++from) {
            // Copies from the output may run into the bytes they write.
            const size_t most = Common(target, from, target, i);
            for (size_t length = 1; length <= most; ++length) offer(length, ActionSize(length) + 1);
        }
    }
    return FixedSize(source.size(), target.size()) + best[0];
}

// The best patch made of the pair's pieces, each piece copied whole
// (SourceRead in place, SourceCopy elsewhere) or written out, the written
// ones in between joined into one TargetRead. Built and returned as a real
// patch, so that it can be applied.
class PieceEncoder {
public:
    explicit PieceEncoder(const patchpairs::Pair& pair) : pair_(pair), pieces_(pair.pieces) {
        size_t start = 0;
        for (const Piece& piece : pieces_) {
            starts_.push_back(start);
            start += piece.length;
        }
    }

    Bytes Build() {
        // cost_[p][c]: the cheapest way to write pieces p.. with the source
        // cursor after piece c (c == pieces: at 0).
        const size_t count = pieces_.size();
        cost_.assign(count + 1, std::vector<size_t>(count + 1, kUnknown));
        Bytes patch = patchtest::Text("BPS1");
        patches::AppendBpsNumber(patch, pair_.original.size());
        patches::AppendBpsNumber(patch, pair_.modified.size());
        patches::AppendBpsNumber(patch, 0);
        Emit(patch, 0, count);
        return patchtest::SealBps(patch, pair_.original, pair_.modified);
    }

private:
    static constexpr size_t kUnknown = std::numeric_limits<size_t>::max();

    bool InPlace(size_t p) const { return pieces_[p].from == starts_[p]; }

    size_t CursorAfter(size_t c) const { return c == pieces_.size() ? 0 : pieces_[c].from + pieces_[c].length; }

    // Copying piece p with the cursor after piece c: its size, and the
    // cursor after it.
    size_t CopySize(size_t p, size_t c) const {
        const size_t size = ActionSize(pieces_[p].length);
        if (InPlace(p)) return size;
        const size_t at = CursorAfter(c);
        const size_t from = pieces_[p].from;
        return size + NumberSize(from >= at ? (from - at) << 1 : ((at - from) << 1) | 1);
    }
    size_t CursorAfterCopy(size_t p, size_t c) const { return InPlace(p) ? c : p; }

    // Pieces p.. with the cursor after c, the next `literal` pieces written
    // out (0: none), then piece p + literal copied (or the end reached).
    size_t Choice(size_t p, size_t c, size_t literal) {
        size_t size = 0;
        size_t bytes = 0;
        for (size_t k = p; k < p + literal; ++k) bytes += pieces_[k].length;
        if (bytes > 0) size += ActionSize(bytes) + bytes;
        const size_t q = p + literal;
        if (q == pieces_.size()) return size;
        if (pieces_[q].from == Piece::kNew) return kUnknown;
        return size + CopySize(q, c) + Cost(q + 1, CursorAfterCopy(q, c));
    }

    size_t Cost(size_t p, size_t c) {
        if (p == pieces_.size()) return 0;
        size_t& known = cost_[p][c];
        if (known != kUnknown) return known;
        for (size_t literal = 0; p + literal <= pieces_.size(); ++literal) {
            known = std::min(known, Choice(p, c, literal));
        }
        return known;
    }

    void Emit(Bytes& patch, size_t p, size_t c) {
        while (p < pieces_.size()) {
            size_t literal = 0;
            while (Choice(p, c, literal) != Cost(p, c)) ++literal;
            if (literal > 0) {
                const size_t start = starts_[p];
                const size_t end = starts_[p + literal - 1] + pieces_[p + literal - 1].length;
                patches::AppendBpsNumber(patch, ((uint64_t{end - start} - 1) << 2) | 1);
                patch.insert(patch.end(), pair_.modified.begin() + static_cast<std::ptrdiff_t>(start),
                             pair_.modified.begin() + static_cast<std::ptrdiff_t>(end));
            }
            p += literal;
            if (p == pieces_.size()) return;
            const Piece& piece = pieces_[p];
            if (InPlace(p)) {
                patches::AppendBpsNumber(patch, (uint64_t{piece.length} - 1) << 2);
            } else {
                patches::AppendBpsNumber(patch, ((uint64_t{piece.length} - 1) << 2) | 2);
                const size_t at = CursorAfter(c);
                patches::AppendBpsNumber(patch, piece.from >= at ? (piece.from - at) << 1 : ((at - piece.from) << 1) | 1);
            }
            c = CursorAfterCopy(p, c);
            ++p;
        }
    }

    const patchpairs::Pair& pair_;
    const std::vector<Piece>& pieces_;
    std::vector<size_t> starts_;
    std::vector<std::vector<size_t>> cost_;
};

TEST(BpsSmallest, GamePairsAreNoLargerThanTheBestPatchOfTheirPieces) {
    for (const patchpairs::Change change : {patchpairs::Change::OneSpecies, patchpairs::Change::Revision}) {
        const std::string name = patchpairs::ChangeName(change);
        const patchpairs::Pair pair = patchpairs::MakePair(change);
        ASSERT_FALSE(pair.pieces.empty()) << name;
        const Bytes byHand = PieceEncoder(pair).Build();
        const patches::BytesResult applied = patches::ApplyBps(byHand, pair.original);
        ASSERT_TRUE(applied.ok()) << name << ": " << applied.error;
        ASSERT_TRUE(applied.bytes == pair.modified) << name;

        const patches::BytesResult created = patches::CreateBps(pair.original, pair.modified);
        ASSERT_TRUE(created.ok()) << name;
        EXPECT_LE(created.bytes.size(), byHand.size()) << name;
        // One species: 23 bytes the format fixes, a SourceRead for each
        // unchanged stretch and a TargetRead for each group of changed
        // bytes; nothing smaller exists.
        if (change == patchpairs::Change::OneSpecies) {
            EXPECT_EQ(created.bytes.size(), byHand.size());
        }
    }
}

// A small target made from a small source as an editor would: stretches kept,
// replaced, inserted, dropped, moved, repeated, and runs of one value.
Bytes EditedCopy(std::mt19937& random, const Bytes& source, size_t most) {
    Bytes target;
    size_t at = 0;
    while (target.size() < most && at < source.size()) {
        const size_t length = std::min<size_t>(1 + random() % 12, most - target.size());
        switch (random() % 8) {
            case 0: case 1: case 2:  // kept in place
                for (size_t k = 0; k < length && at < source.size(); ++k) target.push_back(source[at++]);
                break;
            case 3:  // replaced
                for (size_t k = 0; k < length; ++k) target.push_back(static_cast<uint8_t>(random() % 8));
                at += length;
                break;
            case 4:  // inserted
                for (size_t k = 0; k < length; ++k) target.push_back(static_cast<uint8_t>(random() % 8));
                break;
            case 5:  // dropped
                at += length;
                break;
            case 6: {  // copied from elsewhere in the source or the target
                const Bytes& from = random() % 2 == 0 || target.empty() ? source : target;
                const size_t start = random() % from.size();
                for (size_t k = 0; k < length && start + k < from.size(); ++k) target.push_back(from[start + k]);
                break;
            }
            default:  // a run
                target.insert(target.end(), length, static_cast<uint8_t>(random() % 8));
                break;
        }
    }
    return target;
}

TEST(BpsSmallest, SmallPairsGetTheOptimalPatch) {
    std::mt19937 random(22);
    size_t worse = 0;
    size_t excess = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes source(1 + random() % 60);
        for (uint8_t& b : source) b = static_cast<uint8_t>(random() % 8);
        // The match index sorts the source followed by the target, so a match
        // that runs to the source's end may be hidden by one that seems to go
        // on into the target: a last byte that no target holds keeps the
        // optimum within what the index can see.
        const Bytes target = EditedCopy(random, source, 60);
        source.back() = 8;
        const patches::BytesResult created = patches::CreateBps(source, target);
        ASSERT_TRUE(created.ok());
        const size_t optimal = OptimalSize(source, target);
        ASSERT_GE(created.bytes.size(), optimal);
        if (created.bytes.size() > optimal) ++worse, excess += created.bytes.size() - optimal;
    }
    EXPECT_EQ(worse, 0u) << "patches larger than the optimum, by " << excess << " bytes in all";
}

}  // namespace
