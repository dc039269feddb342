#include "cli/Output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "rom/FailureReporter.h"
#include "rom/ImageLength.h"
#include "rom/WholeFiles.h"
#include "tables/ImageFiles.h"

namespace cli {

void Message(std::string_view text) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(kProgramName.size()), kProgramName.data(),
                 static_cast<int>(text.size()), text.data());
}

void Message(std::string_view text, int number) {
    if (number == 0) {
        Message(text);
        return;
    }
    Message(std::string(text) + " (error " + std::to_string(number) + ")");
}

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void ReportRefusals(const std::string& file, const std::vector<std::string>& listed, size_t unlisted) {
    for (const std::string& each : listed) Message(file + ": " + each);
    if (unlisted > 0) {
        Message(file + ": ... and " + Plural(unlisted, "more refusal", "more refusals") + " (only the first " +
                std::to_string(formats::kMostRefusalsListed) + " are listed).");
    }
    Message(Plural(listed.size() + unlisted, "value or row was", "values or rows were") + " refused in \"" + file +
            "\". Nothing was written.");
}

void ReportRefusals(const std::string& file, const formats::Refusals& refusals) {
    std::vector<std::string> listed;
    for (const formats::Refusal& each : refusals.refusals) listed.push_back(formats::RefusalText(each));
    ReportRefusals(file, listed, refusals.unlistedRefusals);
}

std::optional<tables::TableImage> OpenImageOrSay(const std::string& path) {
    std::string refusal;
    std::optional<tables::TableImage> image = tables::OpenTableImage(path, refusal);
    if (!image && !refusal.empty()) Message(refusal);
    // A cut image is read as it is (its table may lie before the cut), but
    // said once: bytes past the end read as 0.
    if (image) {
        const rom::ImageLength length = rom::LengthOf(image->bytes);
        if (length.Shorter()) Message(rom::LengthWarning(path, length));
    }
    return image;
}

namespace {

// The system's error number of the first write to standard output that
// failed: a later flush may no longer know it.
int firstDataError = 0;

}  // namespace

void Data(std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && firstDataError == 0) {
        firstDataError = errno != 0 ? errno : EIO;
    }
}

bool IsStandardOutputName(const std::string& output) { return output.empty() || output == "-"; }

bool OutputIsTheImageOrSay(const std::string& output, const std::string& image, std::string_view what) {
    const bool standard = IsStandardOutputName(output);
    if (!rom::SameFile(standard ? "/dev/stdout" : output, image)) return false;
    const std::string named = standard ? "standard output" : "the output file \"" + output + "\"";
    Message(named + " is the image itself; " + std::string(what) + " would replace it. Nothing was written.");
    return true;
}

bool WriteOutput(const std::string& output, std::string_view text) {
    if (IsStandardOutputName(output)) {
        Data(text);
        return true;
    }
    return tables::ReplaceFileContents(output, text);
}

bool FinishData() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && firstDataError == 0) return true;
    const int error = firstDataError != 0 ? firstDataError : errno != 0 ? errno : EIO;
    Message(std::string("Could not write to standard output: ") + std::strerror(error) + ".", error);
    return false;
}

void InstallFailureReporter() {
    rom::SetFailureReporter([](const rom::Failure& failure) {
        Message(failure.description, failure.number);
    });
}

}  // namespace cli
