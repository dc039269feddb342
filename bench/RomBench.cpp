// File work of the ROM library for one species and for all of them.
//
// Loading walks the 23 fields as the window's loader does: one TryReadHexBytes
// per field at its offset (one open, read and close each) and the conversion
// its presentation uses. Saving encodes the loaded values and writes them with
// one WriteHexBytes per field, the bytes unchanged. The floor reads the same
// 25 bytes with one open and one seek and read per table entry. A bound shows
// the least that 23 separate opens can cost on the machine: the system's own
// open, pread and close for each field, with no checks and no conversion.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchImage.h"
#include "rom/FailureReporter.h"
#include "rom/FieldConversions.h"
#include "rom/HexFunctions.h"
#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLists.h"
#include "rom/VersionDetection.h"
#include "tests/support/TableRoutines.h"
#include "rom/SpeciesLayout.h"

namespace {

constexpr rom::GameVersion kVersion = rom::GameVersion::Crystal;
constexpr int32_t kSpecies = 24;

// What the controls would show: the text of a text box, the number of a list
// position or scroll bar.
struct ShownField {
    std::string text;
    int32_t number = 0;
};
using ShownSpecies = std::array<ShownField, rom::kSpeciesFields.size()>;

int gFailures = 0;

// Counts failures instead of printing them; a benchmark that saw one is
// reported as an error rather than as a figure.
class SilentFailures {
public:
    SilentFailures() : previous_(rom::SetFailureReporter([](const rom::Failure&) { ++gFailures; })) { gFailures = 0; }
    ~SilentFailures() { rom::SetFailureReporter(previous_); }
    void Check(benchmark::State& state) const {
        if (gFailures != 0) state.SkipWithError("a file access failed");
    }

private:
    rom::FailureReporter previous_;
};

bool LoadSpecies(const std::string& path, const rom::VersionProfile& profile, int32_t index, ShownSpecies& shown) {
    for (size_t i = 0; i < rom::kSpeciesFields.size(); ++i) {
        const rom::SpeciesField& field = rom::kSpeciesFields[i];
        const std::optional<int32_t> offset = rom::FieldOffset(profile, index, field);
        if (!offset) return false;
        const std::optional<std::string> hex = HexFunctions::TryReadHexBytes(path, *offset, field.width);
        if (!hex) return false;
        switch (field.presentation) {
            case rom::Presentation::Decimal:
                shown[i].text = rom::DecimalTextFromHex(*hex).value_or(*hex);
                break;
            case rom::Presentation::HexText:
                shown[i].text = *hex;
                break;
            case rom::Presentation::Length:
                shown[i].number = rom::LengthFromHex(*hex).value_or(0);
                break;
            default:
                shown[i].number = rom::HexToNumber(*hex).value_or(0);
                break;
        }
    }
    return true;
}

rom::Encoded Encode(const rom::SpeciesField& field, const ShownField& shown) {
    switch (field.presentation) {
        case rom::Presentation::Decimal:
            return rom::EncodeDecimal(field, shown.text);
        case rom::Presentation::HexText:
            return rom::EncodeHexText(field, shown.text);
        case rom::Presentation::ListPosition:
            return rom::EncodeListChoice(field, shown.number, "", std::span<const std::string_view>());
        case rom::Presentation::Slider:
            return rom::EncodeSlider(field, shown.number);
        case rom::Presentation::Length:
            return rom::EncodeLength(field, shown.number);
        case rom::Presentation::Gender:
            return rom::EncodeGender(field, shown.number == 0xFF, shown.number);
    }
    return {};
}

// `checkFirst`: as the editor's save, make sure of all 23 writes before the first.
bool SaveSpecies(const std::string& path, const rom::VersionProfile& profile, int32_t index, const ShownSpecies& shown,
                 bool checkFirst) {
    std::array<std::string, rom::kSpeciesFields.size()> hex;
    std::array<int32_t, rom::kSpeciesFields.size()> offsets{};
    for (size_t i = 0; i < rom::kSpeciesFields.size(); ++i) {
        rom::Encoded encoded = Encode(rom::kSpeciesFields[i], shown[i]);
        const std::optional<int32_t> offset = rom::FieldOffset(profile, index, rom::kSpeciesFields[i]);
        if (!encoded.ok() || !offset) return false;
        hex[i] = std::move(encoded.hex);
        offsets[i] = *offset;
    }
    if (checkFirst) {
        for (size_t i = 0; i < hex.size(); ++i) {
            if (!HexFunctions::CheckWritable(path, offsets[i], rom::kSpeciesFields[i].width)) return false;
        }
    }
    for (size_t i = 0; i < hex.size(); ++i) {
        if (!HexFunctions::WriteHexBytes(path, offsets[i], hex[i])) return false;
    }
    return true;
}

void BM_Floor_OneOpenFourReads(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    const rom::VersionProfile profile = image.profile();
    // The four entries' bytes that hold the 25 field bytes: base record bytes
    // 1 to 23, the menu icon, the two pointer bytes, cry entry bytes 0 to 5.
    const long base = profile.BaseStatsOffset + 32L * kSpecies;
    const std::array<std::pair<long, size_t>, 4> reads = {{
        {base + 1, 23},
        {profile.MenuIconOffset + 1L * kSpecies, 1},
        {profile.EvoMovePointerOffset + 2L * kSpecies, 2},
        {profile.CryTableOffset + 6L * kSpecies, 6},
    }};
    std::array<unsigned char, 32> buffer{};
    for (auto _ : state) {
        std::FILE* file = std::fopen(image.path().c_str(), "rb");
        if (file == nullptr) {
            state.SkipWithError("open failed");
            break;
        }
        for (const auto& [offset, count] : reads) {
            if (std::fseek(file, offset, SEEK_SET) != 0 || std::fread(buffer.data(), 1, count, file) != count) {
                state.SkipWithError("read failed");
            }
            benchmark::DoNotOptimize(buffer.data());
        }
        std::fclose(file);
    }
}
BENCHMARK(BM_Floor_OneOpenFourReads);

void BM_Bound_23OpenPreadClose(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    std::array<int32_t, rom::kSpeciesFields.size()> offsets{};
    for (size_t i = 0; i < offsets.size(); ++i) {
        offsets[i] = rom::FieldOffset(image.profile(), kSpecies, rom::kSpeciesFields[i]).value_or(0);
    }
    std::array<unsigned char, 2> buffer{};
    for (auto _ : state) {
        for (size_t i = 0; i < offsets.size(); ++i) {
            const int fd = open(image.path().c_str(), O_RDONLY | O_CLOEXEC);
            const auto width = static_cast<size_t>(rom::kSpeciesFields[i].width);
            if (fd < 0 || pread(fd, buffer.data(), width, offsets[i]) != static_cast<ssize_t>(width)) {
                state.SkipWithError("read failed");
            }
            benchmark::DoNotOptimize(buffer.data());
            if (fd >= 0) close(fd);
        }
    }
}
BENCHMARK(BM_Bound_23OpenPreadClose);

void BM_LoadSpecies_23Reads(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    const SilentFailures failures;
    ShownSpecies shown;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LoadSpecies(image.path(), image.profile(), kSpecies, shown));
        benchmark::ClobberMemory();
    }
    failures.Check(state);
}
BENCHMARK(BM_LoadSpecies_23Reads);

