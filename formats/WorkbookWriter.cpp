// The workbook writer over libxlsxwriter.
//
// libxlsxwriter writes to a named file only, so the workbook is written to a
// private temporary file, read back whole and the file removed; the caller
// then writes the bytes where the user asked, as every whole file is written.
// A build without libxlsxwriter (the page's WebAssembly) has a writer that
// says so.

#include "formats/WorkbookLibraries.h"

#if __has_include(<xlsxwriter.h>)
#define QUILLMERE_HAS_WORKBOOK_WRITER 1
#include <xlsxwriter.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace formats {

#ifdef QUILLMERE_HAS_WORKBOOK_WRITER

namespace {

constexpr uint32_t kMostRows = 1048576;

// The text a cell shows, for fitting the column's width.
size_t ShownLength(const WorkbookCell& cell) {
    if (cell.kind == WorkbookCell::Kind::Number) {
        // printf, not to_chars: the page's C++ library has no to_chars of a double.
        char digits[32];
        return size_t(std::max(0, std::snprintf(digits, sizeof digits, "%.15g", cell.number)));
    }
    // Code points, not bytes: count every byte but UTF-8 continuation bytes.
    return size_t(std::count_if(cell.text.begin(), cell.text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// A width in characters that fits every entry of each column, within reason.
std::vector<double> FittedWidths(const std::vector<std::vector<WorkbookCell>>& rows) {
    std::vector<double> widths;
    for (const auto& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], double(ShownLength(row[column])));
        }
    }
    for (double& width : widths) width = std::clamp(width + 2, 6.0, 60.0);
    return widths;
}

void FitColumns(lxw_worksheet* sheet, const std::vector<std::vector<WorkbookCell>>& rows) {
    const std::vector<double> widths = FittedWidths(rows);
    for (size_t c = 0; c < widths.size(); ++c) worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), widths[c], nullptr);
}

lxw_error WriteCell(lxw_worksheet* sheet, uint32_t row, uint32_t column, const WorkbookCell& cell,
                    lxw_format* format) {
    switch (cell.kind) {
        case WorkbookCell::Kind::Number:
            return worksheet_write_number(sheet, row, lxw_col_t(column), cell.number, format);
        case WorkbookCell::Kind::Text:
            return worksheet_write_string(sheet, row, lxw_col_t(column), cell.text.c_str(), format);
        case WorkbookCell::Kind::Empty:
            break;
    }
    return LXW_NO_ERROR;
}

lxw_error WriteRows(lxw_worksheet* sheet, const std::vector<std::vector<WorkbookCell>>& rows, lxw_format* header) {
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const lxw_error error = WriteCell(sheet, uint32_t(r), uint32_t(c), rows[r][c], r == 0 ? header : nullptr);
            if (error != LXW_NO_ERROR) return error;
        }
    }
    FitColumns(sheet, rows);
    return LXW_NO_ERROR;
}

// "=Lists!$C$1:$C$18": the cells of one list on the hidden sheet.
std::string ListRange(size_t list, size_t entries) {
    std::string column = CellReference(1, uint32_t(list));
    column.pop_back();  // the row's "1"
    return "=" + std::string(kListsSheetName) + "!$" + column + "$1:$" + column + "$" + std::to_string(entries);
}

// A dropdown over the whole column below the header, so that rows the user
// adds offer it too. Other values may still be typed (a list entry's code,
// say): the reader of the table decides what it accepts.
lxw_error AddDropdown(lxw_worksheet* sheet, const WorkbookDropdown& dropdown, const WorkbookContent& content) {
    if (dropdown.list >= content.lists.size()) return LXW_ERROR_PARAMETER_VALIDATION;
    const size_t entries = content.lists[dropdown.list].entries.size();
    if (entries == 0) return LXW_NO_ERROR;
    std::string formula = ListRange(dropdown.list, entries);
    lxw_data_validation validation{};
    validation.validate = LXW_VALIDATION_TYPE_LIST_FORMULA;
    validation.value_formula = formula.data();
    validation.show_error = LXW_VALIDATION_OFF;
    const auto column = lxw_col_t(dropdown.column);
    return worksheet_data_validation_range(sheet, 1, column, kMostRows - 1, column, &validation);
}

// A header note as a comment box wide enough for its text.
lxw_error AddNote(lxw_worksheet* sheet, const WorkbookSheet::Note& note) {
    lxw_comment_options options{};
    options.width = 320;
    options.height = uint16_t(std::clamp<size_t>(20 + note.text.size() / 45 * 16, 40, 400));
    return worksheet_write_comment_opt(sheet, 0, lxw_col_t(note.column), note.text.c_str(), &options);
}

