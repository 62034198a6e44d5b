// Initialisation, camera selection, naming, settings persistence and teardown.
#include <algorithm>
#include <cstring>
#include <fstream>

#include "instance/lumvek_internals.h"
#include "instance_fixture.h"
#include "settings/registry_key.h"
#include "support/wide_text.h"

using namespace lumvek;
using namespace lumvek::test;

namespace {

std::unique_ptr<ScriptedDevice> deviceWith(int cameras) {
    auto device = std::make_unique<ScriptedDevice>();
    device->camerasPresent = cameras;
    return device;
}

// The channel block as the serial ROM holds it: gains 1..4 then offsets 1..4,
// little-endian 16-bit words from 0x1062.
void writeChannelBlock(ScriptedDevice& device, const uint16_t (&words)[8]) {
    for (int i = 0; i < 8; ++i) {
        device.srom[static_cast<uint16_t>(0x1062 + 2 * i)] = static_cast<uint8_t>(words[i]);
        device.srom[static_cast<uint16_t>(0x1063 + 2 * i)] = static_cast<uint8_t>(words[i] >> 8);
    }
}

} // namespace

TEST_F(InstanceTest, OneCameraIsOpenedAtInitialiseAndGetsTheCachedSettingsInOrder) {
    start(deviceWith(1));
    EXPECT_EQ(device_->openNumber, 0);
    const auto& calls = *device_->calls;
    const auto position = [&calls](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    };
    // The device's defaults: global 350, colour gains 8, exposure 774.
    const std::vector<std::string> order = {"SetGlobalGain(350)",   "SetColorGainGreen1(8)", "SetColorGainRed(8)",
                                            "SetColorGainBlue(8)",  "SetColorGainGreen2(8)", "SetExposure(774)",
                                            "SetMirrorV(0)",        "SetMirrorH(0)",         "SetChannelGain(1,0)",
                                            "SetChannelOffset(4,0)"};
    for (size_t i = 1; i < order.size(); ++i) {
        EXPECT_LT(position(order[i - 1]), position(order[i])) << order[i - 1] << " before " << order[i];
    }
    EXPECT_LT(position(order.back()), static_cast<long>(calls.size()));
    EXPECT_EQ(position("SetCooling(1)"), static_cast<long>(calls.size()));  // no cooling on this device
}

TEST_F(InstanceTest, TwoCamerasWaitForSetDeviceNumber) {
    start(deviceWith(2));
    EXPECT_EQ(device_->openNumber, -1);
    EXPECT_EQ(instance_->SetDeviceNumber(1), 1);
    EXPECT_EQ(device_->openNumber, 1);
    EXPECT_EQ(internals(*instance_).cameraNumber(), 1);
    EXPECT_EQ(instance_->SetDeviceNumber(2), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_NO_CAMERA);
    device_->openFails = true;
    EXPECT_EQ(instance_->SetDeviceNumber(0), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_NO_CAMERA);
}

TEST_F(InstanceTest, OptionalFeaturesAreRestoredOnlyWhereOffered) {
    auto device = deviceWith(1);
    device->cooling = device->shortExposure = device->gainMode = device->blackLevel = true;
    device->shortMode = 1;
    start(std::move(device));
    EXPECT_EQ(device_->coolingOn, 1);
    EXPECT_EQ(device_->shortMode, 0);
    EXPECT_EQ(device_->callsStartingWith("SetGainMode").size(), 1u);
    EXPECT_EQ(device_->callsStartingWith("SetBlackLevel").size(), 1u);
}

TEST_F(InstanceTest, TheChannelBlockIsReadAtOpenAndWrittenBackAtRelease) {
    auto device = deviceWith(1);
    writeChannelBlock(*device, {0x0102, 0x0304, 0x0506, 0x0708, 0x0A0B, 0x0C0D, 0x0E0F, 0x1011});
    start(std::move(device));
    EXPECT_EQ(internals(*instance_).channelGain(1), 0x0102);
    EXPECT_EQ(internals(*instance_).channelOffset(4), 0x1011);
    EXPECT_EQ(device_->channelGain[1], 0x0304);
    EXPECT_EQ(device_->channelOffset[2], 0x0E0F);

    // A changed gain of channel 1 (low byte) and offset of channel 4 (both
    // bytes): only those bytes are written back, upward.
    ASSERT_EQ(instance_->SetFilterValue(29, 0x0199), 1);
    ASSERT_EQ(instance_->SetFilterValue(36, 0x0233), 1);
    auto calls = device_->calls;
    instance_.reset();
    std::vector<std::string> writes;
    for (const auto& call : *calls) {
        if (call.rfind("WriteSromByte", 0) == 0) {
            writes.push_back(call);
        }
    }
    EXPECT_EQ(writes, (std::vector<std::string>{"WriteSromByte(4194,153)", "WriteSromByte(4208,51)",
                                                "WriteSromByte(4209,2)"}));
}

