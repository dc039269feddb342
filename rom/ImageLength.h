#pragma once
// An image's length against its header: too short to hold a header at all,
// or shorter (or longer) than the length its ROM-size byte declares. One
// wording for every command that reads an image.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace rom {

// True when the image holds the whole cartridge header (0x150 bytes).
bool HoldsHeader(int64_t size);

// The refusal of an image too short to hold a header, as one sentence:
// Could not check the image "PATH": it is N bytes long, too short to hold a
// cartridge header (336 bytes).
std::string TooShortMessage(const std::string& path, int64_t size);

// The image's real length and the length its header declares.
struct ImageLength {
    int64_t size = 0;
    uint8_t romSizeByte = 0;
    std::optional<int64_t> declared;  // nullopt for a ROM-size byte that declares no known length
    bool Shorter() const { return declared && size < *declared; }
    bool Differs() const { return declared && size != *declared; }
};

// The lengths of an image held in memory (a byte it lacks reads as 0).
ImageLength LengthOf(std::span<const uint8_t> image);

// "PATH" is N bytes long, shorter than the D bytes its header declares
// (ROM-size byte 0xNN at 0x148)... as a warning; longer images are described
// as longer. Empty when the lengths agree or nothing is declared.
std::string LengthWarning(const std::string& path, const ImageLength& length);

}  // namespace rom
