#include "cli/Output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "rom/FailureReporter.h"

namespace cli {

void Message(std::string_view text) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(kProgramName.size()), kProgramName.data(),
                 static_cast<int>(text.size()), text.data());
}

std::optional<tables::TableImage> OpenImageOrSay(const std::string& path) {
    std::string refusal;
    std::optional<tables::TableImage> image = tables::OpenTableImage(path, refusal);
    if (!image && !refusal.empty()) Message(refusal);
    return image;
}

void Data(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

bool FinishData() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    const int error = errno != 0 ? errno : EIO;
    Message(std::string("could not write to standard output: ") + std::strerror(error) + ".");
    return false;
}

void InstallFailureReporter() {
    rom::SetFailureReporter([](const rom::Failure& failure) {
        Message(failure.description + " (error " + std::to_string(failure.number) + ")");
    });
}

}  // namespace cli
