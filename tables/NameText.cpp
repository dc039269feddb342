#include "tables/NameText.h"

#include <map>

#include "rom/HexDigits.h"
#include "rom/TablesFile.h"
#include "rom/WholeFiles.h"

namespace tables {

namespace {

constexpr std::array<std::string_view, lists::kCharsetCount> kCaptions = {
    "American and Australian", "French", "German", "Spanish", "Japanese"};

// Per set, the byte that draws each text.
const std::map<std::string_view, uint8_t>& BytesOf(lists::Charset charset) {
    static const auto maps = [] {
        std::array<std::map<std::string_view, uint8_t>, lists::kCharsetCount> made;
        for (size_t set = 0; set < lists::kCharsetCount; ++set) {
            for (size_t byte = 0; byte < 256; ++byte) {
                const std::string_view text = lists::kCharsetBytes[set][byte];
                if (!text.empty()) made[set].emplace(text, static_cast<uint8_t>(byte));
            }
        }
        return made;
    }();
    return maps[static_cast<size_t>(charset)];
}

// The length of the UTF-8 character starting with `lead` (1 for a byte that
// starts none, so that it is named alone).
size_t CharacterLength(std::string_view text, size_t at) {
    const auto lead = static_cast<uint8_t>(text[at]);
    const size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
    if (at + length > text.size()) return 1;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<uint8_t>(text[at + k]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// "{8A 3F 50 ...}"
std::string BracedBytes(std::span<const uint8_t> field) {
    std::string text = "{";
    for (size_t k = 0; k < field.size(); ++k) {
        if (k > 0) text += " ";
        text += rom::hexdigits::Of(field[k], 2);
    }
    return text + "}";
}

}  // namespace

lists::Charset CharsetNamed(std::string_view name) {
    for (size_t set = 0; set < lists::kCharsetCount; ++set) {
        if (lists::kCharsetNames[set] == name) return static_cast<lists::Charset>(set);
    }
    return lists::Charset::En;
}

std::string_view CharsetName(lists::Charset charset) { return lists::kCharsetNames[static_cast<size_t>(charset)]; }

std::string CharsetCaption(lists::Charset charset) {
    return std::string(kCaptions[static_cast<size_t>(charset)]) + " (" + std::string(CharsetName(charset)) + ")";
}

std::optional<std::string> DecodeName(std::span<const uint8_t> field, lists::Charset charset) {
    std::string text;
    for (const uint8_t byte : field) {
        if (byte == rom::kNameEnd) break;
        const std::string_view drawn = lists::kCharsetBytes[static_cast<size_t>(charset)][byte];
        if (drawn.empty()) return std::nullopt;
        text += drawn;
    }
    return text;
}

std::string NameText(std::span<const uint8_t> field, lists::Charset charset) {
    if (std::optional<std::string> text = DecodeName(field, charset)) return std::move(*text);
    return BracedBytes(field);
}

EncodedName EncodeName(std::string_view text, lists::Charset charset, int fieldLength) {
    EncodedName out;
    const std::string set = "the " + CharsetCaption(charset) + " character set";
    if (text.empty()) {
        out.refusal = "A species name cannot be empty; it takes 1 to " + std::to_string(fieldLength) +
                      " characters of " + set + ".";
        return out;
    }
    if (text.front() == '{') {
        out.refusal = "The name " + Quoted(text) + " is written as bytes in braces, which only the name the image "
                      "holds is (one that does not decode); type a name of " + set + ".";
        return out;
    }
    const std::map<std::string_view, uint8_t>& bytes = BytesOf(charset);
    size_t fullAfter = 0;  // the characters that fit the field
    size_t character = 0;
    for (size_t at = 0; at < text.size();) {
        ++character;
        const size_t length = CharacterLength(text, at);
        const std::string_view one = text.substr(at, length);
        if (const auto found = bytes.find(one); found != bytes.end()) {
            out.bytes.push_back(found->second);
            at += length;
        } else {
            // A byte that draws this character and the next together.
            const size_t next = at + length < text.size() ? CharacterLength(text, at + length) : 0;
            const auto pair = next > 0 ? bytes.find(text.substr(at, length + next)) : bytes.end();
            if (pair == bytes.end()) {
                const std::string shown = length == 1 && static_cast<uint8_t>(one[0]) >= 0x80
                                              ? "byte 0x" + rom::hexdigits::Of(static_cast<uint8_t>(one[0]), 2) +
                                                    " (not UTF-8 text)"
                                              : Quoted(one);
                out.bytes.clear();
                out.refusal = "The name " + Quoted(text) + " holds " + shown + " at character " +
                              std::to_string(character) + ", which " + set + " has no byte for.";
                return out;
            }
            out.bytes.push_back(pair->second);
            at += length + next;
            ++character;
        }
        if (out.bytes.size() <= static_cast<size_t>(fieldLength)) fullAfter = character;
    }
    if (out.bytes.size() > static_cast<size_t>(fieldLength)) {
        out.refusal = "The name " + Quoted(text) + " takes " + std::to_string(out.bytes.size()) +
                      " bytes; the field holds " + std::to_string(fieldLength) + " (characters 1 to " +
                      std::to_string(fullAfter) + " fit).";
        out.bytes.clear();
        return out;
    }
    out.bytes.resize(static_cast<size_t>(fieldLength), rom::kNameEnd);
    return out;
}

std::string ImageNames::TextOf(int32_t position) const {
    if (!table) return {};
    return NameText(stored[static_cast<size_t>(position)], charset);
}

size_t ImageNames::Undecodable() const {
    size_t count = 0;
    if (!table) return count;
    for (const NameBytes& field : stored) count += DecodeName(field, charset).has_value() ? 0 : 1;
    return count;
}

ImageNames ReadImageNames(std::span<const uint8_t> image, const rom::ResolvedLayout& layout) {
    ImageNames names;
    names.charset = CharsetNamed(layout.charset);
    names.table = layout.names.table;
    names.fault = layout.names.fault;
    RereadNames(names, image);
    return names;
}

void RereadNames(ImageNames& names, std::span<const uint8_t> image) {
    if (!names.table) return;
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
        const int64_t at = names.table->FieldOffset(p);
        NameBytes& field = names.stored[static_cast<size_t>(p)];
        field.assign(static_cast<size_t>(names.table->fieldLength), 0);
        for (size_t k = 0; k < field.size(); ++k) {
            const int64_t offset = at + static_cast<int64_t>(k);
            // The located table lies inside the image; a shorter image reads 0.
            if (offset < static_cast<int64_t>(image.size())) field[k] = image[static_cast<size_t>(offset)];
        }
    }
}

NameCell ReadNameCell(const ImageNames& names, int32_t position, std::string_view text) {
    NameCell cell;
    if (text == names.TextOf(position)) return cell;
    if (!names.table) {
        cell.refusal = "The image's species names are not known (" + names.fault + "), so no name can be written.";
        return cell;
    }
    EncodedName encoded = EncodeName(text, names.charset, names.table->fieldLength);
    if (!encoded.ok()) {
        cell.refusal = std::move(encoded.refusal);
        return cell;
    }
    if (encoded.bytes != names.stored[static_cast<size_t>(position)]) cell.bytes = std::move(encoded.bytes);
    return cell;
}

std::vector<NameChange> NameDifferences(const ImageNames& before, const ImageNames& after) {
    std::vector<NameChange> changes;
    if (!before.table || !after.table) return changes;
    for (int32_t p = 0; p < rom::kSpeciesCount; ++p) {
        const auto k = static_cast<size_t>(p);
        std::string a = before.TextOf(p);
        std::string b = after.TextOf(p);
        if (a == b && before.stored[k] == after.stored[k]) continue;
        changes.push_back({p, before.stored[k], after.stored[k], std::move(a), std::move(b)});
    }
    return changes;
}

bool LayNames(const ImageNames& names, std::span<const NameChange> changes, std::vector<uint8_t>& bytes) {
    if (!names.table) return changes.empty();
    for (const NameChange& change : changes) {
        const int64_t at = names.table->FieldOffset(change.position);
        if (at < 0 || at + static_cast<int64_t>(change.after.size()) > static_cast<int64_t>(bytes.size())) return false;
        std::copy(change.after.begin(), change.after.end(), bytes.begin() + at);
    }
    return true;
}

}  // namespace tables
