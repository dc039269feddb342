// FindWorkbookLibraries for quillmere-cli: the workbook module is loaded the
// first time a workbook is read or written, so that every other command
// starts without loading libxlsxwriter, libzip, expat and what they pull in
// (libcrypto among them), whose symbol lookups were most of its start-up.
//
// The module lies at QUILLMERE_WORKBOOK_MODULE, a path relative to the
// folder of the running program (/proc/self/exe, links resolved): installed,
// bin/ -> lib/.../quillmere/; in the build folder the module is put at the
// same place relative to the program.

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "formats/WorkbookLibraries.h"

#ifndef QUILLMERE_WORKBOOK_MODULE
#error "QUILLMERE_WORKBOOK_MODULE (the module's path relative to the program's folder) is not defined"
#endif

namespace formats {
namespace {

struct Found {
    const WorkbookLibraries* libraries = nullptr;
    std::string error;
};

Found Load() {
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (failed) return {nullptr, "cannot find the workbook module: where this program lies is unknown (" +
                                     failed.message() + ")"};
    const std::string path = (program.parent_path() / QUILLMERE_WORKBOOK_MODULE).lexically_normal().string();
    // Kept loaded until the process ends: the table points into it.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        // dlerror's text names the file.
        return {nullptr, "cannot load the workbook module: " + std::string(reason ? reason : path + ": unknown failure")};
    }
    using Entry = const WorkbookLibraries* (*)(int);
    const auto entry = reinterpret_cast<Entry>(dlsym(module, kWorkbookModuleEntry));
    const WorkbookLibraries* libraries = entry == nullptr ? nullptr : entry(kWorkbookModuleInterface);
    if (libraries == nullptr) return {nullptr, "the workbook module " + path + " does not belong to this program"};
    return {libraries, {}};
}

}  // namespace

const WorkbookLibraries* FindWorkbookLibraries(std::string& error) {
    static const Found found = Load();
    if (found.libraries == nullptr) error = found.error;
    return found.libraries;
}

}  // namespace formats
