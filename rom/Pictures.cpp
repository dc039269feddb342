#include "rom/Pictures.h"

#include <algorithm>

#include "rom/CodeRoutines.h"

namespace rom {

namespace {

constexpr int64_t kBank = kRoutineBankSize;

std::string Hex(int64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value > 0);
    if (text.size() % 2 == 1) text.insert(text.begin(), '0');
    return "0x" + text;
}

uint8_t Reversed(uint8_t b) {
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    b = static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
    return b;
}

// The stream's reader: bounded by the end of the bank the stream starts in
// (the game never reads a picture across banks) and by the image.
class Input {
public:
    Input(std::span<const uint8_t> image, int64_t at)
        : image_(image), at_(at), end_(std::min<int64_t>((at / kBank + 1) * kBank, int64_t(image.size()))) {}
    bool Next(uint8_t& byte) {
        if (at_ >= end_) return false;
        byte = image_[size_t(at_++)];
        return true;
    }
    int64_t at() const { return at_; }

private:
    std::span<const uint8_t> image_;
    int64_t at_;
    int64_t end_;
};

}  // namespace

size_t PictureRoom(GameVersion version) {
    return version == GameVersion::Crystal ? 2048 : size_t(kPictureBoxDim * kPictureBoxDim) * kTileBytes;
}

DecodedStream DecodePictureStream(std::span<const uint8_t> image, int64_t at, size_t room) {
    DecodedStream out;
    if (at < 0 || at >= int64_t(image.size())) {
        out.refusal = "the picture's stream at " + Hex(at) + " lies past the end of the image";
        return out;
    }
    Input in(image, at);
    std::vector<uint8_t>& bytes = out.bytes;
    bytes.reserve(room);
    const auto pastBank = [&] {
        out.refusal = "the picture's stream at " + Hex(at) + " runs past the end of its bank";
        return std::move(out);
    };
    while (true) {
        uint8_t b = 0;
        if (!in.Next(b)) return pastBank();
        if (b == 0xFF) return out;
        int command = b >> 5;
        size_t n = 0;
        if (command != 7) {
            n = size_t(b & 0x1F) + 1;
        } else {
            uint8_t low = 0;
            if (!in.Next(low)) return pastBank();
            command = (b >> 2) & 7;
            if (command == 7) command = 4;
            n = (size_t(b & 3) << 8 | low) + 1;
        }
        if (bytes.size() + n > room) {
            out.refusal = "the picture's stream at " + Hex(at) + " decodes to more than the " + std::to_string(room) +
                          " bytes the game gives a picture";
            return out;
        }
        switch (command) {
            case 0:
                for (size_t i = 0; i < n; ++i) {
                    uint8_t v = 0;
                    if (!in.Next(v)) return pastBank();
                    bytes.push_back(v);
                }
                break;
            case 1: {
                uint8_t v = 0;
                if (!in.Next(v)) return pastBank();
                bytes.insert(bytes.end(), n, v);
                break;
            }
            case 2: {
                uint8_t x = 0, y = 0;
                if (!in.Next(x) || !in.Next(y)) return pastBank();
                for (size_t i = 0; i < n; ++i) bytes.push_back(i % 2 == 0 ? x : y);
                break;
            }
            case 3:
                bytes.insert(bytes.end(), n, 0);
                break;
            default: {  // 4 repeat, 5 flip, 6 reverse
                uint8_t o = 0;
                if (!in.Next(o)) return pastBank();
                int64_t source = 0;
                const auto position = int64_t(bytes.size());
                if (o & 0x80) {
                    source = position - (o & 0x7F) - 1;
                } else {
                    uint8_t next = 0;
                    if (!in.Next(next)) return pastBank();
                    source = int64_t(o) << 8 | next;
                }
                const auto nn = int64_t(n);
                // Forward copies read each byte after it is written, so a run
                // may overlap itself; a reversed one reads only bytes written
                // before it starts.
                const bool before = command == 6 ? source - nn + 1 < 0 : source < 0;
                const bool unwritten = source >= position;
                if (before || unwritten) {
                    out.refusal = "the picture's stream at " + Hex(at) + " copies from " +
                                  (before ? "before its start" : "bytes not yet written") + " (input " +
                                  Hex(in.at() - 1) + ")";
                    return out;
                }
                for (int64_t i = 0; i < nn; ++i) {
                    const uint8_t v = command == 6 ? bytes[size_t(source - i)] : bytes[size_t(source + i)];
                    bytes.push_back(command == 5 ? Reversed(v) : v);
                }
                break;
            }
        }
    }
}

