#pragma once
// One image edited in the browser page: opened from the bytes the user
// chose, changed one step at a time through the same library calls as
// quillmere-cli's imports, with every step kept for undo and redo, and given
// back as an image with its checksums made right, a BPS patch, or tables.
//
// The image lies in a folder of the page's own memory file system (a real
// folder in the tests), so that the libraries read and write it exactly as
// they do for the command line. Every answer is a JSON object for the page;
// "message" holds the library's own words, with the folder left out of the
// file names it quotes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "rom/FailureReporter.h"
#include "rom/Pictures.h"
#include "tables/ListTables.h"
#include "tables/ImageLists.h"
#include "tables/SpeciesTable.h"

namespace web {

struct Download {
    std::string name;
    std::vector<uint8_t> bytes;
    std::string message;  // what was done to the bytes, or why they are not given
    bool ok = false;
    bool cut = false;  // an image shorter than its header declares: its checksums cannot be made right
};

class Session {
public:
    // `folder` holds the edited image; `scratch` the copies made for a download.
    Session(std::string folder, std::string scratch);

    // Whether a file of `size` bytes may be read as an image ("image"), a
    // table file ("table file") or a ".tables" file (any other `what`), by the
    // bounds the command line reads them with: {ok} or {ok:false, message},
    // asked before the page reads the file's bytes.
    static nlohmann::json Fits(const std::string& what, const std::string& name, double size);

    // Opens the image (and the ".tables" file the user gave with it). Answers
    // {ok, name, caption, release, layout, note, columns, charset, namesKnown,
    // namesNote, fields, machines, machineMoves, choices, rowNeeds, formats,
    // tables} or {ok:false, message}; a refused file leaves the image that was
    // open, and its steps, as they were.
    nlohmann::json Open(const std::string& name, const std::vector<uint8_t>& bytes,
                        const std::optional<std::string>& tablesText);
    bool IsOpen() const { return current_.has_value(); }

    // Every species' fields: {rows: [{name, imageName, values: [...], readable}]};
    // the image's own name as the export writes it (null when the names are
    // not known); list fields as their byte, the others as the export writes
    // them; readable holds words for the values stored as plain numbers
    // (Growth, Groups, Gender) by column.
    nlohmann::json Species() const;
    // One field typed into the table, read as a one-cell table file by the
    // import's reader: {ok, changed, value, readable, listsChanged} or
    // {ok:false, message}. The column "Name" renames the species.
    nlohmann::json SetField(int position, const std::string& column, const std::string& text);

    // The machines and lists of one species, and the room left in each area.
    nlohmann::json Lists(int position) const;
    // One species' rows of a list table ("machines", "evolutions", "moves",
    // "egg-moves"), each row the table's cells after Position and Species.
    // `added` is the row the user has just added: a new level-up move takes
    // its place by level, after the moves of its level. Refusals name the
    // species and the column, never a line; their places give each refused
    // cell's row as `rows` holds it (before a new move is put by level).
    nlohmann::json SetList(int position, const std::string& table, std::vector<std::vector<std::string>> rows,
                           std::optional<size_t> added = std::nullopt);

    // The pictures of one species: {ok, name, colours: {Normal1: "#RRGGBB", ...}, pictures: [{kind:
    // "front"|"back", letter ("" or "A" to "Z"), dim, pixels: a string of dim * 8 squared digits 0 to
    // 3, row by row}], notes: [why a picture is not shown]}. Letters only for species 201.
    nlohmann::json Pictures(int position);
    // The front picture of one species, small, for its row: {ok, dim, pixels, colours: [4 x "#RRGGBB"]}
    // or {ok:false}.
    nlohmann::json Front(int position);
    // One colour of a palette from a colour picker: snapped to the nearest colour the game can store,
    // then read as a one-cell palettes table, as one step. {ok, changed, value} or {ok:false, message}.
    nlohmann::json SetColour(int position, const std::string& column, const std::string& text);

    nlohmann::json Undo();
    nlohmann::json Redo();
    // {canUndo, canRedo, steps, changes, room, eggRoom}: the changes as a diff
    // against the image as opened, and the room left in each list area.
    nlohmann::json History() const;

    // The edited image with both checksums made right; an image cut short is
    // not given (cut is set).
    Download SavedImage() const;
    // A BPS patch from the image as opened to SavedImage().
    Download Patch() const;
    // A table as the command line exports it (a name and a format as --table
    // and --format take them); the workbook holds every table, whatever `table`.
    Download Export(const std::string& table, const std::string& format) const;
    // A table file read as the command line's import reads it, as one step; a
    // workbook (by its name's extension) brings in every table sheet it holds.
    nlohmann::json Import(const std::string& table, const std::string& fileName, const std::string& text);

private:
    struct Run {
        int64_t offset = 0;
        std::vector<uint8_t> before;
        std::vector<uint8_t> after;
    };
    struct Step {
        std::string what;
        std::vector<Run> runs;
    };

    // Closes the image: its steps, and its files in the folder.
    void Forget();
    // Reads the image's file again after a library call wrote it.
    bool Reload(std::string& message);
    // Reads the image again and keeps what changed since `before` as one step.
    nlohmann::json Finish(const std::vector<uint8_t>& before, const std::string& what);
    nlohmann::json Walk(bool forward);
    nlohmann::json Failed(const rom::ScopedFailureCapture& capture, const std::string& otherwise) const;
    nlohmann::json SetName(int position, const std::string& text);
    nlohmann::json ImportSpecies(const std::string& text, tables::TableFormat format, const std::string& file,
                                 const std::string& what);
    nlohmann::json ImportLists(tables::ListTable table, const std::string& text, tables::TableFormat format,
                               const std::string& file, const std::string& what);
    Download ExportWorkbook() const;
    nlohmann::json ImportWorkbook(const std::string& fileName, const std::string& bytes);
    std::vector<uint8_t> Applied(const Step& step, bool forward) const;
    std::string Said(std::string message) const;
    std::string Stem() const;

    std::string folder_;
    std::string scratch_;
    std::string name_;
    std::string path_;
    std::optional<tables::TableImage> original_;
    std::optional<tables::TableImage> current_;
    tables::SpeciesLists originalLists_;
    tables::SpeciesLists currentLists_;
    // Where the pictures are, as the image's layout located them (no edit
    // writes the game's code).
    const rom::PictureTables& PictureTablesOf() const;
    nlohmann::json ImportPalettes(const std::string& text, tables::TableFormat format, const std::string& file,
                                  const std::string& what);

    std::vector<Step> steps_;
    size_t done_ = 0;  // steps_[0, done_) are in the image
};

}  // namespace web
