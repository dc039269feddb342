#pragma once
// The game's own code as evidence of where its tables are. The game reads each
// table through a short routine whose instructions carry the table's address
// (and often the bank that holds it) as operands; a routine is written here as
// a pattern of its bytes in file order:
//
//     "3E BB E0 ?? EA 00 20 21 LL HH 19 19 19 19 19 19"
//
// Two hex digits are a fixed byte; "??" any byte; "LL" and "HH" the low and
// high byte of the table's bank-local address (0x4000 to 0x7FFF); "BB" the
// bank that holds the table; "NN" a length operand. Without "BB" the table
// lies in the bank that holds the routine itself. (A literal 0xBB byte cannot
// be written; none of the game's routines needs one.)

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace rom {

inline constexpr int64_t kRoutineBankSize = 0x4000;

// One place where a routine's bytes occur.
struct RoutineMatch {
    int64_t at = 0;                 // file offset of the routine's first byte
    uint16_t address = 0;           // HHLL as the game reads it
    std::optional<uint8_t> bank;    // BB, when the pattern has it
    std::optional<uint8_t> length;  // NN, when the pattern has it

    // The bank the address refers to: BB, else the bank holding the routine.
    int64_t TableBank() const;
    // The file offset the address leads to in that bank; nullopt for an
    // address outside 0x4000 to 0x7FFF, which no banked table can have.
    std::optional<int64_t> TableOffset() const;
};

// A parsed pattern. Construction never fails: a token that is none of the
// forms above is a programming error and makes the pattern match nothing.
class RoutinePattern {
public:
    explicit RoutinePattern(std::string_view text);

    // Every place where the pattern occurs in `image`, in file order; at most
    // `limit`. The longest run of fixed bytes is searched for first, so a 2 MiB
    // image is scanned once per pattern.
    std::vector<RoutineMatch> FindIn(std::span<const uint8_t> image, size_t limit = 16) const;

    // The routine's bytes with the operands filled in and every "??" as
    // `filler`: a routine to plant in a synthetic image.
    std::vector<uint8_t> Bytes(uint16_t address, uint8_t bank, uint8_t length = 0, uint8_t filler = 0) const;

    size_t size() const { return tokens_.size(); }
    bool valid() const { return valid_; }

private:
    enum class Kind : uint8_t { Fixed, Any, Low, High, Bank, Length };
    struct Token {
        Kind kind;
        uint8_t value;
    };
    bool Matches(std::span<const uint8_t> image, int64_t at, RoutineMatch& match) const;

    std::vector<Token> tokens_;
    size_t anchor_ = 0;        // first token of the longest run of fixed bytes
    size_t anchorLength_ = 0;  // its length
    bool valid_ = true;
};

// The routines through which the game reads its five species tables.
// Base records: switch to bank BB, compare with 0xFD (the egg), subtract one,
// multiply by 32 (`01 20 00` twice) from HHLL.
inline constexpr std::string_view kBaseRecordRoutine =
    "3E BB D7 FA ?? ?? FE FD 28 ?? 3D 01 20 00 21 LL HH CD ?? ?? 11 ?? ?? 01 20 00 CD";
// Menu icons: index HHLL, in the routine's own bank, by the species minus one.
inline constexpr std::string_view kMenuIconRoutine = "FE FD 28 ?? 3D 21 LL HH 5F 16 00 19 7E C9";
// Cry entries: add the species six times (entries of 6 bytes) to HHLL in bank BB.
inline constexpr std::string_view kCryRoutine = "3E BB E0 ?? EA 00 20 21 LL HH 19 19 19 19 19 19";
// Evolution/move pointers: add the species twice and read a word from bank BB.
inline constexpr std::string_view kEvoMovePointerRoutine =
    "FA ?? ?? 3D 4F 06 00 21 LL HH 09 09 3E BB CD ?? ?? C1 C5";
// Egg move pointers: the same, then read bytes until 0xFF.
inline constexpr std::string_view kEggMovePointerRoutine =
    "FA ?? ?? 3D 4F 06 00 21 LL HH 09 09 3E BB CD ?? ?? 3E ?? CD ?? ?? FE FF";

// The file offset of a bank-local address in `bank`; nullopt outside 0x4000 to 0x7FFF.
std::optional<int64_t> BankedOffset(int64_t bank, uint16_t address);

}  // namespace rom
