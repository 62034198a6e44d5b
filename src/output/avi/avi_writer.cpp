#include "output/avi/avi_writer.h"

#include <algorithm>
#include <cstring>

namespace lumvek {

using namespace avi;

namespace {

constexpr uint32_t kIndexOfIndexes = 0x00;  // "indx": entries name standard indexes
constexpr uint32_t kIndexOfChunks = 0x01;   // "ix00": entries name frame chunks
constexpr uint16_t kSuperIndexLongsPerEntry = 4;
constexpr uint16_t kStandardIndexLongsPerEntry = 2;
constexpr size_t kMaxNoteBytes = 240;

class Bytes {
public:
    void fourCc(const char (&code)[5]) { bytes_.insert(bytes_.end(), code, code + 4); }
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void u64(uint64_t v) {
        u32(static_cast<uint32_t>(v));
        u32(static_cast<uint32_t>(v >> 32));
    }
    void zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void text(const std::string& s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
    [[nodiscard]] const std::vector<uint8_t>& get() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

uint64_t standardIndexBytes(uint64_t frames) {
    return kChunkHeaderBytes + kStandardIndexHeaderBytes + frames * kStandardIndexEntryBytes;
}

uint64_t oldIndexBytes(uint64_t frames) {
    return kChunkHeaderBytes + frames * kIndexEntryBytes;
}

} // namespace

AviWriter::AviWriter(uint64_t maxRiffBytes, uint64_t openDmlRiffBytes)
    : maxRiffBytes_(std::min<uint64_t>(maxRiffBytes, kMaxRiffBytes)),
      openDmlRiffBytes_(std::min<uint64_t>(openDmlRiffBytes, kMaxRiffBytes)) {}

AviWriter::~AviWriter() {
    if (isOpen()) {
        finalize(0);
    }
}

bool AviWriter::open(const char* path, int width, int height, Layout layout) {
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
    layout_ = layout;
    width_ = width;
    height_ = height;
    frameBytes_ = avi::frameBytes(width, height);
    totalFrames_ = 0;
    firstRiffFrames_ = 0;
    riffChunks_.clear();
    superIndex_.clear();
    riffStarts_.assign(1, 0);
    bool written;
    if (layout == Layout::Classic) {
        const auto header = provisionalHeader(width, height);
        written = file_.append(header.data(), header.size());
        moviStart_ = kMoviSizeOffset + 4;
    } else {
        const auto header = provisionalOpenDmlHeader(width, height);
        written = file_.append(header.data(), header.size());
        moviStart_ = kOpenDmlMoviSizeOffset + 4;
    }
    // Only a file with its whole header takes the path's name.
    if (!written || !file_.publish()) {
        file_.close();
        return false;
    }
    dataEnd_ = file_.length();
    riffOpen_ = true;
    return true;
}

uint64_t AviWriter::classicRiffBytes(uint64_t frames) const {
    const uint64_t chunks = frames * (kChunkHeaderBytes + static_cast<uint64_t>(frameBytes_));
    return kRiffSizeAtStart + chunks + kChunkHeaderBytes + frames * kIndexEntryBytes;
}

// The current RIFF's size once closed, with `frames` frames in it.
uint64_t AviWriter::openDmlRiffBytesWith(uint64_t frames) const {
    const uint64_t chunksEnd = moviStart_ + 4 + frames * (kChunkHeaderBytes + static_cast<uint64_t>(frameBytes_));
    const uint64_t start = riffStarts_.back();
    return chunksEnd - start - kChunkHeaderBytes + standardIndexBytes(frames) + (isFirstRiff() ? oldIndexBytes(frames) : 0);
}

uint32_t AviWriter::firstRiffFrameCount() const {
    return riffOpen_ && isFirstRiff() ? static_cast<uint32_t>(riffChunks_.size()) : firstRiffFrames_;
}

bool AviWriter::writeChunk(const ImageBuffer& frame) {
    uint8_t chunkHeader[kChunkHeaderBytes];
    std::memcpy(chunkHeader, "00db", 4);
    for (int b = 0; b < 4; ++b) {
        chunkHeader[4 + b] = static_cast<uint8_t>(frameBytes_ >> (8 * b));
    }
    if (!file_.append(chunkHeader, sizeof chunkHeader) || !file_.append(frame.pixels(), frameBytes_)) {
        (void)file_.truncateTo(dataEnd_);
        return false;
    }
    // Grow by half the capacity when full: amortised constant per frame.
    if (riffChunks_.size() == riffChunks_.capacity()) {
        riffChunks_.reserve(riffChunks_.capacity() + std::max<size_t>(16, riffChunks_.capacity() / 2));
    }
    riffChunks_.push_back(static_cast<uint32_t>(dataEnd_ - moviStart_));
    dataEnd_ = file_.length();
    ++totalFrames_;
    return true;
}

AviWriter::AppendResult AviWriter::appendFrame(const ImageBuffer& frame) {
    if (!isOpen()) {
        return AppendResult::NotOpen;
    }
    if (frame.empty() || frame.bitsPerPixel() != 24 || frame.width() != width_ || frame.height() != height_ ||
        frame.sizeBytes() != frameBytes_) {
        return AppendResult::WrongFrame;
    }
    if (layout_ == Layout::Classic) {
        if (classicRiffBytes(riffChunks_.size() + 1) > maxRiffBytes_) {
            return AppendResult::SizeLimit;
        }
        return writeChunk(frame) ? AppendResult::Appended : AppendResult::WriteFailed;
    }
    if (riffOpen_ && openDmlRiffBytesWith(riffChunks_.size() + 1) > openDmlRiffBytes_) {
        // One RIFF and one super index entry more, if the frame fits a RIFF at all.
        if (riffChunks_.empty() || superIndex_.size() + 2 > kSuperIndexEntries) {
            return AppendResult::SizeLimit;
        }
        if (!closeRiff(false)) {
            return AppendResult::WriteFailed;
        }
    }
    if (!riffOpen_ && !beginRiff()) {
        return AppendResult::WriteFailed;
    }
    if (openDmlRiffBytesWith(riffChunks_.size() + 1) > openDmlRiffBytes_) {
        return AppendResult::SizeLimit;  // not even alone in a RIFF
    }
    return writeChunk(frame) ? AppendResult::Appended : AppendResult::WriteFailed;
}

bool AviWriter::closeRiff(bool lastOfFile) {
    const uint64_t riffStart = riffStarts_.back();
    const auto frames = static_cast<uint32_t>(riffChunks_.size());
    const bool first = isFirstRiff();
    // The only RIFF of an OpenDML file needs no standard index: idx1 serves.
    const bool standardIndex = layout_ == Layout::OpenDml && !(first && lastOfFile);
    if (!file_.truncateTo(dataEnd_)) {
        return false;
    }
    uint64_t moviEnd = dataEnd_;
    bool ok = true;
    if (standardIndex) {
        Bytes ix;
        ix.fourCc("ix00");
        ix.u32(static_cast<uint32_t>(standardIndexBytes(frames) - kChunkHeaderBytes));
        ix.u16(kStandardIndexLongsPerEntry);
        ix.u8(0);  // sub-type
        ix.u8(kIndexOfChunks);
        ix.u32(frames);
        ix.fourCc("00db");
        ix.u64(moviStart_);  // base: the entries count from this RIFF's "movi"
        ix.u32(0);
        for (const uint32_t chunk : riffChunks_) {
            ix.u32(chunk + kChunkHeaderBytes);  // the frame's data, past its chunk header
            ix.u32(frameBytes_);                // key frame: top bit clear
        }
        ok = file_.append(ix.get().data(), ix.get().size());
        moviEnd = file_.length();
    }
    if (ok && first) {
        Bytes idx1;
        idx1.fourCc("idx1");
        idx1.u32(frames * kIndexEntryBytes);
        for (const uint32_t chunk : riffChunks_) {
            idx1.fourCc("00db");
            idx1.u32(kKeyFrameFlag);
            idx1.u32(chunk);
            idx1.u32(frameBytes_);
        }
        ok = file_.append(idx1.get().data(), idx1.get().size());
    }
    const int64_t moviSizeAt = static_cast<int64_t>(moviStart_) - 4;
    ok = ok && file_.patchU32(static_cast<uint64_t>(moviSizeAt), static_cast<uint32_t>(moviEnd - moviStart_));
    ok = ok && file_.patchU32(riffStart + 4, static_cast<uint32_t>(file_.length() - riffStart - kChunkHeaderBytes));
    if (!ok) {
        (void)file_.truncateTo(dataEnd_);
        return false;
    }
    if (standardIndex) {
        superIndex_.push_back({dataEnd_, static_cast<uint32_t>(standardIndexBytes(frames)), frames});
    }
    if (first) {
        firstRiffFrames_ = frames;
    }
    riffOpen_ = false;
    riffChunks_.clear();
    return true;
}

bool AviWriter::beginRiff() {
    const uint64_t start = file_.length();
    Bytes head;
    head.fourCc("RIFF");
    head.u32(0);  // patched when the RIFF is closed
    head.fourCc("AVIX");
    head.fourCc("LIST");
    head.u32(0);
    head.fourCc("movi");
    if (!file_.append(head.get().data(), head.get().size())) {
        (void)file_.truncateTo(start);
        return false;
    }
    riffStarts_.push_back(start);
    moviStart_ = start + kRiffListHeaderBytes - 4;
    dataEnd_ = file_.length();
    riffOpen_ = true;
    return true;
}

bool AviWriter::appendNote(const std::string& note) {
    const std::string text = note.substr(0, kMaxNoteBytes);
    const uint32_t textBytes = static_cast<uint32_t>(text.size()) + 1;  // with its terminating zero
    const uint32_t padded = (textBytes + 1) & ~1u;                      // chunks start on even offsets
    Bytes info;
    info.fourCc("LIST");
    info.u32(4 + kChunkHeaderBytes + padded);
    info.fourCc("INFO");
    info.fourCc("ICMT");
    info.u32(textBytes);
    info.text(text);
    info.zeros(padded - static_cast<uint32_t>(text.size()));
    const uint64_t riffStart = riffStarts_.back();
    const uint64_t before = file_.length();
    const uint64_t limit = layout_ == Layout::Classic ? maxRiffBytes_ : openDmlRiffBytes_;
    if (before + info.get().size() - riffStart - kChunkHeaderBytes > limit) {
        return false;
    }
    if (!file_.append(info.get().data(), info.get().size()) ||
        !file_.patchU32(riffStart + 4, static_cast<uint32_t>(file_.length() - riffStart - kChunkHeaderBytes))) {
        (void)file_.truncateTo(before);
        return false;
    }
    return true;
}

bool AviWriter::patchHeaderFigures(uint32_t elapsedMs, bool final) {
    const uint32_t rate = measuredRateHundredths(totalFrames_, elapsedMs);
    const bool classic = layout_ == Layout::Classic;
    bool ok = file_.patchU32(kTotalFramesOffset, classic ? totalFrames_ : firstRiffFrameCount());
    ok = file_.patchU32(kStreamLengthOffset, totalFrames_) && ok;
    ok = file_.patchU32(kMicrosecondsPerFrameOffset, microsecondsPerFrame(rate)) && ok;
    ok = file_.patchU32(kStreamScaleOffset, streamScale(rate)) && ok;
    if (!classic) {
        ok = file_.patchU32(kDmlhTotalFramesOffset, totalFrames_) && ok;
    }
    if (final && !classic && !superIndex_.empty()) {
        Bytes indx;
        indx.fourCc("indx");
        indx.u32(kSuperIndexBytes);
        indx.u16(kSuperIndexLongsPerEntry);
        indx.u8(0);  // sub-type
        indx.u8(kIndexOfIndexes);
        indx.u32(static_cast<uint32_t>(superIndex_.size()));
        indx.fourCc("00db");
        indx.zeros(12);
        for (const SuperIndexEntry& e : superIndex_) {
            indx.u64(e.offset);
            indx.u32(e.bytes);
            indx.u32(e.frames);
        }
        indx.zeros((kSuperIndexEntries - superIndex_.size()) * kSuperIndexEntryBytes);
        ok = file_.patch(kSuperIndexOffset, indx.get().data(), indx.get().size()) && ok;
    }
    return ok;
}

bool AviWriter::refreshHeader(uint32_t elapsedMs) {
    return isOpen() && patchHeaderFigures(elapsedMs, false);
}

bool AviWriter::finalize(uint32_t elapsedMs, const std::string& note) {
    if (!isOpen()) {
        return false;
    }
    bool ok = true;
    // Close the last RIFF; a disk without room for its index gives up frames
    // from the end until the index fits (each one frees more than its entry).
    while (riffOpen_) {
        if (!isFirstRiff() && riffChunks_.empty()) {
            // An AVIX RIFF without a frame goes; the one before it is complete.
            (void)file_.truncateTo(riffStarts_.back());
            riffStarts_.pop_back();
            riffOpen_ = false;
            break;
        }
        if (closeRiff(true)) {
            break;
        }
        ok = false;
        if (!riffChunks_.empty()) {
            riffChunks_.pop_back();
            --totalFrames_;
            dataEnd_ = moviStart_ + 4 + (riffChunks_.empty() ? 0 : riffChunks_.back() - 4 + kChunkHeaderBytes + frameBytes_);
            continue;
        }
        break;  // not even an empty index fits
    }
    if (!riffOpen_ && !note.empty()) {
        (void)appendNote(note);  // a note that does not fit is left out
    }
    ok = patchHeaderFigures(elapsedMs, true) && ok;
    riffChunks_.clear();
    return file_.close() && ok;
}

void AviWriter::discard() {
    file_.discard();
    riffChunks_.clear();
    riffOpen_ = false;
}

} // namespace lumvek
