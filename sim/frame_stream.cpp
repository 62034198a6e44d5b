// The simulated camera's frame stream. Each arm request (0xC2) renders the
// sensor's next frame; its frame boundary releases a 64-byte header on endpoint 0x81
// (frame index at 0, width 4, height 8, bytes per sample 12, pixel-data byte
// count 16, frame tag 32), then the pixel data in reads of any size. Product
// 0x3042 sends each armed frame whole on endpoint 0x83 instead. Frames follow
// the sensor's free-running period: frame k is ready at start + k x period.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/fx3/fx3_driver.h"
#include "sim/simulated_camera.h"

namespace lumvek::sim {

namespace {
// How often a waiting read looks at the stream state and its cancellation.
constexpr uint32_t kIdlePollMs = 2;
constexpr double kFallbackPeriodMs = 50.0;

int64_t threadCpuNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Adds the calling thread's processor time over its lifetime to a counter.
class WorkTimer {
public:
    explicit WorkTimer(std::atomic<int64_t>& total) : total_(total), start_(threadCpuNanoseconds()) {}
    ~WorkTimer() { total_.fetch_add(threadCpuNanoseconds() - start_, std::memory_order_relaxed); }
    WorkTimer(const WorkTimer&) = delete;
    WorkTimer& operator=(const WorkTimer&) = delete;

private:
    std::atomic<int64_t>& total_;
    int64_t start_;
};

void put32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
} // namespace

FrameGeometry SimulatedCamera::geometryLocked() const {
    FrameGeometry g;
    const uint8_t widthReg = profile_.alternateWindowRegisters ? fpga::kAltWidthLow : fpga::kWidthLow;
    const uint8_t heightReg = profile_.alternateWindowRegisters ? fpga::kAltHeightLow : fpga::kHeightLow;
    g.width = fpga_.get16(widthReg);
    g.height = fpga_.get16(heightReg);
    g.width *= profile_.samplesPerPixel;
    if (profile_.wholeFrameEndpoint) {
        if (const auto size = model_->outputSize()) {
            g.width = size->first;
            g.height = size->second;
        }
    }
    if (profile_.wholeFrameEndpoint) {
        g.bytesPerSample = outputMode_ == 1 ? 2 : 1;
    } else {
        const uint8_t depthReg = profile_.alternateWindowRegisters ? fpga::kAltSampleDepth : fpga::kSampleDepth;
        g.bytesPerSample = fpga_.get(depthReg) == 2 ? 2 : 1;
    }
    // A frame never exceeds what one transfer can carry.
    const size_t rowBytes = size_t{g.width} * g.bytesPerSample;
    if (rowBytes != 0 && rowBytes * g.height > fx3::kMaxDataTransferBytes) {
        g.height = static_cast<uint32_t>(fx3::kMaxDataTransferBytes / rowBytes);
    }
    return g;
}

FrameGeometry SimulatedCamera::currentGeometry() const {
    std::lock_guard lock(stateMutex_);
    return geometryLocked();
}

double SimulatedCamera::periodMsLocked() const {
    if (description_.fps) {
        return 1000.0 / *description_.fps;
    }
    const double period = sim::framePeriodMs(model_->timing());
    return period > 0.0 ? period : kFallbackPeriodMs;
}

double SimulatedCamera::framePeriodMs() const {
    std::lock_guard lock(stateMutex_);
    return periodMsLocked();
}

uint32_t SimulatedCamera::sensorFrameIndexLocked(Clock::time_point at) const {
    const double elapsedMs = std::chrono::duration<double, std::milli>(at - start_).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(std::max(0.0, elapsedMs) / periodMsLocked()));
}

void SimulatedCamera::resetStreamLocked() {
    phase_ = StreamPhase::Idle;
    dataOffset_ = dataEnd_ = 0;
}

double SimulatedCamera::workCpuSeconds() const {
    return static_cast<double>(workNanoseconds_.load(std::memory_order_relaxed)) * 1e-9;
}

