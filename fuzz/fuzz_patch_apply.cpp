// Hostile patches for the IPS and BPS readers, and created patches that must
// apply.
//
// The first byte chooses what the rest is:
//   0  a patch, applied as it is to a small patterned source;
//   1  a patch whose BPS checks are made to pass: the source gets the size the
//      header declares (up to 512 bytes), and the source and patch CRC-32
//      values are rewritten to match, so that the actions themselves are read;
//   2  a source and a target (random, pieces copied from the source and from
//      itself, or the source edited): patches created from them in both
//      formats apply to the source and give the target (IPS only when the
//      target is not shorter, and refused when it is); a created patch with
//      one byte changed is read without harm; the match index, sorted apart
//      (as for a large target mostly copied) and together, finds the longest
//      match of every target suffix in the source and earlier in the target.
// Every refusal carries a one-line message and no bytes; every result stays
// within the limit given to the reader; a BPS result has the size and CRC-32
// the patch declares.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "patches/BpsPatch.h"
#include "patches/IpsPatch.h"
#include "patches/MatchIndex.h"
#include "patches/PatchFormat.h"

namespace {

using patches::ByteSpan;
using patches::Bytes;
using patches::BytesResult;
using patches::PatchFormat;

// Small limits keep every run fast; the readers check them as they check the
// real ones.
constexpr uint64_t kResultLimit = 1 << 20;
constexpr uint64_t kLargestFittedSource = 512;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Expect(bool condition, const char* what) {
    if (!condition) Fail(what);
}

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(0x5A ^ (i * 29));
    return bytes;
}

