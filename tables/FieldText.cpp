#include "tables/FieldText.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "rom/HexDigits.h"
#include "lists/ChoiceLists.h"
#include "lists/Moves.h"

namespace tables {

std::optional<int64_t> WholeNumber(std::string_view text) {
    const std::string_view digits = Trimmed(text);
    if (digits.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        // Numbers too large for any value keep one value beyond every range.
        value = std::min<int64_t>(value * 10 + (c - '0'), std::numeric_limits<int32_t>::max());
    }
    return value;
}

namespace {

std::string Holds(std::string_view text) {
    if (text.empty()) return "it is empty.";
    return "it holds \"" + std::string(text) + "\".";
}

rom::Encoded Refuse(const rom::SpeciesField& field, const std::string& accepts, std::string_view text) {
    return {std::string(), std::string(field.caption) + " must be " + accepts + "; " + Holds(text)};
}

rom::Encoded EncodeListText(const rom::SpeciesField& field, std::string_view text) {
    const std::span<const std::string_view> entries = ListOf(field);
    if (const std::optional<int32_t> position = FindListEntry(entries, text)) {
        return rom::EncodeListChoice(field, *position, text, entries);
    }
    // Not one entry: a code of 1 to 2 hex digits, by the window's rule (also
    // a byte that has no entry). The list is left out so that no entry is
    // taken by its exact text alone.
    rom::Encoded encoded = rom::EncodeListChoice(field, -1, text, {});
    if (!encoded.ok()) {
        const std::string_view wanted = Trimmed(text);
        int shared = 0;
        for (std::string_view entry : entries) shared += Trimmed(entry) == wanted ? 1 : 0;
        if (shared > 1) {
            encoded.refusal = std::string(field.caption) +
                              " must be the text of an entry that no other position shares, or a code of 1 to 2 "
                              "hex digits; \"" + std::string(wanted) + "\" is the text of " +
                              std::to_string(shared) + " positions.";
        } else {
            encoded.refusal = std::string(field.caption) + " must be an entry of its list or a code of 1 to 2 hex "
                              "digits, for example " + AcceptedSpellings(entries, NearestListEntry(entries, text)) +
                              "; " + Holds(text);
        }
    }
    return encoded;
}

char Lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lowered(a[i]) != Lowered(b[i])) return false;
    }
    return true;
}

// 1 to 2 hex digits, nothing else: their value.
std::optional<int32_t> HexCode(std::string_view text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    int32_t value = 0;
    for (char c : text) {
        if (rom::hexdigits::Value(c) < 0) return std::nullopt;
        value = value * 16 + rom::hexdigits::Value(c);
    }
    return value;
}

// A text read as a code and a name: 1 to 2 hex digits, spaces, one of "-",
// "=" and ":", spaces, and a name that is not empty.
struct CodedText {
    int32_t code = 0;
    size_t digits = 0;
    std::string_view name;
};

std::optional<CodedText> SplitCode(std::string_view text) {
    text = Trimmed(text);
    size_t i = 0;
    while (i < text.size() && i < 2 && rom::hexdigits::Value(text[i]) >= 0) ++i;
    if (i == 0) return std::nullopt;
    const std::optional<int32_t> code = HexCode(text.substr(0, i));
    std::string_view rest = Trimmed(text.substr(i));
    if (rest.empty() || (rest.front() != '-' && rest.front() != '=' && rest.front() != ':')) return std::nullopt;
    rest = Trimmed(rest.substr(1));
    if (rest.empty()) return std::nullopt;
    return CodedText{*code, i, rest};
}

// The entry's code and name, when it has a code: two hex digits that are its
// own position. (A name that merely begins with hex letters, "Ab-..." in a
// list without codes, is never taken for a code.)
std::optional<CodedText> EntryCode(std::string_view entry, size_t position) {
    const std::optional<CodedText> coded = SplitCode(entry);
    if (!coded || coded->digits != 2 || coded->code != static_cast<int32_t>(position)) return std::nullopt;
    return coded;
}

// The name an entry is known by: the text after its code, or its whole text.
std::string_view EntryName(std::span<const std::string_view> entries, size_t position) {
    const std::optional<CodedText> coded = EntryCode(entries[position], position);
    return coded ? coded->name : Trimmed(entries[position]);
}

}  // namespace

std::span<const std::string_view> ListOf(const rom::SpeciesField& field) {
    if (field.presentation != rom::Presentation::ListPosition) return {};
    if (field.control == "Type1" || field.control == "Type2") return lists::kTypeList;
    if (field.control == "Item1" || field.control == "Item2") return lists::kHeldItemList;
    if (field.control == "Sprite") return lists::kMenuSpriteList;
    if (field.control == "Cry") return lists::kBaseCryList;
    return {};
}