std::vector<uint8_t> TilesToPixels(std::span<const uint8_t> tiles, int dim) {
    const int side = dim * kTilePixels;
    std::vector<uint8_t> pixels(size_t(side) * size_t(side), 0);
    for (int t = 0; t < dim * dim; ++t) {
        const int column = t / dim;
        const int row = t % dim;
        const uint8_t* tile = tiles.data() + size_t(t) * kTileBytes;
        for (int r = 0; r < kTilePixels; ++r) {
            const uint8_t low = tile[2 * r];
            const uint8_t high = tile[2 * r + 1];
            uint8_t* line = pixels.data() + size_t(row * kTilePixels + r) * size_t(side) + size_t(column * kTilePixels);
            for (int x = 0; x < kTilePixels; ++x) {
                const int bit = 7 - x;
                line[x] = static_cast<uint8_t>((low >> bit & 1) | (high >> bit & 1) << 1);
            }
        }
    }
    return pixels;
}

int FrontPictureDim(uint8_t byte17) { return byte17 & 0x0F; }

// ---- locating -----------------------------------------------------------------

namespace {

// Every place where one of `patterns` occurs, in pattern order, with the
// index of the pattern.
struct FormMatch {
    RoutineMatch match;
    size_t form = 0;
};

std::vector<FormMatch> FindAll(std::span<const uint8_t> image, std::initializer_list<std::string_view> patterns) {
    std::vector<FormMatch> found;
    size_t form = 0;
    for (const std::string_view text : patterns) {
        for (const RoutineMatch& match : RoutinePattern(text).FindIn(image)) found.push_back({match, form});
        ++form;
    }
    return found;
}

std::string Where(const LocatedTable& table) {
    return table.offset ? Hex(*table.offset) : std::string("no banked address");
}

// The tables the first occurrence gives, when every occurrence gives the same
// (`tablesOf` turns one occurrence into its tables); else each table unproven
// with why.
template <size_t N, typename TablesOf>
std::array<LocatedTable, N> Agreeing(const std::vector<FormMatch>& found, std::string_view what, TablesOf tablesOf) {
    std::array<LocatedTable, N> tables{};
    const auto unproven = [&](const std::string& why) {
        for (LocatedTable& table : tables) table = LocatedTable{std::nullopt, why, std::nullopt, 0};
        return tables;
    };
    const std::string reads = "the routine that reads " + std::string(what);
    if (found.empty()) return unproven(reads + " does not occur in the image");
    tables = tablesOf(found.front());
    for (const FormMatch& other : found) {
        const std::array<LocatedTable, N> its = tablesOf(other);
        for (size_t k = 0; k < N; ++k) {
            if (its[k].offset == tables[k].offset) continue;
            return unproven(reads + " occurs at " + Hex(found.front().match.at) + " and at " + Hex(other.match.at) +
                            ", giving two places (" + Where(tables[k]) + " and " + Where(its[k]) + ")");
        }
    }
    for (LocatedTable& table : tables) {
        table.routineAt = found.front().match.at;
        table.routines = found.size();
    }
    return tables;
}

LocatedTable Located(const RoutineMatch& match, std::string_view what) {
    LocatedTable table;
    table.offset = match.TableOffset();
    if (!table.offset) table.why = "the routine that reads " + std::string(what) + " names no banked address";
    return table;
}

LocatedTable Unproven(std::string why) {
    LocatedTable table;
    table.why = std::move(why);
    return table;
}

// The byte at `at`, or nullopt past the image.
std::optional<uint8_t> ByteAt(std::span<const uint8_t> image, int64_t at) {
    if (at < 0 || at >= int64_t(image.size())) return std::nullopt;
    return image[size_t(at)];
}

// The picture pointers and the letter table one occurrence of a Crystal
// picture routine gives.
std::array<LocatedTable, 2> CrystalTablesOf(std::span<const uint8_t> image, const FormMatch& found) {
    const RoutineMatch& match = found.match;
    std::array<LocatedTable, 2> tables = {Located(match, "the picture pointers"), LocatedTable{}};
    // The letter table: the other branch's bank, at the same address; or, in
    // the form that loads an address in each branch, the next branch's own.
    RoutineMatch letters = match;
    std::optional<uint8_t> bank;
    if (found.form == 0) bank = ByteAt(image, match.at + 11);
    if (found.form == 2) bank = ByteAt(image, match.at + 12);
    if (found.form == 1) {
        const int64_t next = match.at + 11;  // after the first branch's `ld a, [..]`
        if (ByteAt(image, next + 2) == 0x21 && ByteAt(image, next + 5) == 0x16) {
            letters.address = uint16_t(*ByteAt(image, next + 3) | *ByteAt(image, next + 4) << 8);
            bank = ByteAt(image, next + 6);
        }
    }
    if (bank) {
        letters.bank = *bank;
        tables[1] = Located(letters, "the letter pictures");
    } else {
        tables[1] = Unproven("the routine that reads the picture pointers names no letter table");
    }
    return tables;
}

void LocateCrystal(std::span<const uint8_t> image, PictureTables& tables) {
    const std::array<LocatedTable, 2> found = Agreeing<2>(
        FindAll(image, {kCrystalPictureRoutine, kCrystalPictureRoutineBranches, kCrystalPictureRoutineChecked}),
        "the picture pointers", [&](const FormMatch& match) { return CrystalTablesOf(image, match); });
    tables.pointers = found[0];
    tables.letters = found[1];
    tables.eggInTable = true;
    tables.egg = tables.pointers;
}

LocatedTable LocateOne(std::span<const uint8_t> image, std::string_view pattern, std::string_view what) {
    return Agreeing<1>(FindAll(image, {pattern}), what, [&](const FormMatch& match) {
        return std::array<LocatedTable, 1>{Located(match.match, what)};
    })[0];
}

void LocateGold(std::span<const uint8_t> image, PictureTables& tables) {
    tables.pointers = LocateOne(image, kGoldPictureRoutine, "the picture pointers");
    tables.letters = LocateOne(image, kGoldLetterRoutine, "the letter pictures");
    tables.egg = LocateOne(image, kGoldEggRoutine, "the egg picture");
}

// A located table that does not confirm is not proven.
void Confirm(std::span<const uint8_t> image, GameVersion version, PictureTable which, LocatedTable& table) {
    if (!table.offset) return;
    if (std::optional<std::string> why = ConfirmPictureTable(image, version, which, *table.offset)) {
        table.why = "the routine that reads them (at " + Hex(table.routineAt.value_or(0)) + ") gives " +
                    Hex(*table.offset) + ", but " + *why;
        table.offset.reset();
    }
}

}  // namespace

