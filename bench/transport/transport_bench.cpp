// Frame data through each backend of the driver stand-in at full R13 frame
// size (2336 x 1752), 8- and 16-bit: arm, 64-byte header, then the pixel data
// in 512 KiB direct transfers, each overlapped and waited for on its event,
// as the frame transfer thread reads them (libusb: see BM_LibusbFrames). Bytes/s is the frame rate of the
// transport; CPU is the whole process's (both sides of the socket, since the
// camera server runs in this process too).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "platform/fx3/driver_request.h"
#include "platform/fx3/fx3_driver.h"
#include "platform/sync/event.h"
#include "sim/camera_server.h"
#include "sim/in_process_camera.h"

namespace {

using namespace lumvek;

constexpr uint16_t kWidth = 2336;
constexpr uint16_t kHeight = 1752;
constexpr uint32_t kPieceBytes = 0x80000;

bool control(const std::string& path, uint8_t type, uint8_t code, std::vector<uint8_t> data) {
    fx3::DeviceHandle handle = fx3::openDevice(path, false);
    if (handle == nullptr) return false;
    auto buffer = fx3::makeControlRequest(type, code, static_cast<uint16_t>(data.size()), 0x40, data);
    uint32_t returned = 0;
    const bool ok = fx3::deviceIoControl(handle, fx3::kIoctlControlTransfer, buffer.data(), 102, buffer.data(), 102,
                                         &returned, nullptr);
    fx3::closeHandle(handle);
    return ok;
}

void programWindow(const std::string& path, uint8_t depth) {
    const uint8_t writes[][2] = {{0x44, kWidth & 0xFF}, {0x45, kWidth >> 8}, {0x40, kHeight & 0xFF},
                                 {0x41, kHeight >> 8},  {60, depth}};
    for (const auto& w : writes) {
        (void)control(path, fx3::kRequestTypeVendorOut, 0x30, {w[0], 0, w[1]});
    }
}

bool readDirect(fx3::DeviceHandle stream, uint8_t* data, uint32_t length, platform::Event& event) {
    uint8_t header[fx3::kRequestHeaderBytes];
    (void)fx3::encodeHeader(fx3::makeDirectTransferHeader(fx3::kEndpointFrames), header);
    fx3::Overlapped overlapped;
    overlapped.event = &event;
    if (!fx3::deviceIoControl(stream, fx3::kIoctlDirectTransfer, header, sizeof header, data, length, nullptr,
                              &overlapped)) {
        if (fx3::getLastError() != fx3::kErrorIoPending || !event.wait(5000)) return false;
    }
    uint32_t transferred = 0;
    return fx3::getOverlappedResult(stream, &overlapped, &transferred, false) && transferred == length;
}

bool readFrame(fx3::DeviceHandle stream, std::vector<uint8_t>& pixels, platform::Event& event) {
    auto arm = fx3::makeControlRequest(fx3::kRequestTypeVendorOutEndpoint, 0xC2, 0, 0);
    uint32_t returned = 0;
    if (!fx3::deviceIoControl(stream, fx3::kIoctlControlTransfer, arm.data(), 102, arm.data(), 102, &returned,
                              nullptr)) {
        return false;
    }
    uint8_t header[64];
    if (!readDirect(stream, header, 64, event)) return false;
    uint32_t count = 0;
    std::memcpy(&count, header + 16, 4);
    if (count != pixels.size()) return false;
    for (uint32_t at = 0; at < count; at += kPieceBytes) {
        if (!readDirect(stream, pixels.data() + at, std::min(kPieceBytes, count - at), event)) return false;
    }
    return true;
}

void runFrames(benchmark::State& state, const std::string& path, uint8_t depth) {
    programWindow(path, depth);
    std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * depth);
    fx3::DeviceHandle stream = fx3::openDevice(path, true);
    if (stream == nullptr) {
        state.SkipWithError("camera does not open");
        return;
    }
    platform::Event event(platform::Event::Reset::Auto);
    for (auto _ : state) {
        if (!readFrame(stream, pixels, event)) {
            state.SkipWithError("frame failed");
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    fx3::closeHandle(stream);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixels.size()));
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// An unpaced camera (the frame period is 10 us) showing a still ramp.
constexpr const char* kCameraDescription = "product=0x3050,pattern=ramp,fps=100000";

void BM_InProcessFrames(benchmark::State& state) {
    std::string error;
    auto camera = sim::InProcessCamera::create(std::string(kCameraDescription) + ",name=bench-inproc", error);
    if (!camera) {
        state.SkipWithError(error.c_str());
        return;
    }
    runFrames(state, camera->path(), static_cast<uint8_t>(state.range(0)));
}

void BM_SocketFrames(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("lumvek-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    setenv("LUMVEK_DEVICE_DIR", dir.c_str(), 1);
    std::string error;
    sim::CameraDescription description;
    if (!sim::parseCameraDescription(std::string(kCameraDescription) + ",name=bench-socket", description, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::shared_ptr<sim::SimulatedCamera> camera = sim::SimulatedCamera::create(description, error);
    auto server = camera ? sim::CameraServer::start(camera, dir.string(), error) : nullptr;
    if (!server) {
        state.SkipWithError(error.c_str());
        return;
    }
    runFrames(state, fx3::formatDevicePath(description.vendorId, description.productId, description.name),
              static_cast<uint8_t>(state.range(0)));
    server.reset();
    std::filesystem::remove_all(dir);
}

// Through the libusb backend: only under usb-run, with the camera of
// kCameraDescription on port 1, e.g.
//   lumvek-camsim usb-run --camera product=0x3050,pattern=ramp,fps=100000 -- bench_transport
// Process CPU is this process only (libusb, the stand-in and umockdev's
// preload library, which copies every URB's data through a socket); the
// simulator side runs in the usb-run process.
void BM_LibusbFrames(benchmark::State& state) {
    if (std::getenv("UMOCKDEV_DIR") == nullptr) {
        state.SkipWithError("run under lumvek-camsim usb-run --camera product=0x3050,pattern=ramp,fps=100000");
        return;
    }
    runFrames(state, fx3::formatDevicePath(sim::kDefaultVendorId, 0x3050, "usb2-1"),
              static_cast<uint8_t>(state.range(0)));
}

// The yardstick: copying one frame from memory to memory.
void BM_MemcpyFrame(benchmark::State& state) {
    const size_t bytes = size_t{kWidth} * kHeight * static_cast<size_t>(state.range(0));
    std::vector<uint8_t> source(bytes, 0x5A), target(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

BENCHMARK(BM_MemcpyFrame)->Arg(1)->Arg(2)->ArgName("bytes/sample")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InProcessFrames)->Arg(1)->Arg(2)->ArgName("bytes/sample")->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_SocketFrames)->Arg(1)->Arg(2)->ArgName("bytes/sample")->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_LibusbFrames)->Arg(1)->Arg(2)->ArgName("bytes/sample")->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();

} // namespace

BENCHMARK_MAIN();
