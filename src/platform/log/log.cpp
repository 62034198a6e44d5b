#include "platform/log/log.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace lumvek::platform {

namespace {

const std::chrono::steady_clock::time_point kLoaded = std::chrono::steady_clock::now();

const char* categoryName(LogCategory category) {
    switch (category) {
    case LogCategory::Api: return "api";
    case LogCategory::Instance: return "instance";
    case LogCategory::Camera: return "camera";
    case LogCategory::Usb: return "usb";
    case LogCategory::Sensor: return "sensor";
    case LogCategory::Imaging: return "imaging";
    case LogCategory::Output: return "output";
    case LogCategory::Settings: return "settings";
    case LogCategory::Platform: return "platform";
    case LogCategory::Sim: return "sim";
    }
    return "?";
}

} // namespace

bool logEnabled(LogCategory category) {
    // Read on every call so that tests may change it; logging is off the hot path.
    const char* selection = std::getenv("LUMVEK_LOG");
    if (selection == nullptr || *selection == '\0') {
        return false;
    }
    const std::string list = std::string(",") + selection + ",";
    return list.find(",all,") != std::string::npos ||
           list.find(std::string(",") + categoryName(category) + ",") != std::string::npos;
}

void logf(LogCategory category, const char* format, ...) {
    if (!logEnabled(category)) {
        return;
    }
    static std::mutex outputMutex;  // keeps lines from different threads whole
    std::lock_guard lock(outputMutex);
    // Seconds since the library was loaded: where the time of a slow call goes.
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - kLoaded).count();
    std::fprintf(stderr, "lumvek[%s] %.3f ", categoryName(category), seconds);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

} // namespace lumvek::platform
