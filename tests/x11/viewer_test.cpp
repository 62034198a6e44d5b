// The GTK viewer of `lumvek view` under the test's Xvfb, driven through its
// automation hook (--automate: the hook moves the window's own controls and
// presses its buttons) and with real keys: it opens within a 1920 x 1080
// screen, its exposure control changes the next frames and the histogram
// follows, its snapshot writes a file, its dialog button opens the library's
// dialog, and a camera that disappears is said and the viewer goes back to
// the camera list.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_env.h"
#include "tool_child.h"
#include "x_driver.h"
#include "xvfb_server.h"

#if defined(LUMVEK_TOOL_PATH) && defined(LUMVEK_VIEWER_MODULE) && defined(LUMVEK_CAMSIM_PATH)
namespace {

using lumvek::test::ToolChild;
using lumvek::test::XDriver;

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kBoundMs = 30000;
// Frames the viewer may show after a change before the change must show.
constexpr long kFramesForAChange = 40;

double numberField(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const auto at = json.find(key);
    if (at == std::string::npos) return -1e9;
    return std::strtod(json.c_str() + at + key.size(), nullptr);
}

std::string stringField(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\":\"";
    const auto at = json.find(key);
    if (at == std::string::npos) return "";
    const auto end = json.find('"', at + key.size());
    return json.substr(at + key.size(), end - at - key.size());
}

// One automation command; the answer (other lines, e.g. "saved ...", are skipped).
std::string ask(ToolChild& viewer, const std::string& command) {
    viewer.send(command);
    for (;;) {
        const std::string line = viewer.readLine(kBoundMs);
        if (line.empty() || line[0] == '{' || line == "ok" || line.rfind("error", 0) == 0) return line;
    }
}

// Reports until `condition` holds, at most until kFramesForAChange more
// frames were shown (or, when no frames come, kBoundMs passed).
std::string reportWhen(ToolChild& viewer, const std::function<bool(const std::string&)>& condition) {
    std::string report = ask(viewer, "report");
    const double start = numberField(report, "frames");
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMs);
    while (!condition(report) && numberField(report, "frames") < start + kFramesForAChange && !report.empty() &&
           std::chrono::steady_clock::now() < end) {
        usleep(50 * 1000);  // a report is a round trip; this only paces them
        report = ask(viewer, "report");
    }
    return report;
}

class Viewer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok());
        dir_ = lumvek::test::makeTempDir("viewer");
    }
    std::unique_ptr<ToolChild> start(const std::vector<std::string>& env = {"LC_ALL=C.UTF-8"},
                                     std::vector<std::string> args = {"view", "--simulate", "--automate"}) {
        auto env2 = env;
        env2.push_back("LUMVEK_SHM_NAME=/lumvek-viewer-" + std::to_string(getpid()));
        auto viewer = std::make_unique<ToolChild>(ToolChild::Piped{}, dir_, server_.display(), args, env2);
        return viewer;
    }
    std::string firstFrames(ToolChild& viewer) {
        return reportWhen(viewer, [](const std::string& r) { return numberField(r, "frames") >= 3; });
    }

    lumvek::test::XvfbServer server_{kScreenWidth, kScreenHeight};
    std::filesystem::path dir_;
};

