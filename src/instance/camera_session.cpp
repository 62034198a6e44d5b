#include "instance/camera_session.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "camera/srom_block.h"

namespace lumvek {

namespace {
// The serial ROM keeps channel gains 1..4 then offsets 1..4 as little-endian
// 16-bit words from this address up.
constexpr uint16_t kChannelBlockAddress = 0x1062;
constexpr int kChannelBlockBytes = 16;
constexpr int kChannels = 4;
} // namespace

CameraSession::~CameraSession() {
    platform::MutexLock hold(lock_);
    release();
}

void CameraSession::install(std::unique_ptr<CameraDevice> device) {
    release();
    device_ = std::move(device);
}

void CameraSession::release() {
    if (device_) {
        (void)device_->Release();
        device_.reset();
    }
}

bool CameraSession::open(int index) {
    return device_ && device_->IsDeviceNumberPresent(index) && device_->CreateSensor(index);
}

void CameraSession::readChannelBlock() {
    uint8_t bytes[kChannelBlockBytes] = {};
    bool whole = device_ != nullptr;
    if (device_) {
        for (int i = 0; i < kChannelBlockBytes; ++i) {
            // A byte that cannot be read stays 0.
            if (!device_->ReadSromByte(static_cast<uint16_t>(kChannelBlockAddress + i), &bytes[i])) {
                bytes[i] = 0;
                whole = false;
            }
        }
    }
    channelBlockReadWhole_ = whole;
    std::copy(std::begin(bytes), std::end(bytes), channelBlockInRom_.begin());
    for (int c = 0; c < kChannels; ++c) {
        channels_.gain[c] = bytes[2 * c] | (bytes[2 * c + 1] << 8);
        channels_.offset[c] = bytes[8 + 2 * c] | (bytes[8 + 2 * c + 1] << 8);
    }
}

void CameraSession::writeChannelBlock() {
    if (!device_ || !channelBlockReadWhole_) {
        return;
    }
    std::array<uint8_t, kChannelBlockBytes> block{};
    for (int i = 0; i < kChannelBlockBytes; ++i) {
        const int word = i / 2;
        const int32_t value = word < kChannels ? channels_.gain[word] : channels_.offset[word - kChannels];
        block[i] = static_cast<uint8_t>(i % 2 == 0 ? value : value >> 8);
    }
    // Only the bytes that differ from the ROM's: an unchanged block costs no write.
    (void)writeChangedSromBytes(*device_, kChannelBlockAddress, channelBlockInRom_, block);
    channelBlockInRom_ = block;
}

void CameraSession::applyChannelValues() {
    if (!device_) {
        return;
    }
    for (int c = 1; c <= kChannels; ++c) {
        (void)device_->SetChannelGain(c, channels_.gain[c - 1]);
    }
    for (int c = 1; c <= kChannels; ++c) {
        (void)device_->SetChannelOffset(c, channels_.offset[c - 1]);
    }
}

} // namespace lumvek
