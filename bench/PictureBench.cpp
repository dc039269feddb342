// The species' pictures: all 251 front pictures of a 2 MiB Crystal-like
// image decoded to pixels (7 x 7 tiles each, with 784 bytes of animation
// tiles after the still picture, streams of literals, runs and overlapping
// repeats), with and without locating the tables through the game's routines.

#include <benchmark/benchmark.h>

#include <vector>

#include "rom/Pictures.h"
#include "tests/support/PictureImages.h"

namespace {

struct FrontImage {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(0x200000, 0);
    int64_t base = 0x51424;
};

// Each picture: its tiles in chunks of 16, each chunk a literal, a run or a
// repeat of the chunk 16 back; then the animation tiles as an overlapping repeat.
std::vector<uint8_t> Stream(int seed) {
    const std::vector<uint8_t> tiles = testsupport::DrawnTiles(seed, 7);
    std::vector<uint8_t> stream;
    for (size_t at = 0; at < tiles.size(); at += 16) {
        switch (at == 0 ? 0 : (at / 16 + size_t(seed)) % 3) {
            case 0:
                stream.push_back(0x0F);
                stream.insert(stream.end(), tiles.begin() + long(at), tiles.begin() + long(at + 16));
                break;
            case 1:
                stream.insert(stream.end(), {0x2F, uint8_t(seed)});
                break;
            default:
                stream.insert(stream.end(), {0x8F, uint8_t((at - 16) >> 8), uint8_t((at - 16) & 0xFF)});
                break;
        }
    }
    stream.insert(stream.end(), {0xF3, 0x0F, 0x80, 0xFF});  // 784 bytes repeated from one back
    return stream;
}

const FrontImage& Image() {
    static const FrontImage image = [] {
        FrontImage built;
        testsupport::PlantPictures(built.bytes, rom::GameVersion::Crystal, built.base);
        int64_t at = 0x4B * 0x4000;
        for (int species = 1; species <= 251; ++species) {
            const std::vector<uint8_t> stream = Stream(species);
            if (at % 0x4000 + int64_t(stream.size()) > 0x4000) at = (at / 0x4000 + 1) * 0x4000;
            const uint16_t address = uint16_t(0x4000 + at % 0x4000);
            const int64_t entry = 0x48 * 0x4000 + (species - 1) * 6;
            built.bytes[size_t(entry)] = uint8_t(at / 0x4000 - 0x36);
            built.bytes[size_t(entry + 1)] = uint8_t(address & 0xFF);
            built.bytes[size_t(entry + 2)] = uint8_t(address >> 8);
            built.bytes[size_t(built.base + (species - 1) * 32 + 17)] = 0x77;
            std::copy(stream.begin(), stream.end(), built.bytes.begin() + at);
            at += int64_t(stream.size());
        }
        return built;
    }();
    return image;
}

void DecodeAll(benchmark::State& state, bool locate) {
    const FrontImage& image = Image();
    const rom::PictureTables located = rom::LocatePictureTables(image.bytes, rom::GameVersion::Crystal);
    for (auto _ : state) {
        const rom::PictureTables tables =
            locate ? rom::LocatePictureTables(image.bytes, rom::GameVersion::Crystal) : located;
        size_t shown = 0;
        for (int species = 1; species <= 251; ++species) {
            const int dim = rom::FrontPictureDim(image.bytes[size_t(image.base + (species - 1) * 32 + 17)]);
            shown += rom::ReadPicture(image.bytes, tables, {species, -1, false}, dim).ok() ? 1 : 0;
        }
        if (shown != 251) state.SkipWithError("a picture did not decode");
        benchmark::DoNotOptimize(shown);
    }
}

void BM_DecodeAllFrontPictures(benchmark::State& state) { DecodeAll(state, false); }
void BM_LocateAndDecodeAllFrontPictures(benchmark::State& state) { DecodeAll(state, true); }
BENCHMARK(BM_DecodeAllFrontPictures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateAndDecodeAllFrontPictures)->Unit(benchmark::kMillisecond);

}  // namespace
