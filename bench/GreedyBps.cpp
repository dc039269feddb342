// The greedy BPS creator as it was before the creator weighed every end of
// every action: kept here only as the yardstick the benchmark measures the
// library's creator against (its size and CPU time on the same pairs). Not
// part of any library; the match index and the patch format are the
// library's.

#include "bench/GreedyBps.h"

#include <divsufsort.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "patches/BpsPatch.h"
#include "patches/MatchIndex.h"

namespace bench {

namespace {

using patches::AppendBpsNumber;
using patches::Bytes;
using patches::ByteSpan;

enum Action : uint64_t { kSourceRead = 0, kTargetRead = 1, kSourceCopy = 2, kTargetCopy = 3 };

void AppendLittleEndian32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendAction(Bytes& out, Action action, uint64_t length) {
    AppendBpsNumber(out, ((length - 1) << 2) | action);
}

uint64_t EncodedMove(uint64_t from, uint64_t to) {
    return to >= from ? (to - from) << 1 : ((from - to) << 1) | 1;
}

// The match index as the greedy creator had it: one suffix array over the
// source followed by the target, and for every target position the nearest
// source suffixes and the nearest suffixes of the target before it.
class CombinedIndex {
public:
    static constexpr int32_t kNone = -1;

    struct Neighbours {
        int32_t sourceBefore = kNone;
        int32_t sourceAfter = kNone;
        int32_t targetBefore = kNone;
        int32_t targetAfter = kNone;
    };

    CombinedIndex(ByteSpan source, ByteSpan target);

