// quillmere-cli: looks at an image, exports and imports the species table of
// all 251 species, compares two images, creates and applies patches, and
// checks and fixes the header checksums. The subcommands are in
// cli/*Command.cpp; this file only parses, dispatches and catches.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Output.h"

namespace {

// Names a word where a subcommand must stand that is none, with the list of
// the subcommands there; false after saying so. (The parser itself would only
// say that a subcommand is required.)
bool SubcommandsKnown(CLI::App& app, int argc, char* argv[]) {
    CLI::App* at = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.empty() || word[0] == '-') return true;  // an option: the parser judges it
        const std::vector<CLI::App*> below = at->get_subcommands([](CLI::App*) { return true; });
        if (below.empty()) return true;  // a command's own arguments
        std::string names;
        CLI::App* next = nullptr;
        for (CLI::App* command : below) {
            if (command->get_name() == word) next = command;
            names += (names.empty() ? "" : ", ") + command->get_name();
        }
        if (next == nullptr) {
            const std::string where = at == &app ? "" : " of " + at->get_name();
            cli::Message("\"" + word + "\" is not a subcommand" + where + "; the subcommands" + where + " are " + names +
                         ". Give --help for what each does.");
            return false;
        }
        at = next;
    }
    return true;
}

}  // namespace

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
        if (!SubcommandsKnown(app, argc, argv)) return cli::kUsage;
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
