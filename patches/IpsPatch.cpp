#include "patches/IpsPatch.h"

#include <cstring>
#include <string>

#include "patches/Guarded.h"

namespace patches {

namespace {

constexpr char kHeader[] = "PATCH";
constexpr size_t kHeaderSize = 5;
constexpr char kEnd[] = "EOF";
constexpr size_t kEndSize = 3;
constexpr size_t kMaxRecordSize = 0xFFFF;

// A record costs 5 bytes before its data; a run record 8 in all. A run of one
// value at least this long at the start of a record is written as a run.
constexpr size_t kRunAtRecordStart = 8;
// Inside a literal record a run must pay for the run record and for a new
// literal record after it.
constexpr size_t kRunInsideRecord = 16;
// Unchanged bytes between two changes are written again when that is no
// longer than the 5 bytes a new record would cost.
constexpr size_t kLongestMergedGap = 5;

void AppendBigEndian(Bytes& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t BigEndian(ByteSpan bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[at + static_cast<size_t>(i)];
    return value;
}

std::string ByteCount(uint64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

}  // namespace

static BytesResult CreateIpsUnguarded(ByteSpan original, ByteSpan modified) {
    const size_t n = original.size();
    const size_t m = modified.size();
    if (m < n) {
        return BytesResult::Failure("the modified file (" + ByteCount(m) + ") is shorter than the original (" +
                                    ByteCount(n) + "), and an IPS patch cannot make a file shorter");
    }
    if (m > kMaxIpsImageSize) {
        return BytesResult::Failure("the modified file is " + ByteCount(m) +
                                    ", and IPS offsets reach no further than 16 MiB");
    }
    // Every byte past the original's end is written, whatever its value.
    auto changed = [&](size_t k) { return k >= n || original[k] != modified[k]; };
    auto runAt = [&](size_t k, size_t limit) {
        size_t run = 1;
        while (run < limit && k + run < m && modified[k + run] == modified[k]) ++run;
        return run;
    };

    BytesResult result;
    Bytes& out = result.bytes;
    out.assign(kHeader, kHeader + kHeaderSize);

    size_t position = 0;
    while (position < m) {
        if (!changed(position)) {
            ++position;
            continue;
        }
        // A record at 0x454F46 would read as the end marker; start it one
        // byte earlier (that byte is written with its own value).
        const bool shifted = position == kIpsEofOffset;
        const size_t start = shifted ? position - 1 : position;

        const size_t run = runAt(start, kMaxRecordSize);
        if (run >= kRunAtRecordStart) {
            AppendBigEndian(out, start, 3);
            AppendBigEndian(out, 0, 2);
            AppendBigEndian(out, run, 2);
            out.push_back(modified[start]);
            position = start + run;
            continue;
        }

        size_t stop = start + 1;
        size_t k = start + 1;
        while (k < m && k - start < kMaxRecordSize) {
            if (changed(k)) {
                // A shifted record must still cover 0x454F46 itself.
                const bool mustTake = shifted && k == kIpsEofOffset;
                if (!mustTake && runAt(k, kRunInsideRecord) >= kRunInsideRecord) break;
                stop = ++k;
                continue;
            }
            size_t next = k;
            while (next < m && next - k < kLongestMergedGap && !changed(next)) ++next;
            if (next >= m || !changed(next) || next - start >= kMaxRecordSize) break;
            k = next;
        }
        AppendBigEndian(out, start, 3);
        AppendBigEndian(out, stop - start, 2);
        out.insert(out.end(), modified.begin() + static_cast<std::ptrdiff_t>(start),
                   modified.begin() + static_cast<std::ptrdiff_t>(stop));
        position = stop;
    }
    out.insert(out.end(), kEnd, kEnd + kEndSize);
    return result;
}

static BytesResult ApplyIpsUnguarded(ByteSpan patch, ByteSpan source, uint64_t maxResultSize) {
    if (patch.size() < kHeaderSize || std::memcmp(patch.data(), kHeader, kHeaderSize) != 0) {
        return BytesResult::Failure("the patch is not an IPS patch (it does not start with \"PATCH\")");
    }
    const size_t end = patch.size();
    BytesResult result;
    Bytes& image = result.bytes;
    image.assign(source.begin(), source.end());

    size_t position = kHeaderSize;
    for (;;) {
        if (end - position < kEndSize) {
            return BytesResult::Failure("the patch is truncated: it ends without its \"EOF\" marker");
        }
        if (std::memcmp(patch.data() + position, kEnd, kEndSize) == 0) {
            position += kEndSize;
            break;
        }
        const size_t recordAt = position;
        if (end - position < 5) {
            return BytesResult::Failure("the patch is truncated: it ends inside the record at patch offset " +
                                        HexText(recordAt));
        }
        const uint32_t offset = BigEndian(patch, position, 3);
        const uint32_t size = BigEndian(patch, position + 3, 2);
        position += 5;
        uint32_t count = size;
        if (size == 0) {
            if (end - position < 3) {
                return BytesResult::Failure("the patch is truncated: it ends inside the run record for offset " +
                                            HexText(offset, 6));
            }
            count = BigEndian(patch, position, 2);
        } else if (end - position < size) {
            return BytesResult::Failure("the patch is truncated: the record for offset " + HexText(offset, 6) +
                                        " holds " + ByteCount(size) + ", but only " + ByteCount(end - position) +
                                        " remain in the patch");
        }
        // A run of no bytes writes nothing, and so does not grow the result.
        const uint64_t reach = uint64_t{offset} + count;
        if (count > 0 && reach > image.size()) {
            if (reach > maxResultSize) {
                return BytesResult::Failure("the record for offset " + HexText(offset, 6) +
                                            " would make the result " + ByteCount(reach) + ", more than the " +
                                            ByteCount(maxResultSize) + " allowed");
            }
            image.resize(static_cast<size_t>(reach));
        }
        if (size == 0) {
            if (count > 0) std::memset(image.data() + offset, patch[position + 2], count);
            position += 3;
        } else {
            std::memcpy(image.data() + offset, patch.data() + position, size);
            position += size;
        }
    }

    const size_t trailing = end - position;
    if (trailing == 3) {
        // The optional length after "EOF" only ever shortens the result.
        const uint32_t length = BigEndian(patch, position, 3);
        if (length < image.size()) image.resize(length);
    } else if (trailing != 0) {
        return BytesResult::Failure("the patch has " + ByteCount(trailing) +
                                    " after its \"EOF\" marker, where only a 3-byte length may follow");
    }
    return result;
}

BytesResult CreateIps(ByteSpan original, ByteSpan modified) {
    return GuardedBytes([&] { return CreateIpsUnguarded(original, modified); });
}

BytesResult ApplyIps(ByteSpan patch, ByteSpan source, uint64_t maxResultSize) {
    return GuardedBytes([&] { return ApplyIpsUnguarded(patch, source, maxResultSize); });
}

}  // namespace patches