lxw_error WriteTableSheet(lxw_workbook* book, const WorkbookSheet& table, const WorkbookContent& content,
                          lxw_format* header) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, table.name.c_str());
    if (sheet == nullptr) return LXW_ERROR_SHEETNAME_ALREADY_USED;
    lxw_error error = WriteRows(sheet, table.rows, header);
    worksheet_freeze_panes(sheet, 1, 0);
    for (const auto& dropdown : table.dropdowns) {
        if (error == LXW_NO_ERROR) error = AddDropdown(sheet, dropdown, content);
    }
    for (const auto& note : table.notes) {
        if (error == LXW_NO_ERROR) error = AddNote(sheet, note);
    }
    return error;
}

lxw_error WriteListsSheet(lxw_workbook* book, const std::vector<WorkbookList>& lists) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, std::string(kListsSheetName).c_str());
    if (sheet == nullptr) return LXW_ERROR_SHEETNAME_ALREADY_USED;
    worksheet_hide(sheet);
    for (size_t list = 0; list < lists.size(); ++list) {
        const auto& entries = lists[list].entries;
        for (size_t row = 0; row < entries.size(); ++row) {
            const lxw_error error = WriteCell(sheet, uint32_t(row), uint32_t(list), entries[row], nullptr);
            if (error != LXW_NO_ERROR) return error;
        }
    }
    return LXW_NO_ERROR;
}

// Key/value rows, the keys bold.
lxw_error WriteAboutSheet(lxw_workbook* book, const WorkbookContent& content, lxw_format* bold) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, std::string(kAboutSheetName).c_str());
    if (sheet == nullptr) return LXW_ERROR_SHEETNAME_ALREADY_USED;
    std::vector<std::vector<WorkbookCell>> rows;
    for (const auto& [key, value] : content.about) rows.push_back({WorkbookCell::Text(key), WorkbookCell::Text(value)});
    for (size_t r = 0; r < rows.size(); ++r) {
        for (uint32_t c = 0; c < 2; ++c) {
            const lxw_error error = WriteCell(sheet, uint32_t(r), c, rows[r][c], c == 0 ? bold : nullptr);
            if (error != LXW_NO_ERROR) return error;
        }
    }
    FitColumns(sheet, rows);
    return LXW_NO_ERROR;
}

lxw_error WriteSheets(lxw_workbook* book, const WorkbookContent& content) {
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    for (const auto& table : content.sheets) {
        const lxw_error error = WriteTableSheet(book, table, content, bold);
        if (error != LXW_NO_ERROR) return error;
    }
    if (!content.lists.empty()) {
        const lxw_error error = WriteListsSheet(book, content.lists);
        if (error != LXW_NO_ERROR) return error;
    }
    return WriteAboutSheet(book, content, bold);
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A private temporary file that is removed when this goes out of scope.
struct TemporaryFile {
    std::string path;
    TemporaryFile() {
        std::string name = (std::filesystem::temp_directory_path() / "quillmere-workbook-XXXXXX").string();
        const int fd = mkstemp(name.data());
        if (fd >= 0) {
            close(fd);
            path = name;
        }
    }
    ~TemporaryFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
};

}  // namespace

WrittenWorkbook WriteWorkbookWithLibraries(const WorkbookContent& content) {
    const TemporaryFile file;
    if (file.path.empty()) return {{}, "cannot make a temporary file for the workbook"};
    lxw_workbook* book = workbook_new(file.path.c_str());
    if (book == nullptr) return {{}, "cannot start the workbook"};
    const lxw_error written = WriteSheets(book, content);
    if (written != LXW_NO_ERROR) {
        // workbook_close would write what was added so far; only free it.
        lxw_workbook_free(book);
        return {{}, std::string("cannot write the workbook: ") + lxw_strerror(written)};
    }
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) return {{}, std::string("cannot write the workbook: ") + lxw_strerror(closed)};
    std::string bytes = ReadWholeFile(file.path);
    if (bytes.empty()) return {{}, "cannot read back the workbook written"};
    return {std::move(bytes), {}};
}

#else

WrittenWorkbook WriteWorkbookWithLibraries(const WorkbookContent&) {
    return {{}, "this build writes no workbooks (it was built without libxlsxwriter)"};
}

#endif

}  // namespace formats