PictureTables LocatePictureTables(std::span<const uint8_t> image, GameVersion version) {
    PictureTables tables;
    tables.version = version;
    const bool crystal = version == GameVersion::Crystal;
    if (crystal) {
        LocateCrystal(image, tables);
    } else {
        LocateGold(image, tables);
    }
    tables.palettes = LocateOne(image, kPaletteRoutine, "the palettes");
    Confirm(image, version, PictureTable::Pointers, tables.pointers);
    Confirm(image, version, PictureTable::Letters, tables.letters);
    if (crystal) {
        tables.egg = tables.pointers;
    } else {
        Confirm(image, version, PictureTable::Egg, tables.egg);
    }
    Confirm(image, version, PictureTable::Palettes, tables.palettes);

    const std::string_view fixUp = crystal ? kCrystalBankFixUpRoutine : kGoldBankFixUpRoutine;
    const std::vector<RoutineMatch> fixUps = RoutinePattern(fixUp).FindIn(image, 2);
    if (fixUps.size() == 1) {
        tables.fixUp = crystal ? BankFixUpKind::Listed : BankFixUpKind::Pairs;
        tables.fixUpList = Located(fixUps[0], "the picture banks");
        if (crystal) tables.fixUpBase = image[size_t(fixUps[0].at + 3)];
    } else if (fixUps.size() > 1) {
        tables.fixUpWhy = "the routine that turns a picture's stored bank into its real bank occurs more than once";
    }
    return tables;
}

