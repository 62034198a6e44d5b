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

} // namespace lumvek::test
