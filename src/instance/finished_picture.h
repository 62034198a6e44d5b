#pragma once
// The last picture the capture engine finished, kept apart from the buffers
// it processes into: GetImage, SaveImage and the recorder read it under its
// own lock, so none of them waits while a frame is being processed. The
// engine publishes each finished picture (one copy per frame into a buffer
// that is made again only when the size or depth changes) once a reader has
// asked for one: an instance whose pictures nobody reads this way (a
// callback preview) keeps no second frame in memory.
//
// Lock order: taken inside the frame lock (publish), a leaf otherwise; a
// reader's callback runs with it held and must not take another instance lock.
#include <atomic>
#include <cstring>

#include "imaging/image_buffer.h"
#include "instance/stream_statistics.h"
#include "platform/sync/thread_annotations.h"

namespace lumvek {

class FinishedPicture {
public:
    // Copies picture in; false (nothing kept) when memory runs out.
    bool publish(const ImageBuffer& picture, int bitsPerPixel, const DeliveryMetadata& metadata = {}) EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        metadata_ = metadata;
        if (picture.empty()) {
            picture_.destroy();
            return false;
        }
        if (picture_.empty() || picture_.width() != picture.width() || picture_.height() != picture.height() ||
            picture_.bitsPerPixel() != picture.bitsPerPixel()) {
            if (!picture_.createLike(picture)) {
                return false;
            }
        }
        std::memcpy(picture_.pixels(), picture.pixels(), picture.sizeBytes());
        bitsPerPixel_ = bitsPerPixel;
        return true;
    }
    // Whether pictures are published (a reader asked), and the asking.
    [[nodiscard]] bool wanted() const { return wanted_.load(); }
    void want() { wanted_.store(true); }
    // Nothing kept (Close, or the format changed).
    void clear() EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        picture_.destroy();
    }
    // Drops the picture unless it has like's size and depth (the format changed).
    void clearUnlessLike(const ImageBuffer& like) EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        if (picture_.width() != like.width() || picture_.height() != like.height() ||
            picture_.bitsPerPixel() != like.bitsPerPixel()) {
            picture_.destroy();
        }
    }
    // use(picture, bits per output pixel) with the lock held; false when none is kept.
    // *metadata (when given) receives the metadata of the picture's frame.
    template <typename Use>
    bool read(Use&& use, DeliveryMetadata* metadata = nullptr) EXCLUDES(lock_) {
        platform::MutexLock hold(lock_);
        if (picture_.empty()) {
            return false;
        }
        if (metadata != nullptr) {
            *metadata = metadata_;
        }
        use(static_cast<const ImageBuffer&>(picture_), bitsPerPixel_);
        return true;
    }

private:
    std::atomic<bool> wanted_{false};
    platform::Mutex lock_;
    ImageBuffer picture_ GUARDED_BY(lock_);
    int bitsPerPixel_ GUARDED_BY(lock_) = 0;
    DeliveryMetadata metadata_ GUARDED_BY(lock_);
};

} // namespace lumvek
