#pragma once
// A file written through its descriptor: whole writes (short writes and
// interruptions retried), positioned patches, and cutting back to a length.
// The AVI writer needs all three and no stdio buffering between them, so a
// failed write (a full disk) can be undone exactly.
//
// The file is made beside its target and takes the target's name with
// publish() (FileReplacement): a recording whose header cannot be written
// leaves nothing behind and an existing file untouched.
#include <cstddef>
#include <cstdint>

#include "output/file_replacement.h"

namespace lumvek {

class DescriptorFile {
public:
    DescriptorFile() = default;
    ~DescriptorFile();  // close(); a file never published is removed
    DescriptorFile(const DescriptorFile&) = delete;
    DescriptorFile& operator=(const DescriptorFile&) = delete;

    // Starts a new file for path; false for null/empty paths and whatever
    // the system refuses (directories included).
    [[nodiscard]] bool open(const char* path);
    // Gives the file written so far the target's name; writing goes on.
    [[nodiscard]] bool publish();
    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    // Appends at the end; false (and the end unchanged as far as the caller
    // knows) when not every byte was written.
    [[nodiscard]] bool append(const void* data, size_t bytes);
    [[nodiscard]] bool patch(uint64_t position, const void* data, size_t bytes);
    [[nodiscard]] bool patchU32(uint64_t position, uint32_t value);
    // Cuts the file to length and continues appending there.
    [[nodiscard]] bool truncateTo(uint64_t length);
    [[nodiscard]] uint64_t length() const { return end_; }
    // The system's reason (errno) for the last failed write, 0 when none.
    [[nodiscard]] int lastError() const { return lastError_; }
    // True when the data reached the system and the descriptor closed cleanly.
    bool close();
    // Closes and removes the file (published or not) when this write made it.
    void discard();

private:
    int fd_ = -1;
    uint64_t end_ = 0;
    int lastError_ = 0;
    bool published_ = false;
    FileReplacement replacement_;
};

} // namespace lumvek
