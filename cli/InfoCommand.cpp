// quillmere-cli info IMAGE [--json] [-o FILE]: what the image says about itself.

#include <nlohmann/json.hpp>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "rom/FieldConversions.h"
#include "rom/ImageFacts.h"
#include "rom/ImageLength.h"
#include "rom/VersionDetection.h"
#include "tables/ImageFiles.h"
#include "tables/ImageInfo.h"

namespace cli {

namespace {

struct InfoOptions {
    std::string image;
    bool json = false;
    std::string output;
};

// The real length, and the declared one when they differ.
std::string SizeText(const tables::ImageInfo& info, const rom::ImageLength& length) {
    std::string text = std::to_string(info.size) + " bytes";
    if (length.Differs()) {
        text += std::string(length.Shorter() ? ", shorter" : ", longer") + " than the " +
                std::to_string(*length.declared) + " its header declares";
    }
    return text;
}

std::string Hex2(int value) { return "0x" + rom::TwoDigitHex(value); }

std::string Hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::string ChecksumText(bool right, const std::string& stored, const std::string& computed) {
    if (right) return stored + ", right";
    return stored + ", wrong (the bytes give " + computed + ")";
}

std::string AsText(const tables::ImageInfo& info, const rom::ImageLength& length, const std::string& path) {
    const std::optional<int64_t> declared = rom::DeclaredRomSize(info.header.romSizeByte);
    std::string romSize = Hex2(info.header.romSizeByte);
    romSize += declared ? " (declares " + std::to_string(*declared) + " bytes)" : " (declares no known size)";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"File", path},
        {"Size", SizeText(info, length)},
        {"Title", info.header.title},
        {"ROM version", Hex2(info.header.romVersion)},
        {"Destination code", Hex2(info.header.destinationCode)},
        {"Cartridge type", Hex2(info.header.cartridgeType)},
        {"ROM size", romSize},
        {"Header checksum",
         ChecksumText(info.headerChecksumRight, Hex2(info.header.headerChecksum), Hex2(info.headerChecksumComputed))},
        {"Global checksum", ChecksumText(info.globalChecksumRight, Hex4(info.header.globalChecksum),
                                         Hex4(info.globalChecksumComputed))},
        {"Version", std::string(rom::VersionCaption(info.version))},
        {"Layout", std::string(rom::LayoutName(info.layout))},
        {"Released image",
         info.release != nullptr ? tables::ReleaseCaption(*info.release) + ", unmodified" : "no (not an unmodified release)"},
        {"SHA-1", info.sha1},
    };
    std::string text;
    for (const auto& [name, value] : rows) {
        text += name + ":" + std::string(18 - name.size(), ' ') + value + "\n";
    }
    return text;
}

std::string AsJson(const tables::ImageInfo& info, const rom::ImageLength& length, const std::string& path) {
    nlohmann::ordered_json out;
    out["file"] = path;
    out["size"] = info.size;
    out["declaredSize"] = length.declared ? nlohmann::ordered_json(*length.declared) : nlohmann::ordered_json(nullptr);
    out["title"] = info.header.title;
    out["romVersion"] = info.header.romVersion;
    out["destinationCode"] = info.header.destinationCode;
    out["cartridgeType"] = info.header.cartridgeType;
    out["romSizeByte"] = info.header.romSizeByte;
    out["headerChecksum"] = {{"stored", info.header.headerChecksum},
                             {"computed", info.headerChecksumComputed},
                             {"right", info.headerChecksumRight}};
    out["globalChecksum"] = {{"stored", info.header.globalChecksum},
                             {"computed", info.globalChecksumComputed},
                             {"right", info.globalChecksumRight}};
    out["version"] = std::string(rom::VersionCaption(info.version));
    out["layout"] = std::string(rom::LayoutName(info.layout));
    out["release"] = info.release != nullptr ? nlohmann::ordered_json(tables::ReleaseCaption(*info.release))
                                             : nlohmann::ordered_json(nullptr);
    out["sha1"] = info.sha1;
    return out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

int RunInfo(const InfoOptions& options) {
    const std::optional<std::vector<uint8_t>> bytes =
        tables::ReadWholeFile(options.image, tables::kLargestImage, "image");
    if (!bytes) return kFailure;
    if (!rom::HoldsHeader(static_cast<int64_t>(bytes->size()))) {
        Message(rom::TooShortMessage(options.image, static_cast<int64_t>(bytes->size())));
        return kFailure;
    }
    if (OutputIsTheImageOrSay(options.output, options.image, "the description")) return kUsage;
    const rom::ImageLength length = rom::LengthOf(*bytes);
    if (length.Differs()) Message(rom::LengthWarning(options.image, length));
    const tables::ImageInfo info = tables::DescribeImage(*bytes);
    const std::string text = options.json ? AsJson(info, length, options.image) : AsText(info, length, options.image);
    return WriteOutput(options.output, text) ? kSuccess : kFailure;
}

}  // namespace

void AddInfoCommand(CLI::App& app, CommandStatus& status) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* command = app.add_subcommand(
        "info", "Shows the image's size, header fields, checksums, version, table layout and whether it is an "
                "unmodified released image.");
    command->add_option("IMAGE", options->image, "The image file (*.gbc)")->required();
    command->add_flag("--json", options->json, "Print the facts as one JSON object");
    command->add_option("-o,--output", options->output,
                        "Write to this file instead of standard output (\"-\"), as export's -o does");
    command->callback([options, &status] { status = {RunInfo(*options), kFailure}; });
}

}  // namespace cli