std::optional<int64_t> RealBank(std::span<const uint8_t> image, const PictureTables& tables, uint8_t stored,
                                std::string& why) {
    if (!tables.fixUpWhy.empty()) {
        why = tables.fixUpWhy;
        return std::nullopt;
    }
    int64_t real = stored;
    if (tables.fixUp != BankFixUpKind::None) {
        if (!tables.fixUpList.offset) {
            why = tables.fixUpList.why;
            return std::nullopt;
        }
        const int64_t list = *tables.fixUpList.offset;
        const int64_t listEnd = std::min<int64_t>((list / kBank + 1) * kBank, int64_t(image.size()));
        if (tables.fixUp == BankFixUpKind::Listed) {
            // The game subtracts in 8 bits and indexes the list with the result.
            const int64_t at = list + uint8_t(stored - tables.fixUpBase);
            if (at >= listEnd) {
                why = "its stored bank " + Hex(stored) + " leads past the end of the bank list";
                return std::nullopt;
            }
            real = image[size_t(at)];
        } else {
            for (int64_t at = list;; at += 2) {
                if (at >= listEnd) {
                    why = "the list of picture banks has no end";
                    return std::nullopt;
                }
                if (image[size_t(at)] == 0xFF) break;
                if (at + 1 >= listEnd) {
                    why = "the list of picture banks has no end";
                    return std::nullopt;
                }
                if (image[size_t(at)] == stored) {
                    real = image[size_t(at + 1)];
                    break;
                }
            }
        }
    }
    if (real * kBank >= int64_t(image.size())) {
        why = "its bank " + Hex(real) + " lies past the end of the image";
        return std::nullopt;
    }
    return real;
}

namespace {

Picture Refused(std::string why) {
    Picture picture;
    picture.refusal = std::move(why);
    return picture;
}

// The picture whose stream lies at `address` of the real `bank`.
Picture Decoded(std::span<const uint8_t> image, const PictureTables& tables, int64_t bank, uint16_t address, int dim) {
    const std::optional<int64_t> at = BankedOffset(bank, address);
    if (!at) return Refused("its address " + Hex(address) + " lies outside the banked area 0x4000 to 0x7FFF");
    if (dim < 1 || dim > kPictureBoxDim) {
        return Refused("its size of " + std::to_string(dim) + " tiles is not one the game shows (1 to 7)");
    }
    DecodedStream stream = DecodePictureStream(image, *at, PictureRoom(tables.version));
    if (!stream.ok()) return Refused(stream.refusal);
    const size_t wanted = size_t(dim * dim) * kTileBytes;
    if (stream.bytes.size() < wanted) {
        return Refused("its stream at " + Hex(*at) + " decodes to " + std::to_string(stream.bytes.size()) +
                       " bytes, fewer than the " + std::to_string(wanted) + " of " + std::to_string(dim) + " x " +
                       std::to_string(dim) + " tiles");
    }
    Picture picture;
    picture.dim = dim;
    picture.pixels = TilesToPixels(stream.bytes, dim);
    return picture;
}

}  // namespace

