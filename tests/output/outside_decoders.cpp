#include "output/outside_decoders.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace lumvek::test {

CommandResult runCommand(const std::string& command) {
    CommandResult result;
#ifdef _WIN32
    std::FILE* pipe = ::_popen((command + " 2>NUL").c_str(), "rb");
#else
    std::FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
#endif
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> chunk{};
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        result.output.append(chunk.data(), n);
    }
#ifdef _WIN32
    result.exitCode = ::_pclose(pipe);
#else
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

std::string findTool(const std::string& name) {
#ifdef _WIN32
    // The decoders are Linux programs, out of reach of a Windows test
    // process: the tests that need one skip.
    (void)name;
    return {};
#else
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
        const std::string path = std::string(dir) + name;
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return {};
#endif
}

std::vector<uint8_t> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b.at(at)) | (static_cast<uint32_t>(b.at(at + 1)) << 8) |
           (static_cast<uint32_t>(b.at(at + 2)) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

std::vector<uint8_t> imageMagickSamples(const std::string& convert, const std::filesystem::path& file,
                                        const std::string& map, int depth) {
    const auto out = file.string() + "." + map + std::to_string(depth) + ".raw";
    const std::string command = convert + " '" + file.string() + "' -depth " + std::to_string(depth) +
                                " -endian LSB " + map + ":'" + out + "'";
    if (runCommand(command).exitCode != 0) {
        return {};
    }
    return readFileBytes(out);
}

std::vector<uint8_t> expectedSamples(const ImageBuffer& picture, bool withAlpha) {
    std::vector<uint8_t> out;
    const int bits = picture.bitsPerPixel();
    for (int r = 0; r < picture.height(); ++r) {
        const uint8_t* p = picture.row(r);
        for (int c = 0; c < picture.width(); ++c) {
            switch (bits) {
            case 8:
                out.push_back(p[c]);
                break;
            case 16:
                out.insert(out.end(), p + 2 * c, p + 2 * c + 2);
                break;
            case 24:
            case 32: {
                const uint8_t* px = p + c * (bits / 8);
                out.insert(out.end(), {px[2], px[1], px[0]});
                if (bits == 32 && withAlpha) {
                    out.push_back(static_cast<uint8_t>(~px[3]));
                }
                break;
            }
            default: {  // 48, 64
                const uint8_t* px = p + c * (bits / 8);
                out.insert(out.end(), {px[4], px[5], px[2], px[3], px[0], px[1]});
                if (bits == 64 && withAlpha) {
                    out.insert(out.end(), {0xFF, 0xFF});
                }
                break;
            }
            }
        }
    }
    return out;
}

Pnm parsePnm(const std::vector<uint8_t>& bytes) {
    Pnm pnm;
    std::string head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64));
    std::istringstream in(head);
    std::string magic;
    int maxValue = 0;
    in >> magic >> pnm.width >> pnm.height >> maxValue;
    if ((magic != "P5" && magic != "P6") || maxValue != 255) {
        return {};
    }
    pnm.channels = magic == "P5" ? 1 : 3;
    const size_t dataStart = static_cast<size_t>(in.tellg()) + 1;
    pnm.samples.assign(bytes.begin() + static_cast<ptrdiff_t>(dataStart), bytes.end());
    return pnm;
}

void fillPicture(ImageBuffer& picture, uint32_t seed) {
    uint32_t s = seed * 747796405u + 2891336453u;
    const size_t rowBytes = static_cast<size_t>(picture.width()) * picture.bytesPerPixel();
    for (int r = 0; r < picture.height(); ++r) {
        for (size_t i = 0; i < rowBytes; ++i) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            picture.row(r)[i] = static_cast<uint8_t>(s >> 7);
        }
    }
}

void fillSmoothPicture(ImageBuffer& picture) {
    const int bpp = picture.bytesPerPixel();
    const bool wide = picture.bitsPerPixel() == 16 || picture.bitsPerPixel() >= 48;
    const int samples = wide ? bpp / 2 : bpp;
    for (int r = 0; r < picture.height(); ++r) {
        for (int c = 0; c < picture.width(); ++c) {
            for (int k = 0; k < samples; ++k) {
                int v = r * 150 / picture.height() + c * 60 / picture.width() + 30 * (k % 3);  // at most 239
                if (((r / 16) + (c / 16)) % 5 == 0) {
                    v = 255 - v;  // blocks with edges
                }
                uint8_t* px = picture.row(r) + c * bpp;
                if (wide) {
                    px[2 * k] = static_cast<uint8_t>(v ^ 0x5A);
                    px[2 * k + 1] = static_cast<uint8_t>(v);
                } else {
                    px[k] = static_cast<uint8_t>(v);
                }
            }
        }
    }
}

} // namespace lumvek::test
