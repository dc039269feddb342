// Writes the images the browser tests open: make_web_images FOLDER writes
// FOLDER/crystal.gbc (laid out like a release) and FOLDER/moved.gbc (its
// tables moved).
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/web/WebImages.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_web_images FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!Write(folder + "/crystal.gbc", webtest::ReleaseLikeImage()) ||
        !Write(folder + "/moved.gbc", webtest::MovedTablesImage())) {
        std::fprintf(stderr, "make_web_images: could not write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
