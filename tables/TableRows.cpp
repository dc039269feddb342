#include "tables/TableRows.h"

#include <nlohmann/json.hpp>

#include <optional>

#include "tables/Csv.h"
#include "tables/FieldText.h"
#include "tables/JsonPlaces.h"

namespace tables {

namespace {

std::string ColumnList(std::span<const std::string> columns) {
    std::string list;
    for (const std::string& name : columns) list += (list.empty() ? "" : ", ") + name;
    return list;
}

// The table's columns as NormalizedColumnName gives them, in the same order:
// a file's name is matched against these, as the species table matches its own.
std::vector<std::string> NormalizedColumns(std::span<const std::string> columns) {
    std::vector<std::string> normalized;
    normalized.reserve(columns.size());
    for (const std::string& name : columns) normalized.push_back(NormalizedColumnName(name));
    return normalized;
}

// The column a file's name names, without regard to case, spaces and dots.
std::optional<size_t> ColumnIndex(std::span<const std::string> normalizedColumns, std::string_view name) {
    const std::string normal = NormalizedColumnName(name);
    for (size_t c = 0; c < normalizedColumns.size(); ++c) {
        if (normalizedColumns[c] == normal) return c;
    }
    return std::nullopt;
}

std::string NotAColumn(std::string_view name, std::span<const std::string> columns, bool first) {
    return NotAColumnText(name, ColumnList(columns), first);
}

bool Required(std::string_view column) { return column != kSpeciesColumn; }

Refusal TooManyRows(int line, int column) {
    return {line, column, "",
            "the file holds more rows than any image's lists: no more than " + std::to_string(kMostListRowsRead) +
                " are read; reading stopped here."};
}

// ---- CSV -------------------------------------------------------------------

void ReadCsvRows(std::string_view text, std::span<const std::string> columns, RowsRead& out) {
    ImportedTable& status = out.status;
    // Spreadsheets write commas, semicolons or tabs: the header line tells which.
    const CsvRead read = ReadCsv(text, CsvLimits{kMostListRowsRead + 1, kMostColumnsRead}, DetectSeparator(text));
    if (read.error) {
        const CsvError& error = *read.error;
        switch (error.stop) {
            case CsvStop::Quoting:
                status.Refuse({error.line, error.column, "", "the file is not valid CSV: " + error.message + "."});
                break;
            case CsvStop::TooManyRecords:
                status.Refuse(TooManyRows(error.line, 0));
                break;
            case CsvStop::TooManyFields:
                status.Refuse({error.line, error.column, "",
                               "the row has more than " + std::to_string(kMostColumnsRead) +
                                   " fields; the columns are " + ColumnList(columns) + "."});
                break;
        }
        return;
    }
    if (read.records.empty()) {
        status.Refuse({1, 0, "", "the file holds no header row; it must start with the columns " +
                                     ColumnList(columns) + "."});
        return;
    }
    const CsvRecord& header = read.records.front();
    const std::vector<std::string> normalized = NormalizedColumns(columns);
    std::vector<int> columnOf(columns.size(), -1);  // the CSV field of each column
    bool namedUnknown = false;
    for (size_t f = 0; f < header.fields.size(); ++f) {
        const std::string name(Trimmed(header.fields[f]));
        const int column = static_cast<int>(f) + 1;
        const std::optional<size_t> index = ColumnIndex(normalized, name);
        if (!index) {
            status.Refuse({header.line, column, name, NotAColumn(name, columns, !namedUnknown)});
            namedUnknown = true;
        } else if (columnOf[*index] >= 0) {
            status.Refuse({header.line, column, columns[*index],
                           "the column \"" + name + "\" is given twice; column " +
                               std::to_string(columnOf[*index] + 1) + " has it first."});
        } else {
            columnOf[*index] = static_cast<int>(f);
        }
    }
    std::string missing;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (columnOf[c] < 0 && Required(columns[c])) missing += (missing.empty() ? "" : ", ") + columns[c];
    }
    if (!missing.empty()) status.Refuse({header.line, 0, "", "the header row lacks the column(s) " + missing + "."});
    if (!status.ok()) return;

