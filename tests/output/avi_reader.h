#pragma once
// Reading back AVI files in the tests: the header figures by offset, and
// what ffprobe says about the stream.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "imaging/image_buffer.h"

namespace lumvek::test {

// ffprobe's key=value report of the video stream (codec_name, pix_fmt,
// width, height, nb_read_frames, r_frame_rate); empty when it cannot read
// the file.
std::map<std::string, std::string> probeAvi(const std::string& ffprobe, const std::string& path);

// ffmpeg's decoding of frame `index` as red-green-blue samples, top line first.
std::vector<uint8_t> decodeAviFrame(const std::string& ffmpeg, const std::string& path, int index);

// The checks every finished file must pass whatever its content: RIFF and
// movi sizes agree with the file length, the index follows the last chunk
// and points at every chunk, frame counts at 48 and 140 equal the index.
// Returns an empty string when the file is sound, else what is wrong.
std::string checkAviStructure(const std::vector<uint8_t>& file, uint32_t expectedFrameBytes);

// What an OpenDML file holds, read the way its indexes tell it.
struct OpenDmlLayout {
    std::vector<uint64_t> riffStarts;   // "RIFF" of each RIFF, the first "AVI ", the others "AVIX"
    std::vector<uint64_t> riffBytes;    // each RIFF's size field
    uint32_t mainHeaderFrames = 0;      // avih (the first RIFF's frames)
    uint32_t streamLength = 0;          // strh
    uint32_t dmlhFrames = 0;
    uint32_t oldIndexFrames = 0;        // idx1 entries of the first RIFF
    std::vector<uint64_t> frameOffsets; // every frame's chunk, through indx and the ix00 indexes
};

// Walks an OpenDML file: the RIFF chain to the file's end, the first RIFF's
// idx1, the super index and each standard index down to the "00db" chunks.
// Fills layout and returns an empty string when everything agrees, else
// what is wrong.
std::string checkOpenDmlStructure(const std::vector<uint8_t>& file, uint32_t expectedFrameBytes, OpenDmlLayout& layout);

// The buffers GStreamer's avidemux gives for the file's video stream; -1
// when gst-launch-1.0 is missing or fails.
int gstreamerBufferCount(const std::string& path);

} // namespace lumvek::test