TEST_F(InstanceTest, AnUnchangedChannelBlockIsNotWrittenAtRelease) {
    auto device = deviceWith(1);
    writeChannelBlock(*device, {0x0102, 0x0304, 0x0506, 0x0708, 0x0A0B, 0x0C0D, 0x0E0F, 0x1011});
    start(std::move(device));
    const auto calls = device_->calls;
    instance_.reset();
    for (const std::string& call : *calls) {
        EXPECT_EQ(call.rfind("WriteSromByte", 0), std::string::npos) << call;
    }
}

TEST_F(InstanceTest, UnreadableChannelBytesStayZero) {
    auto device = deviceWith(1);
    device->srom[0x1062] = 0x34;  // only the low byte of gain 1 answers
    start(std::move(device));
    EXPECT_EQ(internals(*instance_).channelGain(1), 0x34);
    EXPECT_EQ(internals(*instance_).channelGain(2), 0);
    // A block not read whole is never written back: the zeros standing in
    // for unread bytes would overwrite the camera's calibration.
    const auto calls = device_->calls;
    instance_.reset();
    for (const std::string& call : *calls) {
        EXPECT_EQ(call.rfind("WriteSromByte", 0), std::string::npos) << call;
    }
}

TEST_F(InstanceTest, ARomByteThatNeverReadsBackAsWrittenIsAFailedWrite) {
    auto device = deviceWith(1);
    device->sromDropsWrites = true;
    start(std::move(device));
    EXPECT_EQ(instance_->WriteSromID(0x100, 0x5A), 0);
    EXPECT_EQ(postedErrors().back(), LUMVEK_ERR_STATE);
    device_->sromDropsWrites = false;
    EXPECT_EQ(instance_->WriteSromID(0x100, 0x5A), 1);
}

TEST_F(InstanceTest, SettingsAreSavedPerCameraOnSwitchAndReleaseAndRestoredAtOpen) {
    start(deviceWith(2));
    ASSERT_EQ(instance_->SetDeviceNumber(0), 1);
    ASSERT_EQ(instance_->SetFilterValue(13, 500), 1);
    ASSERT_EQ(instance_->SetFilterValue(1, -20), 1);
    ASSERT_EQ(instance_->SetDeviceNumber(1), 1);  // saves camera 0's groups
    {
        RegistryKey key;
        ASSERT_TRUE(RegistryKey::openRead(cameraKeyPath(0) + "\\Gain", key));
        uint32_t global = 0;
        ASSERT_TRUE(key.readDword("Global", global));
        EXPECT_EQ(global, 500u);
    }
    // Camera 1 has no groups yet: defaults.
    int ok = 0;
    EXPECT_EQ(instance_->GetFilterValue(1, &ok), 0);
    EXPECT_EQ(internals(*instance_).gainSettings().global, 350);
    ASSERT_EQ(instance_->SetFilterValue(13, 600), 1);
    instance_.reset();  // saves camera 1's groups

    start(deviceWith(2));
    ASSERT_EQ(instance_->SetDeviceNumber(1), 1);
    EXPECT_EQ(device_->global, 600);
    ASSERT_EQ(instance_->SetDeviceNumber(0), 1);
    EXPECT_EQ(device_->global, 500);
    EXPECT_EQ(instance_->GetFilterValue(1, &ok), -20);
}

TEST_F(InstanceTest, EnumDeviceNumbersPresentCamerasFromOneAndClearsTheRest) {
    start(deviceWith(3));
    char names[10][256];
    std::memset(names, 'x', sizeof names);
    EXPECT_EQ(instance_->EnumDevice(names), 3);
    EXPECT_STREQ(names[0], "LumvekR13-USB3-K7_01");
    EXPECT_STREQ(names[2], "LumvekR13-USB3-K7_03");
    for (int i = 3; i < 10; ++i) {
        EXPECT_STREQ(names[i], "");
    }
    LUMVEK_WCHAR wide[10][256];
    EXPECT_EQ(instance_->EnumDeviceW(wide), 3);
    EXPECT_EQ(lumvek::test::WideString(wide[1]), LUMVEK_TEST_WIDE("LumvekR13-USB3-K7_02"));
    EXPECT_EQ(wide[9][0], 0);
}

TEST_F(InstanceTest, EnumDeviceNamesEveryPresentCameraPastAnUnpluggedNumber) {
    auto device = deviceWith(2);
    device->absentNumber = 0;  // number 0 unplugged, number 1 still there
    start(std::move(device));
    char names[10][256];
    EXPECT_EQ(instance_->EnumDevice(names), 1);
    EXPECT_STREQ(names[0], "LumvekR13-USB3-K7_01");
    EXPECT_STREQ(names[1], "");
}

