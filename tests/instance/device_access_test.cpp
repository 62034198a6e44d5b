// Registers, serial ROM, I/O port, exposure, temperature, mirrors, small
// settings and the configuration file.
#include <fstream>

#include "instance/lumvek_internals.h"
#include "instance_fixture.h"

using namespace lumvek;
using namespace lumvek::test;

TEST_F(InstanceTest, SmallSettingsAcceptOnlyTheirValues) {
    CLumvek& self = start();
    EXPECT_EQ(self.SetColorMode(12), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(self.GetColorMode(), 24);  // the store's default colour mode
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        EXPECT_EQ(self.SetColorMode(bits), 1);
        EXPECT_EQ(self.GetColorMode(), bits);
    }
    EXPECT_EQ(self.SetSubSample(1), 0);
    EXPECT_EQ(self.GetLastError(), 0);
    EXPECT_EQ(self.SetSubSample(0), 1);
    EXPECT_EQ(self.SetWaitTime(-1), 0);
    EXPECT_EQ(self.GetLastError(), 0);
    EXPECT_EQ(self.SetWaitTime(0), 1);
    EXPECT_EQ(self.GetWaitTime(), 0);
}

TEST_F(InstanceTest, AutoIrisAboveTwoIsPostedButNotPushed) {
    CLumvek& self = start();
    (void)postedErrors();
    EXPECT_EQ(self.SetAutoIris(2), 1);
    EXPECT_EQ(self.SetAutoIris(3), 0);
    EXPECT_EQ(self.SetAutoIris(-1), 0);
    EXPECT_EQ(self.GetLastError(), 0);
    EXPECT_EQ(postedErrors(), (std::vector<intptr_t>{9, 9}));
    int ok = 0;
    EXPECT_EQ(self.GetAutoIris(&ok), 2);
    EXPECT_EQ(ok, 1);
}

TEST_F(InstanceTest, MirrorsAreNormalisedPassedOnAndKept) {
    CLumvek& self = start();
    EXPECT_EQ(self.SetMirrorH(5), 1);
    EXPECT_EQ(self.SetMirrorV(1), 1);
    EXPECT_EQ(device_->mirrorH, 1);
    EXPECT_EQ(self.GetMirrorH(), 1);
    EXPECT_EQ(self.GetMirrorV(), 1);
    EXPECT_EQ(internals(self).gainSettings().hMirror, 1);
}

