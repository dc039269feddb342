#include "formats/Formats.h"

#include "formats/Text.h"

namespace formats {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

}  // namespace

const FormatEntry& EntryOf(TableFormat format) {
    for (const FormatEntry& entry : kFormats) {
        if (entry.format == format) return entry;
    }
    return kFormats.front();
}

std::optional<TableFormat> FormatFromName(std::string_view name) {
    const std::string lower = Lower(name);
    for (const FormatEntry& entry : kFormats) {
        if (entry.name == lower) return entry.format;
    }
    return std::nullopt;
}

std::optional<TableFormat> FormatFromPath(std::string_view path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    const std::string extension = Lower(path.substr(dot + 1));
    for (const FormatEntry& entry : kFormats) {
        for (const std::string_view each : entry.extensions) {
            if (each == extension) return entry.format;
        }
    }
    return std::nullopt;
}

std::string FormatNames() {
    std::string names;
    for (size_t i = 0; i < kFormats.size(); ++i) {
        if (i > 0) names += i + 1 == kFormats.size() ? " or " : ", ";
        names += kFormats[i].name;
    }
    return names;
}

RowsRead ReadRows(std::string_view bytes, TableFormat format, const Shape& shape) {
    if (bytes.size() > shape.budget.mostBytes) {
        RowsRead out;
        out.status.Refuse({1, 0, "", "the file is " + std::to_string(bytes.size()) + " bytes long, more than the " +
                                         std::to_string(shape.budget.mostBytes) + " a table file may be."});
        return out;
    }
    const FormatEntry& entry = EntryOf(format);
    if (entry.binary) return entry.read(bytes, shape);
    const DecodedText decoded = DecodeText(bytes);
    if (decoded.refusal) {
        RowsRead out;
        out.status.Refuse(*decoded.refusal);
        return out;
    }
    return entry.read(decoded.text, shape);
}

std::string WriteRows(const TableDocument& document, TableFormat format) { return EntryOf(format).write(document); }

}  // namespace formats