    for (size_t r = 1; r < read.records.size(); ++r) {
        const CsvRecord& record = read.records[r];
        // A row of empty cells (",,,") is no row, as in the species table. A
        // row with only its Position is one (it empties a list).
        if (AllCellsEmpty(record.fields)) continue;
        if (record.fields.size() != header.fields.size()) {
            status.Refuse({record.line, 0, "",
                           "the row has " + std::to_string(record.fields.size()) + " fields; the header row has " +
                               std::to_string(header.fields.size()) + "."});
            continue;
        }
        TableRow row;
        row.line = record.line;
        row.cells.resize(columns.size());
        for (size_t c = 0; c < columns.size(); ++c) {
            if (columnOf[c] < 0) continue;
            const auto f = static_cast<size_t>(columnOf[c]);
            row.cells[c] = RowCell{record.fields[f], record.fieldLines[f], columnOf[c] + 1, true, false};
        }
        out.rows.push_back(std::move(row));
    }
}

// ---- JSON ------------------------------------------------------------------

// Reads the root object, its rows array and each row object's members, each
// with its place; other members of the root are skipped.
class RowsHandler : public PlacedHandler {
public:
    RowsHandler(std::string_view text, std::span<const std::string> columns, std::string_view arrayKey,
                RowsRead& out)
        : PlacedHandler(text, out.status),
          columns_(columns),
          normalized_(NormalizedColumns(columns)),
          arrayKey_(arrayKey),
          out_(out) {}

    bool null() override { return Scalar("", false, true); }
    bool boolean(bool value) override { return Other(value ? "true" : "false"); }
    bool number_integer(number_integer_t value) override { return Scalar(std::to_string(value), true, false); }
    bool number_unsigned(number_unsigned_t value) override { return Scalar(std::to_string(value), true, false); }
    bool number_float(number_float_t, const string_t& text) override { return Scalar(text, true, false); }
    bool string(string_t& value) override { return Scalar(value, false, false); }
    bool binary(binary_t&) override { return Other("binary data"); }

    void Finish() {
        if (!sawRows_ && !failed_ && out_.status.ok()) {
            out_.status.Refuse({1, 1, "", "the document has no \"" + std::string(arrayKey_) + "\" array of rows"});
        }
    }

private:
    // Nesting: 0 outside, 1 in the root object, 2 in the rows array, 3 in a
    // row object; anything deeper or elsewhere is skipped.
    bool Open(bool object) override {
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return true;
        }
        const int line = place_.line;
        const int column = place_.column;
        switch (depth_) {
            case 0:
                if (!object) return Stop({line, column, "", "the document must be an object; it is an array"});
                depth_ = 1;
                return true;
            case 1:
                if (key_ == arrayKey_ && !object) {
                    sawRows_ = true;
                    depth_ = 2;
                    return true;
                }
                if (key_ == arrayKey_) {
                    sawRows_ = true;
                    out_.status.Refuse({keyLine_, keyColumn_, "", "\"" + key_ + "\" must be an array of rows"});
                }
                ++skipDepth_;
                return true;
            case 2:
                if (!CountRow(line, column)) return false;
                if (!object) {
                    out_.status.Refuse({line, column, "", "each row must be an object"});
                    ++skipDepth_;
                    return true;
                }
                depth_ = 3;
                row_ = TableRow{line, column, std::vector<RowCell>(columns_.size())};
                rowRefused_ = false;
                members_ = 0;
                return true;
            default:
                Other(object ? "an object" : "an array");
                ++skipDepth_;
                return true;
        }
    }

    bool Stop(Refusal refusal) {
        out_.status.Refuse(std::move(refusal));
        failed_ = true;
        return false;
    }

