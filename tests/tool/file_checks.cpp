#include "file_checks.h"

#include "tool_process.h"

namespace lumvek::test {

uint32_t le32(const std::string& bytes, size_t offset) {
    if (bytes.size() < offset + 4) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

std::string signatureOf(const std::string& bytes) {
    if (bytes.rfind("BM", 0) == 0) return "bmp";
    if (bytes.rfind("\x89PNG\r\n\x1a\n", 0) == 0) return "png";
    if (bytes.rfind(std::string("II*\0", 4), 0) == 0 || bytes.rfind(std::string("MM\0*", 4), 0) == 0) return "tiff";
    if (bytes.rfind("\xff\xd8\xff", 0) == 0) return "jpeg";
    return "";
}

uint32_t finalisedAviFrames(const std::filesystem::path& path) {
    const std::string bytes = readFile(path);
    if (bytes.size() < 232 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "AVI ") != 0) return 0;
    if (uint64_t{le32(bytes, 4)} + 8 != bytes.size()) return 0;
    return le32(bytes, 48);
}

std::string jsonField(const std::string& json, const std::string& key) {
    const std::string marker = "\"" + key + "\":";
    const size_t at = json.find(marker);
    if (at == std::string::npos) return "";
    size_t begin = at + marker.size();
    if (begin < json.size() && json[begin] == '"') {
        const size_t end = json.find('"', begin + 1);
        return end == std::string::npos ? "" : json.substr(begin + 1, end - begin - 1);
    }
    const size_t end = json.find_first_of(",}]", begin);
    return json.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

} // namespace lumvek::test
