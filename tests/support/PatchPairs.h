#pragma once
// Synthetic image pairs that behave like a game and a modified copy of it,
// for the patch tests and the patch benchmark. The image is 2 MiB of 16 KiB
// banks of code-like, tile-like, text-like and record-like bytes with padding
// at the ends of banks, and the four species tables of the version at their
// offsets; every byte comes from a seeded generator, none from a real image.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "rom/SpeciesLayout.h"

namespace patchpairs {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kImageSize = size_t{2} << 20;
inline constexpr size_t kBankSize = 0x4000;

namespace detail {

inline void Code(std::mt19937& random, Bytes& bank) {
    // Opcodes from a small, skewed set; operands are small values or
    // addresses in the switchable bank; earlier fragments come back often.
    static constexpr uint8_t kOpcodes[] = {0x3E, 0xCD, 0xC9, 0x21, 0x11, 0x01, 0xFA, 0xEA, 0x18, 0x20,
                                           0x28, 0xC3, 0x7E, 0x77, 0x23, 0x2A, 0x22, 0xE5, 0xE1, 0xF5,
                                           0xF1, 0xFE, 0xA7, 0xAF, 0x3C, 0x3D, 0x05, 0x0D, 0x78, 0x47};
    size_t at = 0;
    while (at < bank.size()) {
        if (at > 64 && random() % 10 < 3) {
            const size_t length = std::min<size_t>(3 + random() % 22, bank.size() - at);
            const size_t from = random() % (at - length + 1);
            std::copy_n(bank.begin() + static_cast<std::ptrdiff_t>(from), length,
                        bank.begin() + static_cast<std::ptrdiff_t>(at));
            at += length;
            continue;
        }
        const uint8_t opcode = kOpcodes[std::min<size_t>(random() % 40, std::size(kOpcodes) - 1)];
        bank[at++] = opcode;
        const size_t operands = opcode == 0xCD || opcode == 0xC3 || opcode == 0xFA || opcode == 0xEA ||
                                        opcode == 0x21 || opcode == 0x11 || opcode == 0x01
                                    ? 2
                                    : (opcode == 0x3E || opcode == 0x18 || opcode == 0x20 || opcode == 0x28 ||
                                       opcode == 0xFE)
                                          ? 1
                                          : 0;
        if (operands == 2 && at + 1 < bank.size()) {
            const uint32_t address = 0x4000 + random() % 0x4000;
            bank[at++] = static_cast<uint8_t>(address);
            bank[at++] = static_cast<uint8_t>(address >> 8);
        } else if (operands == 1 && at < bank.size()) {
            bank[at++] = static_cast<uint8_t>(random() % 64);
        }
    }
}

inline void Tiles(std::mt19937& random, Bytes& bank) {
    // 16-byte tiles of rows from a small set of rows; some tiles repeat.
    uint8_t rows[16][2];
    for (auto& row : rows) {
        row[0] = static_cast<uint8_t>(random());
        row[1] = static_cast<uint8_t>(random());
    }
    for (size_t at = 0; at + 16 <= bank.size(); at += 16) {
        if (at >= 16 && random() % 5 == 0) {
            const size_t from = 16 * (random() % (at / 16));
            std::copy_n(bank.begin() + static_cast<std::ptrdiff_t>(from), 16,
                        bank.begin() + static_cast<std::ptrdiff_t>(at));
            continue;
        }
        for (size_t r = 0; r < 8; ++r) {
            const auto& row = rows[random() % 16];
            bank[at + 2 * r] = row[0];
            bank[at + 2 * r + 1] = row[1];
        }
    }
}

inline void Text(std::mt19937& random, Bytes& bank) {
    // Words of a small vocabulary, spaces and line ends.
    std::vector<Bytes> words(150);
    for (Bytes& word : words) {
        word.resize(2 + random() % 7);
        for (uint8_t& letter : word) letter = static_cast<uint8_t>(0x80 + random() % 26);
    }
    size_t at = 0;
    while (at < bank.size()) {
        const Bytes& word = words[std::min(random() % 150, random() % 150)];
        for (size_t k = 0; k < word.size() && at < bank.size(); ++k) bank[at++] = word[k];
        if (at < bank.size()) bank[at++] = random() % 8 == 0 ? 0x4F : 0x7F;
    }
}

inline void Records(std::mt19937& random, Bytes& bank) {
    // Records of one size per bank, whose fields have their own small ranges.
    const size_t size = 4 + random() % 29;
    std::vector<uint32_t> ranges(size);
    // One draw a statement: the order of two draws in one expression is the
    // compiler's choice, and a sanitizer build chooses differently.
    for (uint32_t& range : ranges) {
        const uint32_t draw = random();
        range = 1 + draw % (random() % 2 == 0 ? 16 : 200);
    }
    for (size_t at = 0; at + size <= bank.size(); at += size) {
        for (size_t k = 0; k < size; ++k) bank[at + k] = static_cast<uint8_t>(random() % ranges[k]);
    }
}

inline void SpeciesTables(std::mt19937& random, Bytes& image, const rom::VersionProfile& profile) {
    for (int32_t species = 0; species < rom::kSpeciesCount; ++species) {
        const size_t base = static_cast<size_t>(profile.BaseStatsOffset) + 32 * static_cast<size_t>(species);
        image[base] = static_cast<uint8_t>(species + 1);
        for (size_t k = 1; k < 32; ++k) image[base + k] = static_cast<uint8_t>(k <= 6 ? 20 + random() % 130 : random() % 28);
        image[static_cast<size_t>(profile.MenuIconOffset) + static_cast<size_t>(species)] =
            static_cast<uint8_t>(random() % 40);
        const size_t cry = static_cast<size_t>(profile.CryTableOffset) + 6 * static_cast<size_t>(species);
        for (size_t k = 0; k < 6; ++k) image[cry + k] = static_cast<uint8_t>(random() % (k % 2 == 0 ? 64 : 4));
        const size_t pointer = static_cast<size_t>(profile.EvoMovePointerOffset) + 2 * static_cast<size_t>(species);
        const uint32_t address = 0x6000 + 40 * static_cast<uint32_t>(species) + random() % 20;
        image[pointer] = static_cast<uint8_t>(address);
        image[pointer + 1] = static_cast<uint8_t>(address >> 8);
    }
}

// The bytes each species table of the profile covers: offset and size.
inline std::vector<std::pair<size_t, size_t>> TableSpans(const rom::VersionProfile& profile) {
    return {{static_cast<size_t>(profile.BaseStatsOffset), 32 * rom::kSpeciesCount},
            {static_cast<size_t>(profile.MenuIconOffset), rom::kSpeciesCount},
            {static_cast<size_t>(profile.CryTableOffset), 6 * rom::kSpeciesCount},
            {static_cast<size_t>(profile.EvoMovePointerOffset), 2 * rom::kSpeciesCount}};
}

inline size_t DifferentBytes(const Bytes& a, const Bytes& b) {
    size_t count = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) count += a[i] != b[i];
    return count + std::max(a.size(), b.size()) - std::min(a.size(), b.size());
}

}  // namespace detail

