#include "tables/ImageFiles.h"

#include <algorithm>

#include "rom/FailureReporter.h"
#include "rom/WholeFiles.h"

namespace tables {

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, int64_t limit, std::string_view what) {
    rom::FileRead read = rom::ReadWholeFile(path, static_cast<uint64_t>(std::max<int64_t>(limit, 0)));
    if (read.status != rom::FileStatus::Done) {
        rom::ReportFailure({read.number, "Could not read the " + std::string(what) + " " + Quoted(path) + ": " +
                                             read.reason + "."});
        return std::nullopt;
    }
    return std::move(read.bytes);
}

bool ReplaceFileContents(const std::string& path, std::string_view content) {
    const auto* data = reinterpret_cast<const uint8_t*>(content.data());
    const rom::FileWrite write = rom::WriteFileThroughTemporary(path, {data, content.size()}, /*replace=*/true);
    if (write.status != rom::FileStatus::Done) {
        rom::ReportFailure(
            {write.number, "Could not write " + Quoted(path) + ": " + write.reason + ". The file was left as it was."});
        return false;
    }
    return true;
}

}  // namespace tables