void BM_SaveSpecies_23Writes(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    const SilentFailures failures;
    ShownSpecies shown;
    LoadSpecies(image.path(), image.profile(), kSpecies, shown);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SaveSpecies(image.path(), image.profile(), kSpecies, shown, false));
    }
    failures.Check(state);
}
BENCHMARK(BM_SaveSpecies_23Writes);

// The editor's save: 23 checks that every write can be made, then 23 writes.
void BM_SaveSpecies_23ChecksThen23Writes(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    const SilentFailures failures;
    ShownSpecies shown;
    LoadSpecies(image.path(), image.profile(), kSpecies, shown);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SaveSpecies(image.path(), image.profile(), kSpecies, shown, true));
    }
    failures.Check(state);
}
BENCHMARK(BM_SaveSpecies_23ChecksThen23Writes);

void BM_SweepAll251Species(benchmark::State& state) {
    const bench::BenchImage image(kVersion);
    const SilentFailures failures;
    ShownSpecies shown;
    for (auto _ : state) {
        for (int32_t index = 0; index < rom::kSpeciesCount; ++index) {
            benchmark::DoNotOptimize(LoadSpecies(image.path(), image.profile(), index, shown));
        }
        benchmark::ClobberMemory();
    }
    failures.Check(state);
    state.counters["per_species_us"] =
        benchmark::Counter(static_cast<double>(rom::kSpeciesCount) * 1e-6,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SweepAll251Species)->Unit(benchmark::kMillisecond);

// A complete 2 MiB image laid out like the first American Crystal: bytes that
// vary with their offset, the tables confirmed where the release keeps them,
// lists after both pointer tables and the five routines that read the tables.
std::vector<uint8_t> ReleaseLikeImage() {
    const rom::ReleaseLayout& row = *rom::FindReleaseLayout("BYTE", 0);
    std::vector<uint8_t> image(static_cast<size_t>(row.imageSize));
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 37 + i / 251 + 11);
    image[rom::kVersionByteOffset] = rom::HeaderByteOf(row.version);
    std::copy(row.gameCode.begin(), row.gameCode.end(), image.begin() + rom::kGameCodeOffset);
    image[rom::kRomVersionOffset] = row.revision;
    image[rom::kRomSizeOffset] = 6;
    for (int64_t k = 0; k < rom::kSpeciesCount; ++k) {
        image[static_cast<size_t>(row.tables.BaseStatsOffset + 32 * k)] = static_cast<uint8_t>(k + 1);
        image[static_cast<size_t>(row.tables.CryTableOffset + 6 * k + 1)] = 0;
    }
    for (const int64_t table : {int64_t{row.tables.EvoMovePointerOffset}, int64_t{row.eggMovePointerOffset}}) {
        const int64_t lists = table + rom::kPointerTableLength;
        std::fill(image.begin() + lists, image.begin() + (table / rom::kBankSize + 1) * rom::kBankSize, uint8_t{0});
        for (int64_t k = 0; k < rom::kSpeciesCount; ++k) {
            const int64_t list = table == row.eggMovePointerOffset ? lists : lists + 2 * k;
            image[static_cast<size_t>(table + 2 * k)] = static_cast<uint8_t>((0x4000 + list % rom::kBankSize) & 0xFF);
            image[static_cast<size_t>(table + 2 * k + 1)] = static_cast<uint8_t>((0x4000 + list % rom::kBankSize) >> 8);
        }
        if (table == row.eggMovePointerOffset) image[static_cast<size_t>(lists)] = rom::kEggListEnd;
    }
    testsupport::PlantTableRoutines(image, {row.tables.BaseStatsOffset, row.tables.MenuIconOffset,
                                            row.tables.CryTableOffset, row.tables.EvoMovePointerOffset,
                                            row.eggMovePointerOffset});
    image[rom::kHeaderChecksumOffset] = rom::HeaderChecksum(image);
    return image;
}

// The five routines found (one scan each) and their tables confirmed, lists
// and all: what every tool does once per image it opens.
void BM_LocateTables_2MiB(benchmark::State& state) {
    const std::vector<uint8_t> image = ReleaseLikeImage();
    if (!rom::LocateTablesByCode(image).proven()) state.SkipWithError("the benchmark image's tables are not proven");
    for (auto _ : state) benchmark::DoNotOptimize(rom::LocateTablesByCode(image));
}
BENCHMARK(BM_LocateTables_2MiB)->Unit(benchmark::kMillisecond);

}  // namespace