// Banks of `count` x 16 KiB from the seed.
inline Bytes SyntheticBanks(uint32_t seed, size_t count) {
    std::mt19937 random(seed);
    Bytes bytes;
    bytes.reserve(count * kBankSize);
    for (size_t b = 0; b < count; ++b) {
        Bytes bank(kBankSize, 0x00);
        switch (random() % 10) {
            case 0: case 1: case 2: case 3: detail::Code(random, bank); break;
            case 4: case 5: case 6: detail::Tiles(random, bank); break;
            case 7: detail::Text(random, bank); break;
            default: detail::Records(random, bank); break;
        }
        if (random() % 10 < 7) {
            const size_t padding = random() % 6000;
            std::fill(bank.end() - static_cast<std::ptrdiff_t>(padding), bank.end(), random() % 4 == 0 ? 0x00 : 0xFF);
        }
        bytes.insert(bytes.end(), bank.begin(), bank.end());
    }
    return bytes;
}

// A 2 MiB image of the version: banks from the seed, the version's species
// tables at the offsets of its default profile.
inline Bytes SyntheticGame(uint32_t seed, rom::GameVersion version) {
    Bytes image = SyntheticBanks(seed, kImageSize / kBankSize);
    std::mt19937 random(seed ^ 0x5EC1E5);
    detail::SpeciesTables(random, image, rom::DefaultProfile(version));
    return image;
}

enum class Change {
    OneSpecies,          // the 23 fields of one species
    InsertedBlock,       // 64 KiB inserted in the middle: new, copied and free
    ScatteredRuns,       // 5% of the bytes, in runs of 1 to 16 at random places
    BanksSwapped,        // eight pairs of banks trade places
    OtherVersionTables,  // another version's species tables laid over
    Revision,            // a revision: the header and a dozen places of code
};

