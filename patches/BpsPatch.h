#pragma once
// BPS patches: "BPS1", the source size, target size and metadata size as
// variable-length numbers, the metadata, the actions, then the CRC-32 of the
// source, of the target and of the patch up to that last value, each four
// bytes, low byte first.

#include <cstddef>
#include <cstdint>

#include "patches/PatchFormat.h"

namespace patches {

// Appends `value` as a BPS variable-length number: seven bits a byte, low
// bits first, the last byte marked by its high bit, each further byte
// counting from one past what the bytes before it can say (0 is 80, 127 is FF,
// 128 is 00 80).
void AppendBpsNumber(Bytes& out, uint64_t value);

enum class NumberStatus { Read, Truncated, Overflow };

struct BpsNumber {
    uint64_t value = 0;
    NumberStatus status = NumberStatus::Read;
};

// Reads a variable-length number from bytes[position] on, not past `end`,
// and moves `position` past it. A number whose bytes run to `end` without a
// final byte is Truncated; one that would not fit 64 bits is Overflow. After
// either, `value` and `position` mean nothing.
BpsNumber ReadBpsNumber(ByteSpan bytes, size_t& position, size_t end);

// A patch that turns `original` into `modified`, of any sizes up to
// kMaxBpsTargetSize. Up to 8 MiB each (kMaxIndexedSize), bytes are copied from
// wherever they already are: SourceRead for bytes unchanged in place,
// SourceCopy from anywhere in the original, TargetCopy from anywhere in the
// target written so far (runs of one value overlap what they write), or
// written out with TargetRead, each ended where the whole patch comes out
// smallest (every end of every action found is weighed against the others).
// Larger pairs get SourceRead, TargetRead and TargetCopy for long runs only.
// For identical inputs the patch holds one SourceRead (none when they are
// empty).
BytesResult CreateBps(ByteSpan original, ByteSpan modified);

// A patch without copies from elsewhere: SourceRead for bytes unchanged in
// place, TargetRead for changed bytes, TargetCopy for long runs of one value
// among them. Linear and quick, but larger than CreateBps's for moved or
// repeated bytes; what CreateBps writes for pairs past kMaxIndexedSize.
BytesResult CreateBpsWithoutCopies(ByteSpan original, ByteSpan modified);

// Applies the patch to `source`. Refused, each with its own message: a patch
// that is not BPS, truncated or damaged (its own CRC-32), a number that does
// not fit 64 bits, metadata past the end, a target larger than
// `maxTargetSize`, a source of another size or CRC-32, an action that reads
// outside the source, outside the patch or at or after the output cursor, or
// that writes past the target's size, actions that leave the target short, and
// a result whose CRC-32 does not match. Memory grows only with the bytes
// actually written, never with a declared size alone.
BytesResult ApplyBps(ByteSpan patch, ByteSpan source, uint64_t maxTargetSize = kMaxBpsTargetSize);

}  // namespace patches
