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

std::string RoomText(const rom::ListRoom& room) {
    const std::string area = std::to_string(room.area);
    std::string text = room.free ? std::to_string(*room.free) + (*room.free == 1 ? " byte" : " bytes") + " free of " + area
                                 : "unknown (a list cannot be read), " + area + " bytes in all";
    if (!room.grows) text += " (the lists may shrink but not grow: the image tells no free space after them)";
    return text;
}

std::optional<std::string> RoomLine(RoomOf area, const SpeciesLists& before, const SpeciesLists* after) {
    const auto roomOf = [area](const SpeciesLists& lists) {
        return area == RoomOf::EvoMoves ? std::optional<rom::ListRoom>(rom::EvoMoveRoom(lists)) : rom::EggMoveRoom(lists);
    };
    const std::optional<rom::ListRoom> room = roomOf(before);
    if (!room) return std::nullopt;
    std::string line = std::string("Room for ") +
                       (area == RoomOf::EvoMoves ? "evolutions and level-up moves: " : "egg moves: ") + RoomText(*room);
    const std::optional<rom::ListRoom> left = after != nullptr ? roomOf(*after) : std::nullopt;
    if (left && left->free) {
        return line + "; the import would leave " + std::to_string(*left->free) + (*left->free == 1 ? " byte" : " bytes") +
               " free.";
    }
    return line + ".";
}

}  // namespace tables