std::optional<int32_t> UniqueEntryPosition(std::span<const std::string_view> entries, std::string_view text) {
    const std::string_view wanted = Trimmed(text);
    std::optional<int32_t> found;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Trimmed(entries[i]) != wanted) continue;
        if (found) return std::nullopt;
        found = static_cast<int32_t>(i);
    }
    return found;
}

namespace {

// UniqueEntryPosition, for the program's constant lists worked out once per
// list: an export asks whether each entry names only itself for every list
// cell of every species, and an import looks up every list cell's text.
// Other lists (a caller's own) are searched each time.
class EntryPositions {
public:
    // The entry's position, when `text` (trimmed) names exactly one entry.
    static std::optional<int32_t> Of(std::span<const std::string_view> entries, std::string_view text) {
        if (!Constant(entries)) return UniqueEntryPosition(entries, text);
        static std::mutex guard;
        static std::map<const std::string_view*, std::unordered_map<std::string_view, int32_t>> known;
        const std::lock_guard<std::mutex> lock(guard);
        auto [at, added] = known.try_emplace(entries.data());
        if (added) {
            for (size_t i = 0; i < entries.size(); ++i) {
                const auto [entry, first] = at->second.try_emplace(Trimmed(entries[i]), static_cast<int32_t>(i));
                if (!first) entry->second = kSeveral;
            }
        }
        const auto found = at->second.find(Trimmed(text));
        if (found == at->second.end() || found->second == kSeveral) return std::nullopt;
        return found->second;
    }

private:
    static constexpr int32_t kSeveral = -1;

    static bool Constant(std::span<const std::string_view> entries) {
        const std::span<const std::string_view> constant[] = {lists::kSpeciesList,  lists::kTypeList,
                                                              lists::kHeldItemList, lists::kMenuSpriteList,
                                                              lists::kBaseCryList,  lists::kMoveList};
        return std::any_of(std::begin(constant), std::end(constant), [&](std::span<const std::string_view> list) {
            return list.data() == entries.data() && list.size() == entries.size();
        });
    }
};

}  // namespace

std::optional<int32_t> FindListEntry(std::span<const std::string_view> entries, std::string_view text) {
    // The exact text, as exported, comes first.
    if (const std::optional<int32_t> exact = EntryPositions::Of(entries, text)) return exact;
    const std::string_view wanted = Trimmed(text);
    if (wanted.empty()) return std::nullopt;
    const std::optional<CodedText> wantedCoded = SplitCode(wanted);
    const std::optional<int32_t> wantedCode = HexCode(wanted);
    std::optional<int32_t> found;
    for (size_t i = 0; i < entries.size(); ++i) {
        bool names = SameIgnoringCase(Trimmed(entries[i]), wanted);
        if (const std::optional<CodedText> coded = EntryCode(entries[i], i)) {
            names = names || SameIgnoringCase(coded->name, wanted) || wantedCode == coded->code ||
                    (wantedCoded && wantedCoded->code == coded->code && SameIgnoringCase(wantedCoded->name, coded->name));
        }
        if (!names) continue;
        if (found) return std::nullopt;  // several entries: none is meant for sure
        found = static_cast<int32_t>(i);
    }
    return found;
}

std::optional<std::string_view> AcceptedName(std::span<const std::string_view> entries, int32_t position) {
    if (position < 0 || static_cast<size_t>(position) >= entries.size()) return std::nullopt;
    const auto index = static_cast<size_t>(position);
    const std::string_view name = EntryName(entries, index);
    // A name that other entries share would name none of them: the whole
    // entry then.
    const std::string_view first = FindListEntry(entries, name) == position ? name : Trimmed(entries[index]);
    if (FindListEntry(entries, first) != position) return std::nullopt;
    return first;
}

std::string AcceptedSpellings(std::span<const std::string_view> entries, int32_t position) {
    if (position < 0 || static_cast<size_t>(position) >= entries.size()) return {};
    const std::string code = rom::TwoDigitHex(position);
    const std::optional<std::string_view> name = AcceptedName(entries, position);
    // No name names the entry alone: the code alone, in two forms.
    if (!name) return "\"" + code + "\" or \"" + rom::CaptionHex(position) + "\"";
    return "\"" + std::string(*name) + "\" or \"" + code + "\"";
}

