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

namespace {

// Reads the records of a text field by field; each step returns false when
// the reading stops (a quoting error, or a bound: result.error says where).
class CsvScanner {
public:
    CsvScanner(std::string_view text, const CsvLimits& limits, char separator)
        : text_(text), limits_(limits), separator_(separator) {}

    CsvRead Run() {
        while (i_ < text_.size()) {
            // At the start of a field.
            if (record_.fields.empty() && field_.empty() && !fieldStarted_) record_.line = line_;
            record_.fieldLines.push_back(line_);
            const int column = static_cast<int>(record_.fields.size()) + 1;
            const bool read = text_[i_] == '"' ? QuotedField(column) : PlainField(column);
            if (!read || !AfterField()) break;
        }
        return std::move(result_);
    }

private:
    bool Fail(CsvStop stop, int line, int column, std::string message) {
        result_.error = CsvError{stop, line, column, std::move(message)};
        return false;
    }

    bool AtBreak() const { return text_[i_] == '\r' || text_[i_] == '\n'; }

    // Consumes one line break at i_ (CRLF, LF or CR).
    void LineBreak() {
        i_ += text_[i_] == '\r' && i_ + 1 < text_.size() && text_[i_ + 1] == '\n' ? 2 : 1;
        ++line_;
    }

    bool QuotedField(int column) {
        fieldStarted_ = true;
        const int openedOn = line_;
        ++i_;
        for (;;) {
            if (i_ >= text_.size()) {
                return Fail(CsvStop::Quoting, openedOn, column, "a quoted field is not closed before the end of the file");
            }
            if (text_[i_] == '"') {
                if (i_ + 1 < text_.size() && text_[i_ + 1] == '"') {
                    field_ += '"';
                    i_ += 2;
                    continue;
                }
                ++i_;
                break;
            }
            if (AtBreak()) {
                const size_t before = i_;
                LineBreak();
                field_.append(text_.substr(before, i_ - before));
                continue;
            }
            field_ += text_[i_++];
        }
        if (i_ < text_.size() && text_[i_] != separator_ && !AtBreak()) {
            return Fail(CsvStop::Quoting, line_, column,
                        "a quoted field goes on after its closing quote; a quote inside a quoted field is written "
                        "twice (\"\")");
        }
        return true;
    }

    bool PlainField(int column) {
        while (i_ < text_.size() && text_[i_] != separator_ && !AtBreak()) {
            if (text_[i_] == '"') {
                return Fail(CsvStop::Quoting, line_, column,
                            "a double quote inside a field that does not start with one; such a field must be "
                            "enclosed in quotes, with the quote written twice");
            }
            field_ += text_[i_++];
        }
        return true;
    }

    // After a field: a separator, a line break, or the end.
    bool AfterField() {
        if (i_ < text_.size() && text_[i_] == separator_) {
            ++i_;
            fieldStarted_ = true;
            if (!EndField()) return false;
            if (i_ < text_.size()) return true;
            // A separator at the very end leaves one empty field behind it.
            record_.fieldLines.push_back(line_);
            return EndField() && EndRecord();
        }
        if (!EndField()) return false;
        if (i_ < text_.size()) LineBreak();
        return EndRecord();
    }

    bool EndField() {
        if (record_.fields.size() >= limits_.mostFields) {
            return Fail(CsvStop::TooManyFields, record_.fieldLines.back(), static_cast<int>(record_.fields.size()) + 1,
                        "a record has more than " + std::to_string(limits_.mostFields) + " fields");
        }
        record_.fields.push_back(std::move(field_));
        field_.clear();
        return true;
    }

    bool EndRecord() {
        // A line with nothing on it is no record.
        if (!(record_.fields.size() == 1 && record_.fields[0].empty() && !fieldStarted_)) {
            if (result_.records.size() >= limits_.mostRecords) {
                return Fail(CsvStop::TooManyRecords, record_.line, 0,
                            "the file has more than " + std::to_string(limits_.mostRecords) + " records");
            }
            result_.records.push_back(std::move(record_));
        }
        record_ = CsvRecord{};
        fieldStarted_ = false;
        return true;
    }

    std::string_view text_;
    const CsvLimits& limits_;
    char separator_;
    CsvRead result_;
    int line_ = 1;
    size_t i_ = 0;
    CsvRecord record_;
    std::string field_;
    bool fieldStarted_ = false;  // the record has a field under way (even an empty one)
};

}  // namespace

CsvRead ReadCsv(std::string_view text, const CsvLimits& limits, char separator) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return CsvScanner(text, limits, separator).Run();
}

}  // namespace formats
