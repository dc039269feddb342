// The CSV format over the row model.

#include <cstdint>

#include "formats/Csv.h"
#include "formats/Formats.h"

namespace formats {

namespace {

Refusal TooManyRows(const Shape& shape, int line) {
    return {line, 0, "", "the file holds more rows than " + shape.tooManyRows};
}

// The refusal of the reader's stop: a quoting error or a bound.
Refusal StopRefusal(const CsvRead& read, const Shape& shape) {
    const CsvError& error = *read.error;
    switch (error.stop) {
        case CsvStop::Quoting:
            break;
        case CsvStop::TooManyRecords:
            return TooManyRows(shape, error.line);
        case CsvStop::TooManyFields:
            return {error.line, error.column, "",
                    std::string(read.records.empty() ? "the header row" : "the row") + " has more than " +
                        std::to_string(shape.budget.mostColumns) + " fields; the columns are " +
                        ColumnList(shape.columns) + "."};
    }
    return {error.line, error.column, "", "the file is not valid CSV: " + error.message + "."};
}

// The CSV field of each column of the shape (-1: not in the file), from the
// header row; its refusals go to `status`.
std::vector<int> HeaderColumns(const CsvRecord& header, const Shape& shape, Refusals& status) {
    const ColumnMatcher matcher(shape.columns);
    std::vector<int> fieldOf(shape.columns.size(), -1);
    bool namedUnknown = false;
    for (size_t f = 0; f < header.fields.size(); ++f) {
        const std::string name(Trimmed(header.fields[f]));
        const int column = static_cast<int>(f) + 1;
        const std::optional<size_t> index = matcher.Find(name);
        if (!index) {
            status.Refuse({header.line, column, name, NotAColumnText(name, ColumnList(shape.columns), !namedUnknown)});
            namedUnknown = true;
        } else if (fieldOf[*index] >= 0) {
            status.Refuse({header.line, column, shape.columns[*index],
                           "the column \"" + name + "\" is given twice; column " + std::to_string(fieldOf[*index] + 1) +
                               " has it first."});
        } else {
            fieldOf[*index] = static_cast<int>(f);
        }
    }
    std::string missing;
    for (size_t c = 0; c < shape.columns.size(); ++c) {
        if (fieldOf[c] < 0 && shape.required[c]) missing += (missing.empty() ? "" : ", ") + shape.columns[c];
    }
    if (!missing.empty()) status.Refuse({header.line, 0, "", "the header row lacks the column(s) " + missing + "."});
    return fieldOf;
}

}  // namespace

RowsRead ReadCsvRows(std::string_view bytes, const Shape& shape) {
    RowsRead out;
    // Spreadsheets write commas, semicolons or tabs: the header line tells which.
    // The header is one record more than the rows (without passing the largest count).
    const size_t mostRecords = shape.budget.mostRows + (shape.budget.mostRows < SIZE_MAX ? 1 : 0);
    const CsvRead read =
        ReadCsv(bytes, CsvLimits{mostRecords, shape.budget.mostColumns}, DetectSeparator(bytes));
    if (read.error) {
        // The header's names are kept, so that a file of another table that
        // holds more rows than this one's bound is still said to be that table.
        if (read.error->stop == CsvStop::TooManyRecords && !read.records.empty()) {
            for (const std::string& name : read.records.front().fields) out.names.emplace_back(Trimmed(name));
        }
        out.status.Refuse(StopRefusal(read, shape));
        return out;
    }
    if (read.records.empty()) {
        out.status.Refuse({1, 0, "", "the file holds no header row; it must start with the columns " +
                                         ColumnList(shape.columns) + "."});
        return out;
    }
    const CsvRecord& header = read.records.front();
    for (const std::string& name : header.fields) out.names.emplace_back(Trimmed(name));
    const std::vector<int> fieldOf = HeaderColumns(header, shape, out.status);
    if (!out.status.ok()) return out;  // the rows cannot be read without their columns
    for (const int f : fieldOf) out.present.push_back(f >= 0);

    for (size_t r = 1; r < read.records.size(); ++r) {
        const CsvRecord& record = read.records[r];
        // A row of empty cells (",,,") is what a spreadsheet leaves below a
        // table: no row at all. A row with only its Position is one.
        if (AllCellsEmpty(record.fields)) continue;
        if (record.fields.size() != header.fields.size()) {
            out.status.Refuse({record.line, 0, "",
                               "the row has " + std::to_string(record.fields.size()) + " fields; the header row has " +
                                   std::to_string(header.fields.size()) + "."});
            continue;
        }
        Row row{record.line, 0, std::vector<Cell>(shape.columns.size())};
        for (size_t c = 0; c < shape.columns.size(); ++c) {
            // A column the file leaves out is placed at its row, so that a
            // refusal of the value it lacks names that row's line.
            if (fieldOf[c] < 0) {
                row.cells[c].line = record.line;
                continue;
            }
            const auto f = static_cast<size_t>(fieldOf[c]);
            row.cells[c] = Cell{CellKind::Text, record.fields[f], record.fieldLines[f], fieldOf[c] + 1, true};
        }
        out.rows.push_back(std::move(row));
    }
    return out;
}

std::string WriteCsvRows(const TableDocument& document) {
    std::string text = CsvRecordLine(document.columns);
    std::vector<std::string> fields(document.columns.size());
    for (const std::vector<Cell>& row : document.rows) {
        for (size_t c = 0; c < fields.size(); ++c) fields[c] = c < row.size() ? row[c].text : std::string();
        text += CsvRecordLine(fields);
    }
    return text;
}

}  // namespace formats
