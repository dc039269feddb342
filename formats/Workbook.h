#pragma once
// A workbook (.xlsx) of typed cells: written with libxlsxwriter, read with
// libzip and expat. Text cells stay text and number cells numbers, so that a
// spreadsheet program shows hex texts such as "3E68" as they were written.
//
// The writer lays out sheets of rows (the first row a bold, frozen header,
// with notes on the header cells that need them), fits each column's width
// to its entries, offers dropdowns whose entries lie on one hidden sheet, and
// ends with an "About" sheet of key/value rows.
//
// The reader takes a workbook as untrusted input: it bounds what it unpacks
// (entries, sizes, compression ratio) and what it keeps (rows, cells, string
// bytes), never expands entities, and ends at the first fault with one
// message. Values are left to the caller; the reader only reports the cells.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/Refusals.h"
#include "formats/Rows.h"

namespace formats {

// One cell: empty, a number or text. A number read from a workbook keeps the
// text it was stored as ("45", "45.0", "3.0000000000000001E+68") in `text`.
struct WorkbookCell {
    enum class Kind { Empty, Number, Text };
    Kind kind = Kind::Empty;
    double number = 0;
    std::string text;

    static WorkbookCell Number(double value);
    static WorkbookCell Text(std::string value);
    bool operator==(const WorkbookCell&) const = default;
};

// A column of a sheet whose cells offer a dropdown of one list's entries.
struct WorkbookDropdown {
    size_t column = 0;  // counted from 0
    size_t list = 0;    // index into WorkbookContent::lists
};

// A list of entries for dropdowns; written as one column of the hidden sheet.
struct WorkbookList {
    std::vector<WorkbookCell> entries;
};

struct WorkbookSheet {
    std::string name;
    std::vector<std::vector<WorkbookCell>> rows;  // rows[0] is the header
    std::vector<WorkbookDropdown> dropdowns;
    // A note on a header cell (a comment, shown when the pointer rests on
    // it) that says what the column's values mean; read back by nothing.
    struct Note {
        size_t column = 0;  // counted from 0
        std::string text;
    };
    std::vector<Note> notes;
};

struct WorkbookContent {
    std::vector<WorkbookSheet> sheets;
    std::vector<WorkbookList> lists;
    std::vector<std::pair<std::string, std::string>> about;  // key, value
};

inline constexpr std::string_view kAboutSheetName = "About";
inline constexpr std::string_view kListsSheetName = "Lists";

// The workbook's bytes, or the writer's failure as one message.
struct WrittenWorkbook {
    std::string bytes;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};
WrittenWorkbook WriteWorkbook(const WorkbookContent& content);

// "A1" for row 1, column 0; "AB12" for row 12, column 27.
std::string CellReference(uint32_t row, uint32_t column);
// The row (from 1) and column (from 0) of a reference such as "AB12", or
// nullopt when it is none or lies past the largest sheet (XFD1048576).
std::optional<std::pair<uint32_t, uint32_t>> ParseCellReference(std::string_view reference);
// A number cell's text ("45", "45.0", "4.5E1") as a double, the whole text or
// nothing; read alike whatever the locale.
std::optional<double> NumberOfText(std::string_view text);

struct ReadCell {
    uint32_t column = 0;  // counted from 0
    WorkbookCell value;   // never Empty: empty cells are left out
};

struct ReadRow {
    uint32_t number = 0;  // the sheet's row number, counted from 1
    std::vector<ReadCell> cells;  // in column order
};

struct ReadSheet {
    std::string name;
    std::vector<ReadRow> rows;  // in row order; rows without a value left out
};

// Bounds on what the reader unpacks and keeps.
struct WorkbookLimits {
    size_t mostEntries = 1000;                 // zip entries
    uint64_t mostPartBytes = 32u << 20;        // one part, unpacked
    uint64_t mostUnpackedBytes = 96u << 20;    // every part read, unpacked
    uint64_t mostRatio = 200;                  // unpacked / packed, past kRatioFloor
    size_t mostSheets = 64;
    size_t mostRows = 50000;                   // holding a value, every sheet
    size_t mostCells = 400000;                 // every sheet
    size_t mostStringBytes = 32u << 20;        // every text kept
    size_t mostSharedStrings = 400000;
};
// A part unpacked to no more than this is never refused for its ratio.
inline constexpr uint64_t kRatioFloor = 1u << 20;

struct WorkbookRead {
    std::vector<std::string> sheetNames;  // every sheet, in workbook order
    std::vector<ReadSheet> sheets;        // the sheets read, in workbook order
    std::string error;                    // empty on success
    bool ok() const { return error.empty(); }
};

// Reads the sheets named in `wanted` (every sheet when it is empty); other
// sheets are listed in sheetNames but not unpacked.
WorkbookRead ReadWorkbook(std::string_view bytes, const std::vector<std::string>& wanted = {},
                          const WorkbookLimits& limits = {});

// ---- the workbook as a table format ------------------------------------------

// The rows of one sheet read as a table of `shape`: the header row names the
// columns as in a CSV file, cells are taken as the CSV reader takes their
// text (a number cell as its decimal digits, "45" for 45.0), and every
// refusal is placed in its cell ("Moves!C781") or row ("Moves row 781").
RowsRead SheetRows(const ReadSheet& sheet, const Shape& shape);

// Places a refusal of a sheet read by SheetRows (its line the row, its column
// the column from 1) in the sheet's cell or row; one already placed is kept.
void PlaceInSheet(Refusal& refusal, std::string_view sheet);

// The sheet of `names` that a table's JSON key names, without regard to
// case, spaces and dashes ("egg-moves" names "Egg moves"); empty for none.
std::string SheetNameOf(std::string_view arrayKey, const std::vector<std::string>& names);

// A table's rows as a sheet named `name`: its columns as the header row,
// number cells as numbers, text cells as text.
WorkbookSheet SheetOf(const TableDocument& document, std::string name);

// The workbook format of the table of formats: the sheet the shape's JSON
// key names, read as SheetRows reads it; written as a workbook of one sheet
// (and About of the document's members). A workbook that cannot be read, or
// has no such sheet, is one refusal.
RowsRead ReadWorkbookRows(std::string_view bytes, const Shape& shape);
std::string WriteWorkbookRows(const TableDocument& document);

}  // namespace formats
