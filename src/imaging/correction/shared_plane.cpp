#include "imaging/correction/shared_plane.h"

#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

namespace lumvek {

namespace {

using PlaneKey = std::tuple<int, int, int, uint8_t>;  // width, height, bits, fill byte

// The shared planes alive in the process. Entries of freed planes are
// dropped when the next plane is looked up; there are a handful of keys.
struct SharedPlanes {
    std::mutex lock;  // guards planes
    std::map<PlaneKey, std::weak_ptr<const ImageBuffer>> planes;
};

SharedPlanes& sharedPlanes() {
    // Never destroyed: a frame loop still running at exit may look one up.
    static SharedPlanes* const planes = new SharedPlanes;
    return *planes;
}

bool makeUniform(ImageBuffer& buffer, int width, int height, int bits, uint8_t fill) {
    if (!buffer.create(width, height, bits)) {
        return false;
    }
    if (fill != 0) {  // a fresh buffer is zero already, and a zero page is never resident
        std::memset(buffer.pixels(), fill, buffer.sizeBytes());
    }
    return true;
}

} // namespace

std::shared_ptr<const ImageBuffer> sharedUniformPlane(int width, int height, int bitsPerPixel, uint8_t fill) {
    SharedPlanes& shared = sharedPlanes();
    std::lock_guard guard(shared.lock);
    const PlaneKey key{width, height, bitsPerPixel, fill};
    if (auto plane = shared.planes[key].lock()) {
        return plane;
    }
    std::erase_if(shared.planes, [](const auto& entry) { return entry.second.expired(); });
    auto plane = std::make_shared<ImageBuffer>();
    if (!makeUniform(*plane, width, height, bitsPerPixel, fill)) {
        return nullptr;
    }
    plane->protectPixels();  // a stray write faults rather than reach every instance
    shared.planes[key] = plane;
    return plane;
}

bool holdsOnly(const ImageBuffer& buffer, uint8_t fill) {
    if (buffer.empty()) {
        return false;
    }
    const uint8_t* bytes = buffer.pixels();
    const size_t size = buffer.sizeBytes();
    // The first byte against fill, then each byte against the one before it.
    return bytes[0] == fill && std::memcmp(bytes, bytes + 1, size - 1) == 0;
}

bool CopyOnWritePlane::reset(int width, int height, int bitsPerPixel, uint8_t fill) {
    if (!imageSizeAllowed(width, height, bitsPerPixel)) {
        return false;
    }
    own_.destroy();
    shared_.reset();
    width_ = width;
    height_ = height;
    bits_ = bitsPerPixel;
    fill_ = fill;
    return true;
}

const ImageBuffer& CopyOnWritePlane::read() {
    if (!own_.empty()) {
        return own_;
    }
    if (!shared_ && bits_ != 0) {
        shared_ = sharedUniformPlane(width_, height_, bits_, fill_);
    }
    return shared_ ? *shared_ : own_;
}

ImageBuffer* CopyOnWritePlane::write() {
    if (own_.empty()) {
        if (bits_ == 0 || !makeUniform(own_, width_, height_, bits_, fill_)) {
            return nullptr;
        }
        shared_.reset();
    }
    return &own_;
}

bool CopyOnWritePlane::matches(const ImageBuffer& buffer) const {
    return bits_ != 0 && buffer.width() == width_ && buffer.height() == height_ && buffer.bitsPerPixel() == bits_;
}

void CopyOnWritePlane::adopt(ImageBuffer& buffer) {
    own_.swap(buffer);
    shared_.reset();
}

void CopyOnWritePlane::shareIfInitial() {
    if (holdsOnly(own_, fill_)) {
        own_.destroy();
    }
}

bool CopyOnWritePlane::copyTo(ImageBuffer& out) {
    if (!own_.empty()) {
        if (!out.createLike(own_)) {
            return false;
        }
        std::memcpy(out.pixels(), own_.pixels(), own_.sizeBytes());
        return true;
    }
    return bits_ != 0 && makeUniform(out, width_, height_, bits_, fill_);
}

} // namespace lumvek
