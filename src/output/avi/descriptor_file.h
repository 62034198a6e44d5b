#pragma once
// A file written through its descriptor: whole writes (short writes and
// interruptions retried), positioned patches, and cutting back to a length.
// The AVI writer needs all three and no stdio buffering between them, so a
// failed write (a full disk) can be undone exactly.
#include <cstddef>
#include <cstdint>

namespace lumvek {

class DescriptorFile {
public:
    DescriptorFile() = default;
    ~DescriptorFile();
    DescriptorFile(const DescriptorFile&) = delete;
    DescriptorFile& operator=(const DescriptorFile&) = delete;

    // Creates or truncates a regular file; false for null/empty paths and
    // whatever the system refuses (directories included).
    [[nodiscard]] bool open(const char* path);
    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    // Appends at the end; false (and the end unchanged as far as the caller
    // knows) when not every byte was written.
    [[nodiscard]] bool append(const void* data, size_t bytes);
    [[nodiscard]] bool patchU32(uint64_t position, uint32_t value);
    // Cuts the file to length and continues appending there.
    [[nodiscard]] bool truncateTo(uint64_t length);
    [[nodiscard]] uint64_t length() const { return end_; }
    // True when the data reached the system and the descriptor closed cleanly.
    bool close();

private:
    int fd_ = -1;
    uint64_t end_ = 0;
};

} // namespace lumvek
