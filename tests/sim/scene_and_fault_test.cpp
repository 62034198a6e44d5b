// Exact scenes from PGM files, malformed files, and the fault switches.
#include <gtest/gtest.h>

#include <fstream>

#include "sim/in_process_camera.h"
#include "sim/pgm_scene.h"
#include "support/test_env.h"
#include "camera_link.h"

namespace lumvek::sim {
namespace {

using test::CameraLink;

std::unique_ptr<InProcessCamera> makeCamera(const std::string& description) {
    std::string error;
    auto camera = InProcessCamera::create(description, error);
    EXPECT_NE(camera, nullptr) << error;
    return camera;
}

std::string writePgm(const std::string& name, const std::string& header, const std::vector<uint8_t>& samples) {
    const auto path = test::makeTempDir("pgm") / name;
    std::ofstream out(path, std::ios::binary);
    out << header;
    out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
    return path.string();
}

// A sensor that sends its frames bottom-up, each row right to left.
class ReversedSensor final : public SensorModel {
public:
    int rawOrientation() const override { return kOrientationBothReversed; }
    SensorTiming timing() const override { return {100, 100, 10000, 0}; }
    void render(const RenderContext& context, std::span<uint8_t> pixels) override {
        context.scene.render(context.frameIndex, context.geometry, pixels);
        applyRawOrientation(rawOrientation(), context.geometry, pixels);
    }
};

TEST(SimPgmScene, SixteenBitFileArrivesExactlyAfterOrientationIsUndone) {
    // 5 x 3, maxval 4095, big-endian samples with distinct values.
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> samples;
    for (uint16_t i = 0; i < 15; ++i) {
        const uint16_t v = static_cast<uint16_t>(i * 273 + 1);
        samples.push_back(v);
        bytes.push_back(static_cast<uint8_t>(v >> 8));
        bytes.push_back(static_cast<uint8_t>(v));
    }
    const std::string file = writePgm("scene16.pgm", "P5\n# exact\n5 3\n4095\n", bytes);
    CameraDescription description;
    description.productId = 0x3050;
    description.name = "exact16";
    description.scenePath = file;
    description.fps = 500.0;
    std::string error;
    std::shared_ptr<SimulatedCamera> device = SimulatedCamera::create(description, std::make_unique<ReversedSensor>(), error);
    ASSERT_NE(device, nullptr) << error;
    auto camera = InProcessCamera::create(device, error);
    ASSERT_NE(camera, nullptr) << error;
    CameraLink link(camera->path());
    link.setWindow(5, 3, 2);
    for (int frame = 0; frame < 2; ++frame) {
        auto pixels = link.readFrame();
        ASSERT_TRUE(pixels);
        ASSERT_EQ(pixels->size(), 30u);
        // As sent: the last sample first.
        EXPECT_EQ((*pixels)[0] | ((*pixels)[1] << 8), samples[14]);
        applyRawOrientation(kOrientationBothReversed, {5, 3, 2}, *pixels);
        for (size_t i = 0; i < 15; ++i) {
            EXPECT_EQ((*pixels)[2 * i] | ((*pixels)[2 * i + 1] << 8), samples[i]) << "sample " << i;
        }
    }
}

TEST(SimPgmScene, EightBitFileIsUnchangedAndTiledOnALargerWindow) {
    const std::vector<uint8_t> samples{10, 20, 30, 40, 50, 60};
    const std::string file = writePgm("scene8.pgm", "P5 3 2 200 ", samples);
    auto camera = makeCamera("product=0x3050,name=exact8,fps=500,scene=" + file);
    CameraLink link(camera->path());
    link.setWindow(3, 2, 1);
    auto pixels = link.readFrame();
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels, samples);
    link.setWindow(6, 2, 1);
    pixels = link.readFrame();
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels, (std::vector<uint8_t>{10, 20, 30, 10, 20, 30, 40, 50, 60, 40, 50, 60}));
}

TEST(SimPgmScene, MalformedFilesAreRefusedWithAReason) {
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
        {"P2 2 2 255\n", {1, 2, 3, 4}},            // ASCII PGM
        {"P5 2 2\n", {}},                          // no maxval
        {"P5 2 2 255\n", {1, 2, 3}},               // truncated
        {"P5 2 2 0\n", {1, 2, 3, 4}},              // maxval 0
        {"P5 2 2 70000\n", {1, 2, 3, 4}},          // maxval too large
        {"P5 0 2 255\n", {}},                      // empty
        {"P5 2 1 100\n", {50, 101}},               // sample above maxval
        {"P5 1 1 1000\n", {0x03, 0xE9}},           // 16-bit sample above maxval
        {"P5 99999999999 1 255\n", {}},            // absurd width
        {"P5 2 2 255", {}},                        // header without its whitespace
    };
    for (const auto& [header, body] : cases) {
        std::vector<uint8_t> file(header.begin(), header.end());
        file.insert(file.end(), body.begin(), body.end());
        std::string error;
        EXPECT_EQ(parsePgmScene(file, error), nullptr) << header;
        EXPECT_FALSE(error.empty()) << header;
    }
    std::string error;
    EXPECT_EQ(InProcessCamera::create("name=nofile,scene=/nonexistent/x.pgm", error), nullptr);
    EXPECT_NE(error.find("x.pgm"), std::string::npos);
}

