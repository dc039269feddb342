// The page's way into the libraries: plain C functions exported from the
// WebAssembly module. A request is a JSON object {"op": ..., ...} with, for
// "open", the image's bytes beside it; the answer is a JSON text, and the
// bytes of a download are left for qm_output / qm_output_size.
#include <emscripten/emscripten.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "web/Session.h"

namespace {

using nlohmann::json;

constexpr char kEditFolder[] = "/edit";
constexpr char kDownloadFolder[] = "/download";

web::Session& TheSession() {
    static web::Session session = [] {
        ::mkdir(kEditFolder, 0777);
        ::mkdir(kDownloadFolder, 0777);
        return web::Session(kEditFolder, kDownloadFolder);
    }();
    return session;
}

std::string answer;
std::vector<uint8_t> output;

json Given(const web::Download& download) {
    output = download.bytes;
    return {{"ok", download.ok}, {"name", download.name}, {"message", download.message}};
}

json Dispatch(const json& request, const uint8_t* data, size_t size) {
    web::Session& session = TheSession();
    const std::string op = request.at("op").get<std::string>();
    if (op == "fits") {
        return web::Session::Fits(request.at("what").get<std::string>(), request.at("name").get<std::string>(),
                                  request.at("size").get<double>());
    }
    if (op == "open") {
        std::optional<std::string> tables;
        if (request.contains("tables") && !request["tables"].is_null()) tables = request["tables"].get<std::string>();
        return session.Open(request.at("name").get<std::string>(), std::vector<uint8_t>(data, data + size), tables);
    }
    if (!session.IsOpen()) return {{"ok", false}, {"message", "No image is open."}};
    if (op == "species") return session.Species();
    if (op == "setField") {
        return session.SetField(request.at("position").get<int>(), request.at("column").get<std::string>(),
                                request.at("text").get<std::string>());
    }
    if (op == "lists") return session.Lists(request.at("position").get<int>());
    if (op == "setList") {
        std::optional<size_t> added;
        if (request.contains("added") && request["added"].is_number_unsigned()) added = request["added"].get<size_t>();
        return session.SetList(request.at("position").get<int>(), request.at("table").get<std::string>(),
                               request.at("rows").get<std::vector<std::vector<std::string>>>(), added);
    }
    if (op == "pictures") return session.Pictures(request.at("position").get<int>());
    if (op == "front") return session.Front(request.at("position").get<int>());
    if (op == "setColour") {
        return session.SetColour(request.at("position").get<int>(), request.at("column").get<std::string>(),
                                 request.at("text").get<std::string>());
    }
    if (op == "undo") return session.Undo();
    if (op == "redo") return session.Redo();
    if (op == "history") return session.History();
    if (op == "image") return Given(session.SavedImage());
    if (op == "patch") return Given(session.Patch());
    if (op == "export") {
        return Given(session.Export(request.at("table").get<std::string>(), request.at("format").get<std::string>()));
    }
    if (op == "import") {
        return session.Import(request.at("table").get<std::string>(), request.at("name").get<std::string>(),
                              std::string(reinterpret_cast<const char*>(data), size));
    }
    return {{"ok", false}, {"message", "Unknown request \"" + op + "\"."}};
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE uint8_t* qm_alloc(size_t size) { return static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1)); }

EMSCRIPTEN_KEEPALIVE void qm_free(void* pointer) { std::free(pointer); }

// Runs one request; the answer stays valid until the next request.
EMSCRIPTEN_KEEPALIVE const char* qm_call(const char* request, const uint8_t* data, size_t size) {
    output.clear();
    try {
        // Texts quoted from the user's files may hold bytes that are no UTF-8.
        answer = Dispatch(json::parse(request), data, size).dump(-1, ' ', false, json::error_handler_t::replace);
    } catch (const std::exception& error) {
        answer = json{{"ok", false}, {"message", std::string("The request failed: ") + error.what()}}.dump();
    }
    return answer.c_str();
}

EMSCRIPTEN_KEEPALIVE const uint8_t* qm_output() { return output.data(); }

EMSCRIPTEN_KEEPALIVE size_t qm_output_size() { return output.size(); }

}
