// quillmere-cli: looks at an image, exports and imports the species table of
// all 251 species, compares two images, creates and applies patches, and
// checks and fixes the header checksums. The subcommands are in
// cli/*Command.cpp; this file only parses, dispatches and catches.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Output.h"

namespace {

// Names a word where a subcommand must stand that is none, with the list of
// the subcommands there; false after saying so. (The parser itself would only
// say that a subcommand is required.)
bool SubcommandsKnown(cli::Command program, int argc, char* argv[]) {
    cli::Command at = program;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.empty() || word[0] == '-') return true;  // an option: the parser judges it
        const std::vector<cli::Command> below = at.Subcommands();
        if (below.empty()) return true;  // a command's own arguments
        std::string names;
        std::optional<cli::Command> next;
        for (const cli::Command& command : below) {
            if (command.Name() == word) next = command;
            names += (names.empty() ? "" : ", ") + command.Name();
        }
        if (!next) {
            const std::string where = at == program ? "" : " of " + at.Name();
            cli::Message("\"" + word + "\" is not a subcommand" + where + "; the subcommands" + where + " are " + names +
                         ". Give --help for what each does.");
            return false;
        }
        at = *next;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    try {
        cli::InstallFailureReporter();
        cli::Program program{
            "Looks at a Kreblin Gold, Silver or Crystal image, exports and imports the data of all 251 species, "
            "compares two images, creates and applies IPS and BPS patches, and checks and fixes the header checksums.",
            std::string(cli::kProgramName), std::string(cli::kProgramName) + " " + QUILLMERE_VERSION};
        program.Root().RequireSubcommands(1);
        cli::CommandStatus status;
        for (const cli::CommandAdder add : cli::kCommands) add(program.Root(), status);
        if (!SubcommandsKnown(program.Root(), argc, argv)) return cli::kUsage;
        // After --help, --version or a usage error, which the parser has said.
        if (const std::optional<int> said = program.Parse(argc, argv)) return *said == 0 ? cli::kSuccess : cli::kUsage;
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
