// FindWorkbookLibraries for a program that links the workbook's libraries
// (see WorkbookLibraries.h): the functions are always there.

#include "formats/WorkbookLibraries.h"

namespace formats {

const WorkbookLibraries* FindWorkbookLibraries(std::string&) {
    static constexpr WorkbookLibraries kLinked{&WriteWorkbookWithLibraries, &ReadWorkbookWithLibraries};
    return &kLinked;
}

}  // namespace formats
