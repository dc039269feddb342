// The JSON format over the row model.

#include <nlohmann/json.hpp>

#include "formats/Formats.h"
#include "formats/JsonPlaces.h"

namespace formats {

namespace {

// Reads the root object, its rows array and each row object's members, each
// with its place. Text members of the root are kept as what the file says of
// its image; anything else under the root is skipped.
class RowsHandler : public PlacedHandler {
public:
    RowsHandler(std::string_view text, const Shape& shape, RowsRead& out)
        : PlacedHandler(text, out.status), shape_(shape), matcher_(shape.columns), out_(out) {
        out_.present.assign(shape.columns.size(), false);
    }

    bool null() override { return Scalar(CellKind::Empty, ""); }
    bool boolean(bool value) override { return Other(value ? "true" : "false"); }
    bool number_integer(number_integer_t value) override { return Scalar(CellKind::Number, std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Scalar(CellKind::Number, std::to_string(value)); }
    bool number_float(number_float_t, const string_t& text) override { return Scalar(CellKind::Number, text); }
    bool string(string_t& value) override { return Scalar(CellKind::Text, value); }
    bool binary(binary_t&) override { return Other("binary data"); }

    void Finish() {
        if (!sawRows_ && !failed_ && out_.status.ok()) {
            out_.status.Refuse({1, 1, "", "the document has no \"" + shape_.arrayKey + "\" array of rows"});
        }
    }

private:
    std::string Quoted(const std::string& text) const { return "\"" + text + "\""; }

    bool Open(bool object) override {
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return true;
        }
        switch (depth_) {
            case 0:
                return OpenRoot(object);
            case 1:
                return OpenMember(object);
            case 2:
                return OpenRow(object);
            default:
                Other(object ? "an object" : "an array");
                ++skipDepth_;
                return true;
        }
    }

    bool OpenRoot(bool object) {
        if (!object) {
            return Stop({place_.line, place_.column, "",
                         "the document must be an object with a " + Quoted(shape_.arrayKey) + " array; it is an array"});
        }
        depth_ = 1;
        return true;
    }

    bool OpenMember(bool object) {
        if (key_ == shape_.arrayKey) {
            sawRows_ = true;
            if (!object) {
                depth_ = 2;
                return true;
            }
            out_.status.Refuse({keyLine_, keyColumn_, "", Quoted(key_) + " must be an array of rows"});
        }
        if (!object && out_.arrays.size() < shape_.budget.mostColumns) out_.arrays.push_back(key_);
        ++skipDepth_;  // another member: describes the image, or another table's rows
        return true;
    }

    bool OpenRow(bool object) {
        const int line = place_.line;
        const int column = place_.column;
        if (!CountRow(line, column)) return false;
        if (!object) {
            RowNotObject(line, column);
            ++skipDepth_;
            return true;
        }
        depth_ = 3;
        row_ = Row{line, column, std::vector<Cell>(shape_.columns.size())};
        rowRefused_ = false;
        members_ = 0;
        return true;
    }

    void RowNotObject(int line, int column) {
        out_.status.Refuse({line, column, "", "each row of " + Quoted(shape_.arrayKey) + " must be an object"});
    }

    bool Stop(Refusal refusal) {
        out_.status.Refuse(std::move(refusal));
        failed_ = true;
        return false;
    }

    // A value that no cell takes: a boolean, an object or an array.
    bool Other(const std::string& what) {
        if (skipDepth_ > 0) return true;
        if (depth_ != 3) return Scalar(CellKind::Text, what);
        if (!CountMember()) return true;
        if (rowCount_ == 1) out_.names.push_back(key_);
        const std::optional<size_t> index = matcher_.Find(key_);
        const std::string name = index ? shape_.columns[*index] : key_;
        out_.status.Refuse({place_.line, place_.column, name,
                            Quoted(name) + " must be a number, a string or null, not " + what + "."});
        // The column is there, only its value is refused: no second refusal that it lacks.
        if (index) row_.cells[*index].given = true;
        rowRefused_ = true;
        return true;
    }

    bool Scalar(CellKind kind, const std::string& text) {
        if (skipDepth_ > 0) return true;
        switch (depth_) {
            case 0:
                return Stop({place_.line, place_.column, "",
                             "the document must be an object with a " + Quoted(shape_.arrayKey) + " array"});
            case 1:
                RootScalar(kind, text);
                return true;
            case 2:
                if (!CountRow(place_.line, place_.column)) return false;
                RowNotObject(place_.line, place_.column);
                return true;
            default:
                Member(kind, text);
                return true;
        }
    }

