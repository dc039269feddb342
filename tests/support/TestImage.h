#pragma once
// A ROM image file for tests: by default 2 MiB of zeros with a chosen header
// byte at 0x13C, in a fresh temporary folder that is removed, with the file,
// when the object is destroyed. Failures of the builder itself throw
// std::runtime_error, which the test framework reports as a test failure.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rom/ReleaseLayouts.h"
#include "rom/SpeciesLayout.h"

namespace testsupport {

class TestImage {
public:
    static constexpr int64_t kDefaultSize = 2 * 1024 * 1024;

    // A file of `size` zero bytes whose byte at 0x13C is `headerByte` (when
    // the file is long enough to hold it).
    explicit TestImage(uint8_t headerByte = 0x00, int64_t size = kDefaultSize);
    ~TestImage();

    TestImage(TestImage&& other) noexcept;
    TestImage& operator=(TestImage&& other) noexcept;
    TestImage(const TestImage&) = delete;
    TestImage& operator=(const TestImage&) = delete;

    // An image of the version (its header byte set) whose 251 base records at
    // the released base offset hold the species numbers 1 to 251 in byte 0.
    static TestImage Released(rom::GameVersion version, int64_t size = kDefaultSize);

    // An image laid out like the official release, every byte of it chosen
    // here: its length, version byte, game code, revision, ROM-size byte and
    // both checksums as the release has them, the base records numbered 1 to
    // 251 and byte 1 of every cry entry 0 at the release's offsets plus
    // `movedBy` (a modified game whose tables moved), the two pointer tables
    // (the egg move table moved as well) each followed by lists as the
    // releases lay them (an empty list per species, one shared lone 0xFF for
    // the egg moves, the rest of the bank 0), the five routines that read the
    // tables planted reading them there (unless `withRoutines` is false), and
    // every other byte following the test pattern, so that a stray write
    // shows up anywhere.
    static TestImage OfRelease(const rom::ReleaseLayout& release, int32_t movedBy = 0, bool withRoutines = true);

    // The release's four table offsets, each `movedBy` bytes on: where the
    // tables of OfRelease(release, movedBy) stand.
    static rom::VersionProfile MovedTables(const rom::ReleaseLayout& release, int32_t movedBy);

    // Plants the five routines that read the tables, reading them at `tables`
    // (tests/support/TableRoutines.h says where they lie).
    void PlantTableRoutines(const rom::VersionProfile& tables, int64_t eggs);

    // The header byte that makes the image recognised as the version.
    static uint8_t HeaderByte(rom::GameVersion version);

    const std::string& path() const { return path_; }
    const std::filesystem::path& folder() const { return folder_; }

    // The file's length on disk now.
    int64_t size() const;

    void SetByte(int64_t offset, uint8_t value);
    void SetBytes(int64_t offset, std::span<const uint8_t> bytes);
    void SetBytes(int64_t offset, std::initializer_list<uint8_t> bytes);
    // Sets `count` bytes from `offset` on to `value`.
    void FillRange(int64_t offset, int64_t count, uint8_t value);
    // Gives every byte of the file a value that depends on its offset, so that
    // a stray write shows up anywhere. The header byte is kept.
    void FillWithPattern();
    // The value FillWithPattern gives the byte at `offset`.
    static uint8_t PatternByte(int64_t offset);

    // Writes byte 0 of the 251 base records from `baseOffset` on: 1 to 251.
    void NumberBaseRecords(int32_t baseOffset);

    // Writes the four-letter game code at 0x13F and the revision byte at 0x14C.
    void SetGameCode(std::string_view code, uint8_t revision = 0);

    // Writes the ".tables" file beside the image (path() + ".tables").
    void WriteTablesFile(std::string_view text) const;
    std::string tablesPath() const { return path_ + ".tables"; }

    // Sets the global checksum at 0x14E to the sum of the other bytes.
    void FixGlobalChecksum();

    // Makes the image one a cartridge could hold: the ROM-size byte at 0x148
    // declares the file's length (which must be 32 KiB shifted left by 0 to 8)
    // and the header checksum at 0x14D is right. Call it after the last change
    // to the header bytes 0x134 to 0x14C.
    void MakeComplete();

    uint8_t ByteAt(int64_t offset) const;
    std::vector<uint8_t> ReadAll() const;

private:
    void Remove() noexcept;

    std::filesystem::path folder_;
    std::string path_;
};

}  // namespace testsupport
