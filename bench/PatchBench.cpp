// Patches for a 2 MiB image, in memory and through files.
//
// Two kinds of change: the bytes of one species' 23 fields (25 bytes in the
// four species tables), and 1% of all bytes at seeded random positions. For
// each, in both formats: creating the patch from the two images, applying it
// to the original, and the whole file step of each (read both files, work,
// write through a temporary file renamed into place, with its flush to the
// disk). The patch's size is shown as a counter. And the BPS creator beside
// the greedy one it replaced, size and CPU time, for both kinds of change.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "bench/BenchImage.h"
#include "bench/PairedCpu.h"
#include "patches/PatchFiles.h"
#include "patches/PatchFormat.h"
#include "rom/SpeciesLayout.h"

namespace {

using patches::Bytes;
using patches::PatchFormat;

constexpr rom::GameVersion kVersion = rom::GameVersion::Crystal;
constexpr int32_t kSpecies = 24;

enum class Changes { OneSpecies, OnePercent };

Bytes Original(const bench::BenchImage& image) {
    return patches::ReadWholeFile(image.path(), patches::kMaxImageFileSize).bytes;
}

Bytes Modified(const bench::BenchImage& image, const Bytes& original, Changes changes) {
    Bytes modified = original;
    if (changes == Changes::OneSpecies) {
        for (const rom::SpeciesField& field : rom::kSpeciesFields) {
            const std::optional<int32_t> offset = rom::FieldOffset(image.profile(), kSpecies, field);
            for (int32_t k = 0; offset && k < field.width; ++k) {
                modified[static_cast<size_t>(*offset + k)] ^= 0x80;
            }
        }
    } else {
        std::mt19937 random(20261208);
        for (size_t k = 0; k < modified.size() / 100; ++k) {
            const size_t at = random() % modified.size();
            modified[at] = static_cast<uint8_t>(modified[at] + 1 + random() % 255);
        }
    }
    return modified;
}

size_t ChangedBytes(const Bytes& original, const Bytes& modified) {
    size_t changed = 0;
    for (size_t i = 0; i < original.size(); ++i) changed += original[i] != modified[i];
    return changed;
}

void Create(benchmark::State& state, PatchFormat format, Changes changes) {
    const bench::BenchImage image(kVersion);
    const Bytes original = Original(image);
    const Bytes modified = Modified(image, original, changes);
    size_t patchSize = 0;
    for (auto _ : state) {
        const patches::BytesResult patch = patches::CreatePatch(format, original, modified);
        if (!patch.ok()) state.SkipWithError(patch.error.c_str());
        patchSize = patch.bytes.size();
        benchmark::DoNotOptimize(patch.bytes.data());
    }
    state.counters["changed_bytes"] = static_cast<double>(ChangedBytes(original, modified));
    state.counters["patch_bytes"] = static_cast<double>(patchSize);
}

void Apply(benchmark::State& state, PatchFormat format, Changes changes) {
    const bench::BenchImage image(kVersion);
    const Bytes original = Original(image);
    const Bytes modified = Modified(image, original, changes);
    const patches::BytesResult patch = patches::CreatePatch(format, original, modified);
    for (auto _ : state) {
        const patches::BytesResult result = patches::ApplyPatch(patch.bytes, original);
        if (!result.ok() || result.bytes != modified) state.SkipWithError("the patch did not give the modified image");
        benchmark::DoNotOptimize(result.bytes.data());
    }
    state.counters["patch_bytes"] = static_cast<double>(patch.bytes.size());
}

void CreateBpsBesideGreedy(benchmark::State& state, Changes changes) {
    const bench::BenchImage image(kVersion);
    const Bytes original = Original(image);
    const Bytes modified = Modified(image, original, changes);
    bench::CreateBesideGreedy(state, original, modified);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void CreateFile(benchmark::State& state, PatchFormat format, Changes changes) {
    const bench::BenchImage image(kVersion);
    const std::filesystem::path folder = std::filesystem::path(image.path()).parent_path();
    const std::string modifiedPath = (folder / "modified.gbc").string();
    WriteFile(modifiedPath, Modified(image, Original(image), changes));
    const std::string patchPath = (folder / (format == PatchFormat::Ips ? "edits.ips" : "edits.bps")).string();
    for (auto _ : state) {
        const patches::FileOutcome outcome = patches::CreatePatchFile(image.path(), modifiedPath, patchPath);
        if (!outcome.ok()) state.SkipWithError(outcome.message.c_str());
    }
}

void ApplyFile(benchmark::State& state, PatchFormat format, Changes changes) {
    const bench::BenchImage image(kVersion);
    const std::filesystem::path folder = std::filesystem::path(image.path()).parent_path();
    const std::string modifiedPath = (folder / "modified.gbc").string();
    WriteFile(modifiedPath, Modified(image, Original(image), changes));
    const std::string patchPath = (folder / (format == PatchFormat::Ips ? "edits.ips" : "edits.bps")).string();
    const std::string outputPath = (folder / "output.gbc").string();
    if (!patches::CreatePatchFile(image.path(), modifiedPath, patchPath).ok()) {
        state.SkipWithError("the patch could not be created");
        return;
    }
    for (auto _ : state) {
        const patches::FileOutcome outcome = patches::ApplyPatchFile(patchPath, image.path(), outputPath, true);
        if (!outcome.ok()) state.SkipWithError(outcome.message.c_str());
    }
}

using Step = void (*)(benchmark::State&, PatchFormat, Changes);

const bool kRegistered = [] {
    const std::pair<const char*, Step> steps[] = {
        {"Create", Create}, {"Apply", Apply}, {"CreateFile", CreateFile}, {"ApplyFile", ApplyFile}};
    const std::pair<const char*, PatchFormat> formats[] = {{"Ips", PatchFormat::Ips}, {"Bps", PatchFormat::Bps}};
    const std::pair<const char*, Changes> kinds[] = {{"OneSpecies", Changes::OneSpecies},
                                                     {"OnePercent", Changes::OnePercent}};
    for (const auto& [kind, changes] : kinds) {
        for (const auto& [step, function] : steps) {
            for (const auto& [format, value] : formats) {
                const std::string name = std::string("BM_") + step + format + "_" + kind;
                benchmark::RegisterBenchmark(name.c_str(), function, value, changes)->Unit(benchmark::kMillisecond);
            }
        }
        benchmark::RegisterBenchmark((std::string("BM_CreateBpsBesideGreedy_") + kind).c_str(), CreateBpsBesideGreedy,
                                     changes)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(bench::kPairedRuns);
    }
    return true;
}();

}  // namespace
