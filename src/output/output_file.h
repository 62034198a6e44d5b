#pragma once
// A file opened for writing by one writer, with every write checked. Paths
// come from applications: null, empty, a directory or an unwritable place
// simply fail to open.
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace lumvek {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Truncates an existing file or makes a new one ("wb"). False for a null
    // or empty path and whatever the system refuses.
    [[nodiscard]] bool open(const char* path);
    [[nodiscard]] bool isOpen() const { return file_ != nullptr; }
    // False once any write, seek or flush has failed (a full disk, an I/O
    // error); later writes are skipped.
    [[nodiscard]] bool good() const { return file_ != nullptr && good_; }

    bool write(const void* data, size_t bytes);
    bool writeU32(uint32_t value);
    bool writeU16(uint16_t value);
    bool writeFourCc(const char (&code)[5]) { return write(code, 4); }
    // Writes a 32-bit little-endian value at an absolute position, then
    // returns to the end of the file.
    bool patchU32(int64_t position, uint32_t value);
    [[nodiscard]] int64_t position() const;

    // Flushes and closes; true when everything written reached the system.
    bool close();
    // Hands the stream to a library that writes through stdio (libjpeg,
    // libpng); close() still owns it.
    [[nodiscard]] std::FILE* stream() { return file_; }
    // Marks the file failed (a library reported a write error).
    void fail() { good_ = false; }

private:
    std::FILE* file_ = nullptr;
    bool good_ = false;
};

} // namespace lumvek
