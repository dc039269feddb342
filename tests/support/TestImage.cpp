#include "tests/support/TestImage.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "rom/ImageFacts.h"
#include "rom/VersionDetection.h"
#include "tests/support/TableRoutines.h"

namespace testsupport {

namespace {

std::filesystem::path MakeFreshFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("could not create a temporary folder from " + pattern);
    }
    return pattern;
}

std::fstream OpenForUpdate(const std::string& path) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) throw std::runtime_error("could not open test image " + path);
    return file;
}

}  // namespace

TestImage::TestImage(uint8_t headerByte, int64_t size) : folder_(MakeFreshFolder()) {
    path_ = (folder_ / "image.gbc").string();
    if (size < 0) throw std::invalid_argument("a test image cannot have a negative size");
    std::vector<char> zeros(static_cast<size_t>(size), 0);
    {
        std::ofstream file(path_, std::ios::binary | std::ios::trunc);
        file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
        if (!file) throw std::runtime_error("could not write test image " + path_);
    }
    if (size > rom::kVersionByteOffset) SetByte(rom::kVersionByteOffset, headerByte);
}

TestImage::~TestImage() {
    Remove();
}

TestImage::TestImage(TestImage&& other) noexcept
    : folder_(std::move(other.folder_)), path_(std::move(other.path_)) {
    other.folder_.clear();
    other.path_.clear();
}

TestImage& TestImage::operator=(TestImage&& other) noexcept {
    if (this != &other) {
        Remove();
        folder_ = std::move(other.folder_);
        path_ = std::move(other.path_);
        other.folder_.clear();
        other.path_.clear();
    }
    return *this;
}

void TestImage::Remove() noexcept {
    if (folder_.empty()) return;
    std::error_code ignored;
    // A test may have made the file read-only; the folder stays writable, so
    // removal still works.
    std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
}

TestImage TestImage::Released(rom::GameVersion version, int64_t size) {
    TestImage image(HeaderByte(version), size);
    image.NumberBaseRecords(rom::ReleasedProfile(version).BaseStatsOffset);
    return image;
}

rom::VersionProfile TestImage::MovedTables(const rom::ReleaseLayout& release, int32_t movedBy) {
    const rom::VersionProfile& p = release.tables;
    return {p.BaseStatsOffset + movedBy, p.MenuIconOffset + movedBy, p.CryTableOffset + movedBy,
            p.EvoMovePointerOffset + movedBy};
}

TestImage TestImage::OfRelease(const rom::ReleaseLayout& release, int32_t movedBy, bool withRoutines) {
    TestImage image(HeaderByte(release.version), release.imageSize);
    image.FillWithPattern();
    image.SetBytes(rom::kTitleOffset, {'Q', 'U', 'I', 'L', 'L', 'T', 'S', 'T'});  // the version byte follows
    image.SetGameCode(release.gameCode, release.revision);
    image.SetByte(rom::kDestinationOffset, release.market == "Japanese" ? 0x00 : 0x01);
    image.NumberBaseRecords(release.tables.BaseStatsOffset + movedBy);
    const int32_t cryEntry = rom::EntrySize(rom::SpeciesTable::CryEntry);
    for (int32_t k = 0; k < rom::kSpeciesCount; ++k) {
        image.SetByte(int64_t{release.tables.CryTableOffset} + movedBy + int64_t{cryEntry} * k + 1, 0);
    }
    // Lists as the releases lay them: right after each pointer table, the
    // rest of the bank 0.
    const int64_t pointers = int64_t{release.tables.EvoMovePointerOffset} + movedBy;
    const int64_t eggs = int64_t{release.eggMovePointerOffset} + movedBy;
    for (const int64_t table : {pointers, eggs}) {
        const int64_t lists = table + 2 * rom::kSpeciesCount;
        const int64_t bankEnd = (table / 0x4000 + 1) * 0x4000;
        std::vector<uint8_t> bytes(static_cast<size_t>(bankEnd - table), 0);
        for (int32_t k = 0; k < rom::kSpeciesCount; ++k) {
            // Evolution/move lists: "00 00" each, one after another; egg
            // lists: one lone 0xFF shared by every species.
            const int64_t list = table == eggs ? lists : lists + 2 * k;
            const auto address = static_cast<uint16_t>(0x4000 + list % 0x4000);
            bytes[static_cast<size_t>(2 * k)] = static_cast<uint8_t>(address & 0xFF);
            bytes[static_cast<size_t>(2 * k + 1)] = static_cast<uint8_t>(address >> 8);
        }
        if (table == eggs) bytes[static_cast<size_t>(lists - table)] = 0xFF;
        image.SetBytes(table, bytes);
    }
    if (withRoutines) image.PlantTableRoutines(MovedTables(release, movedBy), eggs);
    image.MakeComplete();
    image.FixGlobalChecksum();
    return image;
}

