#pragma once
// The text of a table file: UTF-8, as the text formats read it. A file saved
// as UTF-16 (recognised by its byte-order mark, or by the zero bytes of its
// first character) is converted; any other file that is not UTF-8 (a
// Windows-1252 or Latin-1 file, a binary file) is refused once, with the
// line of its first byte that is not UTF-8 text, never echoing the bytes.

#include <optional>
#include <string>
#include <string_view>

#include "formats/Refusals.h"

namespace formats {

struct DecodedText {
    std::string text;                // UTF-8 (converted when the file was UTF-16)
    std::optional<Refusal> refusal;  // why the file is not read as text
};

DecodedText DecodeText(std::string_view bytes);

}  // namespace formats
