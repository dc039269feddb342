#pragma once
// What a reader of a table file refuses, and where. Each reader fills in the
// place it can show: a CSV file its line and the field's number in the row, a
// JSON file its line and the character in the line, a workbook its cell
// ("Moves!C781").

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace formats {

struct Refusal {
    Refusal() = default;
    Refusal(int line, int column, std::string columnName, std::string message, std::string cell = {})
        : line(line), column(column), columnName(std::move(columnName)), message(std::move(message)),
          cell(std::move(cell)) {}

    int line = 0;             // counted from 1; 0 when the place is a cell
    int column = 0;           // 0 when the refusal is about a whole row or the file
    std::string columnName;   // the table column ("HP", "Position"), or empty
    std::string message;      // says what the column accepts
    std::string cell;         // a workbook's cell ("Moves!C781"), or empty
};

// "line 12, column 3 (HP): HP must be ...", or "Moves!C781 (Move): ...".
std::string RefusalText(const Refusal& refusal);

// The most refusals listed; the ones past them are only counted, so that a
// hostile file cannot fill memory and the screen with them.
inline constexpr size_t kMostRefusalsListed = 100;

// The refusals of one reading. Anything read is only meaningful when there
// is none; a table with any refusal must not be written.
struct Refusals {
    std::vector<Refusal> refusals;  // the first kMostRefusalsListed
    size_t unlistedRefusals = 0;    // the refusals past them, counted only
    bool ok() const { return refusals.empty(); }
    size_t RefusalCount() const { return refusals.size() + unlistedRefusals; }
    // Lists the refusal, or counts it once kMostRefusalsListed are listed.
    void Refuse(Refusal refusal);
    // Lists the refusal that ends the reading even when the list is full: it
    // takes the place of the last one listed, which is then counted only.
    void RefuseAndStop(Refusal refusal);
    // Takes over every refusal of `other`, listed and counted.
    void Append(const Refusals& other);
    // Puts the listed refusals in the order of their lines (a reader's and
    // then a table's refusals of the same file), keeping the order within a
    // line.
    void SortByLine();
};

}  // namespace formats
