#pragma once
// The Lumvek C++ camera interface: opens a camera of any product of the
// family (the flat C API of LumvekSdk.h opens only R13 cameras) through the
// camera device object, and offers its operations with RAII ownership.
// Results are error codes, never exceptions: no function of this header
// throws, and a failed open gives a null pointer and the reason.
//
//   lumvek::Error error{};
//   auto camera = lumvek::Camera::open(0x32D0, 0, error);   // an R12, device number 0
//   auto same = lumvek::Camera::open("usb2-1.4", error);    // or by its id (lumvek list)
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
    int deviceNumber = 0;  // among the cameras of its product, in the order the table met them
    // The camera's stable id: the instance part of its device path, that is
    // its USB serial-number string where it has one, else its bus and port
    // path ("usb2-1.4"); a simulated camera's name. Device numbers change
    // when another camera is plugged in or started first; the id does not.
    std::string id;
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

// The colour filter of the raw frames copyFrame and snap deliver: the
// colours of the top-left 2 x 2 block, row 0 first. None for products whose
// frames carry three samples per pixel (the 0x3130 converter head).
enum class BayerOrder : int { GBRG = 0, RGGB = 1, BGGR = 2, GRBG = 3, None = -1 };

// "gbrg", "rggb", "bggr", "grbg" (GStreamer's video/x-bayer names), or "none".
inline const char* bayerOrderName(BayerOrder order) noexcept {
    switch (order) {
    case BayerOrder::GBRG: return "gbrg";
    case BayerOrder::RGGB: return "rggb";
    case BayerOrder::BGGR: return "bggr";
    case BayerOrder::GRBG: return "grbg";
    case BayerOrder::None: break;
    }
    return "none";
}

// What the SDK knows of one frame copied out. Times are nanoseconds of the
// host's CLOCK_MONOTONIC (...MonotonicNs) and CLOCK_REALTIME (...WallNs).
struct FrameMetadata {
    uint64_t frameNumber = 0;            // counts every frame the camera produced, from 1
    bool frameNumberFromCamera = false;  // from the header's frame tag (else counted by the host)
    uint64_t headerMonotonicNs = 0;      // the frame header arrived
    uint64_t headerWallNs = 0;
    uint64_t completeMonotonicNs = 0;    // the last pixel byte arrived
    uint64_t completeWallNs = 0;
    uint64_t deliveredMonotonicNs = 0;   // copyFrame handed it over
    int exposure = 0;                    // in force, 0.1 ms
    int gain = 0;
    bool sixteenBit = false;
    Window window;
    uint32_t framesLostBefore = 0;       // since the previous frame copied out
};

// The stream's counters since open() (or resetStatistics()); each loss is
// counted where it happens.
struct StreamStatistics {
    uint64_t framesDelivered = 0;       // copied out by copyFrame / snap
    uint64_t framesLostInTransfer = 0;  // never arrived whole: frame-tag gaps, failed frames
    uint64_t framesFailed = 0;          // reads that failed and were retried
    uint64_t transferResets = 0;        // stream recoveries
    uint64_t framesOverwritten = 0;     // arrived, overwritten before copyFrame took them
    uint64_t framesNotDelivered = 0;    // always 0 here: the application pulls its frames
    uint64_t bytesDelivered = 0;
    double frameRate = 0.0;             // frames copied out per second, last second or so
    uint64_t latencySamples = 0;
    uint64_t latencyMedianNs = 0;       // frame complete to copyFrame's return
    uint64_t latencyP99Ns = 0;
};

class LUMVEK_CAMERA_API Camera {
public:
    // Opens device number `deviceNumber` of product `productId`. Null with
    // `error` set when it cannot be opened.
    [[nodiscard]] static std::unique_ptr<Camera> open(int productId, int deviceNumber, Error& error) noexcept;
    // Opens the camera whose id (CameraEntry::id) is `id`, of any product.
    // NotFound when no camera in the table has it.
    [[nodiscard]] static std::unique_ptr<Camera> open(std::string_view id, Error& error) noexcept;
    ~Camera();  // stops acquisition and closes the camera
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    [[nodiscard]] int productId() const noexcept;
    [[nodiscard]] int deviceNumber() const noexcept;
    [[nodiscard]] const std::string& id() const noexcept;
    [[nodiscard]] CameraInfo info() const noexcept;