    void RootScalar(CellKind kind, const std::string& text) {
        if (key_ == shape_.arrayKey) {
            sawRows_ = true;
            out_.status.Refuse({place_.line, place_.column, "", Quoted(key_) + " must be an array of rows"});
        } else if (kind == CellKind::Text && out_.about.size() < shape_.budget.mostColumns) {
            out_.about.push_back({key_, text, place_.line, place_.column});
        }
    }

    void Member(CellKind kind, const std::string& text) {
        if (!CountMember()) return;
        if (rowCount_ == 1) out_.names.push_back(key_);
        const std::optional<size_t> index = matcher_.Find(key_);
        if (!index) {
            out_.status.Refuse({keyLine_, keyColumn_, key_,
                                NotAColumnText(key_, ColumnList(shape_.columns), !namedUnknown_)});
            namedUnknown_ = true;
            rowRefused_ = true;
            return;
        }
        Cell& cell = row_.cells[*index];
        if (cell.given) {
            const std::string& name = shape_.columns[*index];
            out_.status.Refuse({keyLine_, keyColumn_, name, Quoted(name) + " is given twice in this row."});
            rowRefused_ = true;
            return;
        }
        cell = Cell{kind, text, place_.line, place_.column, true};
    }

    // Counts a row of the rows array; past the budget, refuses the file and
    // stops the reading (false).
    bool CountRow(int line, int column) {
        if (++rowCount_ <= shape_.budget.mostRows) return true;
        out_.status.RefuseAndStop({line, column, "", "the file holds more rows than " + shape_.tooManyRows});
        failed_ = true;
        return false;
    }

    // Counts a member of the row; past the budget, refuses the row once and
    // ignores the member (false).
    bool CountMember() {
        if (++members_ <= shape_.budget.mostColumns) return true;
        if (members_ == shape_.budget.mostColumns + 1) {
            out_.status.Refuse({row_.line, row_.column, "",
                                "the row has more than " + std::to_string(shape_.budget.mostColumns) +
                                    " members; the columns are " + ColumnList(shape_.columns) + "."});
            rowRefused_ = true;
        }
        return false;
    }

    void EndRow() override {
        std::string missing;
        for (size_t c = 0; c < shape_.columns.size(); ++c) {
            if (row_.cells[c].given) out_.present[c] = true;
            // A member the row leaves out is placed at the row, so that a
            // refusal of the value it lacks points there.
            if (!row_.cells[c].given) {
                row_.cells[c].line = row_.line;
                row_.cells[c].column = row_.column;
            }
            if (!row_.cells[c].given && shape_.required[c]) {
                missing += (missing.empty() ? "" : ", ") + shape_.columns[c];
            }
        }
        if (!missing.empty()) {
            out_.status.Refuse({row_.line, row_.column, "", "the row lacks " + missing + "."});
            rowRefused_ = true;
        }
        if (!rowRefused_) out_.rows.push_back(std::move(row_));
    }

    const Shape& shape_;
    ColumnMatcher matcher_;
    RowsRead& out_;
    bool sawRows_ = false;
    bool failed_ = false;
    bool rowRefused_ = false;
    bool namedUnknown_ = false;  // a member that is no column was refused (with the list of columns)
    size_t rowCount_ = 0;
    size_t members_ = 0;
    Row row_;
};

nlohmann::ordered_json JsonOf(const Cell& cell) {
    switch (cell.kind) {
        case CellKind::Empty:
            return nullptr;
        case CellKind::Number:
            return std::stoll(cell.text);
        case CellKind::Text:
            break;
    }
    return cell.text;
}

}  // namespace

RowsRead ReadJsonRows(std::string_view bytes, const Shape& shape) {
    RowsRead out;
    RowsHandler handler(bytes, shape, out);
    handler.Parse();
    handler.Finish();
    return out;
}

std::string WriteJsonRows(const TableDocument& document) {
    using ordered = nlohmann::ordered_json;
    std::string text = "{\n";
    for (const auto& [key, value] : document.about) text += "  " + ordered(key).dump() + ": " + ordered(value).dump() + ",\n";
    text += "  " + ordered(document.arrayKey).dump() + ": [";
    bool first = true;
    for (const std::vector<Cell>& cells : document.rows) {
        ordered row;
        for (size_t c = 0; c < cells.size() && c < document.columns.size(); ++c) row[document.columns[c]] = JsonOf(cells[c]);
        text += first ? "\n    " : ",\n    ";
        text += row.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        first = false;
    }
    text += first ? "]\n}\n" : "\n  ]\n}\n";
    return text;
}

}  // namespace formats
