#pragma once
// A file opened for writing by one writer, with every write checked. Paths
// come from applications: null, empty, a directory or an unwritable place
// simply fail to open. The file is written beside its target and takes the
// target's name when it is closed whole (FileReplacement): a failed write
// leaves no empty or cut file behind and an existing file as it was.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "output/file_replacement.h"

namespace lumvek {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // a file not closed by close() is discarded
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Starts the new contents of path (an existing file is replaced only
    // when close() succeeds). False for a null or empty path and whatever
    // the system refuses; then nothing was made.
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

    // Flushes and closes; true when everything written reached the system
    // and the file took its name. Otherwise what was written is removed.
    bool close();
    // Hands the stream to a library that writes through stdio (libjpeg,
    // libpng); close() still owns it.
    [[nodiscard]] std::FILE* stream() { return file_; }
    // Marks the file failed (a library reported a write error).
    void fail() { good_ = false; }

private:
    std::FILE* file_ = nullptr;
    bool good_ = false;
    FileReplacement replacement_;
};

} // namespace lumvek
