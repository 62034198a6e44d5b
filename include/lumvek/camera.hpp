#pragma once
// The Lumvek C++ camera interface: opens a camera of any product of the
// family (the flat C API of LumvekSdk.h opens only R13 cameras) through the
// camera device object, and offers its operations with RAII ownership.
// Results are error codes, never exceptions: no function of this header
// throws, and a failed open gives a null pointer and the reason.
//
//   lumvek::Error error{};
//   auto camera = lumvek::Camera::open(0x32D0, 0, error);   // an R12, device number 0
//   if (!camera) { std::puts(lumvek::errorText(error)); return 1; }
//   camera->setExposure(500);                              // 50 ms
//   std::vector<uint8_t> frame(camera->frameBytes());
//   size_t got = 0;
//   error = camera->snap(frame.data(), frame.size(), got, 3000);
//
// Link with LumvekSdk::LumvekCamera (CMake) or -lLumvekCamera. One Camera is
// used from one thread at a time.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#if defined(LUMVEK_CAMERA_BUILD)
#define LUMVEK_CAMERA_API __declspec(dllexport)
#else
#define LUMVEK_CAMERA_API __declspec(dllimport)
#endif
#elif defined(LUMVEK_CAMERA_BUILD)
#define LUMVEK_CAMERA_API __attribute__((visibility("default")))
#else
#define LUMVEK_CAMERA_API
#endif

namespace lumvek {

enum class Error : int {
    None = 0,
    NotFound,         // no camera of that product and number
    OpenFailed,       // present, but it did not start (probe, start-up)
    Unsupported,      // the camera's sensor does not have this feature
    Failed,           // the camera refused or did not answer
    InvalidArgument,  // out of range, or a null buffer
    Timeout,          // no frame within the time allowed
    BufferTooSmall,   // the buffer cannot hold a frame
    OutOfMemory,
};

// A short English text for an error code.
LUMVEK_CAMERA_API const char* errorText(Error error) noexcept;

// One camera of the open-device table.
struct CameraEntry {
    int productId = 0;
    int deviceNumber = 0;  // among the cameras of its product
    std::string name;      // the device name, or the driver class where the product has none
    bool openable = false; // present and not held by another process
};

// Every camera now attached, of every product, in table order. Empty on
// failure; `error` says why when given.
LUMVEK_CAMERA_API std::vector<CameraEntry> listCameras(Error* error = nullptr) noexcept;

struct CameraInfo {
    int productId = 0;
    int fullWidth = 0;
    int fullHeight = 0;
    bool windowAdjustable = false;
    int gainMin = 0, gainMax = 0, gainDefault = 0;
    int exposureMin = 0, exposureMax = 0, exposureDefault = 0;  // 0.1 ms
    bool exposureSecondsAvailable = false;
    double exposureSecondsMin = 0.0, exposureSecondsMax = 0.0;
    bool blackLevelAvailable = false;
    int blackLevelMin = 0, blackLevelMax = 0;
    bool coolingAvailable = false;
    bool temperatureAvailable = false;
    bool textLink = false;
    int clockKHz = 0;
};

struct Window {
    int x = 0, y = 0, width = 0, height = 0;
    int subSample = 0;  // 0 full, 1 one half, 2 one quarter
};

class LUMVEK_CAMERA_API Camera {
public:
    // Opens device number `deviceNumber` of product `productId`. Null with
    // `error` set when it cannot be opened.
    [[nodiscard]] static std::unique_ptr<Camera> open(int productId, int deviceNumber, Error& error) noexcept;
    ~Camera();  // stops acquisition and closes the camera
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    [[nodiscard]] int productId() const noexcept;
    [[nodiscard]] int deviceNumber() const noexcept;
    [[nodiscard]] CameraInfo info() const noexcept;

    // ---- frame geometry ----
    Error setWindow(const Window& window) noexcept;
    [[nodiscard]] Window window() const noexcept;
    // false: 8 bits per sample, true: 16 bits.
    Error setSixteenBit(bool sixteen) noexcept;
    // Bytes of one frame as copyFrame and snap deliver it.
    [[nodiscard]] size_t frameBytes() const noexcept;

    // ---- exposure and gains ----
    Error setExposure(int tenthsOfMs) noexcept;
    Error exposure(int& tenthsOfMs) const noexcept;
    Error setExposureSeconds(double seconds) noexcept;
    Error exposureSeconds(double& seconds) const noexcept;
    Error setGain(int gain) noexcept;
    Error gain(int& gain) const noexcept;
    Error setBlackLevel(int level) noexcept;
    Error blackLevel(int& level) const noexcept;
    Error setMirror(bool horizontal, bool vertical) noexcept;
    Error mirror(bool& horizontal, bool& vertical) const noexcept;
    Error setTriggerMode(int mode) noexcept;

    // ---- cooling and temperature ----
    Error setCooling(bool on) noexcept;
    Error cooling(bool& on) const noexcept;
    Error temperature(double& celsius) const noexcept;

    // ---- the R05 head's text link ----
    Error sendText(std::string_view text) noexcept;
    // One reply line (empty when none is waiting).
    Error receiveText(std::string& line) noexcept;

    // ---- registers ----
    Error writeRegister(uint32_t address, uint32_t value) noexcept;
    Error readRegister(uint32_t address, uint32_t& value) const noexcept;
    Error writeFpgaRegister(uint8_t reg, uint8_t value) noexcept;
    Error readFpgaRegister(uint8_t reg, uint8_t& value) const noexcept;

    // ---- frames ----
    // continuous: stream until stop(); else one frame.
    Error start(bool continuous) noexcept;
    Error stop() noexcept;
    // Waits for a new frame; Timeout when none came.
    Error waitFrame(int timeoutMs) noexcept;
    // The newest frame, rows top to bottom, into buffer; `written` bytes.
    Error copyFrame(uint8_t* buffer, size_t capacity, size_t& written) noexcept;
    // start(false), waitFrame, copyFrame, stop().
    Error snap(uint8_t* buffer, size_t capacity, size_t& written, int timeoutMs) noexcept;

    struct Impl;

private:
    explicit Camera(std::unique_ptr<Impl> impl) noexcept;
    std::unique_ptr<Impl> impl_;
};

} // namespace lumvek
