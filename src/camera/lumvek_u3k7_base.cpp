// CLumvekU3K7Base: device selection, initialisation, frame geometry, colour
// and trigger modes, registers and the serial ROM.
#include "camera/lumvek_u3k7_base.h"

#include <cstring>
#include <new>

#include "camera/product_step_runner.h"
#include "camera/product_table.h"
#include "platform/fx3/driver_request.h"
#include "camera/sensor_factory.h"
#include "platform/log/log.h"
#include "sensors/sensor_base.h"
#include "usb/quelro_cy3_cam.h"

namespace lumvek {

namespace {
constexpr int kTriggerWordRequestAccess = 0x10000;  // MT9J001 on 0x3042: registers by request
constexpr uint16_t kUserByteAddress = 0x1080;
constexpr int kSromVerifyReads = 10;
} // namespace

using platform::MutexLock;

CLumvekU3K7Base::CLumvekU3K7Base() = default;

CLumvekU3K7Base::~CLumvekU3K7Base() {
    CLumvekU3K7Base::Release();
}

const ProductRow& CLumvekU3K7Base::row() const {
    return productRow(productId_.load());
}

int CLumvekU3K7Base::CreateController(const fx3::Guid* interfaceClass) {
    MutexLock hold(lock_);
    releaseLocked();
    controller_.reset(new (std::nothrow) CQuelroCy3Cam(interfaceClass ? *interfaceClass : fx3::kCameraInterfaceGuid));
    return 1;
}

int CLumvekU3K7Base::Release() {
    MutexLock hold(lock_);
    return releaseLocked();
}

int CLumvekU3K7Base::releaseLocked() {
    stopAcquisitionLocked();
    {
        MutexLock driver(driverLock_);
        if (controller_ && sensor_) {  // only a camera that was opened is closed
            runProductCloseSteps(row(), *this);
            controller_->CloseStream();
        }
        sensor_.reset();
        publishCopyLayout();
    }
    controller_.reset();
    deviceInfo_.fill(0);
    acquisitionMode_ = 0;
    receiveBuffer_.reset();
    receiveCapacity_ = 0;
    ring_.release();
    frameBytes_ = 0;
    {
        MutexLock events(eventMutex_);
        frameEvent_.reset();
        threadEnd_.reset();
    }
    frameError_ = false;
    return 1;
}

int CLumvekU3K7Base::ReadDeviceInfo(uint8_t* block64) {
    MutexLock hold(lock_);
    if (block64 == nullptr || !controller_) {
        return 0;
    }
    return controller_->ReadDeviceInfo(block64);
}

int CLumvekU3K7Base::ReadDeviceInfoB1(uint8_t* block64) {
    MutexLock hold(lock_);
    if (block64 == nullptr || !controller_) {
        return 0;
    }
    return controller_->ReadDeviceInfoB1(block64);
}

int CLumvekU3K7Base::InitializeDevice() {
    MutexLock hold(lock_);
    return initializeDeviceLocked();
}

int CLumvekU3K7Base::initializeDeviceLocked() {
    if (!controller_ || !controller_->AllocateTransferBuffer()) {
        return 0;
    }
    (void)controller_->ReadDeviceInfo(deviceInfo_.data());
    if (!sensor_) {
        return 0;
    }
    MutexLock driver(driverLock_);
    if (row().frameDirect) {
        sensor_->SetTriggerWord(kTriggerWordRequestAccess);
    }
    runProductOpenSteps(row(), *this);
    if (!sensor_->IsReady()) {
        return 0;
    }
    platform::logf(platform::LogCategory::Camera, "open: starting the sensor");
    const int started = sensor_->InitializeSensor();
    platform::logf(platform::LogCategory::Camera, "open: sensor started (%d)", started);
    return started;
}

int CLumvekU3K7Base::CreateSensor(int deviceNumber) {
    MutexLock hold(lock_);
    return createSensorLocked(deviceNumber);
}

int CLumvekU3K7Base::createSensorLocked(int deviceNumber) {
    if (!controller_ || productId_ == -1) {
        return 0;
    }
    const int entry = controller_->FindDeviceEntry(productId_, deviceNumber);
    if (entry < 0) {
        return 0;
    }
    stopAcquisitionLocked();  // the transfer thread borrows the sensor driver
    if (controller_->SelectDevice(entry)) {
        // Every caller of the driver holds lock_, as this does, and the
        // transfer thread has ended: none can be inside the driver freed here.
        MutexLock driver(driverLock_);
        sensor_.reset();
        sensor_ = createSensorForProduct(productId_, controller_.get());
        openDeviceNumber_ = deviceNumber;
    }
    geometryStale_ = 1;
    const int initialized = initializeDeviceLocked();
    MutexLock driver(driverLock_);
    publishCopyLayout();
    return initialized;
}

int CLumvekU3K7Base::OpenDeviceNumber(int deviceNumber) {
    MutexLock hold(lock_);
    stopAcquisitionLocked();
    return createSensorLocked(deviceNumber) ? 0 : -1;
}

int CLumvekU3K7Base::IsDeviceNumberPresent(int deviceNumber) {
    MutexLock hold(lock_);
    if (!controller_ || productId_ == -1) {
        return 0;
    }
    return controller_->IsDeviceNumberPresent(productId_, deviceNumber) ? 1 : 0;
}

int CLumvekU3K7Base::CountDevices(int productId) {
    MutexLock hold(lock_);
    return controller_ ? controller_->CountDevicesOfProduct(productId) : 0;
}

int CLumvekU3K7Base::GetDeviceName(int entryIndex, char* out, size_t capacity) {
    MutexLock hold(lock_);
    if (!controller_ || out == nullptr || !controller_->IsDeviceOpenable(entryIndex)) {
        return 0;
    }
    return formatProductDeviceName(controller_->GetEntryProductId(entryIndex),
                                   controller_->GetEntryDeviceNumber(entryIndex), out, capacity)
               ? 1
               : 0;
}

int CLumvekU3K7Base::SetProductId(int productId) {
    productId_ = productId;
    return 1;
}

int CLumvekU3K7Base::GetEntryVendorId(int index) {
    MutexLock hold(lock_);
    return controller_ ? controller_->GetEntryVendorId(index) : 0;
}

int CLumvekU3K7Base::GetEntryProductId(int index) {
    MutexLock hold(lock_);
    return controller_ ? controller_->GetEntryProductId(index) : 0;
}

int CLumvekU3K7Base::GetEntryDeviceNumber(int index) {
    MutexLock hold(lock_);
    return controller_ ? controller_->GetEntryDeviceNumber(index) : -1;
}

int CLumvekU3K7Base::IsFrameDirectProduct() const {
    return row().frameDirect ? 1 : 0;
}

int CLumvekU3K7Base::UpdateFrameGeometry() {
    MutexLock hold(lock_);
    return updateFrameGeometryLocked();
}

int CLumvekU3K7Base::updateFrameGeometryLocked() {
    if (running_.load()) {
        // The transfer thread fills the receive buffer and the ring: never
        // free them under it.
        stopAcquisitionLocked();
    }
    receiveBuffer_.reset();
    receiveCapacity_ = 0;
    if (!sensor_) {
        return 0;
    }
    MutexLock driver(driverLock_);
    const SensorDescriptor& d = sensor_->descriptor();
    const uint64_t bufferBytes = productFrameBufferBytes(row(), d.windowWidth, d.windowHeight);
    const uint64_t frameBytes = productFrameBytes(row(), d.windowWidth, d.windowHeight, colorMode_);
    if (bufferBytes == 0 || bufferBytes > UINT32_MAX || frameBytes > bufferBytes) {
        return 0;
    }
    receiveBuffer_ = platform::allocateZeroed(static_cast<size_t>(bufferBytes));
    if (!receiveBuffer_) {
        return 0;
    }
    receiveCapacity_ = static_cast<size_t>(bufferBytes);
    frameBytes_ = static_cast<int>(frameBytes);
    publishCopyLayout();
    // The ring waits for readers copying a frame out; none of them needs
    // the driver lock.
    if (!ring_.allocate(static_cast<size_t>(bufferBytes))) {
        return 0;
    }
    if (row().frameDirect) {
        return 0;  // whole frames: no FPGA window registers
    }
    writeProductFrameGeometry(row(), *this, frameWindowOf(*sensor_));
    geometryStale_ = 0;
    return 1;
}

void CLumvekU3K7Base::publishCopyLayout() {
    CopyLayout layout;
    if (sensor_) {
        const SensorDescriptor& d = sensor_->descriptor();
        layout.hasDriver = true;
        layout.width = d.windowWidth;
        layout.height = d.windowHeight;
        layout.rawOrientation = d.rawOrientation;
        // Read from the camera once (the driver keeps it): only the product
        // whose frame copy mends the last row needs it.
        layout.revision = row().lastRowRepair ? sensor_->revisionValue() : 0;
    }
    MutexLock hold(layoutLock_);
    copyLayout_ = layout;
}

int CLumvekU3K7Base::SetColorMode(int mode) {
    MutexLock hold(lock_);
    if (!controller_) {
        return 0;
    }
    int stored = colorMode_;
    {
        MutexLock driver(driverLock_);
        if (!applyProductColorMode(row(), *this, mode, &stored)) {
            return 0;
        }
    }
    if (stored == colorMode_) {
        return 1;
    }
    colorMode_ = stored;
    geometryStale_ = 1;
    return updateFrameGeometryLocked();
}

int CLumvekU3K7Base::SetSpeedMode(int mode) {
    MutexLock hold(lock_);
    if (!sensor_) {
        return 0;
    }
    if (!row().frameDirect && mode == 2) {
        uint32_t speed = 0;
        if (!controller_ || !controller_->GetDeviceSpeed(&speed) || speed != fx3::kLinkSpeedSuper) {
            mode = 0;
        }
    }
    MutexLock driver(driverLock_);
    return sensor_->SetClockMode(mode);
}

int CLumvekU3K7Base::SetCaptureWindow(int x, int y, int width, int height, int subSampleMode) {
    MutexLock hold(lock_);
    if (!sensor_) {
        return 0;
    }
    MutexLock driver(driverLock_);
    SensorDescriptor& d = sensor_->descriptor();
    if (d.windowX == x && d.windowY == y && d.windowWidth == width && d.windowHeight == height &&
        d.subSampleMode == subSampleMode) {
        return 1;
    }
    const int result = sensor_->SetCaptureWindow(x, width, y, height, subSampleMode);
    int ax = x;
    int ay = y;
    int aw = width;
    int ah = height;
    int am = subSampleMode;
    if (sensor_->GetCaptureWindow(&ax, &aw, &ay, &ah, &am)) {
        d.windowX = ax;
        d.windowY = ay;
        d.windowWidth = aw;
        d.windowHeight = ah;
        d.subSampleMode = am;
    }
    geometryStale_ = 1;
    publishCopyLayout();
    return result;
}

int CLumvekU3K7Base::GetCaptureWindow(int* x, int* y, int* width, int* height, int* subSampleMode) {
    MutexLock hold(lock_);
    if (!sensor_) {
        return 0;
    }
    MutexLock driver(driverLock_);
    const SensorDescriptor& d = sensor_->descriptor();
    if (x) *x = d.windowX;
    if (y) *y = d.windowY;
    if (width) *width = d.windowWidth;
    if (height) *height = d.windowHeight;
    if (subSampleMode) *subSampleMode = d.subSampleMode;
    return 1;
}

int CLumvekU3K7Base::SetTriggerMode(int mode, int force) {
    MutexLock hold(lock_);
    if (!sensor_) {
        return 0;
    }
    if (force == 0 && mode == triggerMode_) {
        return 1;
    }
    stopAcquisitionLocked();
    ensureFrameEvent();
    // Without driverLock_: a trigger step may start acquisition and wait for
    // a frame.
    triggerMode_ = applyProductTriggerMode(row(), *this, mode);
    return 1;
}

int CLumvekU3K7Base::ReadFrameTag() {
    MutexLock hold(lock_);
    return readFrameTagLocked();
}

int CLumvekU3K7Base::readFrameTagLocked() {
    if (!controller_) {
        return 0;
    }
    uint8_t tag = 0;
    if (!controller_->ReadFpgaRegister(8, &tag)) {
        return 0;
    }
    lastFrameTag_ = tag;
    return 1;
}

int CLumvekU3K7Base::WriteRegister(int /*bank*/, int address, int value) {
    return withSensor([&](CSensorBase& s) {
        return s.WriteRegister(static_cast<uint32_t>(address), static_cast<uint32_t>(value));
    });
}

int CLumvekU3K7Base::ReadRegister(int /*bank*/, int address, int* ok) {
    uint32_t value = 0;
    const int success =
        withSensor([&](CSensorBase& s) { return s.ReadRegister(static_cast<uint32_t>(address), &value); });
    if (ok) *ok = success ? 1 : 0;
    return success ? static_cast<int>(value) : 0;
}

int CLumvekU3K7Base::WriteFpgaRegister(int reg, int value) {
    MutexLock hold(lock_);
    if (!controller_ || row().frameDirect) {
        return 0;
    }
    return controller_->WriteFpgaRegister(static_cast<uint8_t>(reg & 0xFF), static_cast<uint8_t>(value & 0xFF));
}

int CLumvekU3K7Base::ReadFpgaRegister(int reg, int* ok) {
    MutexLock hold(lock_);
    uint8_t value = 0;
    const int success = controller_ && !row().frameDirect &&
                        controller_->ReadFpgaRegister(static_cast<uint8_t>(reg & 0xFF), &value);
    if (ok) *ok = success ? 1 : 0;
    return success ? value : 0;
}

int CLumvekU3K7Base::WriteSromByte(uint16_t address, uint8_t value) {
    MutexLock hold(lock_);
    return writeSromByteLocked(address, value);
}

int CLumvekU3K7Base::writeSromByteLocked(uint16_t address, uint8_t value) {
    if (!controller_) {
        return 0;
    }
    if (!controller_->WriteSromByte(address, value)) {
        return 0;
    }
    // Verify: read back up to ten times, writing again on a mismatch. A byte
    // that never reads back as written is a failed write.
    for (int i = 0; i < kSromVerifyReads; ++i) {
        uint8_t back = 0;
        if (controller_->ReadSromByte(address, &back) && back == value) {
            return 1;
        }
        (void)controller_->WriteSromByte(address, value);
    }
    return 0;
}

int CLumvekU3K7Base::ReadSromByte(uint16_t address, uint8_t* value) {
    MutexLock hold(lock_);
    return controller_ && value ? controller_->ReadSromByte(address, value) : 0;
}

int CLumvekU3K7Base::WriteUserByte(uint8_t value) {
    return WriteSromByte(kUserByteAddress, value);
}

int CLumvekU3K7Base::ReadUserByte(uint8_t* value) {
    return ReadSromByte(kUserByteAddress, value);
}

// ---- ProductStepHost ----

CControllerBase* CLumvekU3K7Base::stepController() {
    return controller_.get();
}

int CLumvekU3K7Base::stepReadReadyStatus(uint8_t* status) {
    return controller_ ? controller_->ReadReadyStatus(status) : 0;
}

int CLumvekU3K7Base::stepWriteOutputMode(uint8_t mode) {
    return controller_ ? controller_->WriteOutputMode(mode) : 0;
}

int CLumvekU3K7Base::stepResetPort() {
    return controller_ ? controller_->ResetPort() : 0;
}

int CLumvekU3K7Base::stepResetPipe(uint8_t endpoint) {
    return controller_ ? controller_->ResetPipe(endpoint) : 0;
}

int CLumvekU3K7Base::stepRestartStream() {
    return controller_ ? controller_->RestartStream() : 0;
}

int CLumvekU3K7Base::stepReadSromByte(uint16_t address, uint8_t* value) {
    return controller_ ? controller_->ReadSromByte(address, value) : 0;
}

int CLumvekU3K7Base::stepWriteSromByte(uint16_t address, uint8_t value) {
    return controller_ ? controller_->WriteSromByte(address, value) : 0;
}

} // namespace lumvek
