#pragma once
// A named POSIX shared-memory object mapped whole into this process: what a
// paging-file-backed named file mapping is on Windows. The object outlives
// the processes that map it until it is unlinked. On Windows it is that
// file mapping (src/platform/win32), which lives while a process maps it and
// has no name to unlink.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lumvek::platform {

class SharedMemoryBlock {
public:
    enum class Mode { OpenExisting, OpenOrCreate };

    // Opens the object `name` ("/name") and maps `bytes` of it read-write.
    // OpenExisting fails when the object does not exist; OpenOrCreate
    // creates it (zero-filled) when missing. An existing object shorter than
    // `bytes` is grown to it. Returns null on any failure.
    [[nodiscard]] static std::unique_ptr<SharedMemoryBlock> open(const std::string& name, size_t bytes, Mode mode);

    // Removes the name; mappings that exist stay valid. False when absent.
    static bool unlink(const std::string& name);

    ~SharedMemoryBlock();
    SharedMemoryBlock(const SharedMemoryBlock&) = delete;
    SharedMemoryBlock& operator=(const SharedMemoryBlock&) = delete;

    [[nodiscard]] uint8_t* data() const { return data_; }
    [[nodiscard]] size_t size() const { return size_; }
    // True when open() created the object rather than finding it.
    [[nodiscard]] bool created() const { return created_; }
#ifndef _WIN32
    [[nodiscard]] int fd() const { return fd_; }
#endif
    // True while `name` still refers to this object (it may have been
    // removed, and another created under the same name, since it was opened).
    [[nodiscard]] bool stillNamed(const std::string& name) const;

private:
#ifdef _WIN32
    SharedMemoryBlock(void* mapping, uint8_t* data, size_t size, bool created);

    void* mapping_;  // the file mapping's handle
#else
    SharedMemoryBlock(int fd, uint8_t* data, size_t size, bool created);

    int fd_;
#endif
    uint8_t* data_;
    size_t size_;
    bool created_;
};

} // namespace lumvek::platform