TEST(SimFaults, DroppedHeadersTimeOutUntilCountIsUsed) {
    auto camera = makeCamera("product=0x3050,name=drop,pattern=black,fps=500,drop-headers=2");
    CameraLink link(camera->path());
    link.setWindow(8, 2, 1);
    EXPECT_FALSE(link.readHeader(80));
    EXPECT_FALSE(link.readHeader(80));
    EXPECT_TRUE(link.readHeader(1000));
}

TEST(SimFaults, ShortDataOversizeAndFailControl) {
    auto camera = makeCamera("product=0x3050,name=faulty,pattern=black,fps=500");
    CameraLink link(camera->path());
    link.setWindow(100, 10, 1);
    std::string error;
    ASSERT_TRUE(camera->device().faults().set("short-data", "1", error));
    auto header = link.readHeader();
    ASSERT_TRUE(header);
    EXPECT_EQ(CameraLink::word(*header, 16), 1000u);
    std::vector<uint8_t> pixels(1000);
    auto read = link.readDirect(0x81, pixels.data(), 1000, 500);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, 500u);  // fewer than announced, then nothing
    EXPECT_FALSE(link.readDirect(0x81, pixels.data(), 500, 60).ok);
    EXPECT_TRUE(link.readFrame());

    ASSERT_TRUE(camera->device().faults().set("oversize", "1", error));
    header = link.readHeader();
    ASSERT_TRUE(header);
    EXPECT_EQ(CameraLink::word(*header, 16), kOversizeByteCount);
    EXPECT_EQ(CameraLink::word(*link.readHeader(), 16), 1000u);

    ASSERT_TRUE(camera->device().faults().set("fail-control", "2", error));
    EXPECT_FALSE(link.readFpga(0x44));  // its register-select write fails; the read is not tried
    EXPECT_FALSE(link.writeFpga(1, 1));
    EXPECT_TRUE(link.writeFpga(1, 1));
    EXPECT_FALSE(camera->device().faults().set("no-such-fault", "1", error));
    EXPECT_FALSE(camera->device().faults().set("drop-headers", "-1", error));
}

TEST(SimFaults, StallDelaysEveryReadPastAHeaderTimeout) {
    auto camera = makeCamera("product=0x3050,name=stall,pattern=black,fps=500,stall-ms=400");
    CameraLink link(camera->path());
    link.setWindow(8, 2, 1);
    EXPECT_FALSE(link.readHeader(100));
    std::string error;
    ASSERT_TRUE(camera->device().faults().set("stall-ms", "0", error));
    EXPECT_TRUE(link.readHeader(1000));
}

TEST(SimFaults, UnplugFailsReadInFlightAndHidesThePath) {
    auto camera = makeCamera("product=0x3050,name=unplug,pattern=black,fps=500");
    CameraLink link(camera->path());
    ASSERT_TRUE(link.openStream());
    // A read that waits (nothing armed), then the camera goes away.
    std::vector<uint8_t> buffer(64);
    uint8_t header[fx3::kRequestHeaderBytes];
    (void)fx3::encodeHeader(fx3::makeDirectTransferHeader(0x81), header);
    platform::Event event(platform::Event::Reset::Auto);
    fx3::Overlapped overlapped;
    overlapped.event = &event;
    ASSERT_FALSE(fx3::deviceIoControl(link.stream(), fx3::kIoctlDirectTransfer, header, sizeof header, buffer.data(),
                                      64, nullptr, &overlapped));
    ASSERT_EQ(fx3::getLastError(), fx3::kErrorIoPending);
    camera->unplug();
    ASSERT_TRUE(event.wait(5000));
    uint32_t transferred = 0;
    EXPECT_FALSE(fx3::getOverlappedResult(link.stream(), &overlapped, &transferred, false));
    EXPECT_EQ(fx3::getLastError(), fx3::kErrorDeviceNotConnected);
    const auto paths = fx3::enumerateDeviceInterfaces(fx3::kCameraInterfaceGuid);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), camera->path()), 0);
    EXPECT_EQ(fx3::openDevice(camera->path(), false), nullptr);
    EXPECT_FALSE(link.writeFpga(1, 1));
    link.closeStream();
    camera->replug();
    EXPECT_TRUE(link.writeFpga(1, 1));
}

} // namespace
} // namespace lumvek::sim
