// The workbook as a table format over the row model: one sheet is one table.
//
// A sheet is read as the CSV reader reads a file whose line n is the sheet's
// row n and whose field k is its column k (from A): the same header matching,
// budget and spreadsheet forms, and every refusal placed in its cell.

#include <cmath>

#include "formats/Csv.h"
#include "formats/Formats.h"
#include "formats/Workbook.h"

namespace formats {

namespace {

// A number cell's text as the tables read it: whole numbers in decimal
// digits ("45" for 45.0), others as the workbook stored them.
std::string NumberText(const WorkbookCell& cell) {
    if (std::floor(cell.number) == cell.number && std::fabs(cell.number) < 1e15) {
        return std::to_string(static_cast<int64_t>(cell.number));
    }
    return cell.text;
}

// Line breaks in `text` (CRLF, CR or LF), as the CSV reader counts lines.
uint32_t LineBreaks(std::string_view text) {
    uint32_t breaks = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++breaks;
    }
    return breaks;
}

// The sheet as a CSV file, field k of a record being column k, and the sheet
// row of each of its lines (a text cell may hold line breaks). Spreadsheets
// leave empty cells out, so every row is given at least the header's width.
struct SheetText {
    std::string csv;
    std::vector<uint32_t> rowOfLine{0};  // [line] -> row; line 0 unused
};

SheetText SheetCsv(const ReadSheet& sheet) {
    SheetText out;
    const size_t width = sheet.rows.empty() ? 0 : sheet.rows.front().cells.back().column + 1;
    for (const ReadRow& row : sheet.rows) {
        std::vector<std::string> fields(std::max<size_t>(width, row.cells.back().column + 1));
        for (const ReadCell& cell : row.cells) {
            const bool number = cell.value.kind == WorkbookCell::Kind::Number;
            fields[cell.column] = number ? NumberText(cell.value) : cell.value.text;
        }
        const std::string record = CsvRecordLine(fields);
        out.csv += record;
        out.rowOfLine.insert(out.rowOfLine.end(), LineBreaks(record), row.number);
    }
    return out;
}

// The line of the CSV text as the sheet's row.
int RowOf(const SheetText& text, int line) {
    return line > 0 && static_cast<size_t>(line) < text.rowOfLine.size() ? static_cast<int>(text.rowOfLine[line]) : line;
}

std::string Normalized(std::string_view name) {
    std::string normalized;
    for (const char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) normalized += c;
        if (c >= 'A' && c <= 'Z') normalized += static_cast<char>(c - 'A' + 'a');
    }
    return normalized;
}

}  // namespace

void PlaceInSheet(Refusal& refusal, std::string_view sheet) {
    if (!refusal.cell.empty() || refusal.line <= 0) return;
    refusal.cell = std::string(sheet);
    if (refusal.column > 0) {
        refusal.cell += "!" + CellReference(static_cast<uint32_t>(refusal.line), static_cast<uint32_t>(refusal.column - 1));
    } else {
        refusal.cell += " row " + std::to_string(refusal.line);
    }
}

RowsRead SheetRows(const ReadSheet& sheet, const Shape& shape) {
    const SheetText text = SheetCsv(sheet);
    RowsRead read = ReadCsvRows(text.csv, shape);
    for (Row& row : read.rows) {
        row.line = RowOf(text, row.line);
        for (Cell& cell : row.cells) cell.line = RowOf(text, cell.line);
    }
    for (Refusal& refusal : read.status.refusals) {
        refusal.line = RowOf(text, refusal.line);
        PlaceInSheet(refusal, sheet.name);
    }
    return read;
}

std::string SheetNameOf(std::string_view arrayKey, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (Normalized(name) == Normalized(arrayKey)) return name;
    }
    return {};
}

WorkbookSheet SheetOf(const TableDocument& document, std::string name) {
    WorkbookSheet sheet{std::move(name), {{}}, {}, {}};
    for (const std::string& column : document.columns) sheet.rows[0].push_back(WorkbookCell::Text(column));
    for (const std::vector<Cell>& cells : document.rows) {
        std::vector<WorkbookCell>& row = sheet.rows.emplace_back();
        for (const Cell& cell : cells) {
            const std::optional<double> number =
                cell.kind == CellKind::Number ? NumberOfText(cell.text) : std::nullopt;
            row.push_back(number                       ? WorkbookCell::Number(*number)
                          : cell.kind == CellKind::Empty ? WorkbookCell{}
                                                         : WorkbookCell::Text(cell.text));
        }
    }
    return sheet;
}

RowsRead ReadWorkbookRows(std::string_view bytes, const Shape& shape) {
    RowsRead out;
    const WorkbookRead workbook = ReadWorkbook(bytes);
    const std::string name = SheetNameOf(shape.arrayKey, workbook.sheetNames);
    if (!workbook.ok() || name.empty()) {
        out.status.Refuse({0, 0, "", workbook.ok() ? "the workbook has no sheet \"" + shape.arrayKey + "\"."
                                                   : workbook.error + "."});
        return out;
    }
    for (const ReadSheet& sheet : workbook.sheets) {
        if (sheet.name == name) return SheetRows(sheet, shape);
    }
    return out;
}

std::string WriteWorkbookRows(const TableDocument& document) {
    WorkbookContent content;
    content.sheets.push_back(SheetOf(document, document.arrayKey));
    content.about = document.about;
    const WrittenWorkbook written = WriteWorkbook(content);
    return written.bytes;
}

}  // namespace formats
