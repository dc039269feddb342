#include "patches/IpsPatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/patches/PatchBytes.h"

namespace {

using patches::ApplyIps;
using patches::BytesResult;
using patches::CreateIps;
using patchtest::Bytes;
using patchtest::Hex;
using patchtest::Join;
using patchtest::Text;

const Bytes kHeader = Text("PATCH");
const Bytes kEnd = Text("EOF");

Bytes Ips(const Bytes& records) {
    return Join({kHeader, records, kEnd});
}

// ---- Fixed patches worked out from the format ----------------------------------

TEST(IpsPatch, AppliesThePublishedExample) {
    const Bytes patch = Hex("50 41 54 43 48  00 00 01 00 01 FF  00 00 02 00 00 00 03 77  45 4F 46");
    const BytesResult result = ApplyIps(patch, Bytes(8, 0x00));
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.bytes, Hex("00 FF 77 77 77 00 00 00"));
}

TEST(IpsPatch, WritesSmallChangesByteForByte) {
    const Bytes original(64, 0x00);
    auto with = [&](std::initializer_list<std::pair<size_t, uint8_t>> changes, size_t size = 64) {
        Bytes modified = original;
        modified.resize(size, 0x00);
        for (auto [at, value] : changes) modified[at] = value;
        return modified;
    };
    // Identical files: no record.
    EXPECT_EQ(CreateIps(original, original).bytes, Ips({}));
    // One byte, and a change in the last byte.
    EXPECT_EQ(CreateIps(original, with({{0x10, 0xAB}})).bytes, Ips(Hex("00 00 10 00 01 AB")));
    EXPECT_EQ(CreateIps(original, with({{63, 0x01}})).bytes, Ips(Hex("00 00 3F 00 01 01")));
    // Changes five bytes apart share a record (the gap is written again);
    // six apart they do not.
    EXPECT_EQ(CreateIps(original, with({{0x10, 0x01}, {0x16, 0x02}})).bytes,
              Ips(Hex("00 00 10 00 07 01 00 00 00 00 00 02")));
    EXPECT_EQ(CreateIps(original, with({{0x10, 0x01}, {0x17, 0x02}})).bytes,
              Ips(Hex("00 00 10 00 01 01  00 00 17 00 01 02")));
    // Growth: the new bytes are written even where they are zero.
    EXPECT_EQ(CreateIps(original, with({{64, 0x09}}, 66)).bytes, Ips(Hex("00 00 40 00 02 09 00")));
}

TEST(IpsPatch, WritesRunsOfOneValueAsRunRecords) {
    const Bytes original(64, 0x00);
    Bytes modified = original;
    for (size_t i = 4; i < 24; ++i) modified[i] = 0x77;
    EXPECT_EQ(CreateIps(original, modified).bytes, Ips(Hex("00 00 04 00 00 00 14 77")));

    // A short run stays inside its literal record; a long one after a change
    // gets a run record of its own.
    modified = original;
    modified[2] = 0x01;
    for (size_t i = 3; i < 6; ++i) modified[i] = 0x55;
    for (size_t i = 6; i < 26; ++i) modified[i] = 0x66;
    EXPECT_EQ(CreateIps(original, modified).bytes,
              Ips(Hex("00 00 02 00 04 01 55 55 55  00 00 06 00 00 00 14 66")));
}

TEST(IpsPatch, NeverStartsARecordAtTheOffsetThatReadsAsEof) {
    const size_t size = patches::kIpsEofOffset + 0x40;
    const Bytes original(size, 0x00);
    Bytes modified = original;
    modified[patches::kIpsEofOffset] = 0x01;
    EXPECT_EQ(CreateIps(original, modified).bytes, Ips(Hex("45 4F 45 00 02 00 01")));

    // A run starting there: a literal record from one byte earlier takes its
    // first byte, a run record the rest.
    modified = original;
    for (size_t i = patches::kIpsEofOffset; i < patches::kIpsEofOffset + 20; ++i) modified[i] = 0x33;
    const BytesResult run = CreateIps(original, modified);
    EXPECT_EQ(run.bytes, Ips(Hex("45 4F 45 00 02 00 33  45 4F 47 00 00 00 13 33")));
    EXPECT_EQ(ApplyIps(run.bytes, original).bytes, modified);
}

