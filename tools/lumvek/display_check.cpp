#include "display_check.h"

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

#ifdef LUMVEK_HAVE_X11
#include <X11/Xlib.h>
#endif

#include "failure.h"

namespace lumvek::tool {

namespace {
// Well under the second a person waits before thinking the command hangs.
constexpr int kDisplayAnswerMs = 700;
} // namespace

std::optional<std::string> displayProblem(int timeoutMs) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return std::string("no X server: DISPLAY is not set");
#ifdef LUMVEK_HAVE_X11
    // A server that accepts the connection but answers nothing (stopped, or
    // a stale forwarding) blocks XOpenDisplay: ask on a thread of its own and
    // leave it behind when it does not return in time.
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> answered = answer->get_future();
    const std::string display = name;
    std::thread([answer, display] {
        Display* connection = XOpenDisplay(display.c_str());
        if (connection != nullptr) XCloseDisplay(connection);
        answer->set_value(connection != nullptr);
    }).detach();
    if (answered.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready)
        return "the X server " + display + " does not answer";
    if (!answered.get()) return "the X server " + display + " cannot be reached (is it running? is access allowed?)";
    return std::nullopt;
#else
    (void)timeoutMs;
    return std::string("this lumvek was built without X11 support");
#endif
}

void requireDisplay(const std::string& command) {
    if (const auto problem = displayProblem(kDisplayAnswerMs)) fail(command + ": " + *problem);
}

} // namespace lumvek::tool
