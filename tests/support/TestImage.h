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
#include <vector>

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