void SimulatedCamera::prepareFrameLocked(uint32_t frameIndex) {
    const WorkTimer timer(workNanoseconds_);
    const FrameGeometry g = geometryLocked();
    frame_.resize(g.frameBytes());
    model_->render(RenderContext{g, frameIndex, fpga_, *scene_}, frame_);
    uint32_t announced = static_cast<uint32_t>(frame_.size());
    dataEnd_ = frame_.size();
    if (faults_.takeOversize()) {
        announced = kOversizeByteCount;
    }
    if (faults_.takeShortData()) {
        dataEnd_ = frame_.size() / 2;
    }
    if (faults_.takeUndersize()) {
        // Announced and sent alike: only a check against the frame size finds it.
        dataEnd_ = frame_.size() / 2;
        announced = static_cast<uint32_t>(dataEnd_);
    }
    dataOffset_ = 0;
    header_.fill(0);
    put32(header_.data(), frameIndex);
    put32(header_.data() + 4, g.width);
    put32(header_.data() + 8, g.height);
    put32(header_.data() + 12, g.bytesPerSample);
    put32(header_.data() + kFrameHeaderPixelCountOffset, announced);
    put32(header_.data() + kFrameHeaderTagOffset, frameIndex & 0xFF);
}

bool SimulatedCamera::paceDataLocked(std::unique_lock<std::mutex>& lock, size_t bytes,
                                     const fx3::CancelToken& cancel) {
    const double rate = faults_.rateMBps();
    if (rate <= 0.0) {
        return true;
    }
    const auto now = Clock::now();
    const auto cost = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bytes / (rate * 1e6)));
    const auto due = std::max(now, rateClock_) + cost;
    rateClock_ = due;
    lock.unlock();
    const auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count();
    const bool cancelled = waitMs > 0 && cancel.sleepFor(static_cast<uint32_t>(waitMs));
    lock.lock();
    return !cancelled && connected_;
}

fx3::BulkResult SimulatedCamera::bulkRead(uint8_t endpoint, std::span<uint8_t> buffer, uint32_t timeoutMs,
                                          const fx3::CancelToken& cancel) {
    if (!connected_) {
        return {fx3::kErrorDeviceNotConnected, 0};
    }
    if (const uint32_t stall = faults_.stallMs(); stall > 0 && cancel.sleepFor(stall)) {
        return {fx3::kErrorOperationAborted, 0};
    }
    const uint8_t streamEndpoint = profile_.wholeFrameEndpoint ? fx3::kEndpointWholeFrames : fx3::kEndpointFrames;
    if (endpoint != streamEndpoint) {
        return {fx3::kErrorGenFailure, 0};  // no such pipe
    }
    return profile_.wholeFrameEndpoint ? readWholeFrame(buffer, timeoutMs, cancel)
                                       : readHeadered(buffer, timeoutMs, cancel);
}

