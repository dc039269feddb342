#include "rom/SpeciesNames.h"

#include <array>
#include <vector>

#include "rom/CodeRoutines.h"
#include "rom/HexDigits.h"
#include "rom/SpeciesLayout.h"

namespace rom {

namespace {

std::string Hex(int64_t value) { return "0x" + hexdigits::Of(static_cast<uint64_t>(value)); }

// A routine and the field length its code proves.
struct NameRoutine {
    std::string_view pattern;
    int fieldLength;
};
constexpr std::array<NameRoutine, 3> kNameRoutines = {{
    {kCrystalNameRoutine, kNameFieldLength},
    {kGoldSilverNameRoutine10, kNameFieldLength},
    {kGoldSilverNameRoutine5, kJapaneseNameFieldLength},
}};

NamesLocation Fault(std::string fault) {
    NamesLocation location;
    location.fault = std::move(fault);
    return location;
}

// The first field that is not a name field (a byte other than 0x50 after its
// first 0x50), or -1; and whether any name ends before its field does.
struct FieldShape {
    int32_t firstBad = -1;
    bool someEnd = false;
};
FieldShape ShapeOf(std::span<const uint8_t> names, int fieldLength) {
    FieldShape shape;
    for (int32_t k = 0; k < kSpeciesCount; ++k) {
        const std::span<const uint8_t> field = names.subspan(static_cast<size_t>(k) * fieldLength, fieldLength);
        bool ended = false;
        for (const uint8_t byte : field) {
            if (byte == kNameEnd) {
                ended = true;
            } else if (ended) {
                shape.firstBad = k;
                return shape;
            }
        }
        shape.someEnd = shape.someEnd || ended;
    }
    return shape;
}

}  // namespace

int64_t NamesTable::Length() const { return int64_t{kSpeciesCount} * fieldLength; }

std::optional<std::string> ConfirmSpeciesNames(std::span<const uint8_t> image, const NamesTable& table) {
    const int64_t end = table.offset + table.Length();
    if (table.offset < 0 || end > static_cast<int64_t>(image.size())) {
        return "the species names at " + Hex(table.offset) + " would end at " + Hex(end) +
               ", past the end of the image";
    }
    if (table.offset % kRoutineBankSize + table.Length() > kRoutineBankSize) {
        return "the species names at " + Hex(table.offset) + " would run past the end of their bank";
    }
    const FieldShape shape =
        ShapeOf(image.subspan(static_cast<size_t>(table.offset), static_cast<size_t>(table.Length())),
                table.fieldLength);
    if (shape.firstBad >= 0) {
        return "the species names at " + Hex(table.offset) + " are not name fields (the field at " +
               Hex(table.FieldOffset(shape.firstBad)) + " holds other bytes after its end mark 0x50)";
    }
    if (!shape.someEnd) {
        return "the species names at " + Hex(table.offset) + " are not name fields (no name ends with 0x50)";
    }
    return std::nullopt;
}

NamesLocation LocateSpeciesNames(std::span<const uint8_t> image) {
    std::optional<NamesTable> found;
    for (const NameRoutine& routine : kNameRoutines) {
        for (const RoutineMatch& match : RoutinePattern(routine.pattern).FindIn(image)) {
            if (match.length != routine.fieldLength) {
                return Fault("the routine that reads the species names at " + Hex(match.at) + " copies " +
                             std::to_string(match.length.value_or(0)) + " bytes of a field of " +
                             std::to_string(routine.fieldLength));
            }
            const std::optional<int64_t> offset = match.TableOffset();
            if (!offset) {
                return Fault("the routine that reads the species names at " + Hex(match.at) + " names address " +
                             Hex(match.address) + ", outside a bank");
            }
            if (found && (found->offset != *offset || found->fieldLength != routine.fieldLength)) {
                return Fault("the routines that read the species names at " + Hex(found->routineAt) + " and " +
                             Hex(match.at) + " name different tables (" + Hex(found->offset) + " and " +
                             Hex(*offset) + ")");
            }
            if (!found) found = NamesTable{*offset, routine.fieldLength, match.at};
            ++found->routines;
        }
    }
    if (!found) return Fault("the routine that reads the species names does not occur in the image");
    if (std::optional<std::string> why = ConfirmSpeciesNames(image, *found)) return Fault(std::move(*why));
    NamesLocation location;
    location.table = found;
    return location;
}

bool IsNameCharset(std::string_view name) {
    for (const std::string_view known : kNameCharsets) {
        if (known == name) return true;
    }
    return false;
}

std::string_view ReleaseCharset(const ReleaseLayout& release) {
    if (release.market == "French") return "fr";
    if (release.market == "German") return "de";
    if (release.market == "Spanish") return "es";
    if (release.market == "Japanese") return "ja";
    return "en";
}

std::string_view ImageCharset(const ReleaseLayout* release, std::optional<std::string_view> tablesFileCharset) {
    if (tablesFileCharset) return *tablesFileCharset;
    return release != nullptr ? ReleaseCharset(*release) : std::string_view("en");
}

}  // namespace rom
