#include "tables/PointerTargets.h"

#include <cstdio>
#include <optional>
#include <string>

#include "rom/FieldConversions.h"
#include "tables/FieldText.h"
#include "tables/ImageLists.h"

namespace tables {

namespace {

std::string Hex(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string Named(int32_t position) {
    return std::to_string(position) + " " + std::string(SpeciesName(position));
}

// Where a changed pointer leads, when that is not the start of a complete
// list: "to 0x427A5, into the middle of ...". Empty when it is.
std::string StrayTarget(const TableImage& image, const SpeciesLists& lists, uint16_t address) {
    const int64_t table = image.profile.EvoMovePointerOffset;
    if (address < 0x4000 || address > 0x7FFF) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(address));
        return std::string("to no list: the address ") + text + " lies outside 0x4000 to 0x7FFF";
    }
    const EvoMoveList target = ReadEvoMoveListAt(image.bytes, table, address);
    const int64_t at = target.place.offset;
    const std::string to = "to " + Hex(at) + ", ";
    if (at >= table && at < table + kPointerTableLength) return to + "inside the pointer table itself";
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
        const ListPlace& list = lists.evoMoves[static_cast<size_t>(p)].place;
        if (!list.readable() || list.offset == at) continue;
        const std::string whose = "the list of " + Named(p) + " (" + Hex(list.offset) + " to " +
                                  Hex(list.offset + list.length - 1) + ")";
        if (at > list.offset && at < list.offset + list.length) return to + "into the middle of " + whose;
        if (target.place.readable() && at < list.offset && at + target.place.length > list.offset) {
            return to + "where the bytes read as a list run into " + whose;
        }
    }
    if (!target.place.readable()) return to + "where no complete list reads (" + target.place.unreadable + ")";
    return {};
}

}  // namespace

void RefuseStrayPointers(const TableImage& image, ImportedTable& imported) {
    const size_t pointer = FieldIndex(*rom::FindField("Pointer"));
    std::optional<SpeciesLists> lists;  // read once, only when a pointer changes
    for (const ImportedRow& row : imported.rows) {
        const FieldBytes& wanted = row.values.fields[pointer];
        if (!row.given[pointer] || wanted == image.table[static_cast<size_t>(row.position)].fields[pointer]) continue;
        if (!lists) lists = ReadSpeciesLists(image);
        const auto address = static_cast<uint16_t>(wanted[0] | wanted[1] << 8);
        const std::string stray = StrayTarget(image, *lists, address);
        if (stray.empty()) continue;
        const std::string text = rom::TwoDigitHex(wanted[0]) + rom::TwoDigitHex(wanted[1]);
        imported.Refuse(
            {row.line, 0, "Pointer",
             "the Pointer of " + Named(row.position) + " changes to \"" + text + "\", which leads " + stray +
                 ". A Pointer may change only to the start of a complete list of evolutions and level-up moves. "
                 "The file was likely exported before the lists were packed again, or from another image: export "
                 "the species table again, or leave the Pointer column out."});
    }
}

}  // namespace tables
