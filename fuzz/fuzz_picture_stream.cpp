// Hostile picture streams for the decoder.
//
// The input is laid into a bank of a small image at an offset the first two
// bytes choose, the rest of that bank being the input's tail repeated, so
// that streams meet the bank's end, the image's end and each other. The
// decoder must never read or write out of bounds (the sanitizers watch), must
// never produce more than its room, and must give either bytes or a refusal.
// When it decodes, the result's first dim x dim tiles turn into pixels of 0
// to 3 only.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "rom/Pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t room = data[0] & 1 ? 2048 : 784;
    const size_t start = size_t(data[1]) << 6 | (data[2] & 0x3F);  // 0 to 16,383 within the bank
    std::vector<uint8_t> image(0x8000, 0);
    const uint8_t* stream = data + 3;
    const size_t length = size - 3;
    for (size_t k = 0; start + k < 0x4000; ++k) image[0x4000 + start + k] = length == 0 ? 0xFF : stream[k % length];
    const int64_t at = int64_t(0x4000 + start);
    const rom::DecodedStream out = rom::DecodePictureStream(image, at, room);
    if (out.bytes.size() > room) std::abort();
    if (!out.ok()) return 0;
    for (int dim = 7; dim >= 1; --dim) {
        if (out.bytes.size() < size_t(dim * dim) * rom::kTileBytes) continue;
        for (const uint8_t pixel : rom::TilesToPixels(out.bytes, dim)) {
            if (pixel > 3) std::abort();
        }
        break;
    }
    return 0;
}