fx3::BulkResult SimulatedCamera::readHeadered(std::span<uint8_t> buffer, uint32_t timeoutMs,
                                              const fx3::CancelToken& cancel) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(stateMutex_);
    for (;;) {
        if (!connected_) {
            return {fx3::kErrorDeviceNotConnected, 0};
        }
        const auto now = Clock::now();
        auto waitUntil = now + std::chrono::milliseconds(kIdlePollMs);
        if (phase_ == StreamPhase::HeaderPending) {
            const double period = periodMsLocked();
            const uint32_t index = sensorFrameIndexLocked(armedAt_) + 1;
            const auto ready = start_ + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double, std::milli>(index * period));
            if (now >= ready) {
                if (faults_.takeDropHeader()) {
                    resetStreamLocked();  // lost: nothing comes until the next arm
                    continue;
                }
                const size_t n = std::min(buffer.size(), kFrameHeaderBytes);
                std::memcpy(buffer.data(), header_.data(), n);
                phase_ = dataEnd_ > 0 ? StreamPhase::Data : StreamPhase::Idle;
                return {fx3::kErrorSuccess, static_cast<uint32_t>(n)};
            }
            waitUntil = ready;
        } else if (phase_ == StreamPhase::Data) {
            const size_t n = std::min(buffer.size(), dataEnd_ - dataOffset_);
            if (!paceDataLocked(lock, n, cancel)) {
                return {connected_ ? fx3::kErrorOperationAborted : fx3::kErrorDeviceNotConnected, 0};
            }
            if (phase_ == StreamPhase::Data && dataOffset_ + n <= dataEnd_) {
                const WorkTimer timer(workNanoseconds_);
                std::memcpy(buffer.data(), frame_.data() + dataOffset_, n);
                dataOffset_ += n;
                if (dataOffset_ >= dataEnd_) {
                    phase_ = StreamPhase::Idle;
                }
                return {fx3::kErrorSuccess, static_cast<uint32_t>(n)};
            }
            continue;  // the stream was reset while pacing
        }
        if (timeoutMs != 0 && now >= deadline) {
            return {fx3::kErrorSemTimeout, 0};
        }
        if (timeoutMs != 0) {
            waitUntil = std::min(waitUntil, deadline);
        }
        lock.unlock();
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(waitUntil - now).count();
        const bool cancelled = cancel.sleepFor(static_cast<uint32_t>(std::clamp<int64_t>(waitMs, 0, kIdlePollMs * 50)));
        lock.lock();
        if (cancelled) {
            return {fx3::kErrorOperationAborted, 0};
        }
    }
}

fx3::BulkResult SimulatedCamera::readWholeFrame(std::span<uint8_t> buffer, uint32_t timeoutMs,
                                                const fx3::CancelToken& cancel) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(stateMutex_);
    for (;;) {
        if (!connected_) {
            return {fx3::kErrorDeviceNotConnected, 0};
        }
        const auto now = Clock::now();
        auto waitUntil = now + std::chrono::milliseconds(kIdlePollMs);
        if (phase_ == StreamPhase::HeaderPending) {
            const uint32_t index = sensorFrameIndexLocked(armedAt_) + 1;
            const auto ready = start_ + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double, std::milli>(index * periodMsLocked()));
            if (now >= ready) {
                const size_t n = std::min(buffer.size(), dataEnd_);
                if (!paceDataLocked(lock, n, cancel)) {
                    return {connected_ ? fx3::kErrorOperationAborted : fx3::kErrorDeviceNotConnected, 0};
                }
                {
                    const WorkTimer timer(workNanoseconds_);
                    std::memcpy(buffer.data(), frame_.data(), std::min(n, frame_.size()));
                }
                resetStreamLocked();
                return {fx3::kErrorSuccess, static_cast<uint32_t>(n)};
            }
            waitUntil = ready;
        }
        if (timeoutMs != 0 && now >= deadline) {
            return {fx3::kErrorSemTimeout, 0};
        }
        if (timeoutMs != 0) {
            waitUntil = std::min(waitUntil, deadline);
        }
        lock.unlock();
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(waitUntil - now).count();
        const bool cancelled = cancel.sleepFor(static_cast<uint32_t>(std::clamp<int64_t>(waitMs, 0, kIdlePollMs * 50)));
        lock.lock();
        if (cancelled) {
            return {fx3::kErrorOperationAborted, 0};
        }
    }
}

bool SimulatedCamera::resetPipe(uint8_t) {
    if (!connected_) {
        return false;
    }
    std::lock_guard lock(stateMutex_);
    if (phase_ == StreamPhase::Data) {
        resetStreamLocked();
    }
    return true;
}

bool SimulatedCamera::resetPort() {
    if (!connected_) {
        return false;
    }
    std::lock_guard lock(stateMutex_);
    resetStreamLocked();
    return true;
}

} // namespace lumvek::sim
