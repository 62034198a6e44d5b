#pragma once
// Planes that hold their initial contents (every byte 0x00 or 0xFF) until
// someone writes them. The reference frames and defect masks of every SDK
// instance start so, and most stay so: one read-only plane per size, depth
// and byte serves all of them in the process, and an instance gets a
// private copy only when it writes one (copy on write). A 0x00 plane is
// never written at all, so it takes no resident memory even while read.
#include <cstdint>
#include <memory>

#include "imaging/image_buffer.h"

namespace lumvek {

// The process's read-only plane of this size and depth with every byte
// `fill`; made on first request and freed when the last holder lets go.
// nullptr for a size ImageBuffer::create refuses or when memory runs out.
// Thread-safe.
[[nodiscard]] std::shared_ptr<const ImageBuffer> sharedUniformPlane(int width, int height, int bitsPerPixel,
                                                                    uint8_t fill);

// True when every byte of buffer's pixel block is `fill` (false when empty).
[[nodiscard]] bool holdsOnly(const ImageBuffer& buffer, uint8_t fill);

// One plane: shared while it holds its initial contents, private once
// written. Not thread-safe: its owner's lock guards it (the mask lock for
// the defect planes). A reference from read() stays valid until the next
// write(), reset() or adopt().
class CopyOnWritePlane {
public:
    // Back to the initial contents at this size and depth (every byte
    // `fill`), dropping any private copy. False, changing nothing, for a size
    // or depth ImageBuffer::create refuses.
    [[nodiscard]] bool reset(int width, int height, int bitsPerPixel, uint8_t fill);

    // The plane's contents: the private copy, or the shared plane (fetched
    // on the first read). An empty buffer before reset() or when the shared
    // plane cannot be made.
    [[nodiscard]] const ImageBuffer& read();
    // The private copy, made from the initial contents first; nullptr
    // before reset() or when memory runs out (the plane is then unchanged).
    [[nodiscard]] ImageBuffer* write();

    // True when buffer has the plane's size and depth.
    [[nodiscard]] bool matches(const ImageBuffer& buffer) const;
    // Takes buffer (which must match) as the private copy; buffer is left
    // with the old private copy, or empty.
    void adopt(ImageBuffer& buffer);
    // Back to the initial contents: the private copy is dropped.
    void restoreInitial() { own_.destroy(); }
    // Drops the private copy when it holds only the initial byte again
    // (a scan of the plane).
    void shareIfInitial();
    // Fills `out` with a private copy of the contents; false when memory runs out.
    [[nodiscard]] bool copyTo(ImageBuffer& out);

    [[nodiscard]] bool isPrivate() const { return !own_.empty(); }
    [[nodiscard]] uint8_t fill() const { return fill_; }

private:
    ImageBuffer own_;                            // the private copy, once written
    std::shared_ptr<const ImageBuffer> shared_;  // the shared plane, once read
    int width_ = 0;
    int height_ = 0;
    int bits_ = 0;
    uint8_t fill_ = 0;
};

} // namespace lumvek
