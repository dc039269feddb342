#include "cli/PictureCommands.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "formats/PngFile.h"
#include "rom/WholeFiles.h"
#include "tables/ImagePictures.h"

namespace cli {

int RunPictureExport(const std::string& imagePath, const std::string& folder) {
    const std::optional<tables::TableImage> image = OpenImageOrSay(imagePath);
    if (!image) return kFailure;
    const tables::ImagePictures pictures = tables::ReadImagePictures(*image);
    if (rom::PathExists(folder) && !rom::IsFolder(folder)) {
        Message("\"" + folder + "\" is no folder: the pictures go into a folder. Nothing was written.");
        return kFailure;
    }
    if (!rom::PathExists(folder)) {
        std::error_code error;
        std::filesystem::create_directory(folder, error);
        if (error) {
            Message("cannot make the folder \"" + folder + "\": " + error.message() + ". Nothing was written.",
                    error.value());
            return kFailure;
        }
    }
    for (const std::string& each : pictures.unproven) Message(imagePath + ": not shown: " + each + ".");
    if (!pictures.palettesWhy.empty()) {
        Message("warning: the pictures are in shades of grey: the palettes are not known (" + pictures.palettesWhy +
                ").");
    }
    size_t written = 0;
    for (const tables::PictureFile& file : pictures.files) {
        const int side = file.dim * rom::kTilePixels;
        const formats::PngBytes png =
            formats::EncodeIndexedPng(side, side, pictures.decoded[file.pixels], file.colours);
        const std::string path = (std::filesystem::path(folder) / (file.name + ".png")).string();
        if (!png.ok()) {
            Message(path + ": " + png.error + ". " + std::to_string(written) + " pictures were written.");
            return kFailure;
        }
        const rom::FileWrite write = rom::WriteFileThroughTemporary(
            path, std::span(reinterpret_cast<const uint8_t*>(png.bytes.data()), png.bytes.size()), true);
        if (write.status != rom::FileStatus::Done) {
            Message("cannot write \"" + path + "\": " + write.reason + ". " + std::to_string(written) +
                        " pictures were written.",
                    write.number);
            return kFailure;
        }
        ++written;
    }
    for (const std::string& each : pictures.refused) Message(imagePath + ": picture " + each + ".");
    Data("Wrote " + std::to_string(written) + (written == 1 ? " picture" : " pictures") + " into \"" + folder +
         "\".\n");
    return pictures.refused.empty() && pictures.unproven.empty() ? kSuccess : kFailure;
}

}  // namespace cli