    // ---- frame geometry ----
    // Sets the capture window, or refuses it with InvalidArgument when it
    // breaks the camera's window rule (a side the camera reads out whole must
    // be the full sensor; the window lies within the sensor; the sensor's
    // minimum width and sub-sample modes). `reason` (the second form) gets
    // the rule broken and what would be accepted, the same words the tool,
    // Python and GStreamer give.
    Error setWindow(const Window& window) noexcept;
    Error setWindow(const Window& window, std::string& reason) noexcept;
    // Why setWindow would refuse `window`; empty when it would take it.
    [[nodiscard]] std::string windowProblem(const Window& window) const noexcept;
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
    // The Bayer order of the frames delivered now: the sensor's filter (B G /
    // G R at its first pixel) moved by the mirrors in force (a vertical
    // mirror exchanges the rows of the 2 x 2 block, a horizontal one its
    // columns).
    [[nodiscard]] BayerOrder bayerOrder() const noexcept;

    // Trigger mode: 0 free-running, non-zero frames on the external trigger.
    // What a mode does depends on the product:
    //   0x3030 (MT9P001), 0x3050 (ICX274): FPGA byte 36 and the sensor's own
    //       trigger; switching on runs one priming frame through the trigger
    //       path and leaves the transfer waiting for triggered frames.
    //   0x30F0 (IMX178), 0x3100 (IMX174): FPGA byte 48 (1 on, 0 off), with the
    //       sensor's trigger held on while the FPGA is reprogrammed.
    //   0x3150 (R02), 0x3170 (R01): FPGA byte 36 takes mode & 0x83 (bit 0 on,
    //       bit 1 and bit 7 the head's edge and source options).
    //   0x3260, 0x3270 (IMX990), 0x3280, 0x3290 (IMX991): mode 1 starts the
    //       transfer, switches the trigger on and reads off the first frame;
    //       mode 0 switches it off.
    //   0x31E0 (R08), 0x32D0 (R12), 0x3190 (R14): the head's FPGA trigger byte
    //       takes the mode as it is.
    //   0x3180 (R05): 1 on, anything else off, through the head's FPGA.
    //   The other IMX-type products (0x3110, 0x3120, 0x31B0, 0x31B4, 0x31C0,
    //       0x31C4, 0x31F0, 0x3200, 0x32A0, 0x32B0, 0x32C0, 0x32E0, 0x32F0,
    //       0x3300): the sensor's trigger register, 1 for any non-zero mode.
    //   0x3090 (R13), 0x30B0 (R07), 0x30C0 (R11) CCDs, 0x3020 (MT9F00x),
    //       0x3040, 0x3042 (MT9J001), 0x3140 (R06), 0x3130, 0x31A0 (R10),
    //       0x31D0 (R04), 0x3210 (R09), 0x3220 (G1467x): no trigger in the
    //       camera; the call is accepted and does nothing, frames run free.
    // Setting a mode stops a running acquisition first.
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
    // The same, with the metadata of the frame copied.
    Error copyFrame(uint8_t* buffer, size_t capacity, size_t& written, FrameMetadata& metadata) noexcept;
    Error snap(uint8_t* buffer, size_t capacity, size_t& written, int timeoutMs, FrameMetadata& metadata) noexcept;
    [[nodiscard]] StreamStatistics statistics() const noexcept;
    void resetStatistics() noexcept;

    struct Impl;

private:
    explicit Camera(std::unique_ptr<Impl> impl) noexcept;
    std::unique_ptr<Impl> impl_;
};

} // namespace lumvek
