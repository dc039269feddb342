#include "tables/TableImport.h"

#include <algorithm>
#include <optional>
#include <string>

#include "rom/FailureReporter.h"
#include "rom/FieldConversions.h"
#include "rom/HexFunctions.h"
#include "tables/FieldText.h"
#include "tables/ImageFiles.h"

namespace tables {

namespace {

// One run of adjacent changed bytes in the file.
struct ByteRun {
    int32_t offset = 0;
    std::string hex;
};

struct ChangedByte {
    int64_t offset;
    uint8_t value;
};

std::vector<ByteRun> RunsOf(const TableImage& image, std::span<const FieldChange> changes) {
    std::vector<ChangedByte> bytes;
    for (const FieldChange& change : changes) {
        const rom::SpeciesField& field = rom::kSpeciesFields[change.field];
        const std::optional<int32_t> offset = rom::FieldOffset(image.profile, change.position, field);
        if (!offset) continue;  // the profiles in use never leave the offset range
        for (int32_t k = 0; k < field.width; ++k) {
            const auto index = static_cast<size_t>(k);
            if (change.before[index] != change.after[index]) bytes.push_back({int64_t{*offset} + k, change.after[index]});
        }
    }
    std::sort(bytes.begin(), bytes.end(), [](const ChangedByte& a, const ChangedByte& b) { return a.offset < b.offset; });
    std::vector<ByteRun> runs;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 0 || bytes[i].offset != bytes[i - 1].offset + 1) {
            runs.push_back({static_cast<int32_t>(bytes[i].offset), std::string()});
        }
        runs.back().hex += rom::TwoDigitHex(bytes[i].value);
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

}  // namespace

SpeciesTable WithImportedRows(const SpeciesTable& table, const ImportedTable& imported) {
    SpeciesTable result = table;
    for (const ImportedRow& row : imported.rows) result[static_cast<size_t>(row.position)] = row.values;
    return result;
}

std::vector<FieldChange> PlanImport(const TableImage& image, const ImportedTable& imported) {
    if (!imported.ok()) return {};
    return Differences(image.table, WithImportedRows(image.table, imported));
}

bool WriteChanges(const TableImage& image, std::span<const FieldChange> changes) {
    const std::vector<ByteRun> runs = RunsOf(image, changes);
    if (runs.empty()) return true;

    for (const ByteRun& run : runs) {
        if (const auto failure = Captured([&] {
                HexFunctions::CheckWritable(image.path, run.offset, static_cast<int32_t>(run.hex.size() / 2));
            })) {
            ReportWithNote(*failure, "The import stopped before its first write; the image is as it was.");
            return false;
        }
    }
    size_t bytesWritten = 0;
    size_t bytesTotal = 0;
    for (const ByteRun& run : runs) bytesTotal += run.hex.size() / 2;
    for (const ByteRun& run : runs) {
        if (const auto failure = Captured([&] { HexFunctions::WriteHexBytes(image.path, run.offset, run.hex); })) {
            ReportWithNote(*failure, "The import stopped after writing " + std::to_string(bytesWritten) + " of " +
                                        std::to_string(bytesTotal) +
                                        " changed bytes; the image now holds part of the import.");
            return false;
        }
        bytesWritten += run.hex.size() / 2;
    }
    return HexFunctions::SyncFile(image.path);
}

bool WriteChangedBytes(const std::string& path, std::span<const uint8_t> before, std::span<const uint8_t> after) {
    if (before.size() != after.size()) {
        rom::ReportFailure({0, "The import would change the length of \"" + path +
                                   "\"; it was refused and nothing was written."});
        return false;
    }
    if (std::equal(before.begin(), before.end(), after.begin())) return true;  // a memcmp, not a loop
    std::vector<ByteRun> runs;
    size_t bytesTotal = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        if (before[i] == after[i]) continue;
        if (runs.empty() || before[i - 1] == after[i - 1]) runs.push_back({static_cast<int32_t>(i), std::string()});
        runs.back().hex += rom::TwoDigitHex(after[i]);
        ++bytesTotal;
    }
    if (runs.empty()) return true;
    for (const ByteRun& run : runs) {
        if (const auto failure = Captured([&] {
                HexFunctions::CheckWritable(path, run.offset, static_cast<int32_t>(run.hex.size() / 2));
            })) {
            ReportWithNote(*failure, "The import stopped before its first write; the image is as it was.");
            return false;
        }
    }
    size_t bytesWritten = 0;
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

}  // namespace tables