void TestImage::PlantTableRoutines(const rom::VersionProfile& tables, int64_t eggs) {
    std::vector<uint8_t> bytes = ReadAll();
    testsupport::PlantTableRoutines(bytes, {tables.BaseStatsOffset, tables.MenuIconOffset, tables.CryTableOffset,
                                            tables.EvoMovePointerOffset, eggs});
    SetBytes(0, bytes);
}

uint8_t TestImage::HeaderByte(rom::GameVersion version) { return rom::HeaderByteOf(version); }

void TestImage::SetGameCode(std::string_view code, uint8_t revision) {
    if (code.size() != static_cast<size_t>(rom::kGameCodeLength)) throw std::invalid_argument("a game code has four letters");
    SetBytes(rom::kGameCodeOffset, std::span(reinterpret_cast<const uint8_t*>(code.data()), code.size()));
    SetByte(rom::kRomVersionOffset, revision);
}

void TestImage::WriteTablesFile(std::string_view text) const {
    std::ofstream file(tablesPath(), std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file) throw std::runtime_error("could not write " + tablesPath());
}

void TestImage::FixGlobalChecksum() {
    const uint16_t sum = rom::GlobalChecksum(ReadAll());
    SetBytes(rom::kGlobalChecksumOffset, {static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum & 0xFF)});
}

int64_t TestImage::size() const {
    return static_cast<int64_t>(std::filesystem::file_size(path_));
}

void TestImage::SetByte(int64_t offset, uint8_t value) {
    SetBytes(offset, {value});
}

void TestImage::SetBytes(int64_t offset, std::initializer_list<uint8_t> bytes) {
    SetBytes(offset, std::span<const uint8_t>(bytes.begin(), bytes.size()));
}

void TestImage::SetBytes(int64_t offset, std::span<const uint8_t> bytes) {
    if (offset < 0 || offset + static_cast<int64_t>(bytes.size()) > size()) {
        throw std::out_of_range("bytes set outside the test image");
    }
    std::fstream file = OpenForUpdate(path_);
    file.seekp(offset);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("could not write test image " + path_);
}

void TestImage::FillRange(int64_t offset, int64_t count, uint8_t value) {
    if (count <= 0) return;
    std::vector<uint8_t> bytes(static_cast<size_t>(count), value);
    SetBytes(offset, bytes);
}

uint8_t TestImage::PatternByte(int64_t offset) {
    return static_cast<uint8_t>((offset * 37 + offset / 251 + 11) & 0xFF);
}

void TestImage::FillWithPattern() {
    const int64_t length = size();
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    for (int64_t i = 0; i < length; ++i) bytes[static_cast<size_t>(i)] = PatternByte(i);
    if (length > rom::kVersionByteOffset) bytes[rom::kVersionByteOffset] = ByteAt(rom::kVersionByteOffset);
    SetBytes(0, bytes);
}

void TestImage::NumberBaseRecords(int32_t baseOffset) {
    const int32_t recordSize = rom::EntrySize(rom::SpeciesTable::BaseRecord);
    for (int32_t k = 0; k < rom::kSpeciesCount; ++k) {
        const int64_t offset = static_cast<int64_t>(baseOffset) + static_cast<int64_t>(recordSize) * k;
        if (offset >= size()) break;
        SetByte(offset, static_cast<uint8_t>(k + 1));
    }
}

void TestImage::MakeComplete() {
    const int64_t length = size();
    for (uint8_t romSizeByte = 0; romSizeByte <= 8; ++romSizeByte) {
        if (rom::DeclaredRomSize(romSizeByte) == length) {
            SetByte(rom::kRomSizeOffset, romSizeByte);
            SetByte(rom::kHeaderChecksumOffset, rom::HeaderChecksum(ReadAll()));
            return;
        }
    }
    throw std::invalid_argument("no ROM-size byte declares a length of " + std::to_string(length));
}

uint8_t TestImage::ByteAt(int64_t offset) const {
    std::ifstream file(path_, std::ios::binary);
    if (!file) throw std::runtime_error("could not open test image " + path_);
    file.seekg(offset);
    char byte = 0;
    if (!file.get(byte)) throw std::out_of_range("byte read outside the test image");
    return static_cast<uint8_t>(byte);
}

std::vector<uint8_t> TestImage::ReadAll() const {
    std::ifstream file(path_, std::ios::binary);
    if (!file) throw std::runtime_error("could not open test image " + path_);
    const auto length = static_cast<size_t>(size());
    std::vector<uint8_t> bytes(length);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    if (static_cast<size_t>(file.gcount()) != length) throw std::runtime_error("could not read test image " + path_);
    return bytes;
}

}  // namespace testsupport
