#pragma once
// Where a writer puts a file it is asked to (over)write: a temporary beside
// the target that takes the target's name only once it has been written, so
// that a write that fails (a full disk, an I/O error) leaves neither an empty
// or cut file nor a damaged old one. A target that exists but is no regular
// file (a device, a pipe) is written in place, as is an existing file in a
// folder where no temporary can be made; a file made in place for a write
// that failed is removed again. A symbolic link is followed: the file it
// names is replaced, the link stays.
#include <string>
#include <sys/types.h>

namespace lumvek {

class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement();  // abandon()
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Opens a descriptor to write path's new contents; -1 for a null or
    // empty path, a directory or whatever the system refuses (then nothing
    // was made).
    [[nodiscard]] int open(const char* path);
    // The file the descriptor writes (the temporary, or the target itself).
    [[nodiscard]] const std::string& writePath() const { return writing_; }
    // Gives the written file the target's name; false (and the temporary
    // removed) when that fails. The caller keeps the descriptor.
    [[nodiscard]] bool commit();
    // Removes what this write made (the temporary, or a target it created
    // in place); an existing target written in place stays as it is.
    void abandon();
    // After commit(): removes the target again (a recording that kept no frame).
    void removeCommitted();

private:
    std::string target_;
    std::string writing_;
    bool active_ = false;     // open() succeeded and neither commit() nor abandon() ran
    bool inPlace_ = false;    // writing the target itself
    bool createdTarget_ = false;
    bool committed_ = false;
};

} // namespace lumvek
