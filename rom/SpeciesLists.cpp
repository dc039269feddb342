#include "rom/SpeciesLists.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "rom/ImageFacts.h"
#include "rom/ReleaseLayouts.h"

namespace rom {

namespace {

constexpr uint16_t kLowestAddress = 0x4000;
constexpr uint16_t kHighestAddress = 0x7FFF;

std::string Hex(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

int64_t BankStart(int64_t offset) { return offset / kBankSize * kBankSize; }

// The file offset the pointer of `position` in the table at `table` leads to,
// or why it leads nowhere.
std::optional<int64_t> Target(std::span<const uint8_t> image, int64_t table, int32_t position, std::string& why) {
    const int64_t entry = table + int64_t{2} * position;
    if (entry < 0 || entry + 1 >= static_cast<int64_t>(image.size())) {
        why = "its pointer at " + Hex(entry) + " lies past the end of the image";
        return std::nullopt;
    }
    const auto address = static_cast<uint16_t>(image[static_cast<size_t>(entry)] |
                                               image[static_cast<size_t>(entry + 1)] << 8);
    if (address < kLowestAddress || address > kHighestAddress) {
        why = "its pointer at " + Hex(entry) + " holds the address " + Hex(address) + ", outside 0x4000 to 0x7FFF";
        return std::nullopt;
    }
    return BankStart(table) + (address - kLowestAddress);
}

// Reads bytes from a list's start up to the end of its bank (or of the image).
class ListReader {
public:
    ListReader(std::span<const uint8_t> image, int64_t start)
        : image_(image),
          start_(start),
          at_(start),
          limit_(std::min<int64_t>(BankStart(start) + kBankSize, static_cast<int64_t>(image.size()))) {}

    std::optional<uint8_t> Next() {
        if (at_ >= limit_) return std::nullopt;
        return image_[static_cast<size_t>(at_++)];
    }
    int64_t Offset() const { return at_; }
    int64_t Length() const { return at_ - start_; }
    // Why the list stopped without its terminator.
    std::string Unterminated() const {
        const bool imageEnds = limit_ < BankStart(start_) + kBankSize;
        return "its list at " + Hex(start_) + " runs to the end of its " + (imageEnds ? "image" : "bank") + " (" +
               Hex(limit_) + ") without its terminator";
    }

private:
    std::span<const uint8_t> image_;
    int64_t start_;
    int64_t at_;
    int64_t limit_;
};

void ReadEvoMovesFrom(std::span<const uint8_t> image, int64_t start, EvoMoveList& list) {
    list.place.offset = start;
    ListReader reader(image, start);
    const auto fail = [&](std::string why) {
        list.place.unreadable = std::move(why);
        list.evolutions.clear();
        list.moves.clear();
    };
    for (;;) {
        const int64_t at = reader.Offset();
        const std::optional<uint8_t> method = reader.Next();
        if (!method) return fail(reader.Unterminated());
        if (*method == 0) break;
        if (*method > static_cast<uint8_t>(EvolutionMethod::Stats)) {
            return fail("its list at " + Hex(start) + " holds the unknown evolution method " +
                        std::to_string(*method) + " at " + Hex(at));
        }
        Evolution evolution;
        evolution.method = static_cast<EvolutionMethod>(*method);
        std::array<std::optional<uint8_t>, 3> bytes;
        const int count = evolution.method == EvolutionMethod::Stats ? 3 : 2;
        for (int k = 0; k < count; ++k) {
            bytes[static_cast<size_t>(k)] = reader.Next();
            if (!bytes[static_cast<size_t>(k)]) return fail(reader.Unterminated());
        }
        switch (evolution.method) {
            case EvolutionMethod::Level:
                evolution.level = *bytes[0];
                break;
            case EvolutionMethod::Item:
            case EvolutionMethod::Trade:
                evolution.item = *bytes[0];
                break;
            case EvolutionMethod::Happiness:
                evolution.when = *bytes[0];
                break;
            case EvolutionMethod::Stats:
                evolution.level = *bytes[0];
                evolution.stats = *bytes[1];
                break;
        }
        evolution.into = *bytes[static_cast<size_t>(count - 1)];
        list.evolutions.push_back(evolution);
    }
    for (;;) {
        const std::optional<uint8_t> level = reader.Next();
        if (!level) return fail(reader.Unterminated());
        if (*level == 0) break;
        const std::optional<uint8_t> move = reader.Next();
        if (!move) return fail(reader.Unterminated());
        list.moves.push_back({*level, *move});
    }
    list.place.length = reader.Length();
}

void ReadEvoMoves(std::span<const uint8_t> image, int64_t table, int32_t position, EvoMoveList& list) {
    const std::optional<int64_t> start = Target(image, table, position, list.place.unreadable);
    if (start) ReadEvoMovesFrom(image, *start, list);
}

void ReadEggMoves(std::span<const uint8_t> image, int64_t table, int32_t position, EggMoveList& list) {
    const std::optional<int64_t> start = Target(image, table, position, list.place.unreadable);
    if (!start) return;
    list.place.offset = *start;
    ListReader reader(image, *start);
    for (;;) {
        const std::optional<uint8_t> move = reader.Next();
        if (!move) {
            list.place.unreadable = reader.Unterminated();
            list.moves.clear();
            return;
        }
        if (*move == kEggListEnd) break;
        list.moves.push_back(*move);
    }
    list.place.length = reader.Length();
}

// One pointer table and its lists, as a layer of the image knows them.
struct TableLists {
    std::string_view what;  // "evolution and move lists", "egg move lists"
    int64_t pointers = 0;
    ListAreaRule area;
    bool shareIdentical = false;
    std::vector<uint8_t> emptyList;  // of a table that shares its lists
    std::array<const ListPlace*, kSpeciesCount> places{};
    std::array<std::vector<uint8_t>, kSpeciesCount> wanted;
};

bool Overlap(const ListPlace& a, const ListPlace& b) {
    return a.offset < b.offset + b.length && b.offset < a.offset + a.length;
}

// Writes each changed list where it lies, when every changed list keeps its
// length and shares no byte with another species' list; false otherwise.
bool LayInPlace(std::vector<uint8_t>& image, const TableLists& table, std::span<const int32_t> changed) {
    for (const int32_t p : changed) {
        const ListPlace& place = *table.places[static_cast<size_t>(p)];
        if (static_cast<int64_t>(table.wanted[static_cast<size_t>(p)].size()) != place.length) return false;
        for (int32_t q = 0; q < kSpeciesCount; ++q) {
            const ListPlace& other = *table.places[static_cast<size_t>(q)];
            if (q != p && other.readable() && Overlap(place, other)) return false;
        }
    }
    for (const int32_t p : changed) {
        const std::vector<uint8_t>& bytes = table.wanted[static_cast<size_t>(p)];
        std::copy(bytes.begin(), bytes.end(), image.begin() + table.places[static_cast<size_t>(p)]->offset);
    }
    return true;
}

// Lays the wanted lists one after another from `start`, in species order. A
// table of shared lists (egg moves) keeps identical lists once, and keeps its
// empty list, which the releases point every species without egg moves at,
// after the last list, as the releases lay it.
void PackInOrder(const TableLists& table, int64_t start, std::vector<uint8_t>& packed,
                 std::array<int64_t, kSpeciesCount>& offsets) {
    std::map<std::vector<uint8_t>, int64_t> placed;
    std::vector<size_t> sharingEmpty;
    for (size_t p = 0; p < offsets.size(); ++p) {
        const std::vector<uint8_t>& bytes = table.wanted[p];
        if (table.shareIdentical) {
            if (bytes == table.emptyList) {
                sharingEmpty.push_back(p);
                continue;
            }
            if (const auto found = placed.find(bytes); found != placed.end()) {
                offsets[p] = found->second;
                continue;
            }
            placed.emplace(bytes, start + static_cast<int64_t>(packed.size()));
        }
        offsets[p] = start + static_cast<int64_t>(packed.size());
        packed.insert(packed.end(), bytes.begin(), bytes.end());
    }
    if (sharingEmpty.empty()) return;
    for (const size_t p : sharingEmpty) offsets[p] = start + static_cast<int64_t>(packed.size());
    packed.insert(packed.end(), table.emptyList.begin(), table.emptyList.end());
}

std::string Pack(std::vector<uint8_t>& image, const TableLists& table) {
    const std::string nothing = " Nothing was written.";
    const ListArea area = ListAreaOf(table.pointers, table.area, table.places);
    const int64_t start = area.start;
    // The lists as they lie now, in file order, to find every byte of the
    // area that is no list's.
    std::vector<const ListPlace*> byOffset(table.places.begin(), table.places.end());
    std::sort(byOffset.begin(), byOffset.end(),
              [](const ListPlace* a, const ListPlace* b) { return a->offset < b->offset; });
    const int64_t end = area.end;
    if (end > static_cast<int64_t>(image.size())) {
        return "The " + std::string(table.what) + " cannot be packed again: the image ends at " +
               Hex(static_cast<int64_t>(image.size())) + ", before the end of their bank at " + Hex(end) + "." +
               nothing;
    }
    if (table.area.kind == ListAreaKind::ToBankEnd) {
        // Bytes of the area that belong to no list must be free (0), or they
        // are data of their own that packing would overwrite.
        int64_t covered = start;
        for (const ListPlace* place : byOffset) {
            for (int64_t at = covered; at < std::min(place->offset, end); ++at) {
                if (image[static_cast<size_t>(at)] != 0) {
                    return "The " + std::string(table.what) + " cannot be packed again: the byte at " + Hex(at) +
                           ", between the lists, belongs to no list and is not 0." + nothing;
                }
            }
            covered = std::max(covered, place->offset + place->length);
        }
        for (int64_t at = covered; at < end; ++at) {
            if (image[static_cast<size_t>(at)] != 0) {
                return "The " + std::string(table.what) + " cannot be packed again: the byte at " + Hex(at) +
                       ", after the last list, is not 0, so the rest of the bank is not known to be free." + nothing;
            }
        }
    } else {
        // Elsewhere the lists may only be packed where they lie now, one
        // after another (and, in a modified game, into the 0 bytes that end
        // their bank): any other byte may be data of the game's own.
        const bool fromFirst = table.area.kind == ListAreaKind::FromFirstList;
        int64_t covered = start;
        for (const ListPlace* place : byOffset) {
            if (place->offset > covered || place->offset < start) {
                return "The " + std::string(table.what) + " cannot be packed again: they do not lie one after another " +
                       (fromFirst ? std::string("from the first of them (at ") + Hex(start) +
                                        "), and this game may keep data of its own between them"
                                  : std::string("right after their pointer table, and this image tells no free "
                                                "space for them")) +
                       "." + nothing;
            }
            covered = std::max(covered, place->offset + place->length);
        }
        const int64_t tableEnd = table.pointers + kPointerTableLength;
        if (start < tableEnd && end > table.pointers) {
            return "The " + std::string(table.what) + " cannot be packed again: their area from " + Hex(start) +
                   " to " + Hex(end) + " holds their own pointer table." + nothing;
        }
    }

    std::vector<uint8_t> packed;
    std::array<int64_t, kSpeciesCount> offsets{};
    PackInOrder(table, start, packed, offsets);
    const int64_t room = end - start;
    const auto size = static_cast<int64_t>(packed.size());
    if (size > room) {
        return "The " + std::string(table.what) + " do not fit: packed, they take " + std::to_string(size) +
               " bytes, " + std::to_string(size - room) + " more than the " + std::to_string(room) +
               " bytes from " + Hex(start) + " to " + Hex(end) +
               (table.area.kind == ListAreaKind::ToBankEnd ? std::string(", the end of their bank")
                : table.area.kind == ListAreaKind::FromFirstList
                    ? std::string(" (in this modified game the lists may use only the bytes they hold and the 0 "
                                  "bytes that end their bank after the last of them)")
                    : std::string(" (this image's lists may not grow: it tells no free space after them)")) +
               "." + nothing;
    }
    std::copy(packed.begin(), packed.end(), image.begin() + start);
    std::fill(image.begin() + start + size, image.begin() + end, uint8_t{0});
    for (int32_t p = 0; p < kSpeciesCount; ++p) {
        const int64_t address = kLowestAddress + (offsets[static_cast<size_t>(p)] - BankStart(table.pointers));
        const auto entry = static_cast<size_t>(table.pointers + int64_t{2} * p);
        image[entry] = static_cast<uint8_t>(address & 0xFF);
        image[entry + 1] = static_cast<uint8_t>(address >> 8);
    }
    return {};
}

std::optional<ListLayRefusal> Lay(std::vector<uint8_t>& image, const TableLists& table) {
    std::vector<int32_t> changed;
    for (int32_t p = 0; p < kSpeciesCount; ++p) {
        const ListPlace& place = *table.places[static_cast<size_t>(p)];
        if (!place.readable()) continue;  // the import refuses any change to it
        const std::vector<uint8_t>& bytes = table.wanted[static_cast<size_t>(p)];
        const auto begin = image.begin() + place.offset;
        if (static_cast<int64_t>(bytes.size()) != place.length || !std::equal(bytes.begin(), bytes.end(), begin)) {
            changed.push_back(p);
        }
    }
    if (changed.empty() || LayInPlace(image, table, changed)) return std::nullopt;
    // Packing moves every list: each must be readable.
    for (int32_t p = 0; p < kSpeciesCount; ++p) {
        const ListPlace& place = *table.places[static_cast<size_t>(p)];
        if (!place.readable()) return ListLayRefusal{place.unreadable, p};
    }
    std::string refusal = Pack(image, table);
    if (refusal.empty()) return std::nullopt;
    return ListLayRefusal{std::move(refusal)};
}

}  // namespace

ListArea ListAreaOf(int64_t pointers, const ListAreaRule& rule, std::span<const ListPlace* const> places) {
    ListArea area;
    area.start = pointers + kPointerTableLength;
    if (rule.kind == ListAreaKind::FromFirstList) {
        bool any = false;
        for (const ListPlace* place : places) {
            if (!place->readable()) continue;
            area.start = any ? std::min(area.start, place->offset) : place->offset;
            any = true;
        }
    }
    area.end = area.start;
    for (const ListPlace* place : places) {
        if (place->readable()) area.end = std::max(area.end, place->offset + place->length);
    }
    const int64_t bankEnd = BankStart(pointers) + kBankSize;
    area.toBankEnd = rule.kind == ListAreaKind::ToBankEnd ||
                     (rule.kind == ListAreaKind::FromFirstList && rule.zerosFrom <= area.end && area.end < bankEnd);
    if (area.toBankEnd) area.end = bankEnd;
    return area;
}

namespace {

ListRoom RoomOf(int64_t pointers, const ListAreaRule& rule, std::span<const ListPlace* const> places,
               int64_t packed) {
    const ListArea area = ListAreaOf(pointers, rule, places);
    ListRoom room;
    room.area = area.end - area.start;
    room.grows = area.toBankEnd;
    const bool readable =
        std::all_of(places.begin(), places.end(), [](const ListPlace* place) { return place->readable(); });
    if (readable) room.free = room.area - packed;
    return room;
}

}  // namespace

ListRoom EvoMoveRoom(const SpeciesLists& lists) {
    std::vector<const ListPlace*> places;
    int64_t packed = 0;
    for (const EvoMoveList& list : lists.evoMoves) {
        places.push_back(&list.place);
        packed += static_cast<int64_t>(EvoMoveBytes(list.evolutions, list.moves).size());
    }
    return RoomOf(lists.layout.evoMovePointers, lists.layout.evoMoveArea, places, packed);
}

std::optional<ListRoom> EggMoveRoom(const SpeciesLists& lists) {
    if (!lists.hasEggMoves || !lists.layout.eggMovePointers) return std::nullopt;
    std::vector<const ListPlace*> places;
    std::set<std::vector<uint8_t>> distinct;
    for (const EggMoveList& list : lists.eggMoves) {
        places.push_back(&list.place);
        distinct.insert(EggMoveBytes(list.moves));
    }
    int64_t packed = 0;
    for (const std::vector<uint8_t>& bytes : distinct) packed += static_cast<int64_t>(bytes.size());
    return RoomOf(*lists.layout.eggMovePointers, lists.layout.eggMoveArea, places, packed);
}

namespace {

// The first byte from which the bank of `table` holds only 0 bytes to its end
// (or to the end of the image).
int64_t ZerosFrom(std::span<const uint8_t> image, int64_t table) {
    int64_t at = std::min<int64_t>(BankStart(table) + kBankSize, static_cast<int64_t>(image.size()));
    while (at > BankStart(table) && image[static_cast<size_t>(at - 1)] == 0) --at;
    return at;
}

}  // namespace

ListLayout ListLayoutOf(std::span<const uint8_t> image, const VersionProfile& profile,
                        const ResolvedLayout& resolved) {
    ListLayout layout;
    layout.evoMovePointers = profile.EvoMovePointerOffset;
    const bool fromFile = !resolved.tablesFile.empty();
    if (fromFile && !IsCompleteImage(image, static_cast<int64_t>(image.size()))) {
        // An image built by hand with a ".tables" file: the file's own "eggs"
        // line, if any; its lists may shrink but not grow.
        layout.eggMovePointers = resolved.eggMovePointerOffset;
        return layout;
    }
    // A release's egg table and the free end of its bank are used only when
    // the header itself names that release: an image built by hand whose
    // base records merely stand where a release keeps them confirms neither.
    // A complete image whose ".tables" file names its tables is a release, by
    // that rule, when its header names one of its version.
    const ReleaseLayout* row = resolved.release;
    if (fromFile) {
        row = FindReleaseLayout(GameCodeOf(image), image[static_cast<size_t>(kRomVersionOffset)]);
        if (row != nullptr && row->version != resolved.version) row = nullptr;
    }
    const auto revisionAt = static_cast<size_t>(kRomVersionOffset);
    const bool named = row != nullptr && GameCodeOf(image) == row->gameCode && revisionAt < image.size() &&
                       image[revisionAt] == row->revision;
    // The tables of a complete image its code or its ".tables" file proved
    // (an image built by hand has no proven tables).
    const bool proven = !resolved.tables.empty();
    if (proven) layout.eggMovePointers = resolved.eggMovePointerOffset;
    if (!named && !proven) return layout;
    if (!proven) layout.eggMovePointers = row->eggMovePointerOffset;
    const auto ruleOf = [&](int64_t table, int64_t releasedAt) {
        ListAreaRule rule;
        if (named && table == releasedAt) {
            rule.kind = ListAreaKind::ToBankEnd;
        } else if (proven) {
            rule.kind = ListAreaKind::FromFirstList;
            rule.zerosFrom = ZerosFrom(image, table);
        }
        return rule;
    };
    layout.evoMoveArea = ruleOf(layout.evoMovePointers, named ? row->tables.EvoMovePointerOffset : -1);
    if (layout.eggMovePointers) layout.eggMoveArea = ruleOf(*layout.eggMovePointers, named ? row->eggMovePointerOffset : -1);
    return layout;
}

SpeciesLists ReadSpeciesLists(std::span<const uint8_t> image, const VersionProfile& profile,
                              const ListLayout& layout) {
    SpeciesLists lists;
    lists.layout = layout;
    const SpeciesField& firstField = kSpeciesFields[0];  // in the base record
    for (int32_t p = 0; p < kSpeciesCount; ++p) {
        const int64_t record = int64_t{*FieldOffset(profile, p, firstField)} - firstField.offsetInEntry;
        for (int32_t k = 0; k < kMachineBytes; ++k) {
            const int64_t at = record + kMachineBytesOffset + k;
            lists.machines[static_cast<size_t>(p)][static_cast<size_t>(k)] =
                at >= 0 && at < static_cast<int64_t>(image.size()) ? image[static_cast<size_t>(at)] : 0;
        }
        ReadEvoMoves(image, layout.evoMovePointers, p, lists.evoMoves[static_cast<size_t>(p)]);
        if (layout.eggMovePointers) ReadEggMoves(image, *layout.eggMovePointers, p, lists.eggMoves[static_cast<size_t>(p)]);
    }
    lists.hasEggMoves = layout.eggMovePointers.has_value();
    return lists;
}

EvoMoveList ReadEvoMoveListAt(std::span<const uint8_t> image, int64_t table, uint16_t address) {
    EvoMoveList list;
    if (address < kLowestAddress || address > kHighestAddress) {
        list.place.unreadable = "the address " + Hex(address) + " lies outside 0x4000 to 0x7FFF";
        return list;
    }
    ReadEvoMovesFrom(image, BankStart(table) + (address - kLowestAddress), list);
    return list;
}

std::optional<std::string> FirstIncompleteList(std::span<const uint8_t> image, int64_t table, bool eggs) {
    for (int32_t p = 0; p < kSpeciesCount; ++p) {
        ListPlace place;
        if (eggs) {
            EggMoveList list;
            ReadEggMoves(image, table, p, list);
            place = list.place;
        } else {
            EvoMoveList list;
            ReadEvoMoves(image, table, p, list);
            place = list.place;
        }
        if (!place.readable()) return "species " + std::to_string(p + 1) + ": " + place.unreadable;
    }
    return std::nullopt;
}

bool MachineBit(const MachineBytes& bytes, int k) {
    return (bytes[static_cast<size_t>(k / 8)] >> (k % 8) & 1) != 0;
}

void SetMachineBit(MachineBytes& bytes, int k, bool on) {
    const auto mask = static_cast<uint8_t>(1u << (k % 8));
    uint8_t& byte = bytes[static_cast<size_t>(k / 8)];
    byte = static_cast<uint8_t>(on ? byte | mask : byte & ~mask);
}

std::vector<uint8_t> EvoMoveBytes(std::span<const Evolution> evolutions, std::span<const LevelMove> moves) {
    std::vector<uint8_t> bytes;
    for (const Evolution& evolution : evolutions) {
        bytes.push_back(static_cast<uint8_t>(evolution.method));
        switch (evolution.method) {
            case EvolutionMethod::Level:
                bytes.push_back(evolution.level);
                break;
            case EvolutionMethod::Item:
            case EvolutionMethod::Trade:
                bytes.push_back(evolution.item);
                break;
            case EvolutionMethod::Happiness:
                bytes.push_back(evolution.when);
                break;
            case EvolutionMethod::Stats:
                bytes.push_back(evolution.level);
                bytes.push_back(evolution.stats);
                break;
        }
        bytes.push_back(evolution.into);
    }
    bytes.push_back(0);
    for (const LevelMove& move : moves) {
        bytes.push_back(move.level);
        bytes.push_back(move.move);
    }
    bytes.push_back(0);
    return bytes;
}

std::vector<uint8_t> EggMoveBytes(std::span<const uint8_t> moves) {
    std::vector<uint8_t> bytes(moves.begin(), moves.end());
    bytes.push_back(kEggListEnd);
    return bytes;
}

std::optional<ListLayRefusal> LayEvoMoveLists(std::vector<uint8_t>& image, const SpeciesLists& lists,
                            const std::array<EvoMoveContents, kSpeciesCount>& wanted) {
    TableLists table;
    table.what = "evolution and move lists";
    table.pointers = lists.layout.evoMovePointers;
    table.area = lists.layout.evoMoveArea;
    for (size_t p = 0; p < wanted.size(); ++p) {
        table.places[p] = &lists.evoMoves[p].place;
        table.wanted[p] = EvoMoveBytes(wanted[p].evolutions, wanted[p].moves);
    }
    return Lay(image, table);
}

std::optional<ListLayRefusal> LayEggMoveLists(std::vector<uint8_t>& image, const SpeciesLists& lists,
                            const std::array<std::vector<uint8_t>, kSpeciesCount>& wanted) {
    if (!lists.layout.eggMovePointers) {
        return ListLayRefusal{"This image has no known egg move table. Nothing was written."};
    }
    TableLists table;
    table.what = "egg move lists";
    table.pointers = *lists.layout.eggMovePointers;
    table.area = lists.layout.eggMoveArea;
    table.shareIdentical = true;
    table.emptyList = EggMoveBytes({});
    for (size_t p = 0; p < wanted.size(); ++p) {
        table.places[p] = &lists.eggMoves[p].place;
        table.wanted[p] = EggMoveBytes(wanted[p]);
    }
    return Lay(image, table);
}

}  // namespace rom
