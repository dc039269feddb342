#pragma once
// Pictures and palettes planted into a synthetic image laid out like a
// Crystal or a Gold release: the routines through which the game finds them,
// the picture pointer and letter tables, the bank fix-up, a few pictures
// drawn here (each pixel a value of its own, so that a tile out of place
// shows), and palettes. The pictures are built in pixel space and turned into
// tiles and streams here, independently of the library's decoder.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rom/CodeRoutines.h"
#include "rom/Pictures.h"
#include "rom/SpeciesLayout.h"

namespace testsupport {

// Pixel (x, y) of the test picture `seed`: 0 to 3, differing in every tile.
inline uint8_t DrawnPixel(int seed, int x, int y) {
    return static_cast<uint8_t>((x * 7 + y * 3 + (x / 8) * 5 + (y / 8) * 11 + seed * 13 + x * y) % 4);
}

// The tiles of a dim x dim picture in column order, 16 bytes each.
inline std::vector<uint8_t> DrawnTiles(int seed, int dim) {
    std::vector<uint8_t> tiles;
    for (int column = 0; column < dim; ++column) {
        for (int row = 0; row < dim; ++row) {
            for (int r = 0; r < 8; ++r) {
                uint8_t low = 0, high = 0;
                for (int x = 0; x < 8; ++x) {
                    const uint8_t v = DrawnPixel(seed, column * 8 + x, row * 8 + r);
                    low = static_cast<uint8_t>(low | (v & 1) << (7 - x));
                    high = static_cast<uint8_t>(high | (v >> 1) << (7 - x));
                }
                tiles.push_back(low);
                tiles.push_back(high);
            }
        }
    }
    return tiles;
}

// A stream that writes `bytes`: long literals of up to 1,024 bytes, a run of
// zeros as one zero command, then 0xFF.
inline std::vector<uint8_t> LiteralStream(const std::vector<uint8_t>& bytes, size_t zerosAfter = 0) {
    std::vector<uint8_t> stream;
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = std::min<size_t>(1024, bytes.size() - at);
        stream.push_back(static_cast<uint8_t>(0xE0 | (n - 1) >> 8));
        stream.push_back(static_cast<uint8_t>((n - 1) & 0xFF));
        stream.insert(stream.end(), bytes.begin() + long(at), bytes.begin() + long(at + n));
        at += n;
    }
    if (zerosAfter > 0) {
        stream.push_back(static_cast<uint8_t>(0xEC | (zerosAfter - 1) >> 8));  // long zero
        stream.push_back(static_cast<uint8_t>((zerosAfter - 1) & 0xFF));
    }
    stream.push_back(0xFF);
    return stream;
}

struct PlantedPicture {
    std::string name;  // the file export --pictures writes: "025-front"
    int species = 0;   // 1 to 251, or 253 the egg
    int letter = -1;
    bool back = false;
    int dim = 0;
    int seed = 0;
};

struct PlantedPictures {
    std::vector<PlantedPicture> pictures;  // every picture the image holds
    int64_t palettes = 0;                  // the palette table's offset
    int64_t pointers = 0;
    int64_t letters = 0;
};

// Species 25's palette entry in the releases.
inline constexpr std::array<uint8_t, 8> kPikachuPalette = {0x5D, 0x17, 0xDA, 0x00, 0x3F, 0x02, 0x54, 0x2C};

inline void Put(std::vector<uint8_t>& image, int64_t at, const std::vector<uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + at);
}

