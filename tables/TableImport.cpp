#include "tables/TableImport.h"

#include <cerrno>
#include <map>
#include <optional>
#include <string>

#include "rom/FailureReporter.h"
#include "rom/FieldConversions.h"
#include "rom/HexFunctions.h"
#include "rom/WholeFiles.h"
#include "tables/FieldText.h"
#include "tables/ImageFiles.h"

namespace tables {

namespace {

// One run of adjacent changed bytes in the file.
struct ByteRun {
    int32_t offset = 0;
    std::string hex;
};

// The runs of adjacent bytes in which `after` differs from `before` (of the
// same length).
std::vector<ByteRun> RunsOf(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    std::vector<ByteRun> runs;
    size_t runEnd = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        if (before[i] == after[i]) continue;
        if (runs.empty() || i != runEnd) runs.push_back({static_cast<int32_t>(i), std::string()});
        runs.back().hex += rom::TwoDigitHex(after[i]);
        runEnd = i + 1;
    }
    return runs;
}

// Runs `access` and returns the failure it reported, kept from the reporter so
// that the caller can add what the import had done and report once.
template <class Access>
std::optional<rom::Failure> Captured(Access access) {
    rom::ScopedFailureCapture capture;
    access();
    return capture.captured();
}

void ReportWithNote(rom::Failure failure, const std::string& note) {
    failure.description += "\n" + note;
    rom::ReportFailure(failure);
}

constexpr char kBeforeFirstWrite[] = "The import stopped before its first write; the image is as it was.";

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Each run written into the file itself, every one checked before the first;
// a failure part of the way leaves part of the import, and says so.
bool WriteInPlace(const std::string& path, const std::vector<ByteRun>& runs) {
    for (const ByteRun& run : runs) {
        if (const auto failure = Captured([&] {
                HexFunctions::CheckWritable(path, run.offset, static_cast<int32_t>(run.hex.size() / 2));
            })) {
            ReportWithNote(*failure, kBeforeFirstWrite);
            return false;
        }
    }
    size_t bytesWritten = 0;
    size_t bytesTotal = 0;
    for (const ByteRun& run : runs) bytesTotal += run.hex.size() / 2;
    for (const ByteRun& run : runs) {
        if (const auto failure = Captured([&] { HexFunctions::WriteHexBytes(path, run.offset, run.hex); })) {
            ReportWithNote(*failure, "The import stopped after writing " + std::to_string(bytesWritten) + " of " +
                                        std::to_string(bytesTotal) +
                                        " changed bytes; the image now holds part of the import.");
            return false;
        }
        bytesWritten += run.hex.size() / 2;
    }
    return HexFunctions::SyncFile(path);
}

// The new image written beside the file the path finally names and renamed
// over it: the path holds the old image or the new one, whatever happens.
bool WriteWhole(const std::string& path, std::span<const uint8_t> after) {
    const rom::ReplacementCheck check = rom::CheckWholeReplacement(path);
    if (!check.ok()) {
        std::string text = "Could not write the import into " + Quoted(path) + ": " + check.reason + ".\n" +
                           kBeforeFirstWrite;
        if (check.inPlaceWouldDo) text += "\n" + std::string(rom::kInPlaceHint);
        rom::ReportFailure({check.number, text});
        return false;
    }
    const rom::FileWrite write = rom::WriteFileThroughTemporary(check.target, after, /*replace=*/true);
    if (write.status != rom::FileStatus::Done) {
        rom::ReportFailure({write.number, "Could not write the import into " + Quoted(path) + ": " + write.reason +
                                              ".\nThe image is as it was; the new image was not put in its place."});
        return false;
    }
    return true;
}

}  // namespace

SpeciesTable WithImportedRows(const SpeciesTable& table, const ImportedTable& imported) {
    SpeciesTable result = table;
    for (const ImportedRow& row : imported.rows) {
        SpeciesValues& values = result[static_cast<size_t>(row.position)];
        for (size_t f = 0; f < kFieldCount; ++f) {
            if (row.given[f]) values.fields[f] = row.values.fields[f];
        }
    }
    return result;
}

std::vector<FieldChange> PlanImport(const TableImage& image, const ImportedTable& imported) {
    if (!imported.ok()) return {};
    return Differences(image.table, WithImportedRows(image.table, imported));
}