inline constexpr Change kChanges[] = {Change::OneSpecies,   Change::InsertedBlock,      Change::ScatteredRuns,
                                      Change::BanksSwapped, Change::OtherVersionTables, Change::Revision};

inline const char* ChangeName(Change change) {
    switch (change) {
        case Change::OneSpecies: return "OneSpecies";
        case Change::InsertedBlock: return "Inserted64KiB";
        case Change::ScatteredRuns: return "ScatteredRuns5Percent";
        case Change::BanksSwapped: return "BanksSwapped";
        case Change::OtherVersionTables: return "OtherVersionTables";
        case Change::Revision: return "Revision";
    }
    return "";
}

// A stretch of the modified image: `length` bytes copied from the original
// at `from`, or new bytes when `from` is kNew.
struct Piece {
    static constexpr size_t kNew = SIZE_MAX;
    size_t from = kNew;
    size_t length = 0;
};

struct Pair {
    Bytes original;
    Bytes modified;
    // The size of the change: bytes whose value differs at the same offset,
    // or for an insertion the bytes inserted.
    size_t changedBytes = 0;
    // How the modified image was made, piece after piece, where the pair
    // says (OneSpecies and Revision); empty otherwise.
    std::vector<Piece> pieces;
};

namespace detail {

// Pieces for a copy of `original` whose bytes differ only in place.
inline std::vector<Piece> InPlacePieces(const Bytes& original, const Bytes& modified) {
    std::vector<Piece> pieces;
    for (size_t i = 0; i < modified.size(); ++i) {
        const size_t from = original[i] == modified[i] ? i : Piece::kNew;
        if (!pieces.empty() && (from == Piece::kNew ? pieces.back().from == Piece::kNew
                                                    : pieces.back().from + pieces.back().length == from)) {
            ++pieces.back().length;
        } else {
            pieces.push_back({from, 1});
        }
    }
    return pieces;
}

// A revision of the game as its maker would build it: the header's version
// and checksums, then twelve places in code, each a few bytes replaced, or a
// few inserted or deleted with the code after them moved up to the padding
// that takes up the difference, one address in the moved code corrected.
class RevisionBuilder {
public:
    RevisionBuilder(const Bytes& original, std::mt19937& random) : original_(original), random_(random) {}

    void Build(Pair& pair) {
        Replace(0x14C, 4);
        std::vector<size_t> places;
        for (int k = 0; k < 12; ++k) places.push_back(0x4000 + random_() % (kImageSize - 0x5000));
        std::sort(places.begin(), places.end());
        for (const size_t at : places) {
            if (at < kept_) continue;
            const size_t window = 24 + random_() % 200;
            switch (random_() % 3) {
                case 0: Replace(at, 1 + random_() % 40); break;
                case 1: Inserted(at, 1 + random_() % 6, window); break;
                default: Deleted(at, 1 + random_() % 6, window); break;
            }
        }
        Keep(original_.size());
        pair.pieces = std::move(pieces_);
        pair.modified = std::move(modified_);
    }

private:
    void Keep(size_t to) { Copy(kept_, to - kept_); kept_ = to; }

    void Copy(size_t from, size_t length) {
        if (length == 0) return;
        pieces_.push_back({from, length});
        modified_.insert(modified_.end(), original_.begin() + static_cast<std::ptrdiff_t>(from),
                         original_.begin() + static_cast<std::ptrdiff_t>(from + length));
    }

    // New bytes, each different from the original's at `at` on.
    void Fresh(size_t at, size_t length) {
        pieces_.push_back({Piece::kNew, length});
        for (size_t k = 0; k < length; ++k) {
            modified_.push_back(static_cast<uint8_t>(original_[at + k] ^ (1 + random_() % 255)));
        }
    }

    // The moved code, `length` bytes from `from`, with the address in it
    // that pointed past the change corrected by `shift`.
    void Moved(size_t from, size_t length, int shift) {
        const size_t address = length / 2;
        Copy(from, address);
        pieces_.push_back({Piece::kNew, 1});
        modified_.push_back(static_cast<uint8_t>(original_[from + address] + shift));
        Copy(from + address + 1, length - address - 1);
    }

    void Replace(size_t at, size_t length) {
        Keep(at);
        Fresh(at, length);
        kept_ = at + length;
    }

    void Inserted(size_t at, size_t length, size_t window) {
        Keep(at);
        Fresh(at, length);
        Moved(at, window - length, static_cast<int>(length));
        kept_ = at + window;
    }

