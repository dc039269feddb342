// The zip archive and the streaming XML reader under the workbook reader.

#if __has_include(<zip.h>) && __has_include(<expat.h>)

#include "formats/WorkbookParts.h"

#include <zip.h>

#include <array>
#include <cstring>

namespace formats::parts {

bool Budget::Within(size_t count, size_t most, std::string_view what, std::string& error) {
    if (count <= most) return true;
    error = "the workbook holds more " + std::string(what) + " than any table (over " + std::to_string(most) + ")";
    return false;
}

std::unique_ptr<ZipParts> ZipParts::Open(std::string_view bytes, const WorkbookLimits& limits, std::string& error) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
    zip_t* archive = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY, &zipError);
    if (archive == nullptr) {
        if (source != nullptr) zip_source_free(source);
        error = "not a workbook: the file is no zip archive (" + std::string(zip_error_strerror(&zipError)) + ")";
        zip_error_fini(&zipError);
        return nullptr;
    }
    zip_error_fini(&zipError);
    std::unique_ptr<ZipParts> parts(new ZipParts(archive));
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    if (!Budget::Within(size_t(entries), limits.mostEntries, "zip entries", error)) return nullptr;
    return parts;
}

ZipParts::~ZipParts() {
    zip_discard(archive_);
}

bool ZipParts::Has(const std::string& name) const {
    return zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE) >= 0;
}

namespace {

struct ZipFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// The reason to stop after `unpacked` bytes of a part packed into `packed`.
std::string OverBudget(const std::string& name, uint64_t unpacked, uint64_t packed, const Budget& budget) {
    const WorkbookLimits& limits = budget.limits;
    if (unpacked > limits.mostPartBytes) {
        return name + " unpacks to more than " + std::to_string(limits.mostPartBytes >> 20) + " MiB";
    }
    if (budget.unpackedBytes + unpacked > limits.mostUnpackedBytes) {
        return "the workbook unpacks to more than " + std::to_string(limits.mostUnpackedBytes >> 20) + " MiB";
    }
    if (unpacked > kRatioFloor && unpacked / limits.mostRatio > packed) {
        return name + " unpacks to more than " + std::to_string(limits.mostRatio) +
               " times its packed size (a zip bomb)";
    }
    return {};
}

}  // namespace

bool ZipParts::Read(const std::string& name, const Sink& sink, Budget& budget, std::string& error) const {
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
    zip_stat_t stat;
    if (index < 0 || zip_stat_index(archive_, zip_uint64_t(index), 0, &stat) != 0) {
        error = "the workbook has no part " + name;
        return false;
    }
    const uint64_t packed = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    // The sizes the archive states are checked first, then the bytes unpacked,
    // since a damaged or hostile archive may state less than it holds.
    if (stat.valid & ZIP_STAT_SIZE) error = OverBudget(name, stat.size, packed, budget);
    std::unique_ptr<zip_file_t, ZipFileCloser> file(
        error.empty() ? zip_fopen_index(archive_, zip_uint64_t(index), 0) : nullptr);
    if (error.empty() && file == nullptr) error = "cannot unpack " + name + ": " + zip_strerror(archive_);
    std::array<char, 64 * 1024> chunk;
    uint64_t unpacked = 0;
    while (error.empty()) {
        const zip_int64_t got = zip_fread(file.get(), chunk.data(), chunk.size());
        if (got < 0) error = "cannot unpack " + name + ": " + zip_file_strerror(file.get());
        if (got <= 0) break;
        unpacked += uint64_t(got);
        error = OverBudget(name, unpacked, packed, budget);
        if (error.empty() && !sink(chunk.data(), size_t(got))) return false;
    }
    budget.unpackedBytes += unpacked;
    return error.empty();
}

std::string_view Attribute(const XML_Char** attributes, std::string_view name) {
    for (size_t i = 0; attributes[i] != nullptr; i += 2) {
        std::string_view key = attributes[i];
        const size_t colon = key.rfind(':');
        if (colon != std::string_view::npos) key.remove_prefix(colon + 1);
        if (key == name) return attributes[i + 1];
    }
    return {};
}

namespace {

// The largest text of one element kept (a cell holds at most 32,767
// characters in the spreadsheet programs).
constexpr size_t kMostTextBytes = 256 * 1024;

// The state stack of one parse, handed to expat's callbacks.
struct XmlParse {
    XML_Parser parser;
    XmlPartReader& reader;
    std::vector<XmlState> states{kOutside};
    std::string refusal;  // why the parse was stopped, when not the reader's own error

    void Stop(std::string why) {
        if (refusal.empty()) refusal = std::move(why);
        XML_StopParser(parser, XML_FALSE);
    }
};

void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& parse = *static_cast<XmlParse*>(data);
    const XmlState parent = parse.states.back();
    std::string_view local = name;
    if (const size_t colon = local.rfind(':'); colon != std::string_view::npos) local.remove_prefix(colon + 1);
    parse.states.push_back(parent == kSkipped ? kSkipped : parse.reader.Enter(parent, local, attributes));
    if (!parse.reader.error.empty()) XML_StopParser(parse.parser, XML_FALSE);
}

void OnEnd(void* data, const XML_Char*) {
    auto& parse = *static_cast<XmlParse*>(data);
    const XmlState state = parse.states.back();
    parse.states.pop_back();
    if (state != kSkipped) parse.reader.Leave(state);
    if (!parse.reader.error.empty()) XML_StopParser(parse.parser, XML_FALSE);
}

void OnText(void* data, const XML_Char* text, int length) {
    auto& parse = *static_cast<XmlParse*>(data);
    if (!parse.reader.Collects(parse.states.back())) return;
    if (parse.reader.text.size() + size_t(length) > kMostTextBytes) {
        parse.Stop("a text of more than " + std::to_string(kMostTextBytes / 1024) + " KiB");
        return;
    }
    parse.reader.text.append(text, size_t(length));
}

// Entities are never expanded: a document type declaration, which is where
// they would be declared, ends the parse.
void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<XmlParse*>(data)->Stop("a document type declaration, which a workbook never holds");
}

void OnEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
              const XML_Char*, const XML_Char*) {
    static_cast<XmlParse*>(data)->Stop("an entity declaration, which a workbook never holds");
}

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

}  // namespace

bool ParseXml(const ZipParts& zip, const std::string& part, XmlPartReader& reader, Budget& budget,
              std::string& error) {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(XML_ParserCreate("UTF-8"));
    if (parser == nullptr) {
        error = "cannot start the XML reader";
        return false;
    }
    XmlParse parse{parser.get(), reader, {kOutside}, {}};
    XML_SetUserData(parser.get(), &parse);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    XML_SetStartDoctypeDeclHandler(parser.get(), OnDoctype);
    XML_SetEntityDeclHandler(parser.get(), OnEntity);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

    const auto feed = [&](const char* data, size_t size, bool last) {
        if (XML_Parse(parser.get(), data, int(size), last) == XML_STATUS_OK) return true;
        const auto line = std::to_string(XML_GetCurrentLineNumber(parser.get()));
        if (!reader.error.empty()) {
            error = reader.error;
        } else if (!parse.refusal.empty()) {
            error = part + " line " + line + ": " + parse.refusal;
        } else {
            error = part + " is broken XML (line " + line + ": " + XML_ErrorString(XML_GetErrorCode(parser.get())) + ")";
        }
        return false;
    };
    const ZipParts::Sink sink = [&](const char* data, size_t size) { return feed(data, size, false); };
    return zip.Read(part, sink, budget, error) && feed(nullptr, 0, true);
}

}  // namespace formats::parts

#endif
