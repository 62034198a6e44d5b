// The capture state machine, driven through the instance: every state times
// every operation gives what an application sees (success, or the first code
// pushed), and a refused operation leaves the state as it was.
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "instance/lumvek_internals.h"
#include "instance_fixture.h"

using namespace lumvek;
using namespace lumvek::test;

namespace {

using S = InstanceState;
using O = InstanceOperation;

constexpr int kOk = 0;
constexpr int kStates = kInstanceStates;
constexpr int kFullFrameBytes = 2336 * 1752;
constexpr int kLongRecordingMs = 600000;

const char* name(S state) {
    switch (state) {
    case S::NoDevice: return "NoDevice";
    case S::NoCamera: return "NoCamera";
    case S::Idle: return "Idle";
    case S::Capturing: return "Capturing";
    case S::Previewing: return "Previewing";
    case S::Recording: return "Recording";
    }
    return "?";
}

// Per operation: how to call it, and the first code it pushes in each state
// (kOk: none, the call succeeds), in the order of InstanceState.
struct Row {
    O op;
    const char* what;
    int (*call)(CLumvek& self, const std::string& dir);
    int expected[kStates];
};

// A scripted camera that tells the window it delivers (the whole sensor),
// so that capture and preview can be prepared; it never delivers a frame.
// Like the real device object, it refuses a window while no camera is open.
class WindowedDevice : public ScriptedDevice {
public:
    int SetCaptureWindow(int, int, int, int, int) override { return openNumber >= 0 ? 1 : 0; }
    int GetCaptureWindow(int* x, int* y, int* width, int* height, int* mode) override {
        *x = 0;
        *y = 0;
        *width = 2336;
        *height = 1752;
        *mode = 0;
        return 1;
    }
};

std::vector<uint8_t>& frameBuffer() {
    static std::vector<uint8_t> buffer(kFullFrameBytes);
    return buffer;
}

int getCameraInfo(CLumvek& self, const std::string&) {
    LumvekCameraInfo info{};
    info.size = sizeof info;
    return self.GetCameraInfo(&info);
}

// The scripted camera never delivers a frame, so no picture is ever ready:
// a snapshot that gets past the guard fails with code 8, GetImage with 5.
const Row kTable[] = {
    // Codes in the order NoDevice, NoCamera, Idle, Capturing, Previewing, Recording.
    {O::UseDevice, "GetCameraInfo", &getCameraInfo, {1, kOk, kOk, kOk, kOk, kOk}},
    {O::SelectCamera, "SetDeviceNumber", [](CLumvek& s, const std::string&) { return s.SetDeviceNumber(0); },
     {1, kOk, kOk, kOk, 1, 1}},
    // Without an open camera configuring refuses the window (7).
    {O::Capture, "Capture", [](CLumvek& s, const std::string&) { return s.Capture(); }, {1, 7, kOk, kOk, 1, 1}},
    {O::SnapShot, "SnapShot",
     [](CLumvek& s, const std::string&) { return s.SnapShot(frameBuffer().data(), kFullFrameBytes, 1); },
     {1, 7, 8, 8, 1, 1}},
    {O::StartPreview, "StartPreview", [](CLumvek& s, const std::string&) { return s.StartPreview(); },
     {1, 7, kOk, 1, kOk, 1}},
    // Without a camera its StartPreview step fails (7), then 8.
    {O::Preview, "Preview", [](CLumvek& s, const std::string&) { return s.Preview(); }, {1, 7, kOk, 1, kOk, 1}},
    {O::Stop, "StopPreview", [](CLumvek& s, const std::string&) { return s.StopPreview(); },
     {1, kOk, kOk, kOk, kOk, kOk}},
    {O::PlacePreview, "SetPreviewWindow",
     [](CLumvek& s, const std::string&) { return s.SetPreviewWindow(nullptr, 0, 0, 0, 0); },
     {1, kOk, kOk, kOk, kOk, kOk}},
    {O::ReadPicture, "GetImage",
     [](CLumvek& s, const std::string&) { return s.GetImage(frameBuffer().data(), kFullFrameBytes, 1); },
     {1, 5, 5, 5, 5, 5}},
    {O::SavePicture, "SaveImage",
     [](CLumvek& s, const std::string& dir) { return s.SaveImage((dir + "/p.bmp").c_str(), 0); }, {1, 1, 1, 1, 1, 1}},
    {O::ChangeColour, "SetColorMode", [](CLumvek& s, const std::string&) { return s.SetColorMode(8); },
     {kOk, kOk, kOk, kOk, kOk, 1}},
    {O::ChangeWindow, "SetCaptureWindowEx",
     [](CLumvek& s, const std::string&) { return s.SetCaptureWindowEx(2336, 0, 2336, 1752, 0, 1752); },
     {1, kOk, kOk, kOk, kOk, 1}},
    // Without a camera its StartPreview step fails (7), then 12.
    {O::Record, "Record",
     [](CLumvek& s, const std::string& dir) { return s.Record((dir + "/r.avi").c_str(), kLongRecordingMs, 0); },
     {1, 7, kOk, 1, kOk, 1}},
    // Past the guard there is no view to show a dialog with (no display): code 4.
    {O::OpenDialog, "SetAnalogDlg", [](CLumvek& s, const std::string&) { return s.SetAnalogDlg(nullptr); },
     {1, 1, 4, 4, 4, 4}},
};
static_assert(sizeof kTable / sizeof kTable[0] == kInstanceOperations, "one row per operation");

class StateTableTest : public InstanceTest {
protected:
    StateTableTest() : noDisplay_("DISPLAY", std::nullopt), noWayland_("WAYLAND_DISPLAY", std::nullopt) {}

