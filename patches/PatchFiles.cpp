#include "patches/PatchFiles.h"

#include <optional>

#include "patches/Guarded.h"

namespace patches {

namespace {

constexpr char kNothingWritten[] = " Nothing was written.";

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string ByteCount(uint64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

FileOutcome Outcome(FileStatus status, std::string message, int number = 0) {
    return FileOutcome{status, std::move(message), number};
}

// Refuses OUTPUT when it is one of the inputs, by identity or by path.
std::optional<FileOutcome> RefuseSameFile(const std::string& outputPath, const char* outputRole,
                                          const std::string& inputPath, const char* inputRole) {
    if (!SameFile(outputPath, inputPath)) return std::nullopt;
    return Outcome(FileStatus::Refused, std::string("Refused to write the ") + outputRole + " " +
                                            Quoted(outputPath) + ": it is the " + inputRole + " " +
                                            Quoted(inputPath) + " itself, which is never overwritten." +
                                            kNothingWritten);
}

FileOutcome CreateUnguarded(const std::string& originalPath, const std::string& modifiedPath,
                            const std::string& patchPath) {
    const std::optional<PatchFormat> format = FormatOfFileName(patchPath);
    if (!format) {
        return Outcome(FileStatus::Refused, "Refused to write the patch " + Quoted(patchPath) +
                                                ": its name must end in \".ips\" or \".bps\", which chooses the "
                                                "patch format." +
                                                kNothingWritten);
    }
    if (auto refused = RefuseSameFile(patchPath, "patch", originalPath, "original")) return *refused;
    if (auto refused = RefuseSameFile(patchPath, "patch", modifiedPath, "modified file")) return *refused;

    const FileRead original = ReadWholeFile(originalPath, kMaxImageFileSize);
    if (original.status != FileStatus::Done) {
        return Outcome(original.status,
                       "Could not read the original " + Quoted(originalPath) + ": " + original.reason + "." +
                           kNothingWritten,
                       original.number);
    }
    const FileRead modified = ReadWholeFile(modifiedPath, kMaxImageFileSize);
    if (modified.status != FileStatus::Done) {
        return Outcome(modified.status,
                       "Could not read the modified file " + Quoted(modifiedPath) + ": " + modified.reason + "." +
                           kNothingWritten,
                       modified.number);
    }
    const BytesResult patch = CreatePatch(*format, original.bytes, modified.bytes);
    const std::string what = "the " + std::string(FormatName(*format)) + " patch " + Quoted(patchPath);
    if (!patch.ok()) {
        return Outcome(FileStatus::Refused, "Could not create " + what + ": " + patch.error + "." + kNothingWritten);
    }
    const FileWrite write = WriteFileThroughTemporary(patchPath, patch.bytes, /*replace=*/true);
    if (write.status != FileStatus::Done) {
        return Outcome(write.status, "Could not write " + what + ": " + write.reason + "." + kNothingWritten,
                       write.number);
    }
    return Outcome(FileStatus::Done, "Wrote " + what + " (" + ByteCount(patch.bytes.size()) + "), which turns " +
                                         Quoted(originalPath) + " into " + Quoted(modifiedPath) + ".");
}

FileOutcome ApplyUnguarded(const std::string& patchPath, const std::string& imagePath, const std::string& outputPath,
                           bool force) {
    if (auto refused = RefuseSameFile(outputPath, "output", imagePath, "image")) return *refused;
    if (auto refused = RefuseSameFile(outputPath, "output", patchPath, "patch")) return *refused;
    // Where the output finally lies: a folder or a dangling link cannot be
    // written; a device or pipe is written into, so it is never "kept".
    const rom::OutputTarget target = rom::ResolveOutput(outputPath);
    if (!target.reason.empty()) {
        return Outcome(FileStatus::Failed,
                       "Could not write the output " + Quoted(outputPath) + ": " + target.reason + "." + kNothingWritten,
                       target.number);
    }
    if (!force && target.kind == rom::OutputKind::File) {
        return Outcome(FileStatus::Refused, "Refused to write the output " + Quoted(outputPath) +
                                                ": the file already exists and is kept." + kNothingWritten);
    }

    const FileRead patch = ReadWholeFile(patchPath, kMaxPatchFileSize);
    if (patch.status != FileStatus::Done) {
        return Outcome(patch.status,
                       "Could not read the patch " + Quoted(patchPath) + ": " + patch.reason + "." + kNothingWritten,
                       patch.number);
    }
    const FileRead image = ReadWholeFile(imagePath, kMaxImageFileSize);
    if (image.status != FileStatus::Done) {
        return Outcome(image.status,
                       "Could not read the image " + Quoted(imagePath) + ": " + image.reason + "." + kNothingWritten,
                       image.number);
    }
    const BytesResult result = ApplyPatch(patch.bytes, image.bytes);
    if (!result.ok()) {
        return Outcome(FileStatus::Refused, "Could not apply the patch " + Quoted(patchPath) + " to " +
                                                Quoted(imagePath) + ": " + result.error + "." + kNothingWritten);
    }
    const FileWrite write = WriteFileThroughTemporary(outputPath, result.bytes, force);
    if (write.status != FileStatus::Done) {
        return Outcome(write.status,
                       "Could not write the output " + Quoted(outputPath) + ": " + write.reason + "." + kNothingWritten,
                       write.number);
    }
    const std::string_view format = FormatName(*DetectFormat(patch.bytes));
    return Outcome(FileStatus::Done, "Wrote " + Quoted(outputPath) + " (" + ByteCount(result.bytes.size()) +
                                         "): the " + std::string(format) + " patch " + Quoted(patchPath) +
                                         " applied to " + Quoted(imagePath) + ".");
}

}  // namespace

FileOutcome CreatePatchFile(const std::string& originalPath, const std::string& modifiedPath,
                            const std::string& patchPath) {
    return Guarded([&] { return CreateUnguarded(originalPath, modifiedPath, patchPath); },
                   [&](const std::string& reason) {
                       return Outcome(FileStatus::Failed, "Could not create the patch " + Quoted(patchPath) + ": " +
                                                              reason + "." + kNothingWritten);
                   });
}

FileOutcome ApplyPatchFile(const std::string& patchPath, const std::string& imagePath, const std::string& outputPath,
                           bool force) {
    return Guarded([&] { return ApplyUnguarded(patchPath, imagePath, outputPath, force); },
                   [&](const std::string& reason) {
                       return Outcome(FileStatus::Failed, "Could not apply the patch " + Quoted(patchPath) + ": " +
                                                              reason + "." + kNothingWritten);
                   });
}

}  // namespace patches
