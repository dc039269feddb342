// The workbook module (quillmere-workbook.so): the workbook's reader and
// writer with their C libraries, loaded by module/WorkbookLoader.cpp when a
// workbook is first read or written. It exports this one function.

#include "formats/WorkbookLibraries.h"

extern "C" __attribute__((visibility("default"))) const formats::WorkbookLibraries* quillmere_workbook_libraries(
    int interfaceVersion) {
    static constexpr formats::WorkbookLibraries kLibraries{&formats::WriteWorkbookWithLibraries,
                                                           &formats::ReadWorkbookWithLibraries};
    return interfaceVersion == formats::kWorkbookModuleInterface ? &kLibraries : nullptr;
}
