#include "viewer_automation.h"

#include <cstdio>
#include <sstream>

namespace lumvek::viewer {

namespace {
constexpr int kStdin = 0;

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
} // namespace

std::string stateJson(const ViewerState& s) {
    std::ostringstream json;
    json << "{\"camera\":" << quoted(s.camera) << ",\"number\":" << s.number
         << ",\"previewing\":" << (s.previewing ? "true" : "false")
         << ",\"recording\":" << (s.recording ? "true" : "false") << ",\"frames\":" << s.frames
         << ",\"lost\":" << s.lost << ",\"rate\":" << s.rate << ",\"pictureMean\":" << s.pictureMean
         << ",\"histogramMean\":" << s.histogramMean << ",\"histogramSamples\":" << s.histogramSamples
         << ",\"exposure\":" << s.exposure << ",\"exposureMin\":" << s.exposureMin
         << ",\"exposureMax\":" << s.exposureMax << ",\"exposureNominalMax\":" << s.exposureNominalMax
         << ",\"gain\":" << s.gain << ",\"gainMin\":" << s.gainMin << ",\"gainMax\":" << s.gainMax
         << ",\"windowWidth\":" << s.windowWidth << ",\"windowHeight\":" << s.windowHeight
         << ",\"screenWidth\":" << s.screenWidth << ",\"screenHeight\":" << s.screenHeight
         << ",\"zoom\":" << quoted(s.zoom) << ",\"status\":" << quoted(s.status)
         << ",\"message\":" << quoted(s.message) << ",\"cameras\":[";
    for (size_t i = 0; i < s.cameras.size(); ++i) {
        json << (i != 0 ? "," : "") << "{\"number\":" << s.cameras[i].number
             << ",\"name\":" << quoted(s.cameras[i].name) << "}";
    }
    json << "]}";
    return json.str();
}

ViewerAutomation::ViewerAutomation(ViewerWindow& window) : window_(window) {
    channel_ = g_io_channel_unix_new(kStdin);
    watch_ = g_io_add_watch(channel_, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), onInput, this);
}

ViewerAutomation::~ViewerAutomation() {
    if (watch_ != 0) g_source_remove(watch_);
    g_io_channel_unref(channel_);
}

std::string ViewerAutomation::answer(const std::string& line) {
    std::istringstream words(line);
    std::string command, name;
    words >> command;
    if (command == "report") return stateJson(window_.state());
    if (command == "set") {
        int value = 0;
        if (!(words >> name >> value)) return "error: set NAME VALUE";
        return window_.setControl(name, value) ? "ok" : "error: no control " + name;
    }
    if (command == "press") {
        words >> name;
        return window_.press(name) ? "ok" : "error: no button " + name;
    }
    if (command == "select") {
        int number = 0;
        if (!(words >> number)) return "error: select N";
        return window_.select(number) ? "ok" : "error: no camera " + std::to_string(number);
    }
    if (command == "screenshot") {
        words >> name;
        return window_.screenshot(name) ? "ok" : "error: cannot save " + name;
    }
    if (command == "quit") {
        window_.quit();
        return "ok";
    }
    return "error: unknown command " + command;
}

gboolean ViewerAutomation::onInput(GIOChannel* channel, GIOCondition condition, gpointer self) {
    auto* automation = static_cast<ViewerAutomation*>(self);
    if ((condition & G_IO_IN) != 0) {
        gchar* line = nullptr;
        gsize length = 0;
        const GIOStatus status = g_io_channel_read_line(channel, &line, &length, nullptr, nullptr);
        if (status == G_IO_STATUS_NORMAL && line != nullptr) {
            std::string text(line, length);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            const std::string reply = automation->answer(text);
            std::printf("%s\n", reply.c_str());
            std::fflush(stdout);
        }
        g_free(line);
        if (status == G_IO_STATUS_NORMAL || status == G_IO_STATUS_AGAIN) return G_SOURCE_CONTINUE;
    }
    // End of input: the window stays until it is closed.
    automation->watch_ = 0;
    return G_SOURCE_REMOVE;
}

} // namespace lumvek::viewer