    const Neighbours& At(size_t targetPosition) const { return neighbours_[targetPosition]; }

private:
    std::vector<Neighbours> neighbours_;
};

CombinedIndex::CombinedIndex(ByteSpan source, ByteSpan target) : neighbours_(target.size()) {
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

size_t NumberSize(uint64_t value) {
    size_t size = 1;
    while (value >= 0x80) {
        value = (value >> 7) - 1;
        ++size;
    }
    return size;
}

// Matches are measured up to this length to choose among them; only those
// that reach it are followed to their end, so that a choice never costs more
// than a few times the bytes it covers.
constexpr size_t kMeasuredLength = 256;

// A copy with a cursor move is put off when one that starts up to this many
// bytes later saves more than the literal bytes before it cost.
constexpr size_t kLookAhead = 8;

// Actions that copy from wherever the bytes already are: the source at the
// same offset (SourceRead), anywhere in the source (SourceCopy), or anywhere
// in the target written so far, overlapping what is being written for runs
// (TargetCopy). At each position the candidates are the index's nearest
// suffixes and the places the copy cursors point to; the copy that saves most
// bytes against writing them out is taken, unless one starting a little later
// saves more: one byte later for a SourceRead, up to kLookAhead bytes for the
// copies, which may cover a changed byte by chance only to cost more than a
// SourceRead after it.
class CopyingEncoder {
public:
    CopyingEncoder(Bytes& out, ByteSpan source, ByteSpan target)
        : out_(out), source_(source), target_(target), index_(source, target) {}

    void Run() {
        const size_t m = target_.size();
        size_t i = 0;
        while (i < m) {
            const Copy best = BestCached(i);
            const bool pending = literalStart_ < i;
            if (!Worth(best, i, pending) || BetterLater(i, best, pending)) {
                ++i;
                continue;
            }
            Copy copy = best;
            const size_t start = ExtendBackwards(i, copy);
            FlushLiterals(start);
            Emit(start, copy);
            i = start + copy.length;
            literalStart_ = i;
            // The cursors have moved: what was worked out ahead no longer holds.
            ahead_.clear();
        }
        FlushLiterals(m);
    }

private:
    struct Copy {
        Action action = kTargetRead;  // kTargetRead: no copy
        uint64_t from = 0;
        size_t length = 0;
        int64_t saving = 0;
        bool longer = false;  // reached kMeasuredLength
    };

    // A copy is worth taking when it costs no more than its bytes would with
    // a TargetRead's header (saving 0). After literal bytes, whose header is
    // paid already, it has to cost less than the bytes alone and also pay for
    // the header of the TargetRead that may start again after it (saving 2),
    // or, when it ends the target, only cost less (saving 1).
    bool Worth(const Copy& copy, size_t position, bool pending) const {
        if (copy.length == 0) return false;
        if (!pending) return copy.saving >= 0;
        return copy.saving >= (position + copy.length == target_.size() ? 1 : 2);
    }

    // Whether writing the byte at `position` as a literal and starting a copy
    // after it saves more than taking `best` now.
    bool BetterLater(size_t position, const Copy& best, bool pending) {
        const size_t reach = best.action == kSourceRead ? (best.longer ? 0 : 1) : kLookAhead;
        for (size_t later = 1; later <= reach && position + later < target_.size(); ++later) {
            const Copy copy = BestCached(position + later);
            // The literal bytes in between, and the TargetRead's header when
            // none are pending yet.
            const auto literals = static_cast<int64_t>(later + (pending ? 0 : 1));
            if (Worth(copy, position + later, true) && copy.saving - literals > best.saving) return true;
        }
        return false;
    }

    // Moves the start of a copy at `position` back over literal bytes that
    // it covers too, so that fewer are written out. Returns the new start.
    size_t ExtendBackwards(size_t position, Copy& copy) const {
        const ByteSpan from = copy.action == kTargetCopy ? target_ : source_;
        while (position > literalStart_ && copy.from > 0 && copy.from - 1 < from.size() &&
               from[copy.from - 1] == target_[position - 1]) {
            --position;
            --copy.from;
            ++copy.length;
        }
        return position;
    }

    // Best(position), kept while the cursors stay where they are.
    Copy BestCached(size_t position) {
        for (const auto& [at, copy] : ahead_) {
            if (at == position) return copy;
        }
        const Copy copy = Best(position);
        if (ahead_.size() > 2 * kLookAhead) ahead_.erase(ahead_.begin(), ahead_.begin() + kLookAhead);
        ahead_.emplace_back(position, copy);
        return copy;
    }

    size_t Extent(ByteSpan from, uint64_t at, size_t position, size_t limit) const {
        const size_t most = std::min({limit, target_.size() - position, from.size() - static_cast<size_t>(at)});
        const uint8_t* a = from.data() + at;
        const uint8_t* b = target_.data() + position;
        size_t k = 0;
        while (k < most && a[k] == b[k]) ++k;
        return k;
    }

    int64_t Cost(Action action, uint64_t from, size_t length) const {
        size_t cost = NumberSize(((uint64_t{length} - 1) << 2) | action);
        if (action == kSourceCopy) cost += NumberSize(EncodedMove(sourceCursor_, from));
        if (action == kTargetCopy) cost += NumberSize(EncodedMove(targetCursor_, from));
        return static_cast<int64_t>(cost);
    }

    Copy Best(size_t position) const {
        struct Candidate {
            Action action;
            uint64_t from;
        };
        // The same-offset source, three source and four target positions.
        Candidate candidates[9];
        size_t count = 0;
        auto add = [&](Action action, uint64_t from) {
            for (size_t k = 0; k < count; ++k) {
                if (candidates[k].action == action && candidates[k].from == from) return;
            }
            candidates[count++] = {action, from};
        };
        const size_t n = source_.size();
        const CombinedIndex::Neighbours& near = index_.At(position);
        if (position < n) add(kSourceRead, position);
        // The source cursor where it stands, and moved along with the target
        // since the last SourceCopy (bytes replaced in place after it).
        if (sourceCursor_ < n) add(kSourceCopy, sourceCursor_);
        const uint64_t aligned = sourceCursor_ + (position - sourceCopyEnd_);
        if (aligned < n) add(kSourceCopy, aligned);
        if (near.sourceBefore != CombinedIndex::kNone) add(kSourceCopy, static_cast<uint64_t>(near.sourceBefore));
        if (near.sourceAfter != CombinedIndex::kNone) add(kSourceCopy, static_cast<uint64_t>(near.sourceAfter));
        if (position > 0) add(kTargetCopy, position - 1);
        if (targetCursor_ < position) add(kTargetCopy, targetCursor_);
        if (near.targetBefore != CombinedIndex::kNone) add(kTargetCopy, static_cast<uint64_t>(near.targetBefore));
        if (near.targetAfter != CombinedIndex::kNone) add(kTargetCopy, static_cast<uint64_t>(near.targetAfter));

        Copy best;
        for (size_t k = 0; k < count; ++k) {
            const Candidate& c = candidates[k];
            const ByteSpan from = c.action == kTargetCopy ? target_ : source_;
            size_t length = Extent(from, c.from, position, kMeasuredLength);
            const bool longer = length == kMeasuredLength;
            if (longer) length = Extent(from, c.from, position, target_.size());
            if (length == 0) continue;
            const int64_t saving = static_cast<int64_t>(length) - Cost(c.action, c.from, length);
            if (best.length == 0 || saving > best.saving) best = {c.action, c.from, length, saving, longer};
        }
        return best;
    }

    void FlushLiterals(size_t end) {
        if (end <= literalStart_) return;
        AppendAction(out_, kTargetRead, end - literalStart_);
        out_.insert(out_.end(), target_.begin() + static_cast<std::ptrdiff_t>(literalStart_),
                    target_.begin() + static_cast<std::ptrdiff_t>(end));
        literalStart_ = end;
    }

    void Emit(size_t position, const Copy& copy) {
        AppendAction(out_, copy.action, copy.length);
        if (copy.action == kSourceCopy) {
            AppendBpsNumber(out_, EncodedMove(sourceCursor_, copy.from));
            sourceCursor_ = copy.from + copy.length;
            sourceCopyEnd_ = position + copy.length;
        } else if (copy.action == kTargetCopy) {
            AppendBpsNumber(out_, EncodedMove(targetCursor_, copy.from));
            targetCursor_ = copy.from + copy.length;
        }
    }

    Bytes& out_;
    ByteSpan source_;
    ByteSpan target_;
    CombinedIndex index_;
    uint64_t sourceCursor_ = 0;
    uint64_t targetCursor_ = 0;
    // Where in the target the last SourceCopy ended.
    size_t sourceCopyEnd_ = 0;
    size_t literalStart_ = 0;
    // Best() of the positions just ahead, with the cursors as they are.
    std::vector<std::pair<size_t, Copy>> ahead_;
};

}  // namespace

patches::BytesResult CreateGreedyBps(ByteSpan original, ByteSpan modified) {
    patches::BytesResult result;
    if (original.size() > patches::kMaxIndexedSize || modified.size() > patches::kMaxIndexedSize) {
        return patches::BytesResult::Failure("the yardstick creator takes pairs up to the index's limit only");
    }
    Bytes& out = result.bytes;
    out = {'B', 'P', 'S', '1'};
    AppendBpsNumber(out, original.size());
    AppendBpsNumber(out, modified.size());
    AppendBpsNumber(out, 0);
    CopyingEncoder(out, original, modified).Run();
    AppendLittleEndian32(out, patches::Crc32(original));
    AppendLittleEndian32(out, patches::Crc32(modified));
    AppendLittleEndian32(out, patches::Crc32(out));
    return result;
}

}  // namespace bench
