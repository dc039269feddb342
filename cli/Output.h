#pragma once
// Where the program's output goes: data to standard output, messages (and
// every failure the libraries report) to standard error.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Refusals.h"
#include "tables/SpeciesTable.h"

namespace cli {

inline constexpr std::string_view kProgramName = "quillmere-cli";

// Writes a message line to standard error, after the program's name.
void Message(std::string_view text);

// The same for a failure with the system's error number: every such message
// ends in " (error N)", after its last sentence; 0 adds nothing.
void Message(std::string_view text, int number);

// Writes data to standard output as it stands.
void Data(std::string_view text);

// "1 field", "2 fields": the count and the word that fits it.
std::string Plural(size_t count, const char* one, const char* many);

// The refusals of an import file, one message each after the file's name,
// then how many more were counted but not listed, then their count and that
// nothing was written.
void ReportRefusals(const std::string& file, const std::vector<std::string>& listed, size_t unlisted);
void ReportRefusals(const std::string& file, const formats::Refusals& refusals);

// Writes data to the file an -o option names, replaced whole through the
// whole-file layer (links followed, devices and pipes written into), or to
// standard output when the name is empty or "-". False after a reported
// failure.
bool WriteOutput(const std::string& output, std::string_view text);

// True when an -o option's name means standard output.
bool IsStandardOutputName(const std::string& output);

// True when the file an -o option finally names (through links and hard
// links; standard output's own file for "-" or no -o) is the image; then
// says so, with `what` naming what would replace it ("the export").
bool OutputIsTheImageOrSay(const std::string& output, const std::string& image, std::string_view what);

// Flushes standard output; false (with a message) when the data could not be
// written in full, e.g. to a full disk or a closed pipe.
bool FinishData();

// Opens the image for the whole-table work; a refusal (too short for a header,
// no version, unknown layout) or a reported failure leaves one message on
// standard error. An image shorter than its header declares is opened, with
// one warning on standard error.
std::optional<tables::TableImage> OpenImageOrSay(const std::string& path);

// Sends the libraries' failure reports to standard error.
void InstallFailureReporter();

}  // namespace cli
