#pragma once
// lumvek.Camera.stream(): a callback preview whose frames come out one per
// frame message as NumPy arrays. The wait for a frame runs without the
// interpreter lock; the copy into the array runs with it.
#include <memory>
#include <optional>

#include <pybind11/pybind11.h>

#include "camera.h"
#include "frame_messages.h"

namespace lumvek::python {

class FrameStream {
public:
    // `owner` is the Python Camera object, kept alive while streaming.
    FrameStream(pybind11::object owner, Camera& camera, std::optional<int> count, int timeoutMs);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // The next frame; StopIteration after `count` frames or close().
    [[nodiscard]] pybind11::object next();
    void close();

private:
    // Waits (interpreter lock released) for the newest frame message.
    void waitForFrame();

    pybind11::object owner_;
    Camera& camera_;
    std::optional<int> remaining_;
    int timeoutMs_;
    tool::FrameLayout layout_;
    HWND window_ = nullptr;
    bool running_ = false;
    tool::PassedOverFrames passedOver_;
};

} // namespace lumvek::python
