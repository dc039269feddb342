#pragma once
// The workbook's reader and writer over their C libraries (libxlsxwriter,
// libzip, expat), as one table of two functions. WriteWorkbook and
// ReadWorkbook (Workbook.h) ask FindWorkbookLibraries for it; each program
// links one definition of it:
// - WorkbookLinked.cpp: the functions linked into the program (the tests, the
//   benchmarks, the fuzz targets, the page);
// - module/WorkbookLoader.cpp: the functions loaded from a module of their
//   own the first time a workbook is read or written (quillmere-cli), so that
//   the program's other commands do not load the libraries at all.

#include <string>
#include <string_view>
#include <vector>

#include "formats/Workbook.h"

namespace formats {

struct WorkbookLibraries {
    WrittenWorkbook (*write)(const WorkbookContent& content);
    WorkbookRead (*read)(std::string_view bytes, const std::vector<std::string>& wanted, const WorkbookLimits& limits);
};

// The table, or null with the reason in `error` (the module could not be
// loaded). Found once; every later call returns the same answer.
const WorkbookLibraries* FindWorkbookLibraries(std::string& error);

// The functions themselves (WorkbookWriter.cpp, WorkbookReader.cpp).
WrittenWorkbook WriteWorkbookWithLibraries(const WorkbookContent& content);
WorkbookRead ReadWorkbookWithLibraries(std::string_view bytes, const std::vector<std::string>& wanted,
                                       const WorkbookLimits& limits);

// The module's entry point (module/WorkbookModule.cpp; C linkage, so that
// dlsym finds it by this name): the table when the module was built for the
// loader's interface version, else null.
inline constexpr int kWorkbookModuleInterface = 1;
inline constexpr const char* kWorkbookModuleEntry = "quillmere_workbook_libraries";

}  // namespace formats