std::vector<NameChange> PlanNameImport(const TableImage& image, const ImportedTable& imported) {
    std::vector<NameChange> changes;
    if (!imported.ok()) return changes;
    std::map<int32_t, const NameBytes*> named;  // a position is given once: the rows' checks say so
    for (const ImportedRow& row : imported.rows) {
        if (row.name) named[row.position] = &*row.name;
    }
    for (const auto& [position, bytes] : named) {
        const NameBytes& before = image.names.stored[static_cast<size_t>(position)];
        if (*bytes == before) continue;
        changes.push_back({position, before, *bytes, image.names.TextOf(position),
                           NameText(*bytes, image.names.charset)});
    }
    return changes;
}

bool LayChanges(const TableImage& image, std::span<const FieldChange> changes, std::span<const NameChange> names,
                std::vector<uint8_t>& after, std::string& failure) {
    if (!LayChanges(image, changes, after, failure)) return false;
    if (!LayNames(image.names, names, after)) {
        failure = "a species name lies past the end of the image; an import never makes an image longer.";
        return false;
    }
    return true;
}

bool LayChanges(const TableImage& image, std::span<const FieldChange> changes, std::vector<uint8_t>& after,
                std::string& failure) {
    for (const FieldChange& change : changes) {
        const rom::SpeciesField& field = rom::kSpeciesFields[change.field];
        const std::optional<int32_t> offset = rom::FieldOffset(image.profile, change.position, field);
        if (!offset || static_cast<size_t>(*offset) + static_cast<size_t>(field.width) > after.size()) {
            failure = "the " + std::string(field.control) + " of species " + std::to_string(change.position) +
                      " lies past the end of the image; an import never makes an image longer.";
            return false;
        }
        for (int32_t k = 0; k < field.width; ++k) {
            after[static_cast<size_t>(*offset + k)] = change.after[static_cast<size_t>(k)];
        }
    }
    return true;
}

bool WriteChanges(const TableImage& image, std::span<const FieldChange> changes, rom::ImageWriteMode mode) {
    return WriteChanges(image, changes, {}, mode);
}

bool WriteChanges(const TableImage& image, std::span<const FieldChange> changes, std::span<const NameChange> names,
                  rom::ImageWriteMode mode) {
    if (changes.empty() && names.empty()) return true;
    std::vector<uint8_t> after = image.bytes;
    // The names table was found inside the image as read: its fields always fit.
    if (!LayNames(image.names, names, after)) {
        rom::ReportFailure({EFBIG, "Could not write the import into " + Quoted(image.path) +
                                       ": a species name lies past the end of the image as it was read.\n" +
                                       kBeforeFirstWrite});
        return false;
    }
    for (const FieldChange& change : changes) {
        const rom::SpeciesField& field = rom::kSpeciesFields[change.field];
        const std::optional<int32_t> offset = rom::FieldOffset(image.profile, change.position, field);
        if (!offset) continue;  // the profiles in use never leave the offset range
        for (int32_t k = 0; k < field.width; ++k) {
            const auto index = static_cast<size_t>(k);
            if (change.before[index] == change.after[index]) continue;
            const auto at = static_cast<size_t>(*offset) + index;
            if (at < after.size()) {
                after[at] = change.after[index];
                continue;
            }
            // A hand-built image that ends before this field: a write never
            // makes a file longer. The byte layer says so in its own words.
            const int32_t count = field.width - k;
            auto failure = Captured([&] { HexFunctions::CheckWritable(image.path, *offset + k, count); });
            if (!failure) {
                failure = rom::Failure{EFBIG, "Could not write the import into " + Quoted(image.path) +
                                                  ": a changed field lies past the end of the image as it was read."};
            }
            ReportWithNote(*failure, kBeforeFirstWrite);
            return false;
        }
    }
    return WriteChangedBytes(image.path, image.bytes, after, mode);
}

bool WriteChangedBytes(const std::string& path, std::span<const uint8_t> before, std::span<const uint8_t> after,
                       rom::ImageWriteMode mode) {
    if (before.size() != after.size()) {
        rom::ReportFailure({EINVAL, "Could not write the import into " + Quoted(path) + ": the new image is " +
                                        std::to_string(after.size()) + " bytes long and the image " +
                                        std::to_string(before.size()) +
                                        "; an import never changes an image's length.\n" + kBeforeFirstWrite});
        return false;
    }
    const std::vector<ByteRun> runs = RunsOf(before, after);
    if (runs.empty()) return true;
    return mode == rom::ImageWriteMode::InPlace ? WriteInPlace(path, runs) : WriteWhole(path, after);
}

}  // namespace tables
