#include "output/avi/avi_layout.h"

#include <algorithm>
#include <cstring>

namespace lumvek::avi {

namespace {

constexpr uint32_t kMainHeaderBytes = 56;
constexpr uint32_t kStreamHeaderBytes = 64;
constexpr uint32_t kStreamFormatBytes = 40;
constexpr uint32_t kHeaderListBytes = 200;  // "hdrl" .. end of "strf"
constexpr uint32_t kStreamListBytes = 124;  // "strl" .. end of "strf"
constexpr uint32_t kMainFlags = 0x00010010;  // has index, capture file
constexpr uint32_t kStreamRate = 10000000;

class HeaderBuilder {
public:
    explicit HeaderBuilder(std::array<uint8_t, kHeaderBytes>& bytes) : bytes_(bytes) {}
    void fourCc(const char (&code)[5]) {
        std::memcpy(&bytes_[at_], code, 4);
        at_ += 4;
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes_[at_++] = static_cast<uint8_t>(v >> (8 * i));
        }
    }
    void u16(uint16_t v) {
        bytes_[at_++] = static_cast<uint8_t>(v);
        bytes_[at_++] = static_cast<uint8_t>(v >> 8);
    }
    void zeros(size_t n) { at_ += n; }  // the array starts zeroed
    [[nodiscard]] size_t at() const { return at_; }

private:
    std::array<uint8_t, kHeaderBytes>& bytes_;
    size_t at_ = 0;
};

} // namespace

std::array<uint8_t, kHeaderBytes> provisionalHeader(int width, int height) {
    std::array<uint8_t, kHeaderBytes> bytes{};
    HeaderBuilder h(bytes);
    const uint32_t frame = frameBytes(width, height);
    const uint32_t provisionalFps = kProvisionalRateHundredths / 100;

    h.fourCc("RIFF");
    h.u32(0);  // RIFF size, patched at the end
    h.fourCc("AVI ");
    h.fourCc("LIST");
    h.u32(kHeaderListBytes);
    h.fourCc("hdrl");
    h.fourCc("avih");
    h.u32(kMainHeaderBytes);
    h.u32(1000000 / provisionalFps);             // microseconds per frame
    h.u32((frame + kChunkHeaderBytes) * provisionalFps);  // maximum bytes per second
    h.u32(0);                                    // padding granularity
    h.u32(kMainFlags);
    h.u32(0);  // total frames, patched
    h.u32(0);  // initial frames
    h.u32(1);  // streams
    h.u32(frame + kChunkHeaderBytes);            // suggested buffer size
    h.u32(static_cast<uint32_t>(width));
    h.u32(static_cast<uint32_t>(height));
    h.zeros(16);

    h.fourCc("LIST");
    h.u32(kStreamListBytes);
    h.fourCc("strl");
    h.fourCc("strh");
    h.u32(kStreamHeaderBytes);
    h.fourCc("vids");
    h.fourCc("DIB ");
    h.u32(0);  // flags
    h.u16(0);  // priority
    h.u16(0);  // language
    h.u32(0);  // initial frames
    h.u32(kStreamRate / provisionalFps);  // scale, patched
    h.u32(kStreamRate);
    h.u32(0);  // start
    h.u32(0);  // length, patched
    h.u32(frame + kChunkHeaderBytes);
    h.u32(0);  // quality
    h.u32(0);  // sample size
    h.zeros(16);  // frame rectangle

    h.fourCc("strf");
    h.u32(kStreamFormatBytes);
    h.u32(kStreamFormatBytes);  // BITMAPINFOHEADER: size
    h.u32(static_cast<uint32_t>(width));
    h.u32(static_cast<uint32_t>(height));  // positive: bottom-up
    h.u16(1);   // planes
    h.u16(24);  // bits per pixel
    h.zeros(24);  // compression, image size, resolutions, colours

    h.fourCc("LIST");
    h.u32(0);  // movi size, patched
    h.fourCc("movi");
    return bytes;
}

uint32_t measuredRateHundredths(uint64_t frames, uint32_t elapsedMs) {
    if (elapsedMs == 0) {
        return kProvisionalRateHundredths;
    }
    const uint64_t rate = frames * 100000u / elapsedMs;
    if (rate == 0) {
        return kProvisionalRateHundredths;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(rate, UINT32_MAX));
}

uint32_t microsecondsPerFrame(uint32_t rateHundredths) {
    const uint32_t rate = rateHundredths == 0 ? kProvisionalRateHundredths : rateHundredths;
    return std::max<uint32_t>(1, 100000000u / rate);
}

uint32_t streamScale(uint32_t rateHundredths) {
    const uint32_t rate = rateHundredths == 0 ? kProvisionalRateHundredths : rateHundredths;
    return std::max<uint32_t>(1, 1000000000u / rate);
}

} // namespace lumvek::avi
