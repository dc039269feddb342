// The workbook reader: finds the sheets by name through the workbook part and
// its relationships, reads the shared strings, then each sheet wanted, every
// part streamed through expat (WorkbookParts.h). A build without libzip and
// expat (the page's WebAssembly) has a reader that says so.

#include "formats/WorkbookLibraries.h"

#if __has_include(<zip.h>) && __has_include(<expat.h>)

#include <algorithm>
#include <charconv>
#include <map>

#include "formats/Workbook.h"
#include "formats/WorkbookParts.h"

namespace formats {
namespace {

using parts::Attribute;
using parts::Budget;
using parts::kOutside;
using parts::kSkipped;
using parts::XmlPartReader;
using parts::XmlState;

// A relationships part: the target of each relationship by its id, and the
// first target of each type (its last path segment: "worksheet", ...).
class RelationshipsReader : public XmlPartReader {
public:
    enum : XmlState { kRelationships = 1, kRelationship };
    explicit RelationshipsReader(std::string folder) : folder_(std::move(folder)) {}

    XmlState Enter(XmlState parent, std::string_view name, const XML_Char** attributes) override {
        if (parent == kOutside && name == "Relationships") return kRelationships;
        if (parent != kRelationships || name != "Relationship") return kSkipped;
        if (Attribute(attributes, "TargetMode") == "External") return kSkipped;
        std::string_view type = Attribute(attributes, "Type");
        type.remove_prefix(std::min(type.size(), type.rfind('/') + 1));
        const std::string target = Resolve(Attribute(attributes, "Target"));
        targets.emplace(Attribute(attributes, "Id"), target);
        byType.emplace(type, target);
        types.emplace(Attribute(attributes, "Id"), type);
        return kRelationship;
    }
    void Leave(XmlState) override {}
    bool Collects(XmlState) const override { return false; }

    std::map<std::string, std::string, std::less<>> targets, byType, types;

private:
    // A target relative to the folder of the part the relationships belong to
    // ("worksheets/sheet1.xml"), or absolute in the archive ("/xl/...").
    std::string Resolve(std::string_view target) const {
        const std::string path = target.starts_with('/') ? std::string(target.substr(1)) : folder_ + std::string(target);
        std::vector<std::string> segments;
        for (size_t start = 0, end; start <= path.size(); start = end + 1) {
            end = std::min(path.find('/', start), path.size());
            const std::string segment = path.substr(start, end - start);
            if (segment == "..") {
                if (!segments.empty()) segments.pop_back();
            } else if (!segment.empty() && segment != ".") {
                segments.push_back(segment);
            }
        }
        std::string resolved;
        for (const auto& segment : segments) resolved += (resolved.empty() ? "" : "/") + segment;
        return resolved;
    }
    std::string folder_;
};

// The workbook part: every sheet's name and relationship id, in order.
class WorkbookPartReader : public XmlPartReader {
public:
    enum : XmlState { kWorkbook = 1, kSheets, kSheet };
    XmlState Enter(XmlState parent, std::string_view name, const XML_Char** attributes) override {
        if (parent == kOutside && name == "workbook") return kWorkbook;
        if (parent == kWorkbook && name == "sheets") return kSheets;
        if (parent != kSheets || name != "sheet") return kSkipped;
        sheets.emplace_back(Attribute(attributes, "name"), Attribute(attributes, "id"));
        return kSheet;
    }
    void Leave(XmlState) override {}
    bool Collects(XmlState) const override { return false; }

    std::vector<std::pair<std::string, std::string>> sheets;  // name, relationship id
};

// The shared strings: the text of each item, runs joined, phonetic runs left out.
class SharedStringsReader : public XmlPartReader {
public:
    enum : XmlState { kTable = 1, kItem, kRun, kText };
    explicit SharedStringsReader(Budget& budget) : budget_(budget) {}

    XmlState Enter(XmlState parent, std::string_view name, const XML_Char**) override {
        if (parent == kOutside && name == "sst") return kTable;
        if (parent == kTable && name == "si") return Begin();
        if ((parent == kItem || parent == kRun) && name == "t") return kText;
        if (parent == kItem && name == "r") return kRun;
        return kSkipped;
    }
    void Leave(XmlState state) override {
        if (state != kItem) return;
        budget_.stringBytes += text.size();
        if (Budget::Within(budget_.stringBytes, budget_.limits.mostStringBytes, "text", error)) {
            strings.push_back(std::move(text));
        }
    }
    bool Collects(XmlState state) const override { return state == kText; }

    std::vector<std::string> strings;

private:
    XmlState Begin() {
        text.clear();
        return Budget::Within(strings.size() + 1, budget_.limits.mostSharedStrings, "shared strings", error) ? kItem
                                                                                                              : kSkipped;
    }
    Budget& budget_;
};

// One worksheet: its rows of cells, by reference.
class SheetReader : public XmlPartReader {
public:
    enum : XmlState { kWorksheet = 1, kData, kRow, kCell, kValue, kInline, kInlineRun, kInlineText };
    SheetReader(Budget& budget, const std::vector<std::string>* shared) : budget_(budget), shared_(shared) {}

