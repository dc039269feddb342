#include "rom/ImageLength.h"

#include "rom/FieldConversions.h"
#include "rom/ImageFacts.h"

namespace rom {

bool HoldsHeader(int64_t size) { return size >= kHeaderEnd; }

std::string TooShortMessage(const std::string& path, int64_t size) {
    return "Could not check the image \"" + path + "\": it is " + std::to_string(size) +
           (size == 1 ? " byte" : " bytes") + " long, too short to hold a cartridge header (" +
           std::to_string(kHeaderEnd) + " bytes).";
}

ImageLength LengthOf(std::span<const uint8_t> image) {
    ImageLength length;
    length.size = static_cast<int64_t>(image.size());
    length.romSizeByte = length.size > kRomSizeOffset ? image[static_cast<size_t>(kRomSizeOffset)] : 0;
    length.declared = DeclaredRomSize(length.romSizeByte);
    return length;
}

std::string LengthWarning(const std::string& path, const ImageLength& length) {
    if (!length.Differs()) return {};
    const std::string declares = "the " + std::to_string(*length.declared) +
                                 " bytes its header declares (ROM-size byte 0x" + TwoDigitHex(length.romSizeByte) +
                                 " at 0x148)";
    std::string text = "warning: \"" + path + "\" is " + std::to_string(length.size) + " bytes long, ";
    if (length.Shorter()) return text + "shorter than " + declares + "; it may have been cut.";
    return text + "longer than " + declares + ".";
}

}  // namespace rom
