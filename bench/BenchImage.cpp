#include "bench/BenchImage.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>
#include <vector>

#include "rom/VersionDetection.h"

namespace bench {

unsigned char HeaderByte(rom::GameVersion version) { return rom::HeaderByteOf(version); }

BenchImage::BenchImage(rom::GameVersion version) : version_(version) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    folder_ = pattern;
    path_ = (folder_ / "image.gbc").string();

    std::vector<unsigned char> bytes(2 * 1024 * 1024);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>((i * 7 + (i >> 8)) & 0x7F);
    bytes[rom::kVersionByteOffset] = HeaderByte(version);

    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot create " + path_);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path_);
}

BenchImage::~BenchImage() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

}  // namespace bench
