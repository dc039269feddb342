#pragma once
// The species' pictures and palettes: where the game's code says they are,
// the compressed streams decoded within bounds, tiles turned into pixels.
//
// A picture is a stream of commands decoded forward into a buffer (there is
// no stored length): a byte 0xFF where a command is expected ends it; any
// other byte b holds a command b >> 5 and a count (b & 0x1F) + 1, or, when
// b >> 5 is 7, the long form of two bytes 111CCCnn nnnnnnnn with a count of
// up to 1,024. The commands: 0 copy the next n bytes; 1 write the next byte n
// times; 2 write the next two bytes alternately, n bytes in all; 3 write n
// zeros; 4 repeat, 5 repeat with each byte's bits reversed, 6 repeat
// backwards, n bytes from the output already written (an offset byte with bit
// 7 set counts back from the current position; else it and the next byte are
// a big-endian offset from the start). A long command 7 acts as 4.
//
// The decoded bytes are tiles of 8 x 8 pixels, 2 bits a pixel, in column
// order (tile t stands at column t / dim, row t % dim). A picture is dim x
// dim tiles: a front picture's dim is the low nibble of byte 17 of the base
// record, the egg's 5, every back picture's 6. What follows the first
// dim x dim tiles (the animation tiles of Crystal's front pictures) is not
// part of the still picture.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/SpeciesLayout.h"