    XmlState Enter(XmlState parent, std::string_view name, const XML_Char** attributes) override {
        switch (parent) {
            case kOutside: return name == "worksheet" ? kWorksheet : kSkipped;
            case kWorksheet: return name == "sheetData" ? kData : kSkipped;
            case kData: return name == "row" ? BeginRow(attributes) : kSkipped;
            case kRow: return name == "c" ? BeginCell(attributes) : kSkipped;
            case kCell: return name == "v" ? kValue : name == "is" ? kInline : kSkipped;
            case kInline: return name == "t" ? kInlineText : name == "r" ? kInlineRun : kSkipped;
            case kInlineRun: return name == "t" ? kInlineText : kSkipped;
            default: return kSkipped;
        }
    }
    void Leave(XmlState state) override {
        if (state == kCell) EndCell();
        if (state == kRow) EndRow();
    }
    bool Collects(XmlState state) const override { return state == kValue || state == kInlineText; }

    std::vector<ReadRow> rows;

private:
    XmlState BeginRow(const XML_Char** attributes) {
        const std::string_view number = Attribute(attributes, "r");
        uint32_t row = rows_ + 1;
        if (!number.empty()) {
            const auto place = ParseCellReference("A" + std::string(number));
            if (!place) return Fail("row \"" + std::string(number) + "\" is no row number");
            row = place->first;
        }
        rows_ = row;
        row_ = ReadRow{row, {}};
        column_ = 0;
        return kRow;
    }
    XmlState BeginCell(const XML_Char** attributes) {
        const std::string_view reference = Attribute(attributes, "r");
        const auto place = reference.empty() ? std::optional(std::pair{row_.number, column_})
                                             : ParseCellReference(reference);
        if (!place) return Fail("cell \"" + std::string(reference) + "\" is no cell reference");
        if (place->first != row_.number) {
            return Fail("cell " + std::string(reference) + " lies in row " + std::to_string(row_.number));
        }
        column_ = place->second + 1;
        cell_ = ReadCell{place->second, {}};
        type_ = Attribute(attributes, "t");
        text.clear();
        return kCell;
    }
    void EndCell() {
        const std::string reference = CellReference(row_.number, cell_.column);
        const std::string failure = CellValue();
        if (!failure.empty()) {
            error = "cell " + reference + " " + failure;
            return;
        }
        if (cell_.value.kind == WorkbookCell::Kind::Empty) return;
        budget_.stringBytes += cell_.value.text.size();
        if (Budget::Within(++budget_.cells, budget_.limits.mostCells, "cells", error) &&
            Budget::Within(budget_.stringBytes, budget_.limits.mostStringBytes, "text", error)) {
            row_.cells.push_back(std::move(cell_));
        }
    }
    void EndRow() {
        if (row_.cells.empty()) return;
        std::sort(row_.cells.begin(), row_.cells.end(), [](const auto& a, const auto& b) { return a.column < b.column; });
        for (size_t i = 1; i < row_.cells.size(); ++i) {
            if (row_.cells[i].column == row_.cells[i - 1].column) {
                error = "cell " + CellReference(row_.number, row_.cells[i].column) + " is given twice";
                return;
            }
        }
        if (Budget::Within(++budget_.rows, budget_.limits.mostRows, "rows", error)) rows.push_back(std::move(row_));
    }

    // Sets the cell's value from its type and text; a failure's words otherwise.
    std::string CellValue() {
        if (type_ == "s") return SharedString();
        if (type_ == "inlineStr" || type_ == "str" || type_ == "e" || type_ == "d") {
            if (!text.empty()) cell_.value = WorkbookCell::Text(std::move(text));
            return {};
        }
        if (type_ != "n" && type_ != "b" && !type_.empty()) return "has the unknown type \"" + type_ + "\"";
        if (text.empty()) return {};
        const std::optional<double> number = NumberOfText(text);
        if (!number) return "holds \"" + text + "\" as a number";
        cell_.value = WorkbookCell{WorkbookCell::Kind::Number, *number, std::move(text)};
        return {};
    }
    std::string SharedString() {
        if (shared_ == nullptr) return "refers to a shared string, but the workbook has no shared strings";
        size_t index = 0;
        const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), index);
        if (failed != std::errc() || end != text.data() + text.size() || index >= shared_->size()) {
            return "refers to shared string \"" + text + "\", which the workbook does not hold";
        }
        if (!(*shared_)[index].empty()) cell_.value = WorkbookCell::Text((*shared_)[index]);
        return {};
    }
    XmlState Fail(std::string message) {
        error = std::move(message);
        return kSkipped;
    }

    Budget& budget_;
    const std::vector<std::string>* shared_;
    uint32_t rows_ = 0;    // the latest row's number
    uint32_t column_ = 0;  // the column after the latest cell's
    ReadRow row_;
    ReadCell cell_;
    std::string type_;
};

