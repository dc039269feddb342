#include "patches/BpsPatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tests/patches/PatchBytes.h"

namespace {

using patches::ApplyBps;
using patches::BytesResult;
using patches::CreateBps;
using patches::NumberStatus;
using patches::ReadBpsNumber;
using patchtest::Bytes;
using patchtest::Hex;
using patchtest::Join;
using patchtest::SealBps;
using patchtest::Text;

Bytes Number(uint64_t value) {
    Bytes out;
    patches::AppendBpsNumber(out, value);
    return out;
}

// ---- Variable-length numbers -------------------------------------------------

TEST(BpsNumber, EncodesThePublishedExamples) {
    EXPECT_EQ(Number(0), Hex("80"));
    EXPECT_EQ(Number(4), Hex("84"));
    EXPECT_EQ(Number(127), Hex("FF"));
    EXPECT_EQ(Number(128), Hex("00 80"));
    EXPECT_EQ(Number(16511), Hex("7F FF"));
    EXPECT_EQ(Number(16512), Hex("00 00 80"));
}

TEST(BpsNumber, ReadsBackEveryBoundaryUpToTheLargest64BitNumber) {
    std::vector<uint64_t> values = {0, 1, 127, 128, 16511, 16512, std::numeric_limits<uint64_t>::max()};
    for (uint64_t v = 1; v != 0; v <<= 1) {
        values.push_back(v - 1);
        values.push_back(v);
        values.push_back(v + 1);
    }
    for (uint64_t value : values) {
        const Bytes bytes = Number(value);
        size_t position = 0;
        const auto read = ReadBpsNumber(bytes, position, bytes.size());
        ASSERT_EQ(read.status, NumberStatus::Read) << value;
        EXPECT_EQ(read.value, value);
        EXPECT_EQ(position, bytes.size()) << value;
    }
}

TEST(BpsNumber, RefusesNumbersPast64BitsAndNumbersWithoutAnEnd) {
    // The largest number with its final byte one higher no longer fits.
    Bytes largest = Number(std::numeric_limits<uint64_t>::max());
    largest.back() = static_cast<uint8_t>(largest.back() + 1);
    size_t position = 0;
    EXPECT_EQ(ReadBpsNumber(largest, position, largest.size()).status, NumberStatus::Overflow);

    const Bytes endless(12, 0x00);  // every byte says "more follows"
    position = 0;
    EXPECT_EQ(ReadBpsNumber(endless, position, endless.size()).status, NumberStatus::Overflow);

    const Bytes cut = Hex("00 00");
    position = 0;
    EXPECT_EQ(ReadBpsNumber(cut, position, cut.size()).status, NumberStatus::Truncated);
    position = 0;
    EXPECT_EQ(ReadBpsNumber(Hex("00 80"), position, 1).status, NumberStatus::Truncated);
}

// ---- Fixed patches worked out from the format ----------------------------------

const Bytes kExampleSource = Hex("00 01 02 03");
const Bytes kExampleTarget = Hex("00 FF 02 03");
const Bytes kExamplePatch =
    Hex("42 50 53 31 84 84 80 80 81 FF 84 13 86 B9 8B C9 D8 E3 34 CF 14 46 FD");

TEST(BpsPatch, AppliesThePublishedExample) {
    const BytesResult result = ApplyBps(kExamplePatch, kExampleSource);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.bytes, kExampleTarget);
}

TEST(BpsPatch, WritesThePublishedExampleByteForByte) {
    const BytesResult result = CreateBps(kExampleSource, kExampleTarget);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.bytes, kExamplePatch);
}

TEST(BpsPatch, WritesALongRunAsOneByteAndATargetCopy) {
    const Bytes source(20, 0x00);
    const Bytes target(20, 0xAA);
    // Sizes 20 and 20, no metadata; TargetRead 1 byte AA; TargetCopy 19 bytes
    // ((18 << 2) | 3 = 75) from the cursor moved by 0.
    const Bytes expected = SealBps(Hex("42 50 53 31 94 94 80  81 AA  CB 80"), source, target);
    const BytesResult result = CreateBps(source, target);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.bytes, expected);
    EXPECT_EQ(ApplyBps(expected, source).bytes, target);
}

TEST(BpsPatch, WritesIdenticalFilesAsOneSourceReadAndEmptyFilesAsNoAction) {
    const Bytes same = Hex("10 20 30");
    EXPECT_EQ(CreateBps(same, same).bytes, SealBps(Hex("42 50 53 31 83 83 80 88"), same, same));
    EXPECT_EQ(CreateBps({}, {}).bytes, SealBps(Hex("42 50 53 31 80 80 80"), {}, {}));
}

TEST(BpsPatch, AppliesSourceCopyAndTargetCopyAsPublished) {
    // Target = source reversed in two halves, then a copy of its first bytes:
    // SourceCopy 2 from 2 (move +2: 04), SourceCopy 2 from 0 (cursor is at 4,
    // move -4: 09), TargetCopy 3 from 0 (move 0: 80).
    const Bytes source = Hex("01 02 03 04");
    const Bytes target = Hex("03 04 01 02 03 04 01");
    const Bytes patch = SealBps(Hex("42 50 53 31 84 87 80  86 84  86 89  8B 80"), source, target);
    const BytesResult result = ApplyBps(patch, source);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.bytes, target);
}

TEST(BpsPatch, SkipsMetadata) {
    const Bytes source = Hex("01");
    const Bytes target = Hex("02");
    const Bytes patch = SealBps(Hex("42 50 53 31 81 81 83 41 42 43  81 02"), source, target);
    EXPECT_EQ(ApplyBps(patch, source).bytes, target);
}