TEST_F(InstanceTest, DeviceNamesNeedRoomForTheNameAndItsTerminator) {
    start(deviceWith(1));
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(instance_->GetDeviceName(0, buffer, 17), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_ARGUMENT);
    // 18 to 20 bytes cannot hold "LumvekR13-USB3-K7_01" and its terminator.
    EXPECT_EQ(instance_->GetDeviceName(0, buffer, 20), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(instance_->GetDeviceName(0, buffer, 21), 1);
    EXPECT_STREQ(buffer, "LumvekR13-USB3-K7_01");
    EXPECT_EQ(instance_->GetDeviceName(1, buffer, 64), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_NO_CAMERA);
    EXPECT_EQ(instance_->GetDeviceName(32, buffer, 64), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_NO_CAMERA);
    EXPECT_EQ(instance_->GetDeviceName(0, nullptr, 64), 0);

    LUMVEK_WCHAR wide[32];
    EXPECT_EQ(instance_->GetDeviceNameW(0, wide, 20), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_CONVERSION);
    EXPECT_EQ(instance_->GetDeviceNameW(0, wide, 21), 1);
    EXPECT_EQ(lumvek::test::WideString(wide), LUMVEK_TEST_WIDE("LumvekR13-USB3-K7_01"));
}

TEST_F(InstanceTest, CameraInfoFillsWhatTheRecordSizeAllows) {
    start(deviceWith(1));
    alignas(8) uint8_t bytes[64];
    auto* record = reinterpret_cast<LumvekCameraInfo*>(bytes);
    std::memset(bytes, 0xAB, sizeof bytes);
    record->size = 35;
    EXPECT_EQ(instance_->GetCameraInfo(record), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_MEMORY);
    record->size = 36;
    EXPECT_EQ(instance_->GetCameraInfo(record), 1);
    EXPECT_EQ(record->fullWidth, 2336);
    EXPECT_EQ(record->fullHeight, 1752);
    EXPECT_EQ(record->globalGainMin, 15);
    EXPECT_EQ(record->globalGainMax, 1023);
    EXPECT_EQ(record->colorGainMax, 63);
    EXPECT_EQ(record->exposureMin, 1);
    EXPECT_EQ(record->exposureMax, 8191);
    for (int i = 36; i < 64; ++i) {
        EXPECT_EQ(bytes[i], 0xAB) << i;
    }
    device_->seconds = true;
    record->size = 56;
    EXPECT_EQ(instance_->GetCameraInfo(record), 1);
    EXPECT_EQ(bytes[36], 0xAB);  // offset 36 is never written
    EXPECT_EQ(record->exposureMinSeconds, 0.0001);
    EXPECT_EQ(record->exposureMaxSeconds, 3600.0);
    EXPECT_EQ(instance_->GetCameraInfo(nullptr), 0);
    EXPECT_EQ(instance_->GetLastError(), LUMVEK_ERR_ARGUMENT);
}

TEST_F(InstanceTest, ReferenceFramesStartDarkAndWhite) {
    start(deviceWith(0));
    DefectPlanes* planes = internals(*instance_).defectPlanes();
    ASSERT_NE(planes, nullptr);
    auto access = planes->access();
    const ImageBuffer& white16 = access.reference(PlaneDepth::Bits16, ReferenceKind::White);
    const ImageBuffer& dark8 = access.reference(PlaneDepth::Bits8, ReferenceKind::Dark);
    EXPECT_EQ(white16.sizeBytes(), 8185344u);
    EXPECT_EQ(dark8.sizeBytes(), 4092672u);
    EXPECT_EQ(access.reference(PlaneDepth::Bits8, ReferenceKind::White).pixels()[4092671], 255);
    EXPECT_EQ(white16.pixels()[0], 0xFF);
    EXPECT_EQ(white16.pixels()[8185343], 0xFF);
    EXPECT_EQ(dark8.pixels()[12345], 0);
    EXPECT_EQ(access.mask(PlaneDepth::Bits16, ReferenceKind::Dark).pixels()[8185343], 0);
    EXPECT_TRUE(internals(*instance_).buffer(BufferId::Raw8)->empty());
}

TEST_F(InstanceTest, PerCameraValuesFromTheStoreReplaceTheBuiltInOnes) {
    {
        RegistryKey key;
        ASSERT_TRUE(RegistryKey::openWrite(cameraKeyPath(0), key));
        ASSERT_TRUE(key.writeDword("Color", 4));
        ASSERT_TRUE(key.writeDword("WaitTime", 33));
    }
    start(deviceWith(0));
    EXPECT_EQ(instance_->GetColorMode(), 48);
    EXPECT_EQ(instance_->GetWaitTime(), 33);
}

TEST_F(InstanceTest, ANotificationWindowThatIsNotAWindowStopsInitialisationSilently) {
    pendingDevice() = std::make_unique<ScriptedDevice>();
    CLumvek instance(&takePendingDevice);
    EXPECT_EQ(instance.Initialize(reinterpret_cast<HWND>(0x1234)), 0);
    EXPECT_EQ(instance.GetLastError(), 0);
}
