// The sensor factory's 0x3020 identity probe against simulated cameras that
// carry either chip.
#include <gtest/gtest.h>

#include "camera/sensor_factory.h"
#include "sensors/family/mt9_sensors.h"
#include "sim/models/mt9f_model.h"
#include "simulated_r13.h"

namespace lumvek {
namespace {

class FactoryProbe : public test::SimulatedCameraFixture {
protected:
    void attachVersion(const std::string& version) {
        sim::SensorModelConfig config;
        config.productId = 0x3020;
        config.sensorVersion = version;
        attachCamera("product=0x3020,pattern=black,sensor-version=" + version, sim::makeMt9fModel(config));
    }
};

TEST_F(FactoryProbe, VersionWord302MakesAnMt9f002) {
    attachVersion("302");
    device().log().clear();
    const auto sensor = createSensorForProduct(0x3020, controller_.get());
    ASSERT_TRUE(sensor);
    EXPECT_TRUE(dynamic_cast<CSensorMT9F002*>(sensor.get()));
    EXPECT_EQ(sensor->serialAddress(), 0x20);
    const auto writes = device().log().accesses(sim::Access::I2cWrite);
    const auto reads = device().log().accesses(sim::Access::I2cRead);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], (sim::RegisterAccess{sim::Access::I2cWrite, 0x20, 2}));
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0], (sim::RegisterAccess{sim::Access::I2cRead, 0x20, 2}));
}

TEST_F(FactoryProbe, OtherVersionWordMakesAnMt9f001) {
    attachVersion("301");
    const auto sensor = createSensorForProduct(0x3020, controller_.get());
    ASSERT_TRUE(sensor);
    EXPECT_TRUE(dynamic_cast<CSensorMT9F001*>(sensor.get()));
}

TEST_F(FactoryProbe, UnpluggedCameraFailsTheProbe) {
    attachVersion("302");
    camera_->unplug();
    EXPECT_FALSE(createSensorForProduct(0x3020, controller_.get()));
    camera_->replug();
    EXPECT_TRUE(createSensorForProduct(0x3020, controller_.get()));
}

} // namespace
} // namespace lumvek
