#pragma once
// IPS patches: "PATCH", records of a 3-byte big-endian offset, a 2-byte
// big-endian size and that many bytes (a size of 0 is followed by a 2-byte
// count and one byte written count times), then "EOF", optionally followed by
// a 3-byte length the result is cut to.

#include <cstdint>

#include "patches/PatchFormat.h"

namespace patches {

// The record offset that reads as "EOF"; no record may start there.
inline constexpr uint32_t kIpsEofOffset = 0x454F46;

// A patch that turns `original` into `modified`. Refused when `modified` is
// shorter than `original` (IPS cannot shorten a file) or larger than 16 MiB.
// Changed bytes close together share a record; a run of one value is written
// as a run record when that is shorter; a record that would start at 0x454F46
// starts one byte earlier. For identical inputs the patch holds no record.
BytesResult CreateIps(ByteSpan original, ByteSpan modified);

// Applies the patch to `source`. A record past the end of `source` makes the
// result longer (the gap holds zeros), up to `maxResultSize`. Refused, each
// with its own message: a patch that is not IPS, that ends inside a record or
// without "EOF", that has anything but a 3-byte length after "EOF", or a
// record that would make the result larger than `maxResultSize`.
BytesResult ApplyIps(ByteSpan patch, ByteSpan source, uint64_t maxResultSize = kMaxIpsResultSize);

}  // namespace patches
