#pragma once
// The two layers under the workbook reader: the zip archive (libzip), whose
// parts are unpacked in chunks within a budget, and a streaming XML reader
// (expat) that hands each element to a part reader by the state it stands
// in. For the workbook reader only.

#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Workbook.h"

struct zip;

namespace formats::parts {

// What the reader has unpacked and kept so far, against the limits.
struct Budget {
    WorkbookLimits limits;
    uint64_t unpackedBytes = 0;
    size_t rows = 0;
    size_t cells = 0;
    size_t stringBytes = 0;

    // False (and the message in `error`) once `count` has passed `most`.
    static bool Within(size_t count, size_t most, std::string_view what, std::string& error);
};

// The parts of a zip archive held in memory.
class ZipParts {
public:
    // Opens the archive; empty, with the message in `error`, when the bytes
    // are no zip archive or hold more entries than the limits allow.
    static std::unique_ptr<ZipParts> Open(std::string_view bytes, const WorkbookLimits& limits, std::string& error);
    ~ZipParts();
    ZipParts(const ZipParts&) = delete;
    ZipParts& operator=(const ZipParts&) = delete;

    bool Has(const std::string& name) const;
    // Unpacks the part, handing it to `sink` chunk by chunk; stops with a
    // message at the part's size, the ratio or the whole budget, at a damaged
    // entry, or when the sink returns false (its own message then stands).
    using Sink = std::function<bool(const char* data, size_t size)>;
    bool Read(const std::string& name, const Sink& sink, Budget& budget, std::string& error) const;

private:
    explicit ZipParts(zip* archive) : archive_(archive) {}
    zip* archive_;
};

// Where a part reader stands: each reader numbers its own states.
using XmlState = int;
inline constexpr XmlState kOutside = 0;
inline constexpr XmlState kSkipped = -1;  // an element passed over, with all inside it

// A part's reader: the state of each element by the state of its parent.
class XmlPartReader {
public:
    virtual ~XmlPartReader() = default;
    // The state of the element `name` (its local name, without a prefix)
    // begun inside an element of state `parent`; kSkipped passes over it.
    virtual XmlState Enter(XmlState parent, std::string_view name, const XML_Char** attributes) = 0;
    virtual void Leave(XmlState state) = 0;
    // Whether the text inside elements of this state is kept in `text`.
    virtual bool Collects(XmlState state) const = 0;

    std::string text;   // collected text; readers clear it where a value begins
    std::string error;  // a reader sets it to stop the parse
};

// The value of the attribute with this local name, or empty.
std::string_view Attribute(const XML_Char** attributes, std::string_view name);

// Parses one part with expat, refusing any document type declaration (and
// with it every entity declaration), handing elements to `reader`.
bool ParseXml(const ZipParts& zip, const std::string& part, XmlPartReader& reader, Budget& budget, std::string& error);

}  // namespace formats::parts
