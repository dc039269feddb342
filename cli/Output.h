#pragma once
// Where the program's output goes: data to standard output, messages (and
// every failure the libraries report) to standard error.

#include <optional>
#include <string>
#include <string_view>

#include "tables/SpeciesTable.h"

namespace cli {

inline constexpr std::string_view kProgramName = "quillmere-cli";

// Writes a message line to standard error, after the program's name.
void Message(std::string_view text);

// Writes data to standard output as it stands.
void Data(std::string_view text);

// Flushes standard output; false (with a message) when the data could not be
// written in full, e.g. to a full disk or a closed pipe.
bool FinishData();

// Opens the image for the whole-table work; a refusal (no version, unknown
// layout) or a reported failure leaves one message on standard error.
std::optional<tables::TableImage> OpenImageOrSay(const std::string& path);

// Sends the libraries' failure reports to standard error.
void InstallFailureReporter();

}  // namespace cli
