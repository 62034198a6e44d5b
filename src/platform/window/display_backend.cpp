#include "platform/window/display_backend.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#ifdef LUMVEK_HAVE_X11
#include "platform/window/x11/x11_connection.h"
#include "platform/window/x11/x11_window.h"
#endif

namespace lumvek::platform::window {

// An X11 window manager frames windows as it likes: its frame is not the
// library's to know.
ScreenSize displayOuterSize(int clientWidth, int clientHeight, uint32_t) {
    return {clientWidth, clientHeight};
}

#ifdef LUMVEK_HAVE_X11
namespace {

// A server that does not create a window within this time is taken as gone.
constexpr int kCreateTimeoutMs = 3000;

// The process's connection to the X server DISPLAY names. A lost connection
// is replaced on the next need; the lost one stays allocated (its thread has
// ended) because windows made on it still refer to it.
struct Backend {
    std::mutex mutex;  // guards current and lost
    x11::Connection* current = nullptr;
    std::vector<x11::Connection*> lost;  // idle; windows made on them still point at them

    static Backend& instance() {
        static Backend* const backend = new Backend;  // outlives static destruction
        return *backend;
    }
    x11::Connection* connection() {
        std::lock_guard lock(mutex);
        if (current != nullptr && current->alive())
            return current;
        const char* name = std::getenv("DISPLAY");
        if (name == nullptr || *name == '\0')
            return nullptr;
        if (x11::Connection* fresh = x11::Connection::open(name)) {
            if (current != nullptr)
                lost.push_back(current);
            current = fresh;
        }
        return current != nullptr && current->alive() ? current : nullptr;
    }
};

} // namespace

bool displayConnected() {
    return Backend::instance().connection() != nullptr;
}

void reclaimDisplayErrorHandlers() {
    x11::reclaimHandlers();
}

bool displayScreenSize(ScreenSize* size) {
    x11::Connection* connection = Backend::instance().connection();
    if (connection == nullptr)
        return false;
    *size = {connection->screenWidth(), connection->screenHeight()};
    return true;
}

std::shared_ptr<NativeWindow> createNativeWindow(const std::shared_ptr<Window>& window,
                                                 const NativeWindowRequest& request, bool* failed) {
    *failed = false;
    x11::Connection* connection = Backend::instance().connection();
    if (connection == nullptr)
        return nullptr;
    auto native = std::make_shared<x11::X11Window>(*connection, window);
    auto created = std::make_shared<bool>(false);
    const bool ran = connection->call(
        [connection, native, request, created] {
            *created = native->create(request);
            if (*created)
                connection->adopt(native);
        },
        kCreateTimeoutMs);
    if (ran && *created)
        return native;
    if (!connection->alive()) {
        // The server went away just now: the window stays off screen.
        return nullptr;
    }
    // Refused (a parent id the server does not know), or a server too slow
    // to answer: no window; a late creation is undone.
    *failed = true;
    if (!ran)
        native->destroy();
    return nullptr;
}

#else

bool displayConnected() {
    return false;
}

void reclaimDisplayErrorHandlers() {}

bool displayScreenSize(ScreenSize*) {
    return false;
}

std::shared_ptr<NativeWindow> createNativeWindow(const std::shared_ptr<Window>&, const NativeWindowRequest&,
                                                 bool* failed) {
    *failed = false;
    return nullptr;
}

#endif

} // namespace lumvek::platform::window
