#include "output/avi_reader.h"

#include <cstring>
#include <sstream>

#include "output/outside_decoders.h"

namespace lumvek::test {

std::map<std::string, std::string> probeAvi(const std::string& ffprobe, const std::string& path) {
    const auto result = runCommand(ffprobe +
                                   " -v error -select_streams v:0 -count_frames -show_entries "
                                   "stream=codec_name,pix_fmt,width,height,nb_read_frames,r_frame_rate "
                                   "-of default=noprint_wrappers=1 '" +
                                   path + "'");
    std::map<std::string, std::string> fields;
    if (result.exitCode != 0) {
        return fields;
    }
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return fields;
}

std::vector<uint8_t> decodeAviFrame(const std::string& ffmpeg, const std::string& path, int index) {
    const std::string out = path + ".frame" + std::to_string(index) + ".rgb";
    const std::string command = ffmpeg + " -v error -y -i '" + path + "' -vf 'select=eq(n\\," + std::to_string(index) +
                                ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + out + "'";
    if (runCommand(command).exitCode != 0) {
        return {};
    }
    return readFileBytes(out);
}

std::string checkAviStructure(const std::vector<uint8_t>& f, uint32_t frameBytes) {
    std::ostringstream why;
    if (f.size() < 232 || std::memcmp(f.data(), "RIFF", 4) != 0 || std::memcmp(&f[8], "AVI ", 4) != 0) {
        return "not a RIFF AVI file";
    }
    if (le32(f, 4) + 8ull != f.size()) {
        why << "RIFF size " << le32(f, 4) << " + 8 != file length " << f.size() << "; ";
    }
    const uint32_t movi = le32(f, 224);
    const size_t indexAt = 228 + static_cast<size_t>(movi);
    if (indexAt + 8 > f.size() || std::memcmp(&f[indexAt], "idx1", 4) != 0) {
        return why.str() + "no idx1 after the movi list";
    }
    const uint32_t frames = le32(f, indexAt + 4) / 16;
    if (indexAt + 8 + 16ull * frames != f.size()) {
        why << "index does not end the file; ";
    }
    if (le32(f, 48) != frames || le32(f, 140) != frames) {
        why << "frame counts " << le32(f, 48) << "/" << le32(f, 140) << " vs index " << frames << "; ";
    }
    if (movi != 4 + frames * (8ull + frameBytes)) {
        why << "movi size " << movi << " does not hold " << frames << " frames; ";
    }
    for (uint32_t i = 0; i < frames; ++i) {
        const size_t e = indexAt + 8 + 16ull * i;
        const uint32_t offset = le32(f, e + 8);
        if (std::memcmp(&f[e], "00db", 4) != 0 || le32(f, e + 4) != 0x10 || le32(f, e + 12) != frameBytes ||
            offset != 4 + i * (8ull + frameBytes) || std::memcmp(&f[228 + offset], "00db", 4) != 0 ||
            le32(f, 228 + offset + 4) != frameBytes) {
            why << "index entry " << i << " wrong; ";
            break;
        }
    }
    return why.str();
}

} // namespace lumvek::test
