#include "tables/ImageLists.h"

#include <optional>

#include "tables/FieldText.h"

namespace tables {

namespace {

std::string Worded(const std::optional<rom::ListLayRefusal>& refusal, std::string_view what) {
    if (!refusal) return {};
    if (refusal->unreadableSpecies < 0) return refusal->text;
    const int32_t p = refusal->unreadableSpecies;
    return "The " + std::string(what) + " must be packed again, but the list of species " + std::to_string(p) + " (" +
           std::string(SpeciesName(p)) + ") is unreadable: " + refusal->text + ". Nothing was written.";
}

}  // namespace

ListLayout ListLayoutOf(const TableImage& image) {
    return rom::ListLayoutOf(image.bytes, image.profile, image.resolved);
}

SpeciesLists ReadSpeciesLists(const TableImage& image) {
    return rom::ReadSpeciesLists(image.bytes, image.profile, ListLayoutOf(image));
}

std::string LayEvoMoveLists(std::vector<uint8_t>& image, const SpeciesLists& lists,
                            const std::array<EvoMoveContents, rom::kSpeciesCount>& wanted) {
    return Worded(rom::LayEvoMoveLists(image, lists, wanted), "evolution and move lists");
}

std::string LayEggMoveLists(std::vector<uint8_t>& image, const SpeciesLists& lists,
                            const std::array<std::vector<uint8_t>, rom::kSpeciesCount>& wanted) {
    return Worded(rom::LayEggMoveLists(image, lists, wanted), "egg move lists");
}

}  // namespace tables
