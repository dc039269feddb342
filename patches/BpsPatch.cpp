#include "patches/BpsPatch.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "patches/Guarded.h"

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

static BytesResult CreateBpsUnguarded(ByteSpan original, ByteSpan modified) {
    if (original.size() > kMaxBpsTargetSize) {
        return BytesResult::Failure("the original is " + ByteCount(original.size()) +
                                    ", more than the 64 MiB a BPS patch of this program may take");
    }
    if (modified.size() > kMaxBpsTargetSize) {
        return BytesResult::Failure("the modified file is " + ByteCount(modified.size()) +
                                    ", more than the 64 MiB a BPS patch of this program may produce");
    }
    const size_t n = original.size();
    const size_t m = modified.size();
    auto unchanged = [&](size_t k) { return k < n && original[k] == modified[k]; };

    BytesResult result;
    Bytes& out = result.bytes;
    out.assign(kSignature, kSignature + kSignatureSize);
    AppendBpsNumber(out, n);
    AppendBpsNumber(out, m);
    AppendBpsNumber(out, 0);

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
    return GuardedBytes([&] { return CreateBpsUnguarded(original, modified); });
}

BytesResult ApplyBps(ByteSpan patch, ByteSpan source, uint64_t maxTargetSize) {
    return GuardedBytes([&] { return ApplyBpsUnguarded(patch, source, maxTargetSize); });
}

}  // namespace patches
