#include "frame_stream.h"

#include <vector>

#include <pybind11/numpy.h>

#include "frame_array.h"
#include "frame_metadata.h"
#include "frame_messages.h"
#include "sdk_errors.h"
#include "sdk_failure.h"

namespace py = pybind11;

namespace lumvek::python {

FrameStream::FrameStream(py::object owner, Camera& camera, std::optional<int> count, int timeoutMs)
    : owner_(std::move(owner)), camera_(camera), remaining_(count), timeoutMs_(timeoutMs) {
    if (count && *count < 0) {
        throw SdkFailure(LUMVEK_ERR_ARGUMENT, "stream: count must not be negative");
    }
    if (timeoutMs <= 0) {
        throw SdkFailure(LUMVEK_ERR_ARGUMENT, "stream: the time-out must be positive");
    }
    layout_ = camera_.layout();
    window_ = LumvekWnd_CreateMessageWindow();
    if (window_ == nullptr) {
        throw SdkFailure(LUMVEK_ERR_WINDOW, "stream: no message window");
    }
    if (remaining_ == 0) {
        return;
    }
    try {
        py::gil_scoped_release released;
        camera_.startStream(window_);
    } catch (...) {
        LumvekWnd_DestroyWindow(window_);
        window_ = nullptr;
        throw;
    }
    running_ = true;
}

FrameStream::~FrameStream() {
    close();
    if (window_ != nullptr) {
        LumvekWnd_DestroyWindow(window_);
    }
}

void FrameStream::close() {
    if (running_) {
        running_ = false;
        py::gil_scoped_release released;
        camera_.stopStream();
    }
}

void FrameStream::waitForFrame() {
    tool::FrameWait wait;
    {
        py::gil_scoped_release released;
        wait = tool::waitForNewestFrame(window_, timeoutMs_);
    }
    if (wait.kind == tool::FrameWait::Failed) {
        throw SdkFailure(wait.code, "stream: " + tool::describeSdkError(wait.code));
    }
    if (wait.kind == tool::FrameWait::Timeout) {
        throw SdkFailure(LUMVEK_ERR_FRAME, "stream: no frame within " + std::to_string(timeoutMs_) + " ms");
    }
}

py::object FrameStream::next() {
    if (!running_ || remaining_ == 0) {
        close();
        throw py::stop_iteration();
    }
    if (!camera_.isOpen()) {
        running_ = false;
        throw SdkFailure(LUMVEK_ERR_STATE, "stream: the camera is closed");
    }
    try {
        waitForFrame();
        // Another thread may have changed the colour mode: the array takes
        // the frame's own shape.
        layout_ = camera_.layout();
    } catch (...) {
        close();
        throw;
    }
    // The copy runs with the interpreter lock held, straight into the array
    // when the SDK's rows carry no padding.
    py::array frame = makeFrame(layout_);
    auto* pixels = static_cast<uint8_t*>(frame.mutable_data());
    LumvekFrameMetadata metadata{};
    if (layout_.sdkBytes() == layout_.arrayBytes()) {
        camera_.copyLatest(layout_, pixels, metadata);
    } else {
        std::vector<uint8_t> padded(layout_.sdkBytes());
        camera_.copyLatest(layout_, padded.data(), metadata);
        tool::removeRowPadding(layout_, padded.data(), pixels);
    }
    tool::markFramesTaken(window_);
    passedOver_.count(metadata);
    if (remaining_) {
        --*remaining_;
    }
    setMetadata(frame, &metadata);
    return frame;
}

} // namespace lumvek::python
