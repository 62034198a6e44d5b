#include "output/avi/avi_writer.h"

#include <algorithm>
#include <cstring>

namespace lumvek {

using namespace avi;

namespace {

void putU32(uint8_t* p, uint32_t v) {
    for (int b = 0; b < 4; ++b) {
        p[b] = static_cast<uint8_t>(v >> (8 * b));
    }
}

} // namespace

AviWriter::AviWriter(uint64_t maxRiffBytes) : maxRiffBytes_(std::min<uint64_t>(maxRiffBytes, kMaxRiffBytes)) {}

AviWriter::~AviWriter() {
    if (isOpen()) {
        finalize(0);
    }
}

bool AviWriter::open(const char* path, int width, int height) {
    if (isOpen()) {
        finalize(0);
    }
    if (width <= 0 || height <= 0 ||
        static_cast<uint64_t>(height) * ((3ull * static_cast<uint64_t>(width) + 3) & ~3ull) > UINT32_MAX) {
        return false;
    }
    if (!file_.open(path)) {
        return false;
    }
    width_ = width;
    height_ = height;
    frameBytes_ = avi::frameBytes(width, height);
    index_.clear();
    moviBytes_ = kMoviSizeAtStart;
    const auto header = provisionalHeader(width, height);
    if (!file_.append(header.data(), header.size())) {
        file_.close();
        return false;
    }
    return true;
}

uint64_t AviWriter::projectedRiffBytes(uint64_t frames) const {
    const uint64_t chunks = frames * (kChunkHeaderBytes + static_cast<uint64_t>(frameBytes_));
    return kRiffSizeAtStart + chunks + kChunkHeaderBytes + frames * kIndexEntryBytes;
}

AviWriter::AppendResult AviWriter::appendFrame(const ImageBuffer& frame) {
    if (!isOpen()) {
        return AppendResult::NotOpen;
    }
    if (frame.empty() || frame.bitsPerPixel() != 24 || frame.width() != width_ || frame.height() != height_ ||
        frame.sizeBytes() != frameBytes_) {
        return AppendResult::WrongFrame;
    }
    if (projectedRiffBytes(index_.size() + 1) > maxRiffBytes_) {
        return AppendResult::SizeLimit;
    }
    // Grow by half the capacity when full: amortised constant per frame.
    if (index_.size() == index_.capacity()) {
        index_.reserve(index_.capacity() + std::max<size_t>(16, index_.capacity() / 2));
    }
    const uint64_t chunkStart = file_.length();
    uint8_t chunkHeader[kChunkHeaderBytes];
    std::memcpy(chunkHeader, "00db", 4);
    putU32(chunkHeader + 4, frameBytes_);
    if (!file_.append(chunkHeader, sizeof chunkHeader) || !file_.append(frame.pixels(), frameBytes_)) {
        (void)file_.truncateTo(chunkStart);
        return AppendResult::WriteFailed;
    }
    index_.push_back({static_cast<uint32_t>(moviBytes_)});
    moviBytes_ += kChunkHeaderBytes + frameBytes_;
    return AppendResult::Appended;
}

bool AviWriter::finalize(uint32_t elapsedMs) {
    if (!isOpen()) {
        return false;
    }
    const auto frames = static_cast<uint32_t>(index_.size());
    // Whatever a failed write left after the last whole frame goes.
    bool ok = file_.truncateTo(kHeaderBytes - kMoviSizeAtStart + moviBytes_);

    std::vector<uint8_t> indexBytes(kChunkHeaderBytes + static_cast<size_t>(frames) * kIndexEntryBytes);
    std::memcpy(indexBytes.data(), "idx1", 4);
    putU32(indexBytes.data() + 4, frames * kIndexEntryBytes);
    for (size_t i = 0; i < index_.size(); ++i) {
        uint8_t* e = indexBytes.data() + kChunkHeaderBytes + i * kIndexEntryBytes;
        std::memcpy(e, "00db", 4);
        putU32(e + 4, kKeyFrameFlag);
        putU32(e + 8, index_[i].moviOffset);
        putU32(e + 12, frameBytes_);
    }
    ok = ok && file_.append(indexBytes.data(), indexBytes.size());

    const uint32_t rate = measuredRateHundredths(frames, elapsedMs);
    ok = ok && file_.patchU32(kRiffSizeOffset, static_cast<uint32_t>(projectedRiffBytes(frames)));
    ok = ok && file_.patchU32(kMoviSizeOffset, static_cast<uint32_t>(moviBytes_));
    ok = ok && file_.patchU32(kTotalFramesOffset, frames);
    ok = ok && file_.patchU32(kStreamLengthOffset, frames);
    ok = ok && file_.patchU32(kMicrosecondsPerFrameOffset, microsecondsPerFrame(rate));
    ok = ok && file_.patchU32(kStreamScaleOffset, streamScale(rate));
    index_.clear();
    return file_.close() && ok;
}

} // namespace lumvek
