#pragma once
// The layout answer as the tests take it: from the file and from its bytes in
// memory, which must agree.

#include <gtest/gtest.h>

#include <optional>

#include "rom/ImageFacts.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TestImage.h"

namespace layouttest {

inline rom::ResolvedLayout ResolveBoth(const testsupport::TestImage& image, rom::GameVersion version) {
    testsupport::RecordingReporter reporter;
    const std::optional<rom::ResolvedLayout> fromFile = rom::ResolveLayoutOfFile(image.path(), version);
    EXPECT_TRUE(reporter.empty());
    const rom::ResolvedLayout inMemory = rom::ResolveLayout(image.ReadAll(), version, image.path());
    EXPECT_TRUE(fromFile.has_value());
    if (fromFile) {
        EXPECT_EQ(fromFile->kind, inMemory.kind);
        EXPECT_EQ(fromFile->profile, inMemory.profile);
        EXPECT_EQ(fromFile->eggMovePointerOffset, inMemory.eggMovePointerOffset);
        EXPECT_EQ(fromFile->release, inMemory.release);
        EXPECT_EQ(fromFile->tablesFile, inMemory.tablesFile);
        EXPECT_EQ(fromFile->refusal, inMemory.refusal);
    }
    // Only an unknown layout has no offsets, and only it says why.
    EXPECT_EQ(inMemory.profile.has_value(), inMemory.kind != rom::ImageLayout::Unknown);
    EXPECT_EQ(inMemory.refusal.empty(), inMemory.kind != rom::ImageLayout::Unknown);
    return inMemory;
}

}  // namespace layouttest
