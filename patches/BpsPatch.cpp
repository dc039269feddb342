#include "patches/BpsPatch.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "patches/Guarded.h"
#include "patches/MatchIndex.h"

namespace patches {

namespace {

constexpr char kSignature[] = "BPS1";
constexpr size_t kSignatureSize = 4;
// Three CRC-32 values close every patch.
constexpr size_t kFooterSize = 12;
// Signature, three one-byte numbers and the footer.
constexpr size_t kSmallestPatch = kSignatureSize + 3 + kFooterSize;

enum Action : uint64_t { kSourceRead = 0, kTargetRead = 1, kSourceCopy = 2, kTargetCopy = 3 };

// A run of one value at least this long among changed bytes is written as
// one byte and a TargetCopy of the rest from the byte before.
constexpr size_t kRunForTargetCopy = 16;

void AppendLittleEndian32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t LittleEndian32(ByteSpan bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

void AppendAction(Bytes& out, Action action, uint64_t length) {
    AppendBpsNumber(out, ((length - 1) << 2) | action);
}

// A cursor move as the patch writes it: the distance shifted left by one,
// the low bit set for a move backwards.
uint64_t EncodedMove(uint64_t from, uint64_t to) {
    return to >= from ? (to - from) << 1 : ((from - to) << 1) | 1;
}

std::string ByteCount(uint64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string NumberFailure(NumberStatus status, const char* where) {
    if (status == NumberStatus::Overflow) {
        return std::string("a variable-length number in the patch's ") + where + " does not fit in 64 bits";
    }
    return std::string("the patch is truncated: it ends inside its ") + where;
}

// Moves a copy cursor by an encoded move. False when the move would leave
// [0, limit]; the cursor is then unchanged.
bool MoveCursor(uint64_t& cursor, uint64_t encodedMove, uint64_t limit) {
    const uint64_t distance = encodedMove >> 1;
    if ((encodedMove & 1) != 0) {
        if (distance > cursor) return false;
        cursor -= distance;
    } else {
        if (cursor > limit || distance > limit - cursor) return false;
        cursor += distance;
    }
    return true;
}

}  // namespace

void AppendBpsNumber(Bytes& out, uint64_t value) {
    for (;;) {
        const auto low = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
        if (value == 0) {
            out.push_back(static_cast<uint8_t>(0x80 | low));
            return;
        }
        out.push_back(low);
        --value;
    }
}

BpsNumber ReadBpsNumber(ByteSpan bytes, size_t& position, size_t end) {
    BpsNumber number;
    uint64_t shift = 1;
    for (;;) {
        if (position >= end || position >= bytes.size()) {
            number.status = NumberStatus::Truncated;
            return number;
        }
        const uint8_t byte = bytes[position++];
        uint64_t part = 0;
        if (__builtin_mul_overflow(static_cast<uint64_t>(byte & 0x7F), shift, &part) ||
            __builtin_add_overflow(number.value, part, &number.value)) {
            number.status = NumberStatus::Overflow;
            return number;
        }
        if ((byte & 0x80) != 0) return number;
        if (shift > (std::numeric_limits<uint64_t>::max() >> 7)) {
            number.status = NumberStatus::Overflow;
            return number;
        }
        shift <<= 7;
        if (__builtin_add_overflow(number.value, shift, &number.value)) {
            number.status = NumberStatus::Overflow;
            return number;
        }
    }
}

namespace {

// Bytes the variable-length number takes in a patch.
size_t NumberSize(uint64_t value) {
    // The largest numbers of one, two and three bytes: 7F, 7F FF, 7F 7F FF.
    if (value < 0x80) return 1;
    if (value < 0x4080) return 2;
    if (value < 0x204080) return 3;
    size_t size = 4;
    value = (((value >> 7) - 1) >> 7) - 1;
    value = (value >> 7) - 1;
    while (value >= 0x80) {
        value = (value >> 7) - 1;
        ++size;
    }
    return size;
}

// Actions without copies: SourceRead for unchanged stretches, TargetRead for
// changed bytes, and TargetCopy for long runs of one value among them. Linear
// and without memory of its own, for pairs too large for the match index.
void AppendActionsInPlace(Bytes& out, ByteSpan original, ByteSpan modified) {
    const size_t n = original.size();
    const size_t m = modified.size();
    auto unchanged = [&](size_t k) { return k < n && original[k] == modified[k]; };

    uint64_t targetCursor = 0;
    auto targetRead = [&](size_t from, size_t to) {
        if (to <= from) return;
        AppendAction(out, kTargetRead, to - from);
        out.insert(out.end(), modified.begin() + static_cast<std::ptrdiff_t>(from),
                   modified.begin() + static_cast<std::ptrdiff_t>(to));
    };

    size_t i = 0;
    while (i < m) {
        size_t j = i;
        if (unchanged(i)) {
            while (j < m && unchanged(j)) ++j;
            AppendAction(out, kSourceRead, j - i);
            i = j;
            continue;
        }
        while (j < m && !unchanged(j)) ++j;
        // [i, j) changed: literal bytes, with long runs copied from the
        // output one byte behind.
        size_t literalStart = i;
        size_t k = i;
        while (k < j) {
            size_t run = 1;
            while (k + run < j && modified[k + run] == modified[k]) ++run;
            if (run >= kRunForTargetCopy) {
                targetRead(literalStart, k + 1);
                AppendAction(out, kTargetCopy, run - 1);
                AppendBpsNumber(out, EncodedMove(targetCursor, k));
                targetCursor = k + run - 1;
                literalStart = k + run;
            }
            k += run;
        }
        targetRead(literalStart, j);
        i = j;
    }
}

// A copy that is the cheapest way to reach a position and goes on for at
// least this many bytes more is taken to its end without looking at what
// else could start inside it: nothing is cheaper than a copy going on.
constexpr size_t kSureLength = 16;

// The longest action whose first number takes one, two, three and four
// bytes: past each, the number takes a byte more.
constexpr uint64_t kLongestForNumberSize[] = {32, 4128, 528416, 67637280};

// The most copies of each kind followed at once; the costliest go first.
constexpr size_t kMostOpen = 8;

// The smallest patch that copies from wherever the bytes already are: the
// source at the same offset (SourceRead), anywhere in the source
// (SourceCopy), anywhere in the target written so far, overlapping what is
// being written for runs (TargetCopy), or the bytes themselves (TargetRead).
// One pass over the target keeps, for each position, the cheapest way found
// to end an action there, and follows the actions that could go on past it:
// TargetRead and SourceRead (two of a kind only while the longer one's
// number may yet cost more), and a few copies, each started at the
// cheapest end before it from the places the match index and the copy
// cursors point to, and each priced byte by byte as its numbers grow. Every
// end of every action is thus weighed against every other, which matters
// most for small changes: a copy ended one byte early, or a few equal bytes
// written out rather than a SourceRead between two TargetReads. The cursors
// a move is priced from are those of the cheapest way to the start. The pass
// goes over a copy that is sure to be taken in one step (TakeSureCopy), so
// that a target mostly like its source is visited at a few positions around
// each change only; only the positions visited keep their cheapest end, 32
// bytes each, besides the index.
class CopyingEncoder {
public:
    CopyingEncoder(Bytes& out, ByteSpan source, ByteSpan target)
        : out_(out), source_(source), target_(target), index_(source, target) {
        // Most positions will be visited: room for all at once.
        if (!index_.LooksUp()) ends_.reserve(target.size() + 1);
    }

    void Run() {
        const size_t m = target_.size();
        if (m == 0) return;
        End first;
        first.cost = 0;
        ends_.push_back(first);
        for (size_t i = 0; i < m; ++i) {
            Extend(i);
            if (Reached(i)) Start(i);
            Settle(i + 1);
            i = TakeSureCopy(i + 1) - 1;
        }
        Write();
    }

private:
    // The cheapest way found to write the target up to a position: the
    // action that ends there, and the cursors after it. Both inputs are
    // under 4 GiB (kMaxIndexedSize), and so is every cost.
    struct End {
        uint32_t position = 0;
        uint32_t cost = 0;
        // Where in ends_ the end the action starts from is.
        uint32_t previous = 0;
        uint32_t from = 0;
        uint32_t sourceCursor = 0;
        // Where in the target the last SourceCopy ended.
        uint32_t sourceCopyEnd = 0;
        uint32_t targetCursor = 0;
        Action action() const { return static_cast<Action>(kind); }
        uint8_t kind = kTargetRead;
    };

    // An action that may go on: what it costs so far, and where the byte it
    // would copy next lies (the target position for a TargetRead).
    struct Open {
        Action action;
        size_t start;
        // Where in ends_ the end at `start` is.
        size_t startEnd;
        uint64_t from;
        size_t length;
        uint64_t cost;
        uint64_t next() const { return from + length; }
    };

    // The open actions, in the order they were started. There are never
    // more than kMostOpen copies of each kind after each start, a few
    // more while they are offered, and a few TargetReads and SourceReads.
    class OpenList {
    public:
        Open* begin() { return items_.data(); }
        Open* end() { return items_.data() + size_; }
        size_t size() const { return size_; }
        Open& operator[](size_t k) { return items_[k]; }
        void push_back(const Open& open) { items_[size_++] = open; }
        void resize(size_t size) { size_ = size; }
        void clear() { size_ = 0; }
        void erase(Open* at) {
            std::copy(at + 1, end(), at);
            --size_;
        }

    private:
        std::array<Open, 6 * kMostOpen> items_{};
        size_t size_ = 0;
    };

    bool Matches(Action action, uint64_t at, size_t position) const {
        switch (action) {
            case kTargetRead: return true;
            case kSourceRead:
            case kSourceCopy: return at < source_.size() && source_[at] == target_[position];
            default: return at < position && target_[at] == target_[position];
        }
    }

    // The cost of one more byte: the literal itself, and a byte more for
    // the action's number when its length crosses a boundary.
    static uint64_t Growth(Action action, size_t length) {
        const uint64_t before = length == 0 ? 0 : NumberSize((uint64_t{length} - 1) << 2);
        return NumberSize(uint64_t{length} << 2) - before + (action == kTargetRead ? 1 : 0);
    }

    // Carries every open action over the byte at `position`, or drops it.
    void Extend(size_t position) {
        size_t kept = 0;
        for (Open& open : open_) {
            if (!Matches(open.action, open.next(), position)) continue;
            open.cost += Growth(open.action, open.length);
            ++open.length;
            if (&open_[kept] != &open) open_[kept] = open;
            ++kept;
        }
        open_.resize(kept);
    }

    uint64_t MoveCost(Action action, uint64_t from, const End& end) const {
        if (action == kSourceCopy) return NumberSize(EncodedMove(end.sourceCursor, from));
        if (action == kTargetCopy) return NumberSize(EncodedMove(end.targetCursor, from));
        return 0;
    }

    // Whether an end at `position` has been found: the ends are kept in the
    // order of their positions, and the pass is at the last one.
    bool Reached(size_t position) const { return ends_.back().position == position; }

    // Starts, at the cheapest end at `position`, each action that can write
    // its byte, unless the same action is open already for less.
    void Start(size_t position) {
        const End end = ends_.back();
        const size_t n = source_.size();
        const MatchIndex::Neighbours& near = index_.At(position);
        Offer(position, kTargetRead, position);
        Offer(position, kSourceRead, position);
        // The source cursor where it stands, and moved along with the target
        // since the last SourceCopy (bytes replaced in place after it); the
        // index's nearest suffixes (kNone reads as past the end).
        const uint64_t sources[] = {end.sourceCursor, uint64_t{end.sourceCursor} + (position - end.sourceCopyEnd),
                                    static_cast<uint64_t>(near.sourceBefore), static_cast<uint64_t>(near.sourceAfter)};
        for (const uint64_t from : sources) {
            // From the same offset a SourceRead is cheaper.
            if (from < n && from != position) Offer(position, kSourceCopy, from);
        }
        Limit(kSourceCopy);
        // The byte before (runs), the target cursor, the nearest suffixes.
        const uint64_t targets[] = {uint64_t{position} - 1, end.targetCursor, static_cast<uint64_t>(near.targetBefore),
                                    static_cast<uint64_t>(near.targetAfter)};
        for (const uint64_t from : targets) {
            if (from < position) Offer(position, kTargetCopy, from);
        }
        Limit(kTargetCopy);
    }

    void Offer(size_t position, Action action, uint64_t from) {
        if (!Matches(action, from, position)) return;
        const End& end = ends_.back();
        const uint64_t move = MoveCost(action, from, end);
        // A copy costs one byte and its move; one no longer than its move
        // costs as much as its bytes in a TargetRead of their own, or more,
        // and is not followed.
        const size_t shortest = std::min<size_t>(move + 1, target_.size() - position);
        for (size_t k = 1; k < shortest; ++k) {
            if (!Matches(action, from + k, position + k)) return;
        }
        const Open offered{action, position, ends_.size() - 1, from, 1, end.cost + move + Growth(action, 0)};
        // Of two actions that copy the same bytes from here on, one is
        // dropped only when it never costs less, however long they grow.
        bool dropped = false;
        size_t kept = 0;
        for (const Open& open : open_) {
            const bool same = open.action == action && open.next() == from + 1;
            if (same && !dropped && NeverCheaper(offered, open)) dropped = true;
            if (same && !dropped && NeverCheaper(open, offered)) continue;
            if (&open_[kept] != &open) open_[kept] = open;
            ++kept;
        }
        open_.resize(kept);
        if (!dropped) open_.push_back(offered);
    }

    // The cost of an action that goes on for `more` bytes.
    static uint64_t CostLater(const Open& open, uint64_t more) {
        return open.cost + NumberSize((open.length + more - 1) << 2) - NumberSize((uint64_t{open.length} - 1) << 2);
    }

    // Whether `a` costs at least as much as `b` however many bytes both go
    // on for. Checked now and where b's number takes a byte more: between
    // those b's cost stays and a's never falls.
    static bool NeverCheaper(const Open& a, const Open& b) {
        if (a.cost < b.cost) return false;
        // b's number cannot grow by more bytes than that.
        if (a.cost >= b.cost + std::size(kLongestForNumberSize)) return true;
        for (const uint64_t longest : kLongestForNumberSize) {
            if (longest < b.length) continue;
            const uint64_t more = longest + 1 - b.length;
            if (CostLater(a, more) < CostLater(b, more)) return false;
        }
        return true;
    }

    // At most kMostOpen copies of the kind, the cheapest.
    void Limit(Action action) {
        if (open_.size() <= kMostOpen) return;
        size_t count = 0;
        for (const Open& open : open_) count += open.action == action;
        while (count-- > kMostOpen) {
            auto costliest = open_.end();
            for (auto it = open_.begin(); it != open_.end(); ++it) {
                if (it->action == action && (costliest == open_.end() || it->cost > costliest->cost)) costliest = it;
            }
            open_.erase(costliest);
        }
    }

    // The cheapest open action is the way to `position`; of two as cheap,
    // one that cannot go on, as the other stays open to go on anyway.
    void Settle(size_t position) {
        Open* best = nullptr;
        bool tied = false;
        for (Open& open : open_) {
            if (best == nullptr || open.cost < best->cost) {
                best = &open;
                tied = false;
            } else if (open.cost == best->cost) {
                tied = true;
            }
        }
        if (best == nullptr) return;
        auto goesOn = [&](const Open& open) {
            return position < target_.size() && Matches(open.action, open.next(), position);
        };
        if (tied && goesOn(*best)) {
            for (Open& open : open_) {
                if (open.cost == best->cost && !goesOn(open)) {
                    best = &open;
                    break;
                }
            }
        }
        ends_.push_back(EndAfter(*best, position));
    }

    End EndAfter(const Open& open, size_t position) const {
        End end = ends_[open.startEnd];
        end.position = static_cast<uint32_t>(position);
        end.cost = static_cast<uint32_t>(open.cost);
        end.kind = static_cast<uint8_t>(open.action);
        end.previous = static_cast<uint32_t>(open.startEnd);
        end.from = static_cast<uint32_t>(open.from);
        if (open.action == kSourceCopy) {
            end.sourceCursor = static_cast<uint32_t>(open.next());
            end.sourceCopyEnd = static_cast<uint32_t>(position);
        } else if (open.action == kTargetCopy) {
            end.targetCursor = static_cast<uint32_t>(open.next());
        }
        return end;
    }

    // When the cheapest way to `position` is a copy that goes on for
    // kSureLength bytes more, takes it to its end, or to the length where its
    // number grows, drops the other open actions and returns where it ends
    // now; otherwise returns `position`. Of copies as cheap, the one that
    // goes on longest: one dropped for a shorter one as cheap would have
    // gone on where the shorter one has to be followed by another action.
    size_t TakeSureCopy(size_t position) {
        const size_t m = target_.size();
        if (position == m || !Reached(position)) return position;
        const End end = ends_.back();
        if (end.action() == kTargetRead) return position;
        Open* chosen = nullptr;
        size_t more = 0;
        for (Open& open : open_) {
            if (open.action == kTargetRead || open.cost != end.cost) continue;
            // Not past a length where its number grows: ending it just
            // before may be cheaper.
            const uint64_t longest = *std::find_if(std::begin(kLongestForNumberSize),
                                                   std::end(kLongestForNumberSize),
                                                   [&](uint64_t length) { return length >= open.length; });
            const size_t extent = Extent(open, position, std::min<uint64_t>(m - position, longest - open.length));
            if (chosen == nullptr || extent > more) {
                chosen = &open;
                more = extent;
            }
        }
        if (chosen == nullptr || more == 0 || Extent(*chosen, position, kSureLength) < kSureLength) return position;
        Open open = *chosen;
        open.cost = CostLater(open, more);
        open.length += more;
        open_.clear();
        ends_.push_back(EndAfter(open, position + more));
        open_.push_back(open);
        return position + more;
    }

    // How many bytes from `position` on the open action can go on copying.
    size_t Extent(const Open& open, size_t position, size_t limit) const {
        const ByteSpan from = open.action == kTargetCopy ? target_ : source_;
        const uint64_t at = open.next();
        if (at >= from.size()) return 0;
        const size_t most = std::min({limit, target_.size() - position, from.size() - static_cast<size_t>(at)});
        const uint8_t* a = from.data() + at;
        const uint8_t* b = target_.data() + position;
        size_t k = 0;
        while (k < most && a[k] == b[k]) ++k;
        return k;
    }

    // Follows the cheapest ends back from the end of the target and writes
    // the actions on that way.
    void Write() {
        std::vector<size_t> way;
        for (size_t k = ends_.size() - 1; ends_[k].position > 0; k = ends_[k].previous) way.push_back(k);
        uint64_t sourceCursor = 0;
        uint64_t targetCursor = 0;
        for (auto it = way.rbegin(); it != way.rend(); ++it) {
            const End& end = ends_[*it];
            const size_t start = ends_[end.previous].position;
            const size_t length = end.position - start;
            AppendAction(out_, end.action(), length);
            if (end.action() == kTargetRead) {
                out_.insert(out_.end(), target_.begin() + static_cast<std::ptrdiff_t>(start),
                            target_.begin() + static_cast<std::ptrdiff_t>(end.position));
            } else if (end.action() == kSourceCopy) {
                AppendBpsNumber(out_, EncodedMove(sourceCursor, end.from));
                sourceCursor = end.from + length;
            } else if (end.action() == kTargetCopy) {
                AppendBpsNumber(out_, EncodedMove(targetCursor, end.from));
                targetCursor = end.from + length;
            }
        }
    }

    Bytes& out_;
    ByteSpan source_;
    ByteSpan target_;
    MatchIndex index_;
    std::vector<End> ends_;
    OpenList open_;
};

}  // namespace

static BytesResult CreateBpsUnguarded(ByteSpan original, ByteSpan modified, bool copies) {
    if (original.size() > kMaxBpsTargetSize) {
        return BytesResult::Failure("the original is " + ByteCount(original.size()) +
                                    ", more than the 64 MiB a BPS patch of this program may take");
    }
    if (modified.size() > kMaxBpsTargetSize) {
        return BytesResult::Failure("the modified file is " + ByteCount(modified.size()) +
                                    ", more than the 64 MiB a BPS patch of this program may produce");
    }

    BytesResult result;
    Bytes& out = result.bytes;
    out.assign(kSignature, kSignature + kSignatureSize);
    AppendBpsNumber(out, original.size());
    AppendBpsNumber(out, modified.size());
    AppendBpsNumber(out, 0);

    if (copies && original.size() <= kMaxIndexedSize && modified.size() <= kMaxIndexedSize) {
        CopyingEncoder(out, original, modified).Run();
    } else {
        AppendActionsInPlace(out, original, modified);
    }

    AppendLittleEndian32(out, Crc32(original));
    AppendLittleEndian32(out, Crc32(modified));
    AppendLittleEndian32(out, Crc32(out));
    return result;
}

static BytesResult ApplyBpsUnguarded(ByteSpan patch, ByteSpan source, uint64_t maxTargetSize) {
    if (patch.size() < kSignatureSize || std::memcmp(patch.data(), kSignature, kSignatureSize) != 0) {
        return BytesResult::Failure("the patch is not a BPS patch (it does not start with \"BPS1\")");
    }
    if (patch.size() < kSmallestPatch) {
        return BytesResult::Failure("the patch is truncated: " + ByteCount(patch.size()) +
                                    " cannot hold a BPS header and its three CRC-32 values");
    }
    const size_t end = patch.size() - kFooterSize;
    const uint32_t sourceCrc = LittleEndian32(patch, end);
    const uint32_t targetCrc = LittleEndian32(patch, end + 4);
    const uint32_t patchCrc = LittleEndian32(patch, end + 8);
    if (Crc32(patch.first(patch.size() - 4)) != patchCrc) {
        return BytesResult::Failure("the patch is damaged: its own CRC-32 does not match its bytes");
    }

    size_t position = kSignatureSize;
    const BpsNumber sourceSize = ReadBpsNumber(patch, position, end);
    if (sourceSize.status != NumberStatus::Read) return BytesResult::Failure(NumberFailure(sourceSize.status, "header"));
    const BpsNumber targetSize = ReadBpsNumber(patch, position, end);
    if (targetSize.status != NumberStatus::Read) return BytesResult::Failure(NumberFailure(targetSize.status, "header"));
    const BpsNumber metadataSize = ReadBpsNumber(patch, position, end);
    if (metadataSize.status != NumberStatus::Read) {
        return BytesResult::Failure(NumberFailure(metadataSize.status, "header"));
    }
    if (metadataSize.value > end - position) {
        return BytesResult::Failure("the patch is truncated: it declares " + ByteCount(metadataSize.value) +
                                    " of metadata, but only " + ByteCount(end - position) +
                                    " remain before its CRC-32 values");
    }
    position += static_cast<size_t>(metadataSize.value);

    if (targetSize.value > maxTargetSize) {
        return BytesResult::Failure("the patch declares a target of " + ByteCount(targetSize.value) +
                                    ", more than the " + ByteCount(maxTargetSize) + " this program accepts");
    }
    if (sourceSize.value != source.size()) {
        return BytesResult::Failure("the patch was made for a source of " + ByteCount(sourceSize.value) +
                                    ", but the image is " + ByteCount(source.size()));
    }
    if (Crc32(source) != sourceCrc) {
        return BytesResult::Failure("the source's CRC-32 does not match the patch");
    }

    const uint64_t wanted = targetSize.value;
    Bytes target;
    // Only what the patch and the source can account for without copies
    // within the target; a TargetCopy grows the buffer as it writes.
    target.reserve(static_cast<size_t>(std::min<uint64_t>(wanted, source.size() + patch.size())));
    uint64_t sourceCursor = 0;
    uint64_t targetCursor = 0;

    while (position < end) {
        const BpsNumber action = ReadBpsNumber(patch, position, end);
        if (action.status != NumberStatus::Read) return BytesResult::Failure(NumberFailure(action.status, "actions"));
        const uint64_t length = (action.value >> 2) + 1;
        const uint64_t written = target.size();
        if (length > wanted - written) {
            return BytesResult::Failure("an action writes past the end of the target, which is " +
                                        ByteCount(wanted) + " long");
        }
        switch (action.value & 3) {
            case kSourceRead: {
                if (written > source.size() || length > source.size() - written) {
                    return BytesResult::Failure("a SourceRead action reads past the end of the source");
                }
                const auto from = source.begin() + static_cast<std::ptrdiff_t>(written);
                target.insert(target.end(), from, from + static_cast<std::ptrdiff_t>(length));
                break;
            }
            case kTargetRead: {
                if (length > end - position) {
                    return BytesResult::Failure("the patch is truncated: a TargetRead action needs " +
                                                ByteCount(length) + ", but only " + ByteCount(end - position) +
                                                " remain before its CRC-32 values");
                }
                const auto from = patch.begin() + static_cast<std::ptrdiff_t>(position);
                target.insert(target.end(), from, from + static_cast<std::ptrdiff_t>(length));
                position += static_cast<size_t>(length);
                break;
            }
            case kSourceCopy: {
                const BpsNumber move = ReadBpsNumber(patch, position, end);
                if (move.status != NumberStatus::Read) return BytesResult::Failure(NumberFailure(move.status, "actions"));
                if (!MoveCursor(sourceCursor, move.value, source.size())) {
                    return BytesResult::Failure((move.value & 1) != 0
                                                    ? "a SourceCopy action reads before the start of the source"
                                                    : "a SourceCopy action reads past the end of the source");
                }
                if (length > source.size() - sourceCursor) {
                    return BytesResult::Failure("a SourceCopy action reads past the end of the source");
                }
                const auto from = source.begin() + static_cast<std::ptrdiff_t>(sourceCursor);
                target.insert(target.end(), from, from + static_cast<std::ptrdiff_t>(length));
                sourceCursor += length;
                break;
            }
            default: {
                const BpsNumber move = ReadBpsNumber(patch, position, end);
                if (move.status != NumberStatus::Read) return BytesResult::Failure(NumberFailure(move.status, "actions"));
                if (!MoveCursor(targetCursor, move.value, written)) {
                    return BytesResult::Failure((move.value & 1) != 0
                                                    ? "a TargetCopy action reads before the start of the target"
                                                    : "a TargetCopy action reads at or after the output cursor");
                }
                if (targetCursor >= written) {
                    return BytesResult::Failure("a TargetCopy action reads at or after the output cursor");
                }
                // Byte by byte: the bytes read may be the ones this action
                // has just written, which is how runs are copied.
                target.resize(static_cast<size_t>(written + length));
                auto* data = target.data();
                for (uint64_t k = 0; k < length; ++k) data[written + k] = data[targetCursor + k];
                targetCursor += length;
                break;
            }
        }
    }

    if (target.size() != wanted) {
        return BytesResult::Failure("the patch's actions end after " + ByteCount(target.size()) + " of the " +
                                    ByteCount(wanted) + " the target should have");
    }
    if (Crc32(target) != targetCrc) {
        return BytesResult::Failure("the result's CRC-32 does not match the patch");
    }
    BytesResult result;
    result.bytes = std::move(target);
    return result;
}

BytesResult CreateBps(ByteSpan original, ByteSpan modified) {
    return GuardedBytes([&] { return CreateBpsUnguarded(original, modified, true); });
}

BytesResult CreateBpsWithoutCopies(ByteSpan original, ByteSpan modified) {
    return GuardedBytes([&] { return CreateBpsUnguarded(original, modified, false); });
}

BytesResult ApplyBps(ByteSpan patch, ByteSpan source, uint64_t maxTargetSize) {
    return GuardedBytes([&] { return ApplyBpsUnguarded(patch, source, maxTargetSize); });
}

}  // namespace patches
