#pragma once
// Byte-level access to the ROM file as hex byte-strings: two uppercase hex
// digits per byte, first byte first. Every call opens the file, transfers its
// bytes and closes it again; nothing is cached between calls.
//
// Failures are reported through ReportFailure (FailureReporter.h), never thrown.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace HexFunctions {

// Reads `count` bytes starting at `offset`. A byte beyond the end of the file
// reads as "00" without a failure. Returns empty text for a count of 0 or less,
// and after a reported failure (never a partial result).
std::string ReadHexBytes(const std::string& path, int32_t offset, int32_t count);

// As ReadHexBytes, but tells a reported failure (nullopt) apart from an empty
// read.
std::optional<std::string> TryReadHexBytes(const std::string& path, int32_t offset, int32_t count);

// Writes the bytes of `hexText` in place starting at `offset`. An odd-length
// text is completed with a "0" in front. The text is checked whole before
// anything is written: a group that is not hexadecimal, a negative offset, an
// offset past the signed 32-bit range, a missing file, a file marked read-only
// (also for an administrator), or any byte at or past the end of the file is a
// reported failure and writes nothing. The file's
// length never changes. Returns false after a reported failure.
bool WriteHexBytes(const std::string& path, int32_t offset, std::string_view hexText);

// Checks, without writing, that `count` bytes at `offset` could be written in
// place: the same checks and reports as WriteHexBytes, including a file that
// is marked read-only. Lets a caller make sure of every write before the first.
bool CheckWritable(const std::string& path, int32_t offset, int32_t count);

// Makes the bytes written to the file durable: opens it for writing (never
// creating or truncating it), flushes its data to the disk and closes it.
// Writers call it once after their last write, so that a change the user saw
// complete survives a power cut. Returns false after one reported failure.
bool SyncFile(const std::string& path);

// Reverses the order of the two-digit groups ("1234AB" gives "AB3412"); an
// odd-length text is completed with a "0" in front first ("ABC" gives "BC0A").
std::string ReverseHexBytes(std::string_view hexText);

}  // namespace HexFunctions
