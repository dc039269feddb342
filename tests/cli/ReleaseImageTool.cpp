// release-image ROW FILE: writes an image laid out like the official release
// of row ROW (0 to 11) of the release layouts, with lists of every kind and
// machine bytes that differ from species to species, for the test scripts
// that drive quillmere-cli from outside.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/tables/ListImages.h"

int main(int argc, char** argv) {
    const int row = argc == 3 ? std::atoi(argv[1]) : -1;
    if (row < 0 || row >= int(rom::kReleaseLayouts.size())) {
        std::cerr << "usage: release-image ROW FILE (ROW from 0 to " << rom::kReleaseLayouts.size() - 1 << ")\n";
        return 2;
    }
    const rom::ReleaseLayout& layout = rom::kReleaseLayouts[size_t(row)];
    std::vector<uint8_t> bytes = listtest::ReleaseLikeBytes(listtest::SyntheticLists(), layout);
    for (int p = 0; p < rom::kSpeciesCount; ++p) {
        for (int k = 0; k < tables::kMachineBytes; ++k) {
            bytes[size_t(layout.tables.BaseStatsOffset + 32 * p + tables::kMachineBytesOffset + k)] =
                uint8_t(p * 37 + k * 11 + 5);
        }
    }
    testsupport::TestImage image(testsupport::TestImage::HeaderByte(layout.version), int64_t(bytes.size()));
    image.SetBytes(0, bytes);
    image.MakeComplete();
    std::filesystem::copy_file(image.path(), argv[2], std::filesystem::copy_options::overwrite_existing);
    std::cout << layout.gameCode << " revision " << int(layout.revision) << "\n";
    return 0;
}