    // A value that no cell takes: a boolean, an object or an array.
    bool Other(const std::string& what) {
        if (skipDepth_ > 0) return true;
        if (depth_ == 3) {
            if (!CountMember()) return true;
            const std::optional<size_t> index = ColumnIndex(normalized_, key_);
            const std::string name = index ? columns_[*index] : key_;
            out_.status.Refuse({place_.line, place_.column, name,
                                "\"" + name + "\" must be a number, a string or null, not " + what + "."});
            // The column is there, only its value is refused: no second refusal that it lacks.
            if (index) row_.cells[*index].given = true;
            rowRefused_ = true;
            return true;
        }
        return Scalar(what, false, false);
    }

    bool Scalar(const std::string& text, bool number, bool isNull) {
        if (skipDepth_ > 0) return true;
        const int line = place_.line;
        const int column = place_.column;
        switch (depth_) {
            case 0:
                return Stop({line, column, "", "the document must be an object with a \"" + std::string(arrayKey_) +
                                                   "\" array"});
            case 1:
                if (key_ == arrayKey_) {
                    sawRows_ = true;
                    out_.status.Refuse({line, column, "", "\"" + key_ + "\" must be an array of rows"});
                }
                return true;
            case 2:
                if (!CountRow(line, column)) return false;
                out_.status.Refuse({line, column, "", "each row must be an object"});
                return true;
            default:
                break;
        }
        if (!CountMember()) return true;
        const std::optional<size_t> index = ColumnIndex(normalized_, key_);
        if (!index) {
            out_.status.Refuse({keyLine_, keyColumn_, key_, NotAColumn(key_, columns_, !namedUnknown_)});
            namedUnknown_ = true;
            rowRefused_ = true;
            return true;
        }
        RowCell& cell = row_.cells[*index];
        if (cell.given) {
            const std::string& name = columns_[*index];
            out_.status.Refuse({keyLine_, keyColumn_, name, "\"" + name + "\" is given twice in this row."});
            rowRefused_ = true;
            return true;
        }
        cell = RowCell{isNull ? std::string() : text, line, column, true, number};
        return true;
    }

    // Counts a row of the rows array; past kMostListRowsRead, refuses the
    // file and stops the reading (false).
    bool CountRow(int line, int column) {
        if (++rowCount_ <= kMostListRowsRead) return true;
        out_.status.RefuseAndStop(TooManyRows(line, column));
        failed_ = true;
        return false;
    }

    bool CountMember() {
        if (++members_ <= kMostColumnsRead) return true;
        if (members_ == kMostColumnsRead + 1) {
            out_.status.Refuse({row_.line, row_.column, "",
                                "the row has more than " + std::to_string(kMostColumnsRead) +
                                    " members; the columns are " + ColumnList(columns_) + "."});
            rowRefused_ = true;
        }
        return false;
    }

    void EndRow() override {
        std::string missing;
        for (size_t c = 0; c < columns_.size(); ++c) {
            if (!row_.cells[c].given && Required(columns_[c])) missing += (missing.empty() ? "" : ", ") + columns_[c];
        }
        if (!missing.empty()) {
            out_.status.Refuse({row_.line, row_.column, "", "the row lacks " + missing + "."});
            rowRefused_ = true;
        }
        if (!rowRefused_) out_.rows.push_back(std::move(row_));
    }

    std::span<const std::string> columns_;
    std::vector<std::string> normalized_;  // columns_ as compared
    std::string_view arrayKey_;
    RowsRead& out_;
    bool sawRows_ = false;
    bool failed_ = false;
    bool rowRefused_ = false;
    bool namedUnknown_ = false;  // a member that is no column was refused (with the list of columns)
    size_t rowCount_ = 0;
    size_t members_ = 0;
    TableRow row_;
};

}  // namespace

RowsRead ReadRows(std::string_view text, TableFormat format, std::span<const std::string> columns,
                  std::string_view arrayKey) {
    RowsRead out;
    if (format == TableFormat::Csv) {
        ReadCsvRows(text, columns, out);
        return out;
    }
    RowsHandler handler(text, columns, arrayKey, out);
    handler.Parse();
    handler.Finish();
    return out;
}

}  // namespace tables