// The rows of a sheet in row order, each row number once.
std::string SortRows(std::vector<ReadRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    for (size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].number == rows[i - 1].number) return "row " + std::to_string(rows[i].number) + " is given twice";
    }
    return {};
}

// A fault of a sheet in its words: "Moves!B2 ..." for one of its cells,
// "sheet Moves: ..." for anything else.
std::string SheetFault(const std::string& sheet, const std::string& fault) {
    if (fault.starts_with("cell ") && fault.size() > 5 && fault[5] != '"') return sheet + "!" + fault.substr(5);
    return "sheet " + sheet + ": " + fault;
}

std::string FolderOf(const std::string& part) {
    const size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// The relationships of a part: "xl/workbook.xml" has "xl/_rels/workbook.xml.rels".
bool ReadRelationships(const parts::ZipParts& zip, const std::string& part, RelationshipsReader& reader,
                       Budget& budget, std::string& error) {
    const std::string folder = FolderOf(part);
    const std::string rels = folder + "_rels/" + part.substr(folder.size()) + ".rels";
    if (!zip.Has(rels)) return true;
    return ParseXml(zip, rels, reader, budget, error);
}

// The part that holds the workbook, as the package's relationships name it.
std::string WorkbookPartName(const parts::ZipParts& zip, Budget& budget, std::string& error) {
    RelationshipsReader package{""};
    if (!ReadRelationships(zip, "", package, budget, error)) return {};
    const auto found = package.byType.find("officeDocument");
    std::string part = found == package.byType.end() ? "xl/workbook.xml" : found->second;
    if (!zip.Has(part)) error = "not a workbook: the archive holds no workbook part";
    return part;
}

class WorkbookReading {
public:
    WorkbookReading(std::string_view bytes, const std::vector<std::string>& wanted, const WorkbookLimits& limits)
        : bytes_(bytes), wanted_(wanted), budget_{limits} {}

    WorkbookRead Run() {
        WorkbookRead read;
        zip_ = parts::ZipParts::Open(bytes_, budget_.limits, read.error);
        if (zip_ == nullptr || !ReadStructure(read) || !ReadSharedStrings(read.error)) return read;
        for (const auto& [name, id] : book_.sheets) {
            if (!Wanted(name) || rels_->types[id] != "worksheet") continue;
            ReadSheet sheet{name, {}};
            if (!ReadOneSheet(rels_->targets[id], sheet, read.error)) return read;
            read.sheets.push_back(std::move(sheet));
        }
        return read;
    }

private:
    bool ReadStructure(WorkbookRead& read) {
        const std::string part = WorkbookPartName(*zip_, budget_, read.error);
        if (!read.error.empty() || !ParseXml(*zip_, part, book_, budget_, read.error)) return false;
        if (!Budget::Within(book_.sheets.size(), budget_.limits.mostSheets, "sheets", read.error)) return false;
        rels_ = std::make_unique<RelationshipsReader>(FolderOf(part));
        if (!ReadRelationships(*zip_, part, *rels_, budget_, read.error)) return false;
        for (const auto& sheet : book_.sheets) read.sheetNames.push_back(sheet.first);
        return true;
    }
    bool ReadSharedStrings(std::string& error) {
        const auto found = rels_->byType.find("sharedStrings");
        if (found == rels_->byType.end() || !zip_->Has(found->second)) return true;
        shared_ = std::make_unique<SharedStringsReader>(budget_);
        return ParseXml(*zip_, found->second, *shared_, budget_, error);
    }
    bool ReadOneSheet(const std::string& part, ReadSheet& sheet, std::string& error) {
        SheetReader reader(budget_, shared_ ? &shared_->strings : nullptr);
        if (!ParseXml(*zip_, part, reader, budget_, error)) {
            error = SheetFault(sheet.name, error);
            return false;
        }
        error = SortRows(reader.rows);
        if (!error.empty()) error = SheetFault(sheet.name, error);
        sheet.rows = std::move(reader.rows);
        return error.empty();
    }
    bool Wanted(const std::string& name) const {
        return wanted_.empty() || std::find(wanted_.begin(), wanted_.end(), name) != wanted_.end();
    }

    std::string_view bytes_;
    const std::vector<std::string>& wanted_;
    Budget budget_;
    std::unique_ptr<parts::ZipParts> zip_;
    WorkbookPartReader book_;
    std::unique_ptr<RelationshipsReader> rels_;
    std::unique_ptr<SharedStringsReader> shared_;
};

}  // namespace

WorkbookRead ReadWorkbookWithLibraries(std::string_view bytes, const std::vector<std::string>& wanted,
                                       const WorkbookLimits& limits) {
    WorkbookRead read = WorkbookReading(bytes, wanted, limits).Run();
    if (!read.ok()) read.sheets.clear();
    return read;
}

}  // namespace formats

#else

namespace formats {

WorkbookRead ReadWorkbookWithLibraries(std::string_view, const std::vector<std::string>&, const WorkbookLimits&) {
    WorkbookRead read;
    read.error = "this build reads no workbooks (it was built without libzip and expat)";
    return read;
}

}  // namespace formats

#endif
