#pragma once
// The camera's 8 KiB serial ROM behind I2C addresses 0xA2/0xA3. Optionally
// backed by a file (an 8192-byte image, created 0xFF-filled when missing and
// rewritten after every write), so its content outlives the daemon.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace lumvek::sim {

class SerialRom {
public:
    static constexpr size_t kBytes = 8192;

    SerialRom();  // no file: blank (0xFF) but for the factory channel block
    // Binds to `path`: loads it, or creates it. false with `error` set when the
    // file has another size or cannot be read or written.
    [[nodiscard]] bool bindFile(const std::string& path, std::string& error);

    // I2C write: two address bytes (high first), then data bytes written from
    // that address on. I2C read: bytes from the current address on.
    // Both wrap at 8 KiB. `onByte` sees each byte written/read with its address.
    template <typename OnByte>
    void i2cWrite(std::span<const uint8_t> bytes, OnByte onByte);
    template <typename OnByte>
    void i2cRead(std::span<uint8_t> out, OnByte onByte);

    [[nodiscard]] const std::array<uint8_t, kBytes>& content() const { return bytes_; }

private:
    void save();
    std::array<uint8_t, kBytes> bytes_;
    uint16_t address_ = 0;
    std::string path_;
};

template <typename OnByte>
void SerialRom::i2cWrite(std::span<const uint8_t> bytes, OnByte onByte) {
    if (bytes.size() < 2) {
        return;
    }
    address_ = static_cast<uint16_t>(((bytes[0] << 8) | bytes[1]) % kBytes);
    if (bytes.size() == 2) {
        return;
    }
    for (size_t i = 2; i < bytes.size(); ++i) {
        bytes_[address_] = bytes[i];
        onByte(address_, bytes[i]);
        address_ = static_cast<uint16_t>((address_ + 1) % kBytes);
    }
    save();
}

template <typename OnByte>
void SerialRom::i2cRead(std::span<uint8_t> out, OnByte onByte) {
    for (auto& byte : out) {
        byte = bytes_[address_];
        onByte(address_, byte);
        address_ = static_cast<uint16_t>((address_ + 1) % kBytes);
    }
}

} // namespace lumvek::sim
