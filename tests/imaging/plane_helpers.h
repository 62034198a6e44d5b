#pragma once
// Tightly sized pixel planes for kernel tests: the rows are packed with no
// padding, so any read or write past the frame is caught by the sanitizers.
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/pipeline/plane_view.h"

namespace lumvek::test {

class OwnedPlane {
public:
    OwnedPlane(int width, int height, int bytesPerPixel)
        : bytes_(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(bytesPerPixel)),
          view_{bytes_.data(), width, height, width * bytesPerPixel, bytesPerPixel} {}
    OwnedPlane(const OwnedPlane& other)
        : bytes_(other.bytes_), view_{bytes_.data(), other.view_.width, other.view_.height, other.view_.stride,
                                      other.view_.bytesPerPixel} {}
    OwnedPlane& operator=(const OwnedPlane& other) {
        bytes_ = other.bytes_;
        view_ = other.view_;
        view_.data = bytes_.data();
        return *this;
    }

    [[nodiscard]] const PlaneView& view() const { return view_; }
    [[nodiscard]] const std::vector<uint8_t>& bytes() const { return bytes_; }

    void fill(uint8_t value) { std::memset(bytes_.data(), value, bytes_.size()); }
    void fillRandom(uint32_t seed) {
        std::mt19937 rng(seed);
        for (auto& b : bytes_) {
            b = static_cast<uint8_t>(rng());
        }
    }
    [[nodiscard]] uint8_t& at8(int y, int x, int component = 0) {
        return view_.row(y)[x * view_.bytesPerPixel + component];
    }
    [[nodiscard]] uint16_t& at16(int y, int x, int component = 0) {
        return reinterpret_cast<uint16_t*>(view_.row(y) + x * view_.bytesPerPixel)[component];
    }
    void fill16(uint16_t value) {
        for (int y = 0; y < view_.height; ++y) {
            for (int x = 0; x < view_.width * view_.bytesPerPixel / 2; ++x) {
                view_.row16(y)[x] = value;
            }
        }
    }

private:
    std::vector<uint8_t> bytes_;
    PlaneView view_;
};

} // namespace lumvek::test