// ---- Hostile patches -------------------------------------------------------------

struct HostileCase {
    const char* name;
    Bytes patch;
    Bytes source;
    const char* message;  // a part of the expected message
};

// Body of a patch whose header declares the sizes, followed by the actions.
Bytes Body(uint64_t sourceSize, uint64_t targetSize, const Bytes& actions) {
    return Join({Text("BPS1"), Number(sourceSize), Number(targetSize), Number(0), actions});
}

TEST(BpsPatch, RefusesEveryHostilePatchWithItsOwnMessage) {
    const Bytes src = Hex("01 02 03 04");
    const Bytes tgt = Hex("01 02 03 04");
    Bytes damaged = SealBps(Body(4, 4, Hex("8C")), src, tgt);
    damaged[damaged.size() - 1] ^= 0x01;
    Bytes overflowing = Body(4, 4, {});
    overflowing.resize(4);
    overflowing.insert(overflowing.end(), 11, 0x7F);

    const std::vector<HostileCase> cases = {
        {"not BPS", Text("BPS2 and more bytes than a header"), src, "not a BPS patch"},
        {"too short", Text("BPS1"), src, "truncated"},
        {"damaged", damaged, src, "the patch is damaged: its own CRC-32 does not match"},
        {"number past 64 bits", SealBps(overflowing, src, tgt), src, "does not fit in 64 bits"},
        {"header cut", SealBps(Hex("42 50 53 31 84 00 00 00"), src, tgt), src, "ends inside its header"},
        {"metadata past the end", SealBps(Join({Text("BPS1"), Number(4), Number(4), Number(40)}), src, tgt), src,
         "of metadata"},
        {"target above the limit", SealBps(Body(4, (uint64_t{64} << 20) + 1, Hex("8C")), src, tgt), src,
         "declares a target of 67108865 bytes"},
        {"source of another size", SealBps(Body(5, 4, Hex("8C")), src, tgt), src,
         "made for a source of 5 bytes, but the image is 4 bytes"},
        {"source of another CRC", SealBps(Body(4, 4, Hex("8C")), Hex("01 02 03 05"), tgt), src,
         "the source's CRC-32 does not match the patch"},
        {"SourceRead past the source", SealBps(Body(4, 8, Hex("9C")), src, tgt), src,
         "SourceRead action reads past the end of the source"},
        {"TargetRead past the patch", SealBps(Body(4, 8, Hex("9D 01 02")), src, tgt), src,
         "TargetRead action needs 8 bytes"},
        {"SourceCopy before the start", SealBps(Body(4, 4, Hex("82 83")), src, tgt), src,
         "SourceCopy action reads before the start of the source"},
        {"SourceCopy move past the end", SealBps(Body(4, 4, Hex("82 8A")), src, tgt), src,
         "SourceCopy action reads past the end of the source"},
        {"SourceCopy length past the end", SealBps(Body(4, 4, Hex("8E 82")), src, tgt), src,
         "SourceCopy action reads past the end of the source"},
        {"TargetCopy at the cursor", SealBps(Body(4, 4, Hex("83 80")), src, tgt), src,
         "TargetCopy action reads at or after the output cursor"},
        {"TargetCopy after the cursor", SealBps(Body(4, 4, Hex("80 83 82")), src, tgt), src,
         "TargetCopy action reads at or after the output cursor"},
        {"TargetCopy before the start", SealBps(Body(4, 4, Hex("80 83 83")), src, tgt), src,
         "TargetCopy action reads before the start of the target"},
        {"action past the target", SealBps(Body(4, 2, Hex("8C")), src, Hex("01 02")), src,
         "writes past the end of the target, which is 2 bytes long"},
        {"actions end short", SealBps(Body(4, 4, Hex("84")), src, tgt), src,
         "actions end after 2 bytes of the 4 bytes"},
        {"result of another CRC", SealBps(Body(4, 4, Hex("8C")), src, Hex("01 02 03 05")), src,
         "the result's CRC-32 does not match the patch"},
        {"action cut", SealBps(Body(4, 4, Hex("00")), src, tgt), src, "ends inside its actions"},
    };
    for (const HostileCase& c : cases) {
        const BytesResult result = ApplyBps(c.patch, c.source);
        EXPECT_FALSE(result.ok()) << c.name;
        EXPECT_TRUE(result.bytes.empty()) << c.name;
        EXPECT_NE(result.error.find(c.message), std::string::npos) << c.name << ": " << result.error;
        EXPECT_EQ(result.error.find('\n'), std::string::npos) << c.name;
    }
}

TEST(BpsPatch, ATargetCopyRunStopsAtTheCallersLimit) {
    // Five bytes of patch actions that would expand to the declared 1 MiB.
    const Bytes source;
    const Bytes target(1 << 20, 0x5A);
    const Bytes patch = SealBps(Body(0, target.size(), Join({Hex("81 5A"), Number(((target.size() - 2) << 2) | 3),
                                                             Hex("80")})),
                                source, target);
    EXPECT_EQ(ApplyBps(patch, source).bytes, target);
    const BytesResult limited = ApplyBps(patch, source, 1000);
    EXPECT_NE(limited.error.find("more than the 1000 bytes"), std::string::npos) << limited.error;
}

TEST(BpsPatch, RefusesInputsLargerThanItsLimit) {
    const Bytes big((uint64_t{64} << 20) + 1, 0);
    EXPECT_NE(CreateBps(big, {}).error.find("the original is 67108865 bytes"), std::string::npos);
    EXPECT_NE(CreateBps({}, big).error.find("the modified file is 67108865 bytes"), std::string::npos);
}

}  // namespace
