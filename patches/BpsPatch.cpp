#include "patches/BpsPatch.h"

#include <algorithm>
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
    size_t size = 1;
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
        const MatchIndex::Neighbours& near = index_.At(position);
        if (position < n) add(kSourceRead, position);
        // The source cursor where it stands, and moved along with the target
        // since the last SourceCopy (bytes replaced in place after it).
        if (sourceCursor_ < n) add(kSourceCopy, sourceCursor_);
        const uint64_t aligned = sourceCursor_ + (position - sourceCopyEnd_);
        if (aligned < n) add(kSourceCopy, aligned);
        if (near.sourceBefore != MatchIndex::kNone) add(kSourceCopy, static_cast<uint64_t>(near.sourceBefore));
        if (near.sourceAfter != MatchIndex::kNone) add(kSourceCopy, static_cast<uint64_t>(near.sourceAfter));
        if (position > 0) add(kTargetCopy, position - 1);
        if (targetCursor_ < position) add(kTargetCopy, targetCursor_);
        if (near.targetBefore != MatchIndex::kNone) add(kTargetCopy, static_cast<uint64_t>(near.targetBefore));
        if (near.targetAfter != MatchIndex::kNone) add(kTargetCopy, static_cast<uint64_t>(near.targetAfter));

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
    MatchIndex index_;
    uint64_t sourceCursor_ = 0;
    uint64_t targetCursor_ = 0;
    // Where in the target the last SourceCopy ended.
    size_t sourceCopyEnd_ = 0;
    size_t literalStart_ = 0;
    // Best() of the positions just ahead, with the cursors as they are.
    std::vector<std::pair<size_t, Copy>> ahead_;
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