// Plants everything into `image` (2 MiB) whose base records start at
// `baseRecords`. Every entry of the pointer and letter tables that holds no
// planted picture is empty (FF FF FF).
inline PlantedPictures PlantPictures(std::vector<uint8_t>& image, rom::GameVersion version, int64_t baseRecords) {
    using rom::RoutinePattern;
    const bool crystal = version == rom::GameVersion::Crystal;
    PlantedPictures planted;
    planted.pointers = crystal ? 0x48 * 0x4000 : 0x12 * 0x4000;
    planted.letters = crystal ? 0x49 * 0x4000 : 0x1F * 0x4000;
    planted.palettes = crystal ? 0x2 * 0x4000 + 0x28CE : 0x2 * 0x4000 + 0x2D3D;
    std::fill(image.begin() + planted.pointers, image.begin() + planted.pointers + 253 * 6, 0xFF);
    std::fill(image.begin() + planted.letters, image.begin() + planted.letters + 26 * 6, 0xFF);

    // The routines: in bank 0x0E, the palette routine in bank 2, the fix-up
    // routine and its list in bank 0x0D.
    const int64_t code = 0x0E * 0x4000 + 0x100;
    if (crystal) {
        std::vector<uint8_t> routine = RoutinePattern(rom::kCrystalPictureRoutine).Bytes(0x4000, 0x48);
        routine[11] = 0x49;  // the letter table's bank
        Put(image, code, routine);
        Put(image, 0x0D * 0x4000 + 0x100, RoutinePattern(rom::kCrystalBankFixUpRoutine).Bytes(0x4200, 0, 0, 0x12));
        for (uint8_t k = 0; k < 24; ++k) image[size_t(0x0D * 0x4000 + 0x200 + k)] = uint8_t(0x48 + k);
    } else {
        // The egg's routine is the picture routine's last bytes and those after them.
        std::vector<uint8_t> routine = RoutinePattern(rom::kGoldPictureRoutine).Bytes(0x4000, 0x12);
        const std::vector<uint8_t> egg = {0x0C, 0x21, 0x00, 0x60, 0x3E, 0x15, 0x18};  // ld hl, 0x6000; ld a, 0x15
        routine.insert(routine.end(), egg.begin(), egg.end());
        Put(image, code, routine);
        Put(image, code + 0x80, RoutinePattern(rom::kGoldLetterRoutine).Bytes(0x4000, 0x1F));
        Put(image, 0x0D * 0x4000 + 0x100, RoutinePattern(rom::kGoldBankFixUpRoutine).Bytes(0x4200, 0));
        Put(image, 0x0D * 0x4000 + 0x200, {0x13, 0x1F, 0x14, 0x20, 0x1F, 0x2E, 0xFF});
    }
    const uint16_t paletteAddress = uint16_t(0x4000 + planted.palettes % 0x4000);
    Put(image, 0x2 * 0x4000 + 0x100, RoutinePattern(rom::kPaletteRoutine).Bytes(paletteAddress, 0));

    // The pictures: (entry table, index, back, dim, seed, name), placed one
    // after another in the bank a stored bank leads to.
    struct Place {
        uint8_t stored;
        int64_t at;
    };
    // Crystal: stored 0x14 is bank 0x4A. Gold: stored 0x1F is bank 0x2E; 0x15 is itself.
    Place place = crystal ? Place{0x14, 0x4A * 0x4000} : Place{0x1F, 0x2E * 0x4000};
    int seed = 1;
    const auto plant = [&](int species, int letter, bool back, int dim, const std::string& name) {
        const std::vector<uint8_t> tiles = DrawnTiles(seed, dim);
        // Crystal's front pictures carry animation tiles after the still picture.
        const size_t animation = crystal && !back ? 112 : 0;
        const std::vector<uint8_t> stream = LiteralStream(tiles, animation);
        const int64_t table = letter >= 0 ? planted.letters : planted.pointers;
        const int64_t entry = table + (letter >= 0 ? letter : species - 1) * 6 + (back ? 3 : 0);
        const uint16_t address = uint16_t(0x4000 + place.at % 0x4000);
        Put(image, entry, {place.stored, uint8_t(address & 0xFF), uint8_t(address >> 8)});
        Put(image, place.at, stream);
        place.at += int64_t(stream.size());
        planted.pictures.push_back({name, species, letter, back, dim, seed});
        ++seed;
    };
    const auto record17 = [&](int species, int dim) {
        image[size_t(baseRecords + (species - 1) * 32 + 17)] = uint8_t(dim * 0x11);
    };
    record17(1, 5);
    plant(1, -1, false, 5, "001-front");
    plant(1, -1, true, 6, "001-back");
    record17(25, 6);
    plant(25, -1, false, 6, "025-front");
    plant(25, -1, true, 6, "025-back");
    if (!crystal) place = {0x15, 0x15 * 0x4000};  // a stored bank that is the real one
    record17(251, 7);
    plant(251, -1, false, 7, "251-front");
    record17(201, 5);
    plant(201, 0, false, 5, "201-A-front");
    plant(201, 0, true, 6, "201-A-back");
    plant(201, 25, false, 5, "201-Z-front");
    if (crystal) {
        plant(253, -1, false, 5, "egg-front");
    } else {
        const std::vector<uint8_t> stream = LiteralStream(DrawnTiles(seed, 5));
        Put(image, 0x15 * 0x4000 + 0x2000, stream);
        planted.pictures.push_back({"egg-front", 253, -1, false, 5, seed});
        ++seed;
    }

    // Palettes: every entry a colour of its own, Pikachu's as the releases.
    for (int s = 0; s < 256; ++s) {
        for (int k = 0; k < 4; ++k) {
            const uint16_t colour = uint16_t((s * 4 + k) * 37 % 0x8000);
            image[size_t(planted.palettes + s * 8 + k * 2)] = uint8_t(colour & 0xFF);
            image[size_t(planted.palettes + s * 8 + k * 2 + 1)] = uint8_t(colour >> 8);
        }
    }
    std::copy(kPikachuPalette.begin(), kPikachuPalette.end(), image.begin() + planted.palettes + 25 * 8);
    return planted;
}

// The file offset of the stream the pointer entry at `entry` leads to, through
// the bank fix-ups PlantPictures plants.
inline int64_t BankedStream(const std::vector<uint8_t>& image, size_t entry, rom::GameVersion version) {
    const uint8_t stored = image[entry];
    int64_t bank = stored;
    if (version == rom::GameVersion::Crystal) {
        bank = stored + 0x36;
    } else if (stored == 0x13 || stored == 0x14) {
        bank = stored + 0x0C;
    } else if (stored == 0x1F) {
        bank = 0x2E;
    }
    return bank * 0x4000 + (image[entry + 1] | image[entry + 2] << 8) - 0x4000;
}

}  // namespace testsupport