TEST_F(InstanceTest, SensorAndFpgaRegistersReportFailedTransfersAsCode6) {
    CLumvek& self = start();
    int ok = -1;
    EXPECT_EQ(self.ReadRegister(0x44, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_TRANSFER);
    EXPECT_EQ(self.WriteRegister(0x8044, 0x5155), 1);
    EXPECT_EQ(self.ReadRegister(0x8044, &ok), 0x5155);
    EXPECT_EQ(ok, 1);

    ok = 7;
    EXPECT_EQ(self.FpgaWriteRegister(0x3F, 0x1203), 1);
    EXPECT_EQ(device_->fpga[0x3F], 0x03);
    EXPECT_EQ(self.FpgaReadRegister(0x3F, &ok), 3);
    EXPECT_EQ(ok, 7);  // the flag is written only on failure
    EXPECT_EQ(self.FpgaReadRegister(0x40, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_TRANSFER);
}

TEST_F(InstanceTest, IoPortIsFpgaRegister7AndItsErrorsAreOnlyPosted) {
    CLumvek& self = start();
    (void)postedErrors();
    unsigned char port = 0;
    EXPECT_EQ(self.GetIOPort(&port), 0);  // never written: the read fails
    EXPECT_EQ(self.SetIOPort(0xA5), 1);
    EXPECT_EQ(self.GetIOPort(&port), 1);
    EXPECT_EQ(port, 0xA5);
    EXPECT_EQ(self.GetIOPort(nullptr), 0);
    EXPECT_EQ(self.GetLastError(), 0);
    EXPECT_EQ(postedErrors(), (std::vector<intptr_t>{9, 9}));
}

TEST_F(InstanceTest, SerialRomBytesAreVerifiedAfterWriting) {
    CLumvek& self = start();
    (void)postedErrors();
    EXPECT_EQ(self.WriteSromID(0x0480 | 0xF000, 0x5A), 1);  // only 12 address bits count
    EXPECT_EQ(device_->srom[0x0480], 0x5A);
    int ok = 0;
    EXPECT_EQ(self.ReadSromID(0x0480, &ok), 0x5A);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(self.ReadSromID(0x0FFE, &ok), 0);
    EXPECT_EQ(ok, 0);
    device_->failWrites = true;
    EXPECT_EQ(self.WriteSromID(0x10, 1), 0);
    EXPECT_EQ(self.GetLastError(), 0);
    EXPECT_EQ(postedErrors(), (std::vector<intptr_t>{1, 1}));
}

TEST_F(InstanceTest, ExposureInSecondsNeedsTheFeature) {
    CLumvek& self = start();
    EXPECT_EQ(self.SetExposureTimeEx(0.5), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_UNSUPPORTED);
    int ok = -1;
    EXPECT_EQ(self.GetExposureTimeEx(&ok), -1.0);
    EXPECT_EQ(ok, 0);

    device_->seconds = true;
    EXPECT_EQ(self.SetExposureTimeEx(0.25), 1);
    EXPECT_EQ(device_->exposureSeconds, 0.25);
    EXPECT_EQ(internals(self).gainSettings().exposure, 2500);
    EXPECT_EQ(self.GetExposureTimeEx(&ok), 0.25);
    EXPECT_EQ(ok, 1);
}

TEST_F(InstanceTest, RealExposureIsInMicrosecondsWithinTheDeviceRange) {
    CLumvek& self = start();
    EXPECT_EQ(self.SetRealExposureTime(99), 0);  // 0 units
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_ARGUMENT);
    EXPECT_EQ(self.SetRealExposureTime(819200), 0);
    EXPECT_EQ(self.SetRealExposureTime(100050), 1);
    EXPECT_EQ(device_->exposure, 1000);
    int ok = 0;
    EXPECT_EQ(self.GetRealExposureTime(&ok), 100000);
    EXPECT_EQ(ok, 1);
}

TEST_F(InstanceTest, TemperatureReadsPushCodeZeroOrTwelve) {
    CLumvek& self = start();
    int ok = -1;
    EXPECT_EQ(self.GetTemperatureEx(&ok), 0.0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_UNSUPPORTED);
    device_->temperature = true;
    (void)self.SetColorMode(1);  // code 9 underneath
    EXPECT_EQ(self.GetTemperatureEx(&ok), 21.5);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(self.GetLastError(), 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_ARGUMENT);
    device_->failWrites = true;
    EXPECT_EQ(self.GetTemperatureEx(&ok), 0.0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_CONVERSION);
}

TEST_F(InstanceTest, SamplingRateReachesTheDeviceWithIndexAndModeZero) {
    CLumvek& self = start();
    EXPECT_EQ(self.SetSamplingRate(0x1234), 1);
    EXPECT_EQ(device_->callsStartingWith("SetSamplingRate").back(), "SetSamplingRate(0,0,4660)");
    int value = 5;
    EXPECT_EQ(self.GetSamplingRate(&value), 0);
    EXPECT_EQ(value, 0);
}

TEST_F(InstanceTest, ConfigurationFileIsReadAsIntegerPairs) {
    CLumvek& self = start();
    const auto dir = makeTempDir("config");
    const auto path = (dir / "config.bin").string();
    {
        std::ofstream out(path, std::ios::binary);
        const int32_t words[] = {1, -2, 0x7FFFFFFF, 4};
        out.write(reinterpret_cast<const char*>(words), sizeof words);
        out.write("abc", 3);  // a trailing partial record is ignored
    }
    EXPECT_EQ(self.LoadConfigFile(path.c_str()), 1);
    const auto pairs = internals(self).configList();
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0], std::make_pair(1, -2));
    EXPECT_EQ(pairs[1], std::make_pair(0x7FFFFFFF, 4));

    EXPECT_EQ(self.LoadConfigFile((dir / "missing").string().c_str()), 0);
    EXPECT_EQ(self.LoadConfigFile(dir.string().c_str()), 0);  // a directory
    EXPECT_EQ(self.LoadConfigFile(nullptr), 0);
    EXPECT_EQ(internals(self).configList().size(), 2u);  // failures leave the list alone
    {
        std::ofstream empty(path, std::ios::binary | std::ios::trunc);
    }
    EXPECT_EQ(self.LoadConfigFile(path.c_str()), 1);
    EXPECT_TRUE(internals(self).configList().empty());
}

TEST_F(InstanceTest, WithoutADeviceCameraCallsReportCode1AndSomeOnlyPostIt) {
    instance_ = std::make_unique<CLumvek>(&noDevice);
    ASSERT_EQ(instance_->Initialize(window_), 1);
    CLumvek& self = *instance_;
    (void)postedErrors();
    char names[10][256];
    EXPECT_EQ(self.EnumDevice(names), 0);
    EXPECT_EQ(self.SetDeviceNumber(0), 0);
    EXPECT_EQ(self.SetMirrorH(1), 0);
    EXPECT_EQ(self.Capture(), 0);
    EXPECT_EQ(postedErrors(), (std::vector<intptr_t>{1, 1, 1, 1}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(self.GetLastError(), LUMVEK_ERR_STATE);
    }
    EXPECT_EQ(self.SetMirrorV(1), 0);
    EXPECT_EQ(self.GetMirrorV(), 0);
    EXPECT_EQ(self.SetIOPort(1), 0);
    EXPECT_EQ(self.GetLastError(), 0);
    EXPECT_EQ(postedErrors(), (std::vector<intptr_t>{1, 1, 1}));
    // Settings that live in the instance still work.
    EXPECT_EQ(self.SetColorMode(8), 1);
    EXPECT_EQ(self.SetWaitTime(5), 1);
}
