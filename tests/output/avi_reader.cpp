#include "output/avi_reader.h"

#include <cstdlib>
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
    // A recording that skipped frames ends with the recorder's note, a
    // LIST INFO chunk, after the index; it must end the file exactly.
    size_t indexEnd = indexAt + 8 + 16ull * frames;
    if (indexEnd + 12 <= f.size() && std::memcmp(&f[indexEnd], "LIST", 4) == 0 &&
        std::memcmp(&f[indexEnd + 8], "INFO", 4) == 0 && indexEnd + 8 + le32(f, indexEnd + 4) == f.size()) {
        indexEnd = f.size();
    }
    if (indexEnd != f.size()) {
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

namespace {

uint64_t le64(const std::vector<uint8_t>& f, size_t at) {
    return uint64_t{le32(f, at)} | uint64_t{le32(f, at + 4)} << 32;
}

bool fourCcAt(const std::vector<uint8_t>& f, uint64_t at, const char* code) {
    return at + 4 <= f.size() && std::memcmp(&f[at], code, 4) == 0;
}

} // namespace

std::string checkOpenDmlStructure(const std::vector<uint8_t>& f, uint32_t frameBytes, OpenDmlLayout& layout) {
    std::ostringstream why;
    layout = {};
    // The RIFF chain covers the file exactly.
    for (uint64_t at = 0; at < f.size();) {
        if (!fourCcAt(f, at, "RIFF") || at + 12 > f.size() ||
            !fourCcAt(f, at + 8, layout.riffStarts.empty() ? "AVI " : "AVIX")) {
            return why.str() + "no RIFF at " + std::to_string(at);
        }
        layout.riffStarts.push_back(at);
        layout.riffBytes.push_back(le32(f, at + 4));
        at += 8 + uint64_t{le32(f, at + 4)};
        if (at > f.size()) {
            return why.str() + "RIFF passes the end of the file";
        }
    }
    if (layout.riffStarts.empty()) {
        return "empty file";
    }
    // hdrl: avih, strl (strh, strf, indx), odml (dmlh).
    const uint32_t hdrl = le32(f, 16);
    const uint64_t moviList = 20 + uint64_t{hdrl};
    layout.mainHeaderFrames = le32(f, 48);
    layout.streamLength = le32(f, 140);
    if (!fourCcAt(f, 220, "indx") && layout.riffStarts.size() > 1) {
        why << "no indx in the stream list; ";
    }
    const uint64_t odml = 220 + 8 + uint64_t{le32(f, 224)};
    if (!fourCcAt(f, odml, "LIST") || !fourCcAt(f, odml + 8, "odml") || !fourCcAt(f, odml + 12, "dmlh")) {
        return why.str() + "no odml list with dmlh after the stream list";
    }
    layout.dmlhFrames = le32(f, odml + 20);
    if (odml + 8 + le32(f, odml + 4) != moviList || !fourCcAt(f, moviList, "LIST") || !fourCcAt(f, moviList + 8, "movi")) {
        return why.str() + "the movi list does not follow the header list";
    }
    // idx1 right after the first movi list, for readers of plain AVI.
    const uint64_t firstMovi = moviList + 8;
    const uint64_t idx1 = firstMovi + le32(f, moviList + 4);
    if (!fourCcAt(f, idx1, "idx1")) {
        return why.str() + "no idx1 after the first movi list";
    }
    layout.oldIndexFrames = le32(f, idx1 + 4) / 16;
    for (uint32_t i = 0; i < layout.oldIndexFrames; ++i) {
        const uint64_t chunk = firstMovi + le32(f, idx1 + 8 + 16 * i + 8);
        if (!fourCcAt(f, chunk, "00db") || le32(f, chunk + 4) != frameBytes) {
            why << "idx1 entry " << i << " points at no frame; ";
            break;
        }
    }
    // The super index names one standard index per RIFF.
    if (layout.riffStarts.size() == 1) {
        for (uint32_t i = 0; i < layout.oldIndexFrames; ++i) {
            layout.frameOffsets.push_back(firstMovi + le32(f, idx1 + 8 + 16 * i + 8));
        }
    } else {
        const uint32_t entries = le32(f, 220 + 12);
        if (entries != layout.riffStarts.size()) {
            why << "super index has " << entries << " entries for " << layout.riffStarts.size() << " RIFFs; ";
        }
        for (uint32_t e = 0; e < entries; ++e) {
            const uint64_t at = 220 + 8 + 24 + 16ull * e;
            const uint64_t ix = le64(f, at);
            const uint32_t frames = le32(f, at + 12);
            if (!fourCcAt(f, ix, "ix00") || le32(f, ix + 12) != frames || 8ull + le32(f, ix + 4) != le32(f, at + 8)) {
                return why.str() + "super index entry " + std::to_string(e) + " names no standard index";
            }
            if (ix < layout.riffStarts[e] || ix >= layout.riffStarts[e] + 8 + layout.riffBytes[e]) {
                why << "standard index " << e << " lies outside its RIFF; ";
            }
            const uint64_t base = le64(f, ix + 20);
            for (uint32_t i = 0; i < frames; ++i) {
                const uint64_t data = base + le32(f, ix + 32 + 8 * i);
                if (data < 8 || !fourCcAt(f, data - 8, "00db") || le32(f, data - 4) != frameBytes ||
                    le32(f, ix + 32 + 8 * i + 4) != frameBytes) {
                    return why.str() + "standard index " + std::to_string(e) + " entry " + std::to_string(i) + " wrong";
                }
                layout.frameOffsets.push_back(data - 8);
            }
        }
    }
    for (size_t i = 1; i < layout.frameOffsets.size(); ++i) {
        if (layout.frameOffsets[i] <= layout.frameOffsets[i - 1]) {
            why << "frames out of order at " << i << "; ";
            break;
        }
    }
    if (layout.dmlhFrames != layout.frameOffsets.size() || layout.streamLength != layout.frameOffsets.size()) {
        why << "dmlh " << layout.dmlhFrames << " / strh " << layout.streamLength << " frames vs "
            << layout.frameOffsets.size() << " indexed; ";
    }
    if (layout.mainHeaderFrames != layout.oldIndexFrames) {
        why << "avih says " << layout.mainHeaderFrames << " frames, idx1 holds " << layout.oldIndexFrames << "; ";
    }
    return why.str();
}

int gstreamerBufferCount(const std::string& path) {
    const std::string gst = findTool("gst-launch-1.0");
    if (gst.empty()) {
        return -1;
    }
    // fakesink reports every buffer it is given ("chain") with -v.
    const auto result = runCommand(gst + " -v filesrc location='" + path +
                                   "' ! avidemux ! fakesink silent=false sync=false 2>&1 | grep -c 'chain'");
    if (result.output.empty()) {
        return -1;
    }
    return std::atoi(result.output.c_str());
}

} // namespace lumvek::test
