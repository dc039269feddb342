// Hostile workbooks for the workbook reader. Invariants:
//  - a refused workbook gives one message and no sheets;
//  - a read workbook lists every sheet it read among its sheet names, and
//    holds each sheet's rows in increasing order, each row's cells in
//    increasing column order, every cell within the largest sheet and none
//    of them empty;
//  - each sheet read as a table gives rows in row order, each refusal placed
//    in the sheet.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/Workbook.h"

namespace {

void Check(bool invariant) {
    if (!invariant) std::abort();
}

void CheckSheet(const formats::ReadSheet& sheet) {
    uint32_t previousRow = 0;
    for (const auto& row : sheet.rows) {
        Check(row.number > previousRow && row.number <= 1048576 && !row.cells.empty());
        previousRow = row.number;
        for (size_t i = 0; i < row.cells.size(); ++i) {
            const auto& cell = row.cells[i];
            Check(cell.column < 16384 && (i == 0 || cell.column > row.cells[i - 1].column));
            Check(cell.value.kind != formats::WorkbookCell::Kind::Empty);
            Check(formats::ParseCellReference(formats::CellReference(row.number, cell.column)) ==
                  std::pair(row.number, cell.column));
        }
    }
}

// The sheet read as a table of three columns, one of them required.
void CheckTable(const formats::ReadSheet& sheet) {
    formats::Shape shape;
    shape.columns = {"Position", "Species", "Move"};
    shape.required = {true, false, false};
    shape.budget.mostRows = 1000;
    const formats::RowsRead table = formats::SheetRows(sheet, shape);
    int previous = 0;
    for (const formats::Row& row : table.rows) {
        Check(row.line > previous && row.cells.size() == shape.columns.size());
        previous = row.line;
    }
    for (const formats::Refusal& refusal : table.status.refusals) {
        Check(refusal.cell.starts_with(sheet.name) && !refusal.message.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const formats::WorkbookRead read = formats::ReadWorkbook(bytes);
    if (!read.ok()) {
        Check(read.sheets.empty());
        return 0;
    }
    for (const auto& sheet : read.sheets) {
        bool listed = false;
        for (const auto& name : read.sheetNames) listed = listed || name == sheet.name;
        Check(listed);
        CheckSheet(sheet);
        CheckTable(sheet);
    }
    return 0;
}
