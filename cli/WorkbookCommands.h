#pragma once
// The workbook of export and import (--format xlsx, or a name ending in
// .xlsx): all five tables in one file. The work after the options are read.

#include <optional>
#include <string>
#include <string_view>

#include "rom/ImageReplacement.h"

namespace cli {

// True when --format names the workbook, or, without --format, the file's
// name ends in .xlsx (either case).
bool IsWorkbook(const std::string& format, const std::string& file);

// Exports every table of the image as one workbook to `output`.
int RunWorkbookExport(const std::string& image, const std::string& output);

struct WorkbookImportRequest {
    std::string image;
    std::string file;
    std::optional<std::string> table;  // --table: that table's sheet alone
    bool dryRun = false;
    bool fromOtherImage = false;
    rom::ImageWriteMode mode = rom::ImageWriteMode::Whole;
};
int RunWorkbookImport(const WorkbookImportRequest& request);

}  // namespace cli