TEST(IpsPatch, RefusesToShrinkAndImagesOver16MiB) {
    const BytesResult shrink = CreateIps(Bytes(10, 0), Bytes(9, 0));
    EXPECT_NE(shrink.error.find("cannot make a file shorter"), std::string::npos) << shrink.error;

    const Bytes largest(patches::kMaxIpsImageSize, 0x00);
    EXPECT_TRUE(CreateIps(largest, largest).ok());
    const Bytes tooLarge(patches::kMaxIpsImageSize + 1, 0x00);
    const BytesResult refused = CreateIps(tooLarge, tooLarge);
    EXPECT_NE(refused.error.find("no further than 16 MiB"), std::string::npos) << refused.error;
}

// ---- Applying --------------------------------------------------------------------

TEST(IpsPatch, GrowsTheResultWithZerosAndHonoursTheLengthAfterEof) {
    const Bytes source = Hex("01 02 03 04");
    EXPECT_EQ(ApplyIps(Ips(Hex("00 00 06 00 01 AA")), source).bytes, Hex("01 02 03 04 00 00 AA"));
    EXPECT_EQ(ApplyIps(Ips(Hex("00 00 05 00 00 00 02 BB")), source).bytes, Hex("01 02 03 04 00 BB BB"));
    // A run of no bytes changes nothing, also past the end.
    EXPECT_EQ(ApplyIps(Ips(Hex("00 10 00 00 00 00 00 BB")), source).bytes, source);
    // The 3-byte length after "EOF" cuts the result; a larger one changes nothing.
    EXPECT_EQ(ApplyIps(Join({Ips({}), Hex("00 00 02")}), source).bytes, Hex("01 02"));
    EXPECT_EQ(ApplyIps(Join({Ips({}), Hex("00 00 09")}), source).bytes, source);
    // The furthest record the format can express fits the result.
    const BytesResult furthest = ApplyIps(Ips(Hex("FF FF FF 00 00 FF FF 01")), source);
    ASSERT_TRUE(furthest.ok()) << furthest.error;
    EXPECT_EQ(furthest.bytes.size(), patches::kMaxIpsResultSize);
}

TEST(IpsPatch, RefusesEveryHostilePatchWithItsOwnMessage) {
    const Bytes source(16, 0x00);
    struct Case {
        const char* name;
        Bytes patch;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"empty", {}, "not an IPS patch"},
        {"not IPS", Text("PATCX00000EOF"), "not an IPS patch"},
        {"no EOF", kHeader, "ends without its \"EOF\" marker"},
        {"no EOF after a record", Join({kHeader, Hex("00 00 01 00 01 FF")}), "ends without its \"EOF\" marker"},
        {"record header cut", Join({kHeader, Hex("00 00 01 00")}), "ends inside the record at patch offset 0x05"},
        {"record past the end", Join({kHeader, Hex("00 00 01 00 08 FF FF"), kEnd}),
         "the record for offset 0x000001 holds 8 bytes, but only 5 bytes remain"},
        {"run record cut", Join({kHeader, Hex("00 00 01 00 00 00")}), "ends inside the run record for offset 0x000001"},
        {"bytes after EOF", Join({Ips({}), Hex("00 01")}), "has 2 bytes after its \"EOF\" marker"},
        {"four bytes after EOF", Join({Ips({}), Hex("00 00 00 01")}), "has 4 bytes after its \"EOF\" marker"},
    };
    for (const Case& c : cases) {
        const BytesResult result = ApplyIps(c.patch, source);
        EXPECT_FALSE(result.ok()) << c.name;
        EXPECT_TRUE(result.bytes.empty()) << c.name;
        EXPECT_NE(result.error.find(c.message), std::string::npos) << c.name << ": " << result.error;
    }
    const BytesResult limited = ApplyIps(Ips(Hex("00 10 00 00 01 01")), source, 0x1000);
    EXPECT_NE(limited.error.find("would make the result 4097 bytes, more than the 4096 bytes allowed"),
              std::string::npos)
        << limited.error;
}

}  // namespace