TEST_F(Viewer, OpensWithinTheScreenWithTheCameraAndItsRealExposureRange) {
    auto viewer = start();
    XDriver x(server_.display());
    std::string title;
    const ::Window window = x.waitForTitle("Lumvek Viewer", kBoundMs, &title);
    ASSERT_NE(window, 0u) << viewer->err();
    EXPECT_NE(title.find("LumvekR13-USB3-K7_01"), std::string::npos) << title;
    const std::string report = firstFrames(*viewer);
    ASSERT_GE(numberField(report, "frames"), 3) << report << viewer->err();
    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(x.geometry(window, &left, &top, &width, &height));
    EXPECT_LE(width, kScreenWidth);
    EXPECT_LE(height, kScreenHeight);
    EXPECT_GE(left, 0);
    EXPECT_GE(top, 0);
    EXPECT_LE(left + width, kScreenWidth);
    EXPECT_LE(top + height, kScreenHeight);
    EXPECT_EQ(stringField(report, "zoom"), "fit");
    // The slider stops where the camera does, not at the nominal maximum.
    EXPECT_EQ(numberField(report, "exposureMax"), 232) << report;
    EXPECT_EQ(numberField(report, "exposureNominalMax"), 8191) << report;
    const std::string status = stringField(report, "status");
    EXPECT_NE(status.find("LumvekR13-USB3-K7_01"), std::string::npos) << status;
    EXPECT_NE(status.find("frames/s"), std::string::npos) << status;
    EXPECT_NE(status.find("lost"), std::string::npos) << status;
    EXPECT_EQ(ask(*viewer, "quit"), "ok");
    EXPECT_EQ(viewer->waitExit(kBoundMs), 0) << viewer->err();
}

TEST_F(Viewer, TheExposureControlChangesTheNextFramesAndTheHistogramFollows) {
    auto viewer = start();
    const std::string bright = firstFrames(*viewer);
    const double brightMean = numberField(bright, "pictureMean");
    ASSERT_GT(brightMean, 40) << bright;
    EXPECT_NEAR(numberField(bright, "histogramMean"), brightMean, 3) << bright;

    EXPECT_EQ(ask(*viewer, "set exposure 20"), "ok");
    const std::string dark =
        reportWhen(*viewer, [&](const std::string& r) { return numberField(r, "pictureMean") < brightMean / 2; });
    EXPECT_LT(numberField(dark, "pictureMean"), brightMean / 2) << dark;
    EXPECT_NEAR(numberField(dark, "histogramMean"), numberField(dark, "pictureMean"), 3) << dark;
    EXPECT_EQ(numberField(dark, "exposure"), 20);
    EXPECT_NE(stringField(dark, "status").find("2.0 ms"), std::string::npos) << dark;
    (void)ask(*viewer, "quit");
    EXPECT_EQ(viewer->waitExit(kBoundMs), 0);
}

TEST_F(Viewer, SnapshotButtonAndKeyWriteFilesAndTheStatusSaysWhich) {
    auto viewer = start();
    (void)firstFrames(*viewer);
    EXPECT_EQ(ask(*viewer, "press snapshot"), "ok");
    const std::string report = ask(*viewer, "report");
    EXPECT_EQ(stringField(report, "message"), "saved view-0001.png") << report;
    std::ifstream png(dir_ / "view-0001.png", std::ios::binary);
    char signature[8] = {};
    png.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");

    XDriver x(server_.display());
    const ::Window window = x.waitForTitle("Lumvek Viewer", kBoundMs);
    ASSERT_NE(window, 0u);
    x.typeKey(window, XK_s);
    EXPECT_TRUE(lumvek::test::holdsWithin(kBoundMs, [&] { return std::filesystem::exists(dir_ / "view-0002.png"); }));
    x.typeKey(window, XK_q);
    EXPECT_EQ(viewer->waitExit(kBoundMs), 0) << viewer->err();
}

TEST_F(Viewer, TheAnalogButtonOpensTheLibrarysDialogAndEscapeClosesIt) {
    auto viewer = start();
    (void)firstFrames(*viewer);
    XDriver x(server_.display());
    viewer->send("press analog");  // answers once the dialog has closed
    const ::Window dialog = x.waitForTitle("Property", kBoundMs);
    ASSERT_NE(dialog, 0u) << viewer->err();
    EXPECT_TRUE(x.closeWithEscape(dialog, kBoundMs));
    EXPECT_EQ(viewer->readLine(kBoundMs), "ok");
    const std::string report = ask(*viewer, "report");
    EXPECT_EQ(stringField(report, "message"), "closed the dialog: analog") << report;
    // The picture went on meanwhile and goes on after.
    const std::string later = reportWhen(*viewer, [&](const std::string& r) {
        return numberField(r, "frames") > numberField(report, "frames");
    });
    EXPECT_GT(numberField(later, "frames"), numberField(report, "frames"));
    (void)ask(*viewer, "quit");
    EXPECT_EQ(viewer->waitExit(kBoundMs), 0);
}

