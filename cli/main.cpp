// quillmere-cli: looks at an image, exports and imports the species table of
// all 251 species, compares two images, creates and applies patches, and
// checks and fixes the header checksums. The subcommands are in
// cli/*Command.cpp; this file only parses, dispatches and catches.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "cli/Commands.h"
#include "cli/Output.h"

int main(int argc, char* argv[]) {
    try {
        cli::InstallFailureReporter();
        CLI::App app{"Looks at a Kreblin Gold, Silver or Crystal image, exports and imports the data of all 251 "
                     "species, compares two images, creates and applies IPS and BPS patches, and checks and fixes the "
                     "header checksums.",
                     std::string(cli::kProgramName)};
        app.set_version_flag("--version", std::string(cli::kProgramName) + " " + QUILLMERE_VERSION);
        app.require_subcommand(1);
        cli::CommandStatus status;
        for (const cli::CommandAdder add : cli::kCommands) add(app, status);
        try {
            app.parse(argc, argv);
        } catch (const CLI::ParseError& error) {
            const int status = app.exit(error);
            return status == 0 ? cli::kSuccess : cli::kUsage;
        }
        // Output that could not be written is a failure of the command by its
        // own convention; a graver status it already has (a usage error) stays.
        if (!cli::FinishData()) return std::max(status.exit, status.failure);
        return status.exit;
    } catch (const std::exception& error) {
        cli::Message(std::string("stopped by an unexpected failure: ") + error.what());
    } catch (...) {
        cli::Message("stopped by an unexpected failure.");
    }
    // Non-zero for every subcommand, and the failure status of diff, patch and checksum.
    return 2;
}
