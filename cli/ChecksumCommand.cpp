// quillmere-cli checksum IMAGE [--fix [--force] [--in-place]]: the header
// checksum (0x14D) and the global checksum (0x14E-0x14F), stored and
// computed; --fix writes the computed ones (the image replaced whole, or with
// --in-place only the three bytes written into it). Exit status 0 when both
// are right (after --fix: when both are now right), 1 when one is wrong, 2 on
// failure.

#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "patches/HeaderChecksums.h"
#include "rom/HexDigits.h"
#include "rom/ImageLength.h"
#include "rom/WholeFiles.h"
#include "tables/ImageFiles.h"
#include "tables/ImageInfo.h"

namespace cli {

namespace {

struct ChecksumOptions {
    std::string image;
    bool fix = false;
    bool force = false;
    bool inPlace = false;
};

std::string Line(const char* name, uint64_t stored, uint64_t computed, size_t digits, bool right) {
    return std::string(name) + " checksum:  stored 0x" + rom::hexdigits::Of(stored, digits) + ", computed 0x" +
           rom::hexdigits::Of(computed, digits) + (right ? ", right\n" : ", wrong\n");
}

// Prints the checksums as the file holds them now; the exit status says
// whether both are right.
int ShowChecksums(const std::string& image) {
    const patches::ChecksumReport report = patches::ReadChecksums(image);
    if (!report.checked()) {
        Message(report.message, report.number);
        return report.ExitCode();
    }
    Data(Line("Header", report.storedHeader, report.computedHeader, 2, report.headerRight()));
    Data(Line("Global", report.storedGlobal, report.computedGlobal, 4, report.globalRight()));
    return report.ExitCode();
}

// Says so when the file is no image of the three versions; its checksums
// are then none of this program's business, and --fix would write into it.
// A file that cannot be read or holds no header is left to the checks below,
// which say why in their own words.
bool NotAnImageSaid(const std::string& path) {
    const rom::FileRead read = rom::ReadWholeFile(path, static_cast<uint64_t>(tables::kLargestImage));
    if (read.status != rom::FileStatus::Done || !rom::HoldsHeader(static_cast<int64_t>(read.bytes.size()))) {
        return false;
    }
    const std::string notAnImage = tables::NotAKreblinImage(read.bytes, path);
    if (notAnImage.empty()) return false;
    Message(notAnImage + " Nothing was written.");
    return true;
}

int RunChecksum(const ChecksumOptions& options) {
    if (NotAnImageSaid(options.image)) return kTrouble;
    if (options.fix) {
        const patches::ChecksumFix fix = patches::FixChecksums(
            options.image, options.force, options.inPlace ? rom::ImageWriteMode::InPlace : rom::ImageWriteMode::Whole);
        if (!fix.ok()) {
            Message(fix.cut ? fix.message + " Give --force to write them anyway." : fix.message, fix.number);
            return fix.ExitCode();
        }
        // What changed, then the values read back from the file.
        Data(fix.message + "\n");
    }
    return ShowChecksums(options.image);
}

}  // namespace

void AddChecksumCommand(Command app, CommandStatus& status) {
    auto options = std::make_shared<ChecksumOptions>();
    Command command = app.AddSubcommand(
        "checksum", "Shows the header checksum (0x14D) and the global checksum (0x14E-0x14F), each as stored and "
                    "as computed, and whether it is right. Exit status 0 when both are right, 1 when one is wrong, "
                    "2 on failure.");
    command.AddOption("IMAGE", options->image, "The image file (*.gbc)").Required();
    Option fix = command.AddFlag(
        "--fix", options->fix,
        "Write the computed values (bytes 0x14D-0x14F only; the image is replaced whole, through a new file renamed "
        "over it) and say what changed; exit status 0 when both are now right. An image shorter than its header "
        "declares is refused");
    command.AddFlag("--force", options->force,
                    "With --fix: write the checksums of an image shorter than its header declares too")
        .Needs(fix);
    command.AddFlag("--in-place", options->inPlace,
                    "With --fix: write the three bytes into the image itself (for an image with other hard links "
                    "or in a folder that cannot take a new file)")
        .Needs(fix);
    command.OnRun([options, &status] { status = {RunChecksum(*options), kTrouble}; });
}

}  // namespace cli