TEST_F(Viewer, UnderAJapaneseLocaleTheWindowSpeaksJapanese) {
    auto viewer = start({"LC_ALL=ja_JP.UTF-8"});
    XDriver x(server_.display());
    ASSERT_NE(x.waitForTitle("Lumvek ビューア", kBoundMs), 0u) << viewer->err();
    const std::string report = firstFrames(*viewer);
    EXPECT_NE(stringField(report, "status").find("フレーム/秒"), std::string::npos) << report;
    (void)ask(*viewer, "quit");
    EXPECT_EQ(viewer->waitExit(kBoundMs), 0);
}

// lumvek-camsim serving one camera in `dir`; stopped by the destructor.
class Daemon {
public:
    Daemon(const std::filesystem::path& dir, const std::string& camera) : dir_(dir) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execl(LUMVEK_CAMSIM_PATH, "lumvek-camsim", "--dir", dir.c_str(), "--camera", camera.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char buffer[16] = {};
        ready_ = read(out[0], buffer, 5) == 5 && std::string(buffer, 5) == "ready";
        close(out[0]);
    }
    ~Daemon() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    [[nodiscard]] bool ready() const { return ready_; }
    bool ctl(const std::string& words) {
        const std::string command = std::string("'") + LUMVEK_CAMSIM_PATH + "' ctl --dir '" + dir_.string() + "' " + words;
        return std::system(command.c_str()) == 0;
    }

private:
    std::filesystem::path dir_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

TEST_F(Viewer, ACameraThatDisappearsIsSaidAndComesBackInTheList) {
    const auto devices = dir_ / "devices";
    std::filesystem::create_directories(devices);
    Daemon daemon(devices, "product=0x3090,name=v-plug,fps=40,pattern=chart");
    ASSERT_TRUE(daemon.ready());
    auto viewer = start({"LC_ALL=C.UTF-8", "LUMVEK_DEVICE_DIR=" + devices.string(),
                         "LUMVEK_REGISTRY_FILE=" + (dir_ / "registry.sqlite3").string()},
                        {"view", "--automate"});
    ASSERT_GE(numberField(firstFrames(*viewer), "frames"), 3) << viewer->err();

    ASSERT_TRUE(daemon.ctl("unplug v-plug"));
    const std::string gone = reportWhen(*viewer, [](const std::string& r) { return numberField(r, "number") == -1; });
    EXPECT_EQ(numberField(gone, "number"), -1) << gone;
    EXPECT_NE(stringField(gone, "message").find("the camera has gone"), std::string::npos) << gone;
    EXPECT_NE(gone.find("\"cameras\":[]"), std::string::npos) << gone;

    ASSERT_TRUE(daemon.ctl("replug v-plug"));
    std::string back;
    EXPECT_TRUE(lumvek::test::holdsWithin(kBoundMs, [&] {
        back = ask(*viewer, "report");
        return back.find("\"cameras\":[]") == std::string::npos && back.find("\"cameras\":[") != std::string::npos;
    })) << back;
    const double number = numberField(back.substr(back.find("\"cameras\":[")), "number");
    EXPECT_EQ(ask(*viewer, "select " + std::to_string(static_cast<int>(number))), "ok");
    const std::string live = reportWhen(*viewer, [](const std::string& r) { return r.find("\"previewing\":true") != std::string::npos; });
    EXPECT_NE(live.find("\"previewing\":true"), std::string::npos) << live;
    (void)ask(*viewer, "quit");
    EXPECT_EQ(viewer->waitExit(kBoundMs), 0) << viewer->err();
}

TEST_F(Viewer, TheListChoosesAmongSeveralCamerasAndShowsOneArriving) {
    const auto devices = dir_ / "devices";
    std::filesystem::create_directories(devices);
    Daemon a(devices, "product=0x3090,name=a-cam,fps=40,pattern=chart");
    Daemon b(devices, "product=0x3090,name=b-cam,fps=40,pattern=ramp");
    Daemon c(devices, "product=0x3090,name=c-cam,fps=40,pattern=chart,unplug=1");
    ASSERT_TRUE(a.ready() && b.ready() && c.ready());
    // Two cameras and no -d: the plain view refuses; the viewer lets one choose.
    auto viewer = start({"LC_ALL=C.UTF-8", "LUMVEK_DEVICE_DIR=" + devices.string(),
                         "LUMVEK_REGISTRY_FILE=" + (dir_ / "registry.sqlite3").string()},
                        {"view", "--automate"});
    const std::string listed = ask(*viewer, "report");
    ASSERT_FALSE(listed.empty()) << viewer->err();
    EXPECT_EQ(numberField(listed, "number"), -1) << listed;
    EXPECT_NE(listed.find("\"cameras\":[{\"number\":0,"), std::string::npos) << listed;
    EXPECT_NE(listed.find("{\"number\":1,"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("{\"number\":2,"), std::string::npos) << listed;
    EXPECT_EQ(stringField(listed, "message"), "Choose a camera from the list");

    ASSERT_TRUE(c.ctl("replug c-cam"));
    std::string arrived;
    EXPECT_TRUE(lumvek::test::holdsWithin(kBoundMs, [&] {
        arrived = ask(*viewer, "report");
        return arrived.find("{\"number\":2,") != std::string::npos;
    })) << arrived;
    EXPECT_EQ(stringField(arrived, "message"), "a camera arrived") << arrived;

    EXPECT_EQ(ask(*viewer, "select 2"), "ok");
    const std::string live = firstFrames(*viewer);
    EXPECT_EQ(numberField(live, "number"), 2) << live;
    EXPECT_GE(numberField(live, "frames"), 3) << live;
    (void)ask(*viewer, "quit");
    EXPECT_EQ(viewer->waitExit(kBoundMs), 0) << viewer->err();
}

TEST_F(Viewer, RecordButtonWritesAnAviAndSaysWhichFile) {
    auto viewer = start();
    (void)firstFrames(*viewer);
    EXPECT_EQ(ask(*viewer, "press record"), "ok");
    const auto avi = dir_ / "view-0001.avi";
    const std::string recording = ask(*viewer, "report");
    EXPECT_NE(recording.find("\"recording\":true"), std::string::npos) << recording;
    EXPECT_EQ(stringField(recording, "message"), "recording view-0001.avi") << recording;
    EXPECT_TRUE(lumvek::test::holdsWithin(kBoundMs, [&] {
        return std::filesystem::exists(avi) && std::filesystem::file_size(avi) > (1u << 24);
    }));
    EXPECT_EQ(ask(*viewer, "press record"), "ok");
    const std::string done = ask(*viewer, "report");
    EXPECT_EQ(stringField(done, "message"), "recorded view-0001.avi") << done;
    // Finalised: the RIFF size at offset 4 is written at the end.
    std::ifstream in(avi, std::ios::binary);
    unsigned char header[8] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 4), "RIFF");
    EXPECT_NE(header[4] | header[5] | header[6] | header[7], 0);
    // The live picture comes back.
    const std::string live = reportWhen(*viewer, [&](const std::string& r) {
        return numberField(r, "frames") > numberField(done, "frames");
    });
    EXPECT_GT(numberField(live, "frames"), numberField(done, "frames")) << live;
    (void)ask(*viewer, "quit");
    EXPECT_EQ(viewer->waitExit(kBoundMs), 0);
}

} // namespace
#endif
