// The workbook's reader and writer as the rest of the program calls them:
// each finds the functions over the C libraries (WorkbookLibraries.h).

#include "formats/WorkbookLibraries.h"

namespace formats {

WrittenWorkbook WriteWorkbook(const WorkbookContent& content) {
    std::string error;
    const WorkbookLibraries* libraries = FindWorkbookLibraries(error);
    if (libraries == nullptr) return {{}, error};
    return libraries->write(content);
}

WorkbookRead ReadWorkbook(std::string_view bytes, const std::vector<std::string>& wanted,
                          const WorkbookLimits& limits) {
    WorkbookRead read;
    const WorkbookLibraries* libraries = FindWorkbookLibraries(read.error);
    if (libraries == nullptr) return read;
    return libraries->read(bytes, wanted, limits);
}

}  // namespace formats