    // A fresh instance brought into state.
    CLumvek& enter(S state) {
        instance_.reset();
        if (state == S::NoDevice) {
            instance_ = std::make_unique<CLumvek>(&noDevice);
            EXPECT_EQ(instance_->Initialize(window_), 1);
        } else {
            auto device = std::make_unique<WindowedDevice>();
            device->camerasPresent = state == S::NoCamera ? 2 : 1;  // two: none is opened at Initialize
            start(std::move(device));
        }
        CLumvek& self = *instance_;
        EXPECT_EQ(self.SetPreviewWindow(nullptr, 0, 0, 0, 0), state == S::NoDevice ? 0 : 1);
        switch (state) {
        case S::Capturing: EXPECT_EQ(self.Capture(), 1); break;
        case S::Previewing: EXPECT_EQ(self.StartPreview(), 1); break;
        case S::Recording: EXPECT_EQ(self.Record((dir_ + "/setup.avi").c_str(), kLongRecordingMs, 0), 1); break;
        default: break;
        }
        EXPECT_EQ(self.state(), state);
        while (self.GetLastError() != 0) {
        }
        return self;
    }

    // The codes pushed since the history was last emptied, oldest first.
    std::vector<int> pushed(CLumvek& self) {
        std::vector<int> codes;
        for (int code = self.GetLastError(); code != 0; code = self.GetLastError()) {
            codes.insert(codes.begin(), code);
        }
        return codes;
    }

    ScopedEnv noDisplay_;
    ScopedEnv noWayland_;
    std::string dir_ = makeTempDir("states").string();
};

} // namespace

TEST_F(StateTableTest, EveryOperationInEveryStateIsAllowedOrRefusedWithItsCode) {
    for (int s = 0; s < kStates; ++s) {
        const S state = static_cast<S>(s);
        for (const Row& row : kTable) {
            SCOPED_TRACE(std::string(row.what) + " in " + name(state));
            CLumvek& self = enter(state);
            const int result = row.call(self, dir_);
            const std::vector<int> codes = pushed(self);
            const int expected = row.expected[s];
            if (expected == kOk) {
                EXPECT_EQ(result, 1);
                EXPECT_TRUE(codes.empty()) << "first code " << codes.front();
            } else {
                EXPECT_EQ(result, 0);
                ASSERT_FALSE(codes.empty());
                EXPECT_EQ(codes.front(), expected);
            }
            // What the guard refused changed nothing.
            if (refusalCode(state, row.op, false) != 0) {
                EXPECT_EQ(self.state(), state);
            }
        }
    }
}

TEST_F(StateTableTest, TheGuardIsTheRuleTheOperationsFollow) {
    // The codes the operations gave above are the guard's wherever the guard refuses.
    for (int s = 0; s < kStates; ++s) {
        for (const Row& row : kTable) {
            const int guard = refusalCode(static_cast<S>(s), row.op, false);
            if (guard != 0) {
                EXPECT_EQ(row.expected[s], guard) << row.what << " in " << name(static_cast<S>(s));
            }
        }
    }
}

TEST_F(StateTableTest, ChangingTheColourWhilePreviewingNeverShowsIdle) {
    CLumvek& self = enter(S::Previewing);
    std::atomic<bool> done{false};
    std::atomic<int> sawOther{0};
    std::thread watcher([&] {
        while (!done.load()) {
            if (self.state() != S::Previewing) {
                sawOther.fetch_add(1);
            }
        }
    });
    constexpr int kChanges = 20;
    for (int i = 0; i < kChanges; ++i) {
        EXPECT_EQ(self.SetColorMode(i % 2 == 0 ? 24 : 8), 1);
    }
    done = true;
    watcher.join();
    EXPECT_EQ(sawOther.load(), 0);
    EXPECT_EQ(self.state(), S::Previewing);
}
