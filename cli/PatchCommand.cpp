// quillmere-cli patch create ORIGINAL MODIFIED PATCH and
// quillmere-cli patch apply PATCH IMAGE OUTPUT [--force]: IPS and BPS patches
// between image files. The patches library does the work and words the
// outcome; this file prints it. Exit status 0 when the file was written, 1
// when the request or the input was refused, 2 when a file could not be read
// or written.

#include <memory>
#include <string>
#include <string_view>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "patches/PatchFiles.h"

namespace cli {

namespace {

struct CreateOptions {
    std::string original;
    std::string modified;
    std::string patch;
};

struct ApplyOptions {
    std::string patch;
    std::string image;
    std::string output;
    bool force = false;
};

// The library's wording of a refused OUTPUT that exists; the command line
// names the option that would replace it.
constexpr std::string_view kKeptOutput = "already exists and is kept";

int Report(const patches::FileOutcome& outcome, bool offerForce) {
    if (outcome.ok()) {
        Data(outcome.message + "\n");
    } else if (offerForce && outcome.message.find(kKeptOutput) != std::string::npos) {
        Message(outcome.message + " Give --force to replace it.");
    } else {
        Message(outcome.message, outcome.number);
    }
    return outcome.ExitCode();
}

}  // namespace

void AddPatchCommand(Command app, CommandStatus& status) {
    Command patch = app.AddSubcommand(
        "patch", "Creates and applies IPS and BPS patches, the way edits of an image are shared.");
    patch.RequireSubcommands(1);

    auto create = std::make_shared<CreateOptions>();
    Command createCommand = patch.AddSubcommand(
        "create", "Writes a patch that turns ORIGINAL into MODIFIED, in the format of PATCH's extension: .ips or "
                  ".bps. IPS cannot shrink a file and holds images of at most 16 MiB. An existing PATCH is "
                  "replaced; it may be neither ORIGINAL nor MODIFIED.");
    createCommand.AddOption("ORIGINAL", create->original, "The unmodified image").Required();
    createCommand.AddOption("MODIFIED", create->modified, "The edited image").Required();
    createCommand.AddOption("PATCH", create->patch, "The patch to write (*.ips or *.bps)").Required();
    createCommand.OnRun([create, &status] {
        status = {Report(patches::CreatePatchFile(create->original, create->modified, create->patch), false),
                  kTrouble};
    });

    auto apply = std::make_shared<ApplyOptions>();
    Command applyCommand = patch.AddSubcommand(
        "apply", "Applies an IPS or BPS patch (told by its first bytes, not its name) to IMAGE and writes the "
                 "result to OUTPUT, whole or not at all. A BPS patch must match IMAGE and the result in size and "
                 "CRC-32. A damaged patch is refused and nothing is written.");
    applyCommand.AddOption("PATCH", apply->patch, "The patch (IPS or BPS)").Required();
    applyCommand.AddOption("IMAGE", apply->image, "The image the patch was made from; never written")
        .Required();
    applyCommand.AddOption("OUTPUT", apply->output, "The file to write; neither IMAGE nor PATCH").Required();
    applyCommand.AddFlag("--force", apply->force, "Replace OUTPUT when it exists (else it is kept)");
    applyCommand.OnRun([apply, &status] {
        status = {Report(patches::ApplyPatchFile(apply->patch, apply->image, apply->output, apply->force),
                         !apply->force),
                  kTrouble};
    });
}

}  // namespace cli