int32_t NearestListEntry(std::span<const std::string_view> entries, std::string_view text, int32_t lowest) {
    const std::optional<CodedText> coded = SplitCode(text);
    const std::string_view wanted = coded ? coded->name : Trimmed(text);
    // The entries by how long a beginning they share with the text, longest
    // first; the first that its own name names is the example. (Checked in
    // that order, so that a refusal costs one pass over the list, not one per
    // entry.)
    std::vector<std::pair<size_t, size_t>> candidates;  // (shared length, position)
    for (size_t i = static_cast<size_t>(std::max(lowest, 0)); i < entries.size(); ++i) {
        const std::string_view name = EntryName(entries, i);
        size_t shared = 0;
        while (shared < name.size() && shared < wanted.size() && Lowered(name[shared]) == Lowered(wanted[shared])) {
            ++shared;
        }
        if (shared > 0) candidates.emplace_back(shared, i);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [shared, position] : candidates) {
        if (FindListEntry(entries, EntryName(entries, position)) == static_cast<int32_t>(position)) {
            return static_cast<int32_t>(position);
        }
    }
    return lowest;
}

const rom::SpeciesField* FieldOfColumn(std::string_view name) {
    const std::string normal = NormalizedColumnName(name);
    for (const rom::SpeciesField& field : rom::kSpeciesFields) {
        if (NormalizedColumnName(field.control) == normal) return &field;
    }
    return nullptr;
}

bool IsNumberField(const rom::SpeciesField& field) {
    switch (field.presentation) {
        case rom::Presentation::Decimal:
        case rom::Presentation::Slider:
        case rom::Presentation::Length:
        case rom::Presentation::Gender:
            return true;
        case rom::Presentation::ListPosition:
        case rom::Presentation::HexText:
            return false;
    }
    return false;
}

std::string ValueText(const rom::SpeciesField& field, const FieldBytes& bytes) {
    switch (field.presentation) {
        case rom::Presentation::Decimal:
        case rom::Presentation::Slider:
        case rom::Presentation::Gender:
            return std::to_string(bytes[0]);
        case rom::Presentation::Length:
            return std::to_string(bytes[0] | bytes[1] << 8);
        case rom::Presentation::HexText: {
            std::string text = rom::TwoDigitHex(bytes[0]);
            if (field.width == 2) text += rom::TwoDigitHex(bytes[1]);
            return text;
        }
        case rom::Presentation::ListPosition: {
            const std::span<const std::string_view> entries = ListOf(field);
            if (bytes[0] < entries.size()) {
                const std::string_view entry = entries[bytes[0]];
                if (EntryPositions::Of(entries, entry) == bytes[0]) return std::string(Trimmed(entry));
            }
            return rom::TwoDigitHex(bytes[0]);
        }
    }
    return rom::TwoDigitHex(bytes[0]);
}

rom::Encoded EncodeValueText(const rom::SpeciesField& windowField, std::string_view text) {
    // The table's messages name a field by its column, not by the window's label.
    rom::SpeciesField field = windowField;
    field.caption = field.control;
    switch (field.presentation) {
        case rom::Presentation::Decimal:
        case rom::Presentation::Slider:
            // A scroll bar takes the same values as a decimal box: 0 to 255.
            return rom::EncodeDecimal(field, text);
        case rom::Presentation::HexText:
            return rom::EncodeHexText(field, text);
        case rom::Presentation::ListPosition:
            return EncodeListText(field, text);
        case rom::Presentation::Length: {
            const std::optional<int64_t> value = WholeNumber(text);
            if (!value || *value > 0xFFFF) return Refuse(field, "a whole number from 0 to 65535", text);
            return rom::EncodeLength(field, static_cast<int32_t>(*value));
        }
        case rom::Presentation::Gender: {
            const std::optional<int64_t> value = WholeNumber(text);
            if (!value || *value > 0xFF) {
                return Refuse(field, "a whole number from 0 to 255 (255: no gender)", text);
            }
            return rom::EncodeGender(field, *value == 0xFF, static_cast<int32_t>(*value));
        }
    }
    return Refuse(field, "a value", text);
}

FieldBytes BytesOfHex(std::string_view hex) {
    FieldBytes bytes{};
    for (size_t k = 0; k < bytes.size() && 2 * k + 1 < hex.size(); ++k) {
        bytes[k] = static_cast<uint8_t>(rom::hexdigits::Value(hex[2 * k]) * 16 + rom::hexdigits::Value(hex[2 * k + 1]));
    }
    return bytes;
}

std::string_view SpeciesName(int32_t position) {
    if (position < 0 || position >= rom::kSpeciesCount) return {};
    return Trimmed(lists::kSpeciesList[static_cast<size_t>(position)]);
}

std::string SpeciesCellRefusal(int32_t position, std::string_view text) {
    const std::optional<int32_t> named = FindListEntry(lists::kSpeciesList, text);
    if (!named || *named == position) return {};
    return "Species names " + std::to_string(*named) + " " + std::string(SpeciesName(*named)) + ", but Position " +
           std::to_string(position) + " is " + std::string(SpeciesName(position)) +
           ". Give the row the Position and Species of one species (sorting some columns without the others mixes "
           "them), or leave the Species cell empty.";
}

}  // namespace tables
