// The 38-byte driver request header: hostile bytes decoded and encoded again
// must give the same fields (reserved bytes zero), and the same bytes handed
// to the driver stand-in as a request must be answered within the buffers
// given, by a simulated R13 whose control side parses them.
//
// Input: byte 0 picks the I/O-control code and whether the reply lands in
// the request buffer itself; byte 1 is the output buffer size; the rest is
// the request buffer.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/fx3/driver_request.h"
#include "platform/fx3/fx3_driver.h"
#include "sim/fpga_register_file.h"
#include "sim/in_process_camera.h"

using namespace lumvek;

namespace {

// The codes answered at once (the bulk reads wait for frames and are the
// controller target's business).
constexpr uint32_t kCodes[] = {fx3::kIoctlControlTransfer, fx3::kIoctlResetPipe, fx3::kIoctlLinkSpeed,
                               fx3::kIoctlAbortPipe, 0x220000};
constexpr size_t kReservedOffsets[] = {12, 22, 23, 24, 25, 26, 27, 28, 29};
// Every input starts from a small 8-bit window: an arm request renders a
// frame, and at the R13's full size that alone takes most of a run.
constexpr uint16_t kWindowWidth = 64;
constexpr uint16_t kWindowHeight = 48;

void checkRoundTrip(std::span<const uint8_t> raw) {
    fx3::RequestHeader header;
    const bool decoded = fx3::decodeHeader(raw, header);
    if (decoded != (raw.size() >= fx3::kRequestHeaderBytes)) {
        fuzz::fail("decodeHeader accepted a short buffer or refused a long one");
    }
    if (!decoded) {
        return;
    }
    std::array<uint8_t, fx3::kRequestHeaderBytes> encoded{};
    if (!fx3::encodeHeader(header, encoded)) {
        fuzz::fail("encodeHeader refused a full-size buffer");
    }
    for (size_t i = 0; i < fx3::kRequestHeaderBytes; ++i) {
        const bool reserved = std::find(std::begin(kReservedOffsets), std::end(kReservedOffsets), i) !=
                              std::end(kReservedOffsets);
        if (encoded[i] != (reserved ? 0 : raw[i])) {
            fuzz::fail("header round trip changed a byte");
        }
    }
}

struct Bench {
    std::unique_ptr<sim::InProcessCamera> camera;
    fx3::DeviceHandle handle = nullptr;
    Bench() {
        std::string error;
        camera = sim::InProcessCamera::create("product=0x3090,name=fuzzreq,pattern=black", error);
        if (!camera) {
            fuzz::fail(error.c_str());
        }
        handle = fx3::openDevice(camera->path(), false);
        if (handle == nullptr) {
            fuzz::fail("cannot open the simulated camera");
        }
    }
    void resetWindow() {
        sim::SimulatedCamera& device = camera->device();
        device.setFpgaRegister(sim::fpga::kWidthLow, kWindowWidth & 0xFF);
        device.setFpgaRegister(sim::fpga::kWidthLow + 1, kWindowWidth >> 8);
        device.setFpgaRegister(sim::fpga::kHeightLow, kWindowHeight & 0xFF);
        device.setFpgaRegister(sim::fpga::kHeightLow + 1, kWindowHeight >> 8);
        device.setFpgaRegister(sim::fpga::kSampleDepth, 1);
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::isolateProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Bench* const bench = new Bench;  // lives for the whole run
    if (size < 2) {
        return 0;
    }
    const uint8_t choice = data[0];
    const uint32_t code = kCodes[(choice & 0x7F) % std::size(kCodes)];
    const bool inPlace = (choice & 0x80) != 0;
    const size_t outBytes = data[1];
    const std::span<const uint8_t> request(data + 2, size - 2);
    checkRoundTrip(request);
    bench->resetWindow();

    // Exact-size buffers: the driver writing past either is an ASan report.
    std::vector<uint8_t> in(request.begin(), request.end());
    std::vector<uint8_t> separate(outBytes, 0xA5);
    if (inPlace) {
        in.resize(std::max(in.size(), outBytes));
    }
    uint8_t* out = inPlace ? in.data() : separate.data();
    uint32_t returned = 0xFFFFFFFFu;
    const bool ok = fx3::deviceIoControl(bench->handle, code, in.data(), static_cast<uint32_t>(request.size()), out,
                                         static_cast<uint32_t>(outBytes), &returned, nullptr);
    if (returned > outBytes) {
        fuzz::fail("the driver reported more bytes than the output buffer holds");
    }
    if (ok && code == fx3::kIoctlControlTransfer) {
        fx3::RequestHeader reply;
        if (returned < fx3::kRequestHeaderBytes || !fx3::decodeHeader({out, outBytes}, reply) ||
            reply.statusA != 0 || reply.statusB != 0) {
            fuzz::fail("a completed control request lacks its header or success status");
        }
    }
    return 0;
}
