#pragma once
// An image file for the benchmarks: 2 MiB whose bytes depend on their offset,
// so that every field holds a value the conversions accept, with a chosen
// version's header byte. It lives in a fresh temporary folder that is removed
// with it.

#include <filesystem>
#include <string>

#include "rom/SpeciesLayout.h"

namespace bench {

class BenchImage {
public:
    explicit BenchImage(rom::GameVersion version);
    ~BenchImage();
    BenchImage(const BenchImage&) = delete;
    BenchImage& operator=(const BenchImage&) = delete;

    const std::string& path() const { return path_; }
    rom::VersionProfile profile() const { return rom::DefaultProfile(version_); }
    rom::GameVersion version() const { return version_; }

private:
    rom::GameVersion version_;
    std::filesystem::path folder_;
    std::string path_;
};

// The header byte that makes an image the version.
unsigned char HeaderByte(rom::GameVersion version);

}  // namespace bench
