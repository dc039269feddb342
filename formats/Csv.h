#pragma once
// A small reader and writer of comma-separated values as RFC 4180 gives them:
// fields separated by commas, records by line breaks (CRLF written; CRLF, LF
// or CR read), and a field that holds a comma, a double quote, a line break
// or surrounding spaces is enclosed in double quotes, with every double quote
// inside it doubled.

#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

struct CsvRecord {
    int line = 0;  // the line the record starts on, counted from 1
    std::vector<std::string> fields;
    std::vector<int> fieldLines;  // the line each field starts on
};

// What stopped the reader: a quoting error, or a bound of CsvLimits.
enum class CsvStop { Quoting, TooManyRecords, TooManyFields };

struct CsvError {
    CsvStop stop = CsvStop::Quoting;
    int line = 0;
    int column = 0;  // the field's number in its record, counted from 1
    std::string message;
};

// One field as written: quoted when it has to be.
std::string CsvField(std::string_view text);

// One record: its fields, quoted as needed, joined by commas, then CRLF.
std::string CsvRecordLine(std::span<const std::string> fields);

// Bounds on what the reader keeps, so that a hostile file (millions of
// commas or of lines) cannot make it hold millions of fields or records.
struct CsvLimits {
    size_t mostRecords = std::numeric_limits<size_t>::max();
    size_t mostFields = std::numeric_limits<size_t>::max();  // in one record
};

// The separator of a file whose first line is a header row: the one of comma,
// semicolon and tab that the line (outside quotes) holds most of; a comma
// when it holds none. A byte-order mark at the start is skipped.
char DetectSeparator(std::string_view text);

// Reads every record, its fields separated by `separator` (a comma, or the
// semicolon or tab some spreadsheets write). An empty line is no record; a
// byte-order mark at the start is skipped. Fails at the first quoting error with its place, and
// stops at the first record past `limits.mostRecords` or the first field
// past `limits.mostFields` (an error with the place of that record or field).
struct CsvRead {
    std::vector<CsvRecord> records;
    std::optional<CsvError> error;
};
CsvRead ReadCsv(std::string_view text, const CsvLimits& limits = {}, char separator = ',');

}  // namespace formats
