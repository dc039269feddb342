#pragma once
// The whole-file steps of the table tools: reading a whole file into memory
// (with a bound) and writing an output file through a temporary file renamed
// into place, with failures reported through rom::ReportFailure, never thrown.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tables {

// The largest image a cartridge holds (the ROM-size byte 8: 8 MiB). Images
// are read whole into memory only up to this length.
inline constexpr int64_t kLargestImage = int64_t{8} * 1024 * 1024;

// The largest table file an import reads (an export of all species is about
// 30 KB as CSV and 90 KB as JSON).
inline constexpr int64_t kLargestTableFile = int64_t{16} * 1024 * 1024;

// Every byte of the file at `path`, when it holds at most `limit` bytes. A
// longer file, a folder, or a file that cannot be read is a reported failure
// (nullopt). `what` names the file in the message ("image", "table file").
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, int64_t limit, std::string_view what);

// Writes `content` to a temporary file next to the file `path` finally names
// (through symbolic links, which stay), flushes it and renames it over that
// file, so that it holds either its old content or all of the new one, never
// a part. A replaced file keeps its mode (and owner, where the process may); a
// new one gets the usual permissions (0666 less the umask). A device, FIFO or
// standard output is written into instead. Returns false after a reported
// failure; the temporary file is then removed.
bool ReplaceFileContents(const std::string& path, std::string_view content);

}  // namespace tables