namespace rom {

inline constexpr size_t kTileBytes = 16;
inline constexpr int kTilePixels = 8;
inline constexpr int kBackPictureDim = 6;
inline constexpr int kEggPictureDim = 5;
inline constexpr int kPictureBoxDim = 7;  // the box the game shows a front picture in
inline constexpr int kLetterCount = 26;   // the letter pictures of species 201, A to Z
inline constexpr int kLetterSpecies = 201;
inline constexpr int kEggSpecies = 253;
inline constexpr size_t kPictureEntryBytes = 6;  // front (bank, address) then back
inline constexpr size_t kPaletteEntryBytes = 8;  // normal 1, normal 2, shiny 1, shiny 2

// The room the game gives a decoded picture: Crystal 2,048 bytes (the still
// picture and its animation tiles), Gold and Silver 784 (7 x 7 tiles).
size_t PictureRoom(GameVersion version);

// A stream decoded, or why it is refused.
struct DecodedStream {
    std::vector<uint8_t> bytes;
    std::string refusal;  // empty when decoded
    bool ok() const { return refusal.empty(); }
};

// Decodes the stream at file offset `at`. Refused, without reading or
// writing out of bounds: a stream that runs past the end of its 16 KiB bank
// (or of the image), whose output would pass `room` bytes, or that copies
// from before the start or from bytes not yet written. Every command writes
// at least one byte, so no stream runs longer than `room` commands.
DecodedStream DecodePictureStream(std::span<const uint8_t> image, int64_t at, size_t room);

// The first dim x dim tiles as pixels, row by row, dim x 8 pixels a side, each
// 0 (white) to 3 (black). `tiles` holds at least dim * dim * 16 bytes.
std::vector<uint8_t> TilesToPixels(std::span<const uint8_t> tiles, int dim);

// A picture's place as its table stores it.
struct PicturePointer {
    uint8_t storedBank = 0;
    uint16_t address = 0;
    bool absent() const { return storedBank == 0xFF && address == 0xFFFF; }
};

// The offset of a table the game's code locates, or why it is not proven.
struct LocatedTable {
    std::optional<int64_t> offset;
    std::string why;  // when there is no offset: "the routine that reads ... does not occur"
    std::optional<int64_t> routineAt;  // the (first) routine that gives it, when the code located it
    size_t routines = 0;               // how many occurrences of the routine give it
};

// The tables of pictures and palettes, as a ".tables" file names them.
enum class PictureTable { Pointers, Letters, Egg, Palettes };

// Why the table `table` at `offset` is not one the game can read, a clause in
// lower case ("the picture pointers at 0x... would end at 0x..., past the end
// of the image"); nullopt when it is: every entry lies inside the image (the
// palettes of species 0 to 251), and the egg's stream decodes to its 5 x 5
// tiles.
std::optional<std::string> ConfirmPictureTable(std::span<const uint8_t> image, GameVersion version,
                                               PictureTable table, int64_t offset);

// How the game turns a stored bank byte into the real bank.
enum class BankFixUpKind {
    None,    // no fix-up routine: the stored bank is the real one
    Listed,  // Crystal: real = list[stored - base]
    Pairs,   // Gold and Silver: (stored, real) pairs ending with 0xFF; others are real
};

// Where the game's code says the pictures and palettes are.
struct PictureTables {
    GameVersion version = GameVersion::Gold;
    LocatedTable pointers;  // 6-byte entries, species number 1 first
    LocatedTable letters;   // 26 entries of the same form, A first
    // The egg: Crystal reads it as pointer entry 253 (`eggInTable`); Gold and
    // Silver through an address and a real bank in the code (`egg`).
    bool eggInTable = false;
    LocatedTable egg;
    LocatedTable palettes;  // 8-byte entries by species number, entry 0 first
    BankFixUpKind fixUp = BankFixUpKind::None;
    LocatedTable fixUpList;  // Listed or Pairs: where the list is
    uint8_t fixUpBase = 0;   // Listed: the value subtracted from a stored bank
    std::string fixUpWhy;    // the fix-up routine occurs more than once: no bank can be trusted
};

// The routines through which the game reads each table, each of which must
// occur once or with every occurrence giving the same table (the bank fix-up
// once or not at all), the table there confirmed (ConfirmPictureTable).
PictureTables LocatePictureTables(std::span<const uint8_t> image, GameVersion version);

// The real bank of a stored one, or nullopt (with `why`) when the fix-up
// cannot say.
std::optional<int64_t> RealBank(std::span<const uint8_t> image, const PictureTables& tables, uint8_t stored,
                                std::string& why);

// Which picture: a species' front or back, one of species 201's letters
// (letter 0 to 25), or the egg's front (species kEggSpecies).
struct PictureId {
    int species = 1;  // species number 1 to 251, or kEggSpecies
    int letter = -1;  // 0 to 25 for species 201; -1 otherwise
    bool back = false;
};

// A picture decoded, or why not.
struct Picture {
    int dim = 0;
    std::vector<uint8_t> pixels;  // (dim * 8)^2 values 0 to 3, row by row
    bool absent = false;          // the table holds no picture here
    std::string refusal;          // why it cannot be shown; empty when shown
    bool ok() const { return !absent && refusal.empty(); }
};

// The picture `id` of the image. `frontDim` is the species' front picture
// size (the low nibble of base record byte 17), used for front pictures other
// than the egg's.
Picture ReadPicture(std::span<const uint8_t> image, const PictureTables& tables, const PictureId& id, int frontDim);

// The low nibble of byte 17 of a base record: a front picture's size in tiles.
int FrontPictureDim(uint8_t byte17);

// A palette: normal colour 1, normal colour 2, shiny colour 1, shiny colour 2,
// each 15 bits (red bits 0 to 4, green 5 to 9, blue 10 to 14) as stored,
// little-endian.
using Palette = std::array<uint16_t, 4>;

// The file offset of the palette of `speciesNumber` (0 to 255), or nullopt
// when the table is not located or the entry lies past the image.
std::optional<int64_t> PaletteOffset(std::span<const uint8_t> image, const PictureTables& tables, int speciesNumber);
std::optional<Palette> ReadPalette(std::span<const uint8_t> image, const PictureTables& tables, int speciesNumber);

// A 5-bit channel shown in 8 bits: (v << 3) | (v >> 2).
constexpr uint8_t ChannelTo8(int v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
// The red, green and blue of a stored colour in 8 bits each.
std::array<uint8_t, 3> ColourToRgb(uint16_t colour);

// The routines, in the notation of rom/CodeRoutines.h.
inline constexpr std::string_view kCrystalPictureRoutine =
    "FA ?? ?? 16 BB 18 05 FA ?? ?? 16 ?? 21 LL HH 3D 01 06 00 CD ?? ?? 7A CD";
// Two rewritten forms seen in modified Crystal games: the address loaded in
// each branch, or a check added before it.
inline constexpr std::string_view kCrystalPictureRoutineBranches = "FA ?? ?? 21 LL HH 16 BB 18 ?? FA";
inline constexpr std::string_view kCrystalPictureRoutineChecked =
    "FA ?? ?? 16 BB 18 09 FA ?? ?? A7 16 ?? 20 01 3C 21 LL HH 3D 01 06 00 CD";
inline constexpr std::string_view kGoldPictureRoutine =
    "FA ?? ?? E6 0F 47 C5 3E ?? CD ?? ?? 21 LL HH FA ?? ?? 16 BB FE C9 28 0B FE FD 20";
inline constexpr std::string_view kGoldLetterRoutine =
    "FE FC C8 FE FE D0 D5 3E ?? CD ?? ?? 21 LL HH FA ?? ?? 16 ?? FE C9 20 05 FA ?? ?? 16 BB 3D 01 06 00";
inline constexpr std::string_view kGoldEggRoutine = "FA ?? ?? 16 ?? FE C9 28 0B FE FD 20 0C 21 LL HH 3E BB 18";
inline constexpr std::string_view kPaletteRoutine = "6F 26 00 29 29 29 01 LL HH 09 C9 C5 CD";
inline constexpr std::string_view kCrystalBankFixUpRoutine = "E5 C5 D6 ?? 4F 06 00 21 LL HH 09 7E C1 E1 C9";
inline constexpr std::string_view kGoldBankFixUpRoutine =
    "E5 C5 47 21 LL HH 2A FE FF 28 06 23 B8 20 F7 2B 46 78 C1 E1 C9";

}  // namespace rom
