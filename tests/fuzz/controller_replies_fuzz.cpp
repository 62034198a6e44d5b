// The controller (CQuelroCy3Cam) reading what a hostile camera answers:
// control replies (device information, status, register and I2C reads) and
// bulk data (buffered transfers, frame headers, pixel data, whole frames).
// The camera sits on the in-process bus under the real driver stand-in, and
// every reply it gives comes from the fuzz input, in the order the requests
// arrive:
//   control request: flags byte (bit 0: fail), reported data count, 64 data bytes
//   bulk read:       result byte (bits 0-1: success, time-out, abort, unplugged),
//                    reported byte count (32-bit), then that many data bytes
// Byte 0 of the input and the next two give the frame capacity. Every buffer a
// reply can land in is allocated to its exact size.
#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/fx3/in_process_bus.h"
#include "platform/fx3/usb_device.h"
#include "usb/quelro_cy3_cam.h"

using namespace lumvek;

namespace {

constexpr uint16_t kVendorId = 0x1f3a;
constexpr uint16_t kProductR13 = 0x3090;
constexpr uint32_t kBufferedBytes = 4096;
constexpr uint32_t kFrameDataTimeoutMs = 100;
// Registers read through each kind of request (any address will do: the
// camera's answer is the fuzz input).
constexpr uint8_t kFpgaRegister = 0x10;
constexpr uint8_t kAuxRegister = 0x01;
constexpr uint16_t kRequestRegister = 0x3000;
constexpr uint16_t kSensorRegister = 0x0004;
constexpr uint32_t kBulkErrors[] = {fx3::kErrorSuccess, fx3::kErrorSemTimeout, fx3::kErrorOperationAborted,
                                    fx3::kErrorDeviceNotConnected};

class FuzzCamera final : public fx3::UsbDevice {
public:
    void load(std::span<const uint8_t> input, CQuelroCy3Cam* controller) {
        std::lock_guard lock(mutex_);
        reader_ = fuzz::ByteReader(input);
        controller_ = controller;
    }

    fx3::ControlResult controlTransfer(const fx3::RequestHeader&,
                                       std::span<uint8_t, fx3::kControlDataBytes> data) override {
        std::lock_guard lock(mutex_);
        if (outOfInput()) {
            return {false, 0};
        }
        const uint8_t flags = reader_.u8();
        const uint32_t dataBytes = reader_.u8();
        const auto bytes = reader_.take(data.size());
        std::copy(bytes.begin(), bytes.end(), data.begin());
        return {(flags & 1) == 0, dataBytes};
    }

    fx3::BulkResult bulkRead(uint8_t, std::span<uint8_t> buffer, uint32_t, const fx3::CancelToken&) override {
        std::lock_guard lock(mutex_);
        if (outOfInput()) {
            return {fx3::kErrorSemTimeout, 0};
        }
        const uint32_t error = kBulkErrors[reader_.u8() & 3];
        const uint32_t claimed = reader_.u32();
        const auto bytes = reader_.take(std::min<size_t>(claimed, buffer.size()));
        std::copy(bytes.begin(), bytes.end(), buffer.begin());
        return {error, claimed};
    }

    bool resetPipe(uint8_t) override { return true; }
    bool resetPort() override { return true; }
    uint32_t linkSpeed() override { return fx3::kLinkSpeedSuper; }
    [[nodiscard]] bool connected() const override { return true; }

private:
    // Once the input is used up the camera goes quiet, and the controller is
    // told to stop its stream so that a header read does not retry for long.
    bool outOfInput() {
        if (!reader_.exhausted()) {
            return false;
        }
        if (controller_ != nullptr) {
            controller_->RequestStreamStop();
        }
        return true;
    }

    std::mutex mutex_;  // guards reader_ and controller_ (bulk reads come from the driver's thread)
    fuzz::ByteReader reader_{{}};
    CQuelroCy3Cam* controller_ = nullptr;
};

// One controller bound to the fuzz camera, selected and with its transfer
// buffer, as when a camera is opened; it lives for the whole run.
struct Bench {
    std::string path;
    std::shared_ptr<FuzzCamera> camera = std::make_shared<FuzzCamera>();
    std::unique_ptr<CQuelroCy3Cam> controller;
    Bench() {
        path = fx3::InProcessBus::instance().attach(camera, kVendorId, kProductR13, "fuzzcam");
        if (path.empty()) {
            fuzz::fail("cannot attach the fuzz camera");
        }
        controller = std::make_unique<CQuelroCy3Cam>();
        const int entry = controller->FindDeviceEntry(kProductR13, 0);
        if (entry < 0 || controller->SelectDevice(entry) != 1 || controller->AllocateTransferBuffer() != 1 ||
            controller->OpenStream() != 1) {
            fuzz::fail("cannot open the fuzz camera");
        }
    }
    ~Bench() {
        controller.reset();  // the last detach removes this process's open-device table
        fx3::InProcessBus::instance().detach(path);
    }
};

Bench* bench = nullptr;

// Made at the first input and registered for destruction only then, so that
// it goes before the driver stand-in's own statics at exit.
void makeBench() {
    bench = new Bench;
    std::atexit([] { delete bench; });
}

void controlReplies(CQuelroCy3Cam& c) {
    uint8_t block[fx3::kControlDataBytes];
    (void)c.ReadDeviceInfo(block);
    (void)c.ReadDeviceInfoB1(block);
    uint8_t byte = 0;
    (void)c.ReadReadyStatus(&byte);
    (void)c.ReadOutputMode(&byte);
    (void)c.ReadFpgaRegister(kFpgaRegister, &byte);
    (void)c.ReadAuxRegister(kAuxRegister, &byte);
    uint32_t word = 0;
    (void)c.ReadRegister16(kRequestRegister, &word);
    (void)c.ReadSensorRegister16(kSensorRegister, &word);
    uint16_t fpgaWord = 0;
    (void)c.ReadFpgaWord(&fpgaWord);
    std::vector<uint8_t> i2c(i2c::kMaxTransferBytes);
    (void)c.I2cRead(i2c::kFpgaRead, i2c.data(), static_cast<uint8_t>(i2c.size()), fx3::kControlTimeoutMs);
}

void bulkReplies(CQuelroCy3Cam& c, uint32_t capacity) {
    std::vector<uint8_t> buffered(kBufferedBytes);
    uint32_t returned = 0;
    if (c.TransferBuffered(c.StreamHandle(), buffered.data(), kBufferedBytes, fx3::kEndpointFrames, &returned) &&
        returned > kBufferedBytes) {
        fuzz::fail("buffered transfer reported more than was asked");
    }

    std::vector<uint8_t> frame(capacity);
    FrameRecord record;
    record.destination = frame.data();
    record.capacity = capacity;
    if (c.ReadFrameHeader(&record) && c.ReadFrameData(&record, kFrameDataTimeoutMs) && record.pixelDataBytes() > capacity) {
        fuzz::fail("pixel data larger than the frame buffer was accepted");
    }
    record.expectedSize = capacity;
    (void)c.ReadFrameDirect(&record);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::isolateProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (bench == nullptr) {
        makeBench();
    }
    if (size < 2) {
        return 0;
    }
    const uint32_t capacity = 1 + (data[0] | (data[1] << 8));  // 1..65536 bytes
    CQuelroCy3Cam& controller = *bench->controller;
    controller.ClearStreamStop();
    bench->camera->load({data + 2, size - 2}, &controller);
    controlReplies(controller);
    bulkReplies(controller, capacity);
    bench->camera->load({}, nullptr);
    return 0;
}
