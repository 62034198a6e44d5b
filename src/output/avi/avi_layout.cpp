#include "output/avi/avi_layout.h"

#include <algorithm>
#include <cstring>
#include <utility>

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
    void fourCc(const char (&code)[5]) { bytes_.insert(bytes_.end(), code, code + 4); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void u16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    [[nodiscard]] std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Everything from "RIFF" to the end of the stream format, with the given
// list sizes; the two layouts differ only after it.
void mainAndStreamHeaders(HeaderBuilder& h, int width, int height, uint32_t headerListBytes, uint32_t streamListBytes) {
    const uint32_t frame = frameBytes(width, height);
    const uint32_t provisionalFps = kProvisionalRateHundredths / 100;

    h.fourCc("RIFF");
    h.u32(0);  // RIFF size, patched at the end
    h.fourCc("AVI ");
    h.fourCc("LIST");
    h.u32(headerListBytes);
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
    h.u32(streamListBytes);
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
}

} // namespace

std::array<uint8_t, kHeaderBytes> provisionalHeader(int width, int height) {
    HeaderBuilder h;
    mainAndStreamHeaders(h, width, height, kHeaderListBytes, kStreamListBytes);
    h.fourCc("LIST");
    h.u32(0);  // movi size, patched
    h.fourCc("movi");
    std::array<uint8_t, kHeaderBytes> bytes{};
    std::copy(h.bytes().begin(), h.bytes().end(), bytes.begin());
    return bytes;
}

std::vector<uint8_t> provisionalOpenDmlHeader(int width, int height) {
    constexpr uint32_t kOdmlListBytes = 4 + kChunkHeaderBytes + kDmlhBytes;
    constexpr uint32_t streamListBytes = kStreamListBytes + kChunkHeaderBytes + kSuperIndexBytes;
    constexpr uint32_t headerListBytes =
        kHeaderListBytes + kChunkHeaderBytes + kSuperIndexBytes + kChunkHeaderBytes + kOdmlListBytes;
    HeaderBuilder h;
    mainAndStreamHeaders(h, width, height, headerListBytes, streamListBytes);
    // Room for the super index; readers skip it until it becomes one.
    h.fourCc("JUNK");
    h.u32(kSuperIndexBytes);
    h.zeros(kSuperIndexBytes);
    h.fourCc("LIST");
    h.u32(kOdmlListBytes);
    h.fourCc("odml");
    h.fourCc("dmlh");
    h.u32(kDmlhBytes);
    h.zeros(kDmlhBytes);  // total frames first, patched
    h.fourCc("LIST");
    h.u32(0);  // movi size, patched
    h.fourCc("movi");
    return std::move(h.bytes());
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
