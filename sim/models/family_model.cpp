#include "sim/models/family_model.h"

#include <algorithm>
#include <cstdio>

#include "sensors/family/family_registers.h"
#include "sim/fpga_register_file.h"
#include "sim/product_profile.h"
#include "sim/scene.h"

namespace lumvek::sim {
namespace {

namespace bridge = family::bridge;

constexpr uint8_t kBridge = 0x48;
constexpr uint8_t kHead = 0x6C;
constexpr uint8_t kConverter = 0x42;
constexpr uint8_t kDevice95Write = 0x5E;  // read address 95 with bit 0 cleared
constexpr uint16_t kTextRegister = 0;
constexpr size_t kReplyLimit = 4096;
constexpr uint32_t kHorizontalBlanking = 160;
constexpr uint32_t kVerticalBlanking = 40;

// FPGA registers the model answers.
constexpr uint8_t kFpgaIdle = 2;
constexpr uint8_t kFpgaFirmwareLow = 0x10;
constexpr uint8_t kFpgaFirmwareHigh = 0x11;
constexpr uint8_t kFpgaBoot = 33;
constexpr uint8_t kFpgaMeasureBusy = 32;
constexpr uint8_t kFpgaBridgeReset = 129;
constexpr uint8_t kBridgeReadyBit = 0x02;
constexpr uint8_t kFpgaTemperatureLow = 169;
constexpr uint8_t kFpgaTemperatureHigh = 170;
constexpr uint8_t kFpgaReady187 = 187;
constexpr uint8_t kFpgaLink = 0xFF;
constexpr uint8_t kWriteMirrorBit = 0x80;  // writes to 217, 218, 224 show in 89, 90, 96
constexpr uint8_t kMirroredRegisters[] = {217, 218, 224};

// Raw readings of about 25 degrees Celsius in each head's formula.
constexpr uint16_t kR08Raw25 = 1367;      // x 0.2384 - 300.91
constexpr uint16_t kR12Raw25 = 637;       // x 0.5031 - 295.64
constexpr uint16_t kR03Sample25 = 763;
constexpr uint16_t kThermistor25 = 506;   // 10 kilo-ohm
constexpr uint16_t kThermistorLow = 4;
constexpr uint16_t kGluxRaw25 = 971;      // x 0.3213 - 287.09
constexpr uint16_t kGluxTemperatureLow = 0x188;
constexpr uint8_t kSwir25Low = 25 << 3;   // eighths of a degree
constexpr uint16_t kSwirTemperatureLow = 0x690;

using K = FamilyModel::Kind;
constexpr int kBoth = 4;
constexpr int kRowsReversed = 2;

struct Row {
    uint16_t productId;
    K kind;
    uint8_t address;
    int orientation;
    bool device95 = false;
    bool ready187 = false;
    bool boot33 = false;
};

// clang-format off
constexpr Row kProductRows[] = {
    {0x30F0, K::Bridge, kBridge, 1}, {0x3100, K::Bridge, kBridge, 1}, {0x3110, K::Bridge, kBridge, 1},
    {0x3120, K::Bridge, kBridge, 1}, {0x3130, K::Converter, kConverter, 1}, {0x3140, K::Bridge, kHead, 1},
    {0x3150, K::FpgaHead, 0, 1}, {0x3170, K::FpgaHead, 0, 1}, {0x3180, K::TextHead, kBridge, kRowsReversed},
    {0x3190, K::FpgaHead, 0, 1}, {0x31A0, K::FpgaHead, 0, 1}, {0x31B0, K::Bridge, kBridge, kBoth},
    {0x31B4, K::Bridge, kBridge, kBoth}, {0x31C0, K::Bridge, kBridge, kBoth}, {0x31C4, K::Bridge, kBridge, kBoth},
    {0x31D0, K::FpgaHead, 0, 1}, {0x31E0, K::FpgaHead, 0, 1, true}, {0x31F0, K::Bridge, kBridge, kBoth},
    {0x3200, K::Bridge, kBridge, kBoth}, {0x3210, K::FpgaHead, 0, 1}, {0x3220, K::Bridge, kHead, kRowsReversed},
    {0x3260, K::Bridge, kBridge, kBoth}, {0x3270, K::Bridge, kBridge, kBoth}, {0x3280, K::Bridge, kBridge, kBoth},
    {0x3290, K::Bridge, kBridge, kBoth}, {0x32A0, K::Bridge, kBridge, kBoth}, {0x32B0, K::Bridge, kBridge, kBoth},
    {0x32C0, K::Bridge, kBridge, 3, false, false, true}, {0x32D0, K::FpgaHead, 0, 1, true, true},
    {0x32E0, K::Bridge, kBridge, kBoth}, {0x32F0, K::Bridge, kBridge, kBoth}, {0x3300, K::Bridge, kBridge, kBoth},
};
// clang-format on

const Row* findRow(uint16_t productId) {
    for (const Row& row : kProductRows) {
        if (row.productId == productId) return &row;
    }
    return nullptr;
}

uint16_t parseFirmware(const std::string& text) {
    if (text.empty()) return FamilyModel::kDefaultFirmware;
    try {
        size_t used = 0;
        const unsigned long value = std::stoul(text, &used, 0);
        return used == text.size() && value <= 0xFFFF ? static_cast<uint16_t>(value) : FamilyModel::kDefaultFirmware;
    } catch (...) {
        return FamilyModel::kDefaultFirmware;
    }
}

} // namespace

std::unique_ptr<FamilyModel> makeFamilyModel(const SensorModelConfig& config) {
    const Row* row = findRow(config.productId);
    if (!row) return nullptr;
    const ProductProfile product = productProfile(config.productId);
    FamilyModel::Profile profile{.productId = row->productId, .kind = row->kind, .i2cAddress = row->address,
                                 .orientation = row->orientation, .clockKHz = product.clockKHz,
                                 .alternateWindowRegisters = product.alternateWindowRegisters,
                                 .device95 = row->device95, .readyRegister187 = row->ready187,
                                 .bootRegister33 = row->boot33};
    auto model = std::make_unique<FamilyModel>(profile, parseFirmware(config.firmware));
    return model;
}

FamilyModel::FamilyModel(const Profile& profile, uint16_t firmware) : profile_(profile), firmware_(firmware) {
    const ProductProfile product = productProfile(profile.productId);
    width_ = product.fullWidth;
    height_ = product.fullHeight;
    // Every temperature reading starts at about 25 degrees Celsius.
    switch (profile.productId) {
    case 0x31E0: fpgaTemperatureRaw_ = kR08Raw25; break;
    case 0x32D0: fpgaTemperatureRaw_ = kR12Raw25; break;
    case 0x3200: temperatureSample_ = kR03Sample25; break;
    case 0x3220:
        registers_[kThermistorLow] = kThermistor25 & 0xFF;
        registers_[kThermistorLow + 1] = kThermistor25 >> 8;
        break;
    case 0x32C0:
        registers_[kGluxTemperatureLow] = kGluxRaw25 & 0xFF;
        registers_[kGluxTemperatureLow + 1] = kGluxRaw25 >> 8;
        break;
    case 0x3260: case 0x3270: case 0x3280: case 0x3290:
        registers_[kSwirTemperatureLow] = kSwir25Low;
        registers_[kSwirTemperatureLow + 1] = 0;
        break;
    default:
        break;
    }
}

bool FamilyModel::ownsI2cAddress(uint8_t writeAddress) const {
    if (profile_.i2cAddress != 0 && writeAddress == profile_.i2cAddress) return true;
    return profile_.device95 && writeAddress == kDevice95Write;
}

bool FamilyModel::i2cWrite(uint8_t writeAddress, std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (writeAddress == kDevice95Write) return false;  // a status device: read only
    if (profile_.kind == Kind::Converter) {
        if (bytes.empty()) return false;
        pointer_ = bytes[0];
        for (size_t i = 1; i < bytes.size(); ++i) {
            registers_[pointer_] = bytes[i];
            writes_.emplace_back(pointer_, bytes[i]);
            pointer_ = static_cast<uint16_t>(pointer_ + 1);
        }
        return true;
    }
    if (bytes.size() < 2) return false;
    pointer_ = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    for (size_t i = 2; i < bytes.size(); ++i) {
        if (profile_.kind == Kind::TextHead && pointer_ == kTextRegister) {
            textByte(bytes[i]);
            continue;
        }
        registers_[pointer_] = bytes[i];
        writes_.emplace_back(pointer_, bytes[i]);
        pointer_ = static_cast<uint16_t>(pointer_ + 1);
    }
    return true;
}

bool FamilyModel::i2cRead(uint8_t writeAddress, std::span<uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (writeAddress == kDevice95Write) {
        if (!device95Answers_) return false;
        std::fill(bytes.begin(), bytes.end(), device95Status_);
        return true;
    }
    for (auto& byte : bytes) {
        if (profile_.kind == Kind::TextHead && pointer_ == kTextRegister) {
            if (endlessReply_) {
                byte = 'A';
            } else if (reply_.empty()) {
                byte = 0;
            } else {
                byte = static_cast<uint8_t>(reply_.front());
                reply_.pop_front();
            }
            continue;
        }
        const auto it = registers_.find(pointer_);
        byte = it == registers_.end() ? 0 : it->second;
        pointer_ = static_cast<uint16_t>(pointer_ + 1);
    }
    return true;
}

void FamilyModel::textByte(uint8_t byte) {
    if (byte != 0) {
        command_.push_back(static_cast<char>(byte));
        return;
    }
    commands_.push_back(command_);
    // The head answers the latest command: an unread reply is replaced.
    const std::string text = answer(command_);
    reply_.assign(text.begin(), text.end());
    if (reply_.size() > kReplyLimit) reply_.resize(kReplyLimit);
    command_.clear();
}

std::string FamilyModel::answer(const std::string& command) {
    int a = 0;
    int b = 0;
    char tail = 0;
    if (command == "n\r\n") return "LUMVEK-R05-CL\r\n";
    if (command == "x -c\r\n") return "OK\r\n";
    if (command == "d -y 5273846\r\n") {
        debug_ = true;
        return "Welcome Debug Mode!\r\n";
    }
    if (command == "d -n\r\n") {
        debug_ = false;
        return "Good Bye!\r\n";
    }
    if (std::sscanf(command.c_str(), "i -v %d%c", &a, &tail) == 2 && tail == '\n') return "OK\r\n";
    if (std::sscanf(command.c_str(), "g -v %d%c", &a, &tail) == 2 && tail == '\n') return "OK\r\n";
    if (debug_ && std::sscanf(command.c_str(), "q -w x%x x%x%c", &a, &b, &tail) == 3 && tail == '\n' && a >= 0 &&
        a <= 0xFF && b >= 0 && b <= 0xFF) {
        headFpga_[static_cast<uint8_t>(a)] = static_cast<uint8_t>(b);
        char text[64];
        (void)std::snprintf(text, sizeof text, "Fpga Write   : 0x%02X : 0x%02X\r\n", a, b);
        return text;
    }
    return "?\r\n";
}

std::optional<uint8_t> FamilyModel::readFpgaRegister(uint8_t reg) {
    std::lock_guard lock(mutex_);
    switch (reg) {
    case kFpgaIdle:
        return static_cast<uint8_t>(kIdle ? 0 : 1);
    case kFpgaFirmwareLow:
        return static_cast<uint8_t>(firmware_ & 0xFF);
    case kFpgaFirmwareHigh:
        return static_cast<uint8_t>(firmware_ >> 8);
    case kFpgaMeasureBusy:
        return static_cast<uint8_t>(0);
    case kFpgaBridgeReset:
        return bridgeReset_;
    case kFpgaTemperatureLow:
        return static_cast<uint8_t>(fpgaTemperatureRaw_ & 0xFF);
    case kFpgaTemperatureHigh:
        return static_cast<uint8_t>(fpgaTemperatureRaw_ >> 8);
    case family::fpgahead::kTemperatureSample:
        return static_cast<uint8_t>(temperatureSample_ & 0xFF);
    case family::fpgahead::kTemperatureSample + 1:
        return static_cast<uint8_t>(temperatureSample_ >> 8);
    default:
        break;
    }
    if (profile_.kind == Kind::TextHead && reg == kFpgaLink) return linkRegister_;
    if (profile_.readyRegister187 && reg == kFpgaReady187) return static_cast<uint8_t>(kReady187 ? 1 : 0);
    if (profile_.bootRegister33 && reg == kFpgaBoot) return kBoot33;
    if (const auto it = mirrored_.find(reg); it != mirrored_.end()) return it->second;
    return std::nullopt;
}

void FamilyModel::fpgaRegisterWritten(uint8_t reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    const uint8_t widthReg = profile_.alternateWindowRegisters ? fpga::kAltWidthLow : fpga::kWidthLow;
    const uint8_t heightReg = profile_.alternateWindowRegisters ? fpga::kAltHeightLow : fpga::kHeightLow;
    if (reg == widthReg) width_ = (width_ & 0xFF00) | value;
    if (reg == widthReg + 1) width_ = (width_ & 0xFF) | (uint32_t{value} << 8);
    if (reg == heightReg) height_ = (height_ & 0xFF00) | value;
    if (reg == heightReg + 1) height_ = (height_ & 0xFF) | (uint32_t{value} << 8);
    if (reg == kFpgaLink) linkRegister_ = value;
    if (reg == kFpgaBridgeReset) {
        // The bridge comes up after the reset line went 1 then 0.
        if (value == 1) bridgeResetPulsed_ = true;
        if (value == 0 && bridgeResetPulsed_) bridgeReset_ = kBridgeReadyBit;
    }
    for (uint8_t mirroredWrite : kMirroredRegisters) {
        if (reg == mirroredWrite) mirrored_[static_cast<uint8_t>(reg & ~kWriteMirrorBit)] = value;
    }
}

SensorTiming FamilyModel::timing() const {
    std::lock_guard lock(mutex_);
    auto wide = [&](uint16_t address) {
        const auto low = registers_.find(address);
        const auto high = registers_.find(static_cast<uint16_t>(address + 1));
        return (low == registers_.end() ? 0u : low->second) | ((high == registers_.end() ? 0u : high->second) << 8);
    };
    uint32_t line = profile_.kind == Kind::Bridge ? wide(bridge::kLineLength) : 0;
    uint32_t frame = profile_.kind == Kind::Bridge ? wide(bridge::kFrameLength) : 0;
    if (line == 0) line = width_ + kHorizontalBlanking;
    if (frame == 0) frame = height_ + kVerticalBlanking;
    return {.lineLengthClocks = line, .frameLengthLines = frame, .clockKHz = profile_.clockKHz};
}

void FamilyModel::render(const RenderContext& context, std::span<uint8_t> pixels) {
    context.scene.render(context.frameIndex, context.geometry, pixels);
    if (profile_.orientation != kOrientationAsRead) applyRawOrientation(profile_.orientation, context.geometry, pixels);
}

std::vector<std::pair<uint16_t, uint8_t>> FamilyModel::registerWrites() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

uint8_t FamilyModel::sensorRegister(uint16_t address) const {
    std::lock_guard lock(mutex_);
    const auto it = registers_.find(address);
    return it == registers_.end() ? 0 : it->second;
}

void FamilyModel::setSensorRegister(uint16_t address, uint8_t value) {
    std::lock_guard lock(mutex_);
    registers_[address] = value;
}

std::vector<std::string> FamilyModel::textCommands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

uint8_t FamilyModel::headFpgaRegister(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    const auto it = headFpga_.find(reg);
    return it == headFpga_.end() ? 0 : it->second;
}

bool FamilyModel::debugMode() const {
    std::lock_guard lock(mutex_);
    return debug_;
}

void FamilyModel::setEndlessReply(bool endless) {
    std::lock_guard lock(mutex_);
    endlessReply_ = endless;
}

void FamilyModel::setDevice95(bool answers, uint8_t status) {
    std::lock_guard lock(mutex_);
    device95Answers_ = answers;
    device95Status_ = status;
}

void FamilyModel::setFpgaTemperatureRaw(uint16_t raw) {
    std::lock_guard lock(mutex_);
    fpgaTemperatureRaw_ = raw;
}

void FamilyModel::setTemperatureSample(uint16_t sample) {
    std::lock_guard lock(mutex_);
    temperatureSample_ = sample;
}

} // namespace lumvek::sim
