// Hostile text and offsets for the hex byte-string functions.
//
// ReverseHexBytes: the result has the text's length rounded up to even, its
// groups are the completed text's groups in reverse order, and reversing an
// even-length text twice gives the text back.
//
// WriteHexBytes / ReadHexBytes on a small file: the file's length never
// changes; a write is accepted exactly when every character is a hex digit and
// every addressed byte already lies in the file; a refused write changes no
// byte and reports one failure; an accepted write changes only the addressed
// bytes, reports nothing, and the bytes read back as written. A read gives two
// digits per byte asked for, "00" past the end, and is refused only for a
// negative offset or a range past the 32-bit offsets.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "rom/FailureReporter.h"
#include "rom/HexFunctions.h"

namespace {

constexpr size_t kFileLength = 64;
std::string gPath;
int gFailures = 0;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Expect(bool condition, const char* what) {
    if (!condition) Fail(what);
}

void RemoveFile() {
    if (!gPath.empty()) std::remove(gPath.c_str());
}

std::vector<unsigned char> Pattern() {
    std::vector<unsigned char> bytes(kFileLength);
    for (size_t i = 0; i < kFileLength; ++i) bytes[i] = static_cast<unsigned char>(0xA5 ^ (i * 37));
    return bytes;
}

void WriteWhole(const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(gPath.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) Fail("reset test file");
    std::fclose(file);
}

std::vector<unsigned char> ReadWhole() {
    std::vector<unsigned char> bytes;
    std::FILE* file = std::fopen(gPath.c_str(), "rb");
    if (file == nullptr) Fail("read test file");
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(file);
    return bytes;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Completed(const std::string& text) {
    return text.size() % 2 != 0 ? "0" + text : text;
}

std::string HexOf(const std::vector<unsigned char>& bytes, int64_t offset, int64_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (int64_t i = offset; i < offset + count; ++i) {
        const unsigned char byte = i < static_cast<int64_t>(bytes.size()) ? bytes[static_cast<size_t>(i)] : 0;
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

// Offsets near the file most of the time, anywhere in the 32-bit range now and then.
int32_t PickOffset(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return data.ConsumeIntegral<int32_t>();
        case 1:
            return std::numeric_limits<int32_t>::max() - data.ConsumeIntegralInRange<int32_t>(0, 80);
        default:
            return data.ConsumeIntegralInRange<int32_t>(-8, static_cast<int32_t>(kFileLength) + 8);
    }
}

void CheckReverse(const std::string& text) {
    const std::string completed = Completed(text);
    const std::string reversed = HexFunctions::ReverseHexBytes(text);
    Expect(reversed.size() == completed.size(), "reverse keeps the completed length");
    for (size_t i = 0; i < completed.size(); i += 2) {
        Expect(reversed.compare(completed.size() - 2 - i, 2, completed, i, 2) == 0, "reverse moves whole groups");
    }
    if (text.size() % 2 == 0) {
        Expect(HexFunctions::ReverseHexBytes(reversed) == text, "reversing twice gives the text back");
    } else {
        Expect(reversed == HexFunctions::ReverseHexBytes(completed), "odd text is completed with a leading 0");
    }
}

void CheckWrite(int32_t offset, const std::string& text) {
    const std::vector<unsigned char> before = Pattern();
    WriteWhole(before);

    const std::string completed = Completed(text);
    const int64_t count = static_cast<int64_t>(completed.size() / 2);
    bool allHex = true;
    for (char c : completed) allHex = allHex && DigitValue(c) >= 0;
    const bool expectAccepted =
        count == 0 || (allHex && offset >= 0 && static_cast<int64_t>(offset) + count <= static_cast<int64_t>(kFileLength));

    gFailures = 0;
    const bool accepted = HexFunctions::WriteHexBytes(gPath, offset, text);
    const std::vector<unsigned char> after = ReadWhole();

    Expect(after.size() == kFileLength, "a write never changes the file's length");
    Expect(accepted == expectAccepted, "a write is accepted exactly when it is valid");
    if (!accepted) {
        Expect(gFailures == 1, "a refused write reports one failure");
        Expect(after == before, "a refused write changes no byte");
        return;
    }
    Expect(gFailures == 0, "an accepted write reports nothing");
    for (size_t i = 0; i < kFileLength; ++i) {
        const int64_t index = static_cast<int64_t>(i) - offset;
        if (count > 0 && index >= 0 && index < count) {
            const auto k = static_cast<size_t>(index) * 2;
            const int expected = DigitValue(completed[k]) * 16 + DigitValue(completed[k + 1]);
            Expect(after[i] == expected, "an addressed byte holds the written value");
        } else {
            Expect(after[i] == before[i], "a byte outside the write is unchanged");
        }
    }
    if (count > 0) {
        std::string upper = completed;
        for (char& c : upper) {
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
        }
        gFailures = 0;
        Expect(HexFunctions::ReadHexBytes(gPath, offset, static_cast<int32_t>(count)) == upper,
               "written bytes read back as written");
        Expect(gFailures == 0, "reading written bytes reports nothing");
    }
}

void CheckRead(int32_t offset, int32_t count) {
    const std::vector<unsigned char> bytes = Pattern();
    WriteWhole(bytes);
    gFailures = 0;
    const std::optional<std::string> read = HexFunctions::TryReadHexBytes(gPath, offset, count);
    const bool expectRefused =
        count > 0 && (offset < 0 || static_cast<int64_t>(offset) + count - 1 > std::numeric_limits<int32_t>::max());
    Expect(read.has_value() == !expectRefused, "a read is refused exactly when its range is invalid");
    Expect(gFailures == (expectRefused ? 1 : 0), "a refused read reports one failure, a good one none");
    if (!read) return;
    Expect(*read == (count > 0 ? HexOf(bytes, offset, count) : std::string()), "a read gives the file's bytes");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rom::SetFailureReporter([](const rom::Failure&) { ++gFailures; });
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-fuzz-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) Fail("create test file");
    close(fd);
    gPath = pattern;
    std::atexit(RemoveFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const int mode = provider.ConsumeIntegralInRange<int>(0, 2);
    const int32_t offset = PickOffset(provider);
    const int32_t count = provider.ConsumeIntegralInRange<int32_t>(-4, 200);
    const std::string text = provider.ConsumeRemainingBytesAsString();
    switch (mode) {
        case 0:
            CheckReverse(text);
            break;
        case 1:
            CheckWrite(offset, text);
            CheckReverse(text);
            break;
        default:
            CheckRead(offset, count);
            CheckWrite(offset, text.substr(0, 2 * kFileLength + 4));
            break;
    }
    return 0;
}
