#include "formats/Csv.h"

namespace formats {

std::string CsvField(std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' ||
                                          text.back() == '\t'));
    if (!quote) return std::string(text);
    std::string field = "\"";
    for (char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    field += '"';
    return field;
}

std::string CsvRecordLine(std::span<const std::string> fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += CsvField(fields[i]);
    }
    line += "\r\n";
    return line;
}

char DetectSeparator(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t commas = 0;
    size_t semicolons = 0;
    size_t tabs = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;  // a doubled quote toggles twice
        if (quoted) continue;
        if (c == '\r' || c == '\n') break;
        commas += c == ',' ? 1 : 0;
        semicolons += c == ';' ? 1 : 0;
        tabs += c == '\t' ? 1 : 0;
    }
    if (semicolons > commas && semicolons >= tabs) return ';';
    if (tabs > commas && tabs > semicolons) return '\t';
    return ',';
}

CsvRead ReadCsv(std::string_view text, const CsvLimits& limits, char separator) {
    CsvRead result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    int line = 1;
    size_t i = 0;
    CsvRecord record;
    std::string field;
    bool fieldStarted = false;  // the record has a field under way (even an empty one)

    // Each returns false when a bound stops the reading (result.error says where).
    const auto endField = [&]() -> bool {
        if (record.fields.size() >= limits.mostFields) {
            result.error = CsvError{CsvStop::TooManyFields, record.fieldLines.back(),
                                    static_cast<int>(record.fields.size()) + 1,
                                    "a record has more than " + std::to_string(limits.mostFields) + " fields"};
            return false;
        }
        record.fields.push_back(std::move(field));
        field.clear();
        return true;
    };
    const auto endRecord = [&]() -> bool {
        // A line with nothing on it is no record.
        if (!(record.fields.size() == 1 && record.fields[0].empty() && !fieldStarted)) {
            if (result.records.size() >= limits.mostRecords) {
                result.error = CsvError{CsvStop::TooManyRecords, record.line, 0,
                                        "the file has more than " + std::to_string(limits.mostRecords) +
                                            " records"};
                return false;
            }
            result.records.push_back(std::move(record));
        }
        record = CsvRecord{};
        fieldStarted = false;
        return true;
    };
    // Consumes one line break at i (CRLF, LF or CR); returns false when there is none.
    const auto lineBreak = [&]() -> bool {
        if (text[i] == '\r') {
            i += (i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        } else if (text[i] == '\n') {
            i += 1;
        } else {
            return false;
        }
        ++line;
        return true;
    };

    while (i < text.size()) {
        // At the start of a field.
        if (record.fields.empty() && field.empty() && !fieldStarted) record.line = line;
        record.fieldLines.push_back(line);
        const int column = static_cast<int>(record.fields.size()) + 1;
        if (text[i] == '"') {
            fieldStarted = true;
            const int openedOn = line;
            ++i;
            bool closed = false;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (text[i] == '\r' || text[i] == '\n') {
                    const size_t before = i;
                    lineBreak();
                    field.append(text.substr(before, i - before));
                    continue;
                }
                field += text[i++];
            }
            if (!closed) {
                result.error = CsvError{CsvStop::Quoting, openedOn, column,
                                        "a quoted field is not closed before the end of the file"};
                return result;
            }
            if (i < text.size() && text[i] != separator && text[i] != '\r' && text[i] != '\n') {
                result.error = CsvError{CsvStop::Quoting, line, column,
                                        "a quoted field goes on after its closing quote; a quote inside a quoted "
                                        "field is written twice (\"\")"};
                return result;
            }
        } else {
            while (i < text.size() && text[i] != separator && text[i] != '\r' && text[i] != '\n') {
                if (text[i] == '"') {
                    result.error = CsvError{CsvStop::Quoting, line, column,
                                            "a double quote inside a field that does not start with one; such a "
                                            "field must be enclosed in quotes, with the quote written twice"};
                    return result;
                }
                field += text[i++];
            }
        }
        // After a field: a separator, a line break, or the end.
        if (i < text.size() && text[i] == separator) {
            ++i;
            fieldStarted = true;
            if (!endField()) return result;
            if (i == text.size()) {
                // A separator at the very end leaves one empty field behind it.
                record.fieldLines.push_back(line);
                if (!endField() || !endRecord()) return result;
            }
            continue;
        }
        if (!endField()) return result;
        if (i < text.size()) lineBreak();
        if (!endRecord()) return result;
    }
    return result;
}

}  // namespace formats