Picture ReadPicture(std::span<const uint8_t> image, const PictureTables& tables, const PictureId& id, int frontDim) {
    const bool egg = id.species == kEggSpecies;
    const int dim = id.back ? kBackPictureDim : egg ? kEggPictureDim : frontDim;
    if (egg && !tables.eggInTable) {
        if (id.back) {
            Picture none;
            none.absent = true;
            return none;
        }
        if (!tables.egg.offset) return Refused(tables.egg.why);
        // The code names the egg's real bank and address.
        const int64_t offset = *tables.egg.offset;
        return Decoded(image, tables, offset / kBank, uint16_t(0x4000 + offset % kBank), dim);
    }
    const bool letter = id.species == kLetterSpecies && id.letter >= 0;
    const LocatedTable& table = letter ? tables.letters : tables.pointers;
    if (!table.offset) return Refused(table.why);
    int index = 0;
    if (letter) {
        if (id.letter >= kLetterCount) return Refused("there are 26 letters");
        index = id.letter;
    } else {
        if (id.species < 1 || (id.species > kSpeciesCount && !(egg && tables.eggInTable))) {
            return Refused("there is no species " + std::to_string(id.species));
        }
        index = id.species - 1;
    }
    const int64_t entry = *table.offset + int64_t(index) * int64_t(kPictureEntryBytes) + (id.back ? 3 : 0);
    if (entry + 3 > int64_t(image.size())) return Refused("its entry lies past the end of the image");
    PicturePointer pointer;
    pointer.storedBank = image[size_t(entry)];
    pointer.address = uint16_t(image[size_t(entry + 1)] | image[size_t(entry + 2)] << 8);
    if (pointer.absent()) {
        Picture none;
        none.absent = true;
        return none;
    }
    std::string why;
    const std::optional<int64_t> bank = RealBank(image, tables, pointer.storedBank, why);
    if (!bank) return Refused(why);
    return Decoded(image, tables, *bank, pointer.address, dim);
}

std::optional<std::string> ConfirmPictureTable(std::span<const uint8_t> image, GameVersion version,
                                               PictureTable table, int64_t offset) {
    int64_t length = 0;
    std::string what;
    switch (table) {
        case PictureTable::Pointers:
            what = "the picture pointers";
            length = int64_t(version == GameVersion::Crystal ? kEggSpecies : kSpeciesCount) * int64_t(kPictureEntryBytes);
            break;
        case PictureTable::Letters:
            what = "the letter pictures";
            length = int64_t(kLetterCount) * int64_t(kPictureEntryBytes);
            break;
        case PictureTable::Egg:
            what = "the egg picture";
            length = 1;
            break;
        case PictureTable::Palettes:
            what = "the palettes";
            length = int64_t(kSpeciesCount + 1) * int64_t(kPaletteEntryBytes);
            break;
    }
    const auto size = int64_t(image.size());
    if (offset < 0 || offset + length > size) {
        return what + " at " + Hex(offset) + " would end at " + Hex(offset + length) + ", past the end of the image";
    }
    if (table == PictureTable::Egg) {
        const DecodedStream stream = DecodePictureStream(image, offset, PictureRoom(version));
        if (!stream.ok()) return stream.refusal;
        const size_t wanted = size_t(kEggPictureDim * kEggPictureDim) * kTileBytes;
        if (stream.bytes.size() < wanted) {
            return "the egg picture's stream at " + Hex(offset) + " decodes to " + std::to_string(stream.bytes.size()) +
                   " bytes, fewer than the " + std::to_string(wanted) + " of its 5 x 5 tiles";
        }
    }
    return std::nullopt;
}

// ---- palettes -----------------------------------------------------------------

std::optional<int64_t> PaletteOffset(std::span<const uint8_t> image, const PictureTables& tables, int speciesNumber) {
    if (!tables.palettes.offset || speciesNumber < 0 || speciesNumber > 255) return std::nullopt;
    const int64_t at = *tables.palettes.offset + int64_t(speciesNumber) * int64_t(kPaletteEntryBytes);
    if (at + int64_t(kPaletteEntryBytes) > int64_t(image.size())) return std::nullopt;
    return at;
}

std::optional<Palette> ReadPalette(std::span<const uint8_t> image, const PictureTables& tables, int speciesNumber) {
    const std::optional<int64_t> at = PaletteOffset(image, tables, speciesNumber);
    if (!at) return std::nullopt;
    Palette palette{};
    for (size_t k = 0; k < palette.size(); ++k) {
        palette[k] = uint16_t((image[size_t(*at) + 2 * k] | image[size_t(*at) + 2 * k + 1] << 8) & 0x7FFF);
    }
    return palette;
}

std::array<uint8_t, 3> ColourToRgb(uint16_t colour) {
    return {ChannelTo8(colour & 0x1F), ChannelTo8(colour >> 5 & 0x1F), ChannelTo8(colour >> 10 & 0x1F)};
}

}  // namespace rom
