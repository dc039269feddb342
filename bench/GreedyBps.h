#pragma once
// The greedy BPS creator the library used before its creator came to weigh
// every end of every action: the benchmark's yardstick, not part of any
// library.

#include "patches/PatchFormat.h"

namespace bench {

// A BPS patch that turns `original` into `modified` (each at most the match
// index's limit), made greedily: at each position the copy that saves most
// against writing its bytes out, unless one a few bytes later saves more.
patches::BytesResult CreateGreedyBps(patches::ByteSpan original, patches::ByteSpan modified);

}  // namespace bench