    void Deleted(size_t at, size_t length, size_t window) {
        Keep(at);
        Moved(at + length, window - length, -static_cast<int>(length));
        pieces_.push_back({Piece::kNew, length});
        modified_.insert(modified_.end(), length, 0xFF);
        kept_ = at + window;
    }

    const Bytes& original_;
    std::mt19937& random_;
    Bytes modified_;
    std::vector<Piece> pieces_;
    size_t kept_ = 0;
};

}  // namespace detail

// The Crystal-laid-out image of the seed and a modified copy of it.
inline Pair MakePair(Change change, uint32_t seed = 20261208) {
    constexpr rom::GameVersion kVersion = rom::GameVersion::Crystal;
    Pair pair;
    pair.original = SyntheticGame(seed, kVersion);
    Bytes& modified = pair.modified;
    modified = pair.original;
    std::mt19937 random(seed + static_cast<uint32_t>(change));
    switch (change) {
        case Change::Revision:
            detail::RevisionBuilder(pair.original, random).Build(pair);
            break;
        case Change::OneSpecies:
            for (const rom::SpeciesField& field : rom::kSpeciesFields) {
                const std::optional<int32_t> offset = rom::FieldOffset(rom::DefaultProfile(kVersion), 24, field);
                for (int32_t k = 0; offset && k < field.width; ++k) {
                    modified[static_cast<size_t>(*offset + k)] ^= static_cast<uint8_t>(1 + random() % 255);
                }
            }
            break;
        case Change::InsertedBlock: {
            // As a modification grows a game: a bank of new code, a copy of
            // an existing bank with 2% of it changed, and two banks of free
            // space.
            Bytes block = SyntheticBanks(seed + 99, 1);
            const size_t copied = kBankSize * (1 + random() % (kImageSize / kBankSize - 1));
            block.insert(block.end(), pair.original.begin() + static_cast<std::ptrdiff_t>(copied),
                         pair.original.begin() + static_cast<std::ptrdiff_t>(copied + kBankSize));
            for (size_t k = 0; k < kBankSize / 50; ++k) block[kBankSize + random() % kBankSize] = static_cast<uint8_t>(random());
            block.resize(4 * kBankSize, 0xFF);
            modified.insert(modified.begin() + static_cast<std::ptrdiff_t>(kImageSize / 2), block.begin(), block.end());
            pair.changedBytes = block.size();
            return pair;
        }
        case Change::ScatteredRuns: {
            size_t written = 0;
            while (written < kImageSize / 20) {
                const size_t length = 1 + random() % 16;
                const size_t at = random() % (kImageSize - length);
                for (size_t k = 0; k < length; ++k) modified[at + k] = static_cast<uint8_t>(random());
                written += length;
            }
            break;
        }
        case Change::BanksSwapped:
            for (int swap = 0; swap < 8; ++swap) {
                const size_t a = 1 + random() % (kImageSize / kBankSize - 1);
                const size_t b = 1 + random() % (kImageSize / kBankSize - 1);
                std::swap_ranges(modified.begin() + static_cast<std::ptrdiff_t>(a * kBankSize),
                                 modified.begin() + static_cast<std::ptrdiff_t>((a + 1) * kBankSize),
                                 modified.begin() + static_cast<std::ptrdiff_t>(b * kBankSize));
            }
            break;
        case Change::OtherVersionTables: {
            // The other version's tables are these with two records in five
            // changed in a few bytes, and lie at its own offsets.
            const auto ours = detail::TableSpans(rom::DefaultProfile(kVersion));
            const auto theirs = detail::TableSpans(rom::DefaultProfile(rom::GameVersion::Gold));
            for (size_t t = 0; t < ours.size(); ++t) {
                Bytes table(pair.original.begin() + static_cast<std::ptrdiff_t>(ours[t].first),
                            pair.original.begin() + static_cast<std::ptrdiff_t>(ours[t].first + ours[t].second));
                const size_t entry = table.size() / rom::kSpeciesCount;
                for (size_t species = 0; species < rom::kSpeciesCount; ++species) {
                    if (random() % 5 >= 2) continue;
                    for (int k = 0; k < 3; ++k) table[species * entry + random() % entry] ^= static_cast<uint8_t>(1 + random() % 255);
                }
                std::copy(table.begin(), table.end(), modified.begin() + static_cast<std::ptrdiff_t>(theirs[t].first));
            }
            break;
        }
    }
    if (change == Change::OneSpecies) pair.pieces = detail::InPlacePieces(pair.original, modified);
    pair.changedBytes = detail::DifferentBytes(pair.original, modified);
    return pair;
}

}  // namespace patchpairs