uint32_t LittleEndian32(ByteSpan bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

void PutLittleEndian32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

BytesResult Apply(ByteSpan patch, ByteSpan source) {
    const auto format = patches::DetectFormat(patch);
    BytesResult result;
    if (!format) {
        result = patches::ApplyPatch(patch, source);
        Expect(!result.ok(), "a patch of no known format is refused");
    } else if (*format == PatchFormat::Ips) {
        result = patches::ApplyIps(patch, source, kResultLimit);
    } else {
        result = patches::ApplyBps(patch, source, kResultLimit);
    }
    if (!result.ok()) {
        Expect(result.bytes.empty(), "a refusal carries no bytes");
        Expect(result.error.find('\n') == std::string::npos, "a refusal is one line");
        return result;
    }
    Expect(result.bytes.size() <= std::max<uint64_t>(kResultLimit, source.size()), "a result stays in its limit");
    if (format == PatchFormat::Bps) {
        Expect(patches::Crc32(result.bytes) == LittleEndian32(patch, patch.size() - 8),
               "a BPS result has the CRC-32 its patch declares");
    }
    return result;
}

void ApplyHostile(Bytes patch, bool fitChecks) {
    Bytes source = Pattern(64);
    if (fitChecks && patches::DetectFormat(patch) == PatchFormat::Bps && patch.size() >= 4 + 3 + 12) {
        size_t position = 4;
        const auto declared = patches::ReadBpsNumber(patch, position, patch.size() - 12);
        if (declared.status == patches::NumberStatus::Read && declared.value <= kLargestFittedSource) {
            source = Pattern(static_cast<size_t>(declared.value));
        }
        PutLittleEndian32(patch, patch.size() - 12, patches::Crc32(source));
        PutLittleEndian32(patch, patch.size() - 4, patches::Crc32(ByteSpan(patch).first(patch.size() - 4)));
    }
    Apply(patch, source);
}

size_t Common(ByteSpan a, int32_t from, ByteSpan b, size_t at) {
    if (from < 0) return 0;
    size_t k = 0;
    while (static_cast<size_t>(from) + k < a.size() && at + k < b.size() && a[static_cast<size_t>(from) + k] == b[at + k]) {
        ++k;
    }
    return k;
}

// Both ways of sorting against every place tried, at 4 positions spread
// over the target (all of them would slow the fuzzing down): the longest
// match in the source (sorted together, a match running to the source's end
// may be hidden by one that runs on into the target) and earlier in the
// target.
void CheckIndex(ByteSpan source, ByteSpan target) {
    const patches::MatchIndex together(source, target, patches::MatchIndex::Sorting::Together);
    const patches::MatchIndex apart(source, target, patches::MatchIndex::Sorting::Apart);
    const size_t step = std::max<size_t>(1, target.size() / 4);
    for (size_t at = 0; at < target.size(); at += step) {
        size_t inSource = 0;
        for (size_t from = 0; from < source.size(); ++from) {
            inSource = std::max(inSource, Common(source, static_cast<int32_t>(from), target, at));
        }
        size_t earlier = 0;
        for (size_t from = 0; from < at; ++from) earlier = std::max(earlier, Common(target, static_cast<int32_t>(from), target, at));
        for (const patches::MatchIndex* index : {&together, &apart}) {
            const patches::MatchIndex::Neighbours near = index->At(at);
            Expect(near.sourceBefore < static_cast<int64_t>(source.size()) &&
                       near.sourceAfter < static_cast<int64_t>(source.size()),
                   "source neighbours lie in the source");
            Expect(near.targetBefore < static_cast<int64_t>(at) && near.targetAfter < static_cast<int64_t>(at),
                   "target neighbours lie before the position");
            const size_t found = std::max(Common(source, near.sourceBefore, target, at),
                                          Common(source, near.sourceAfter, target, at));
            Expect(index == &apart ? found == inSource : found <= inSource, "the longest match in the source");
            Expect(std::max(Common(target, near.targetBefore, target, at), Common(target, near.targetAfter, target, at)) ==
                       earlier,
                   "the longest match earlier in the target");
        }
    }
}

void RoundTrip(FuzzedDataProvider& data) {
    const Bytes source = data.ConsumeBytes<uint8_t>(data.ConsumeIntegralInRange<size_t>(0, 256));
    Bytes target;
    const int kind = data.ConsumeIntegralInRange<int>(0, 2);
    if (kind == 0) {
        target = data.ConsumeBytes<uint8_t>(data.ConsumeIntegralInRange<size_t>(0, 256));
    } else if (kind == 1) {
        // Pieces of the source and of the target so far, some overlapping
        // their own end, and a few new bytes: what the BPS creator copies.
        const int pieces = data.ConsumeIntegralInRange<int>(0, 12);
        for (int p = 0; p < pieces && target.size() < 1024; ++p) {
            const size_t length = data.ConsumeIntegralInRange<size_t>(1, 64);
            const int piece = data.ConsumeIntegralInRange<int>(0, 2);
            if (piece == 0 && !source.empty()) {
                const size_t at = data.ConsumeIntegralInRange<size_t>(0, source.size() - 1);
                target.insert(target.end(), source.begin() + static_cast<std::ptrdiff_t>(at),
                              source.begin() + static_cast<std::ptrdiff_t>(std::min(source.size(), at + length)));
            } else if (piece == 1 && !target.empty()) {
                size_t from = data.ConsumeIntegralInRange<size_t>(0, target.size() - 1);
                for (size_t k = 0; k < length; ++k) target.push_back(target[from++]);
            } else {
                const Bytes fresh = data.ConsumeBytes<uint8_t>(length);
                target.insert(target.end(), fresh.begin(), fresh.end());
            }
        }
    } else {
        // The source with a few changes and a new length: closer to real edits.
        target = source;
        target.resize(data.ConsumeIntegralInRange<size_t>(0, source.size() + 64),
                      data.ConsumeIntegral<uint8_t>());
        const int edits = data.ConsumeIntegralInRange<int>(0, 8);
        for (int e = 0; e < edits && !target.empty(); ++e) {
            const size_t at = data.ConsumeIntegralInRange<size_t>(0, target.size() - 1);
            const size_t length = data.ConsumeIntegralInRange<size_t>(1, target.size() - at);
            const uint8_t value = data.ConsumeIntegral<uint8_t>();
            for (size_t i = at; i < at + length; ++i) target[i] = value;
        }
    }
    const size_t flip = data.ConsumeIntegral<size_t>();
    const uint8_t flipValue = data.ConsumeIntegral<uint8_t>();

    CheckIndex(source, target);
    for (PatchFormat format : {PatchFormat::Ips, PatchFormat::Bps}) {
        const BytesResult patch = patches::CreatePatch(format, source, target);
        if (format == PatchFormat::Ips && target.size() < source.size()) {
            Expect(!patch.ok() && patch.bytes.empty(), "IPS refuses to shrink");
            continue;
        }
        Expect(patch.ok(), "a patch is created");
        Expect(patches::DetectFormat(patch.bytes) == format, "a created patch is told by its first bytes");
        const BytesResult applied = patches::ApplyPatch(patch.bytes, source);
        Expect(applied.ok(), "a created patch applies");
        Expect(applied.bytes == target, "a created patch gives the target");

        Bytes changed = patch.bytes;
        changed[flip % changed.size()] ^= static_cast<uint8_t>(flipValue | 1);
        const BytesResult damaged = Apply(changed, source);
        if (format == PatchFormat::Bps) Expect(!damaged.ok(), "a BPS patch with a changed byte is refused");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0] % 3;
    const Bytes rest(data + 1, data + size);
    if (mode == 2) {
        FuzzedDataProvider provider(rest.data(), rest.size());
        RoundTrip(provider);
    } else {
        ApplyHostile(rest, mode == 1);
    }
    return 0;
}
