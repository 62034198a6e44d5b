// lumvek --product against the lumvek-camsim daemon: cameras of products the
// C API does not open, through the C++ camera interface.
#include <gtest/gtest.h>

#include <filesystem>

#include "tool_process.h"

namespace lumvek::test {
namespace {

constexpr const char* kR12 = "product=0x32D0,name=r12,pattern=ramp";
constexpr const char* kR05 = "product=0x3180,name=r05";
constexpr const char* kR13 = "product=0x3090,name=cam0";

TEST(ToolProducts, ListShowsEveryProduct) {
    ToolEnv env("products-list");
    Daemon daemon(env, {kR12, kR05, kR13});
    ASSERT_TRUE(daemon.ready());
    const ProcessResult list = lumvek({"list"}, env);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("0   LumvekR13-USB3-K7_01"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("product 0x32D0 #0 CSensorR12"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("product 0x3180 #0 CSensorR05"), std::string::npos) << list.out;
    const ProcessResult json = lumvek({"list", "--json"}, env);
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("\"products\":[{\"product\":12672,\"number\":0,\"name\":\"CSensorR05\",\"openable\":true,\"id\":\"r05\"}"),
              std::string::npos)
        << json.out;
}

TEST(ToolProducts, R12SnapAndTemperature) {
    ToolEnv env("products-r12");
    Daemon daemon(env, {kR12});
    ASSERT_TRUE(daemon.ready());
    const std::string pgm = (env.dir() / "r12.pgm").string();
    const ProcessResult snap = lumvek({"snap", "--product", "0x32D0", "-o", pgm, "--window", "640x480"}, env);
    ASSERT_EQ(snap.exitCode, 0) << snap.err;
    EXPECT_EQ(snap.out, "saved " + pgm + " (640 x 480, 8 bits)\n");
    const std::string bytes = readFile(pgm);
    const std::string header = "P5\n640 480\n255\n";
    ASSERT_EQ(bytes.size(), header.size() + 640u * 480);
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_LT(static_cast<uint8_t>(bytes[header.size()]), static_cast<uint8_t>(bytes[header.size() + 639]))
        << "the ramp, dark on the left";

    const ProcessResult temperature = lumvek({"get", "--product", "0x32D0", "temperature"}, env);
    ASSERT_EQ(temperature.exitCode, 0) << temperature.err;
    EXPECT_EQ(temperature.out, "temperature = 24.83\n") << "637 x 0.5031 - 295.64";
    const ProcessResult info = lumvek({"info", "--product", "0x32D0", "--json"}, env);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\"width\":4096"), std::string::npos) << info.out;
}

TEST(ToolProducts, R05TextExchangeAndRefusals) {
    ToolEnv env("products-r05");
    Daemon daemon(env, {kR05});
    ASSERT_TRUE(daemon.ready());
    const ProcessResult text = lumvek({"set", "--product", "0x3180", "text", "n\\r\\n"}, env);
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "LUMVEK-R05-CL\\r\\n\n");
    const ProcessResult gain = lumvek({"set", "--product", "0x3180", "gain", "1000"}, env);
    EXPECT_EQ(gain.exitCode, 1);
    EXPECT_NE(gain.err.find("set: gain: value out of range"), std::string::npos) << gain.err;
    const ProcessResult absent = lumvek({"info", "--product", "0x32D0"}, env);
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_NE(absent.err.find("product 0x32D0 camera 0: no camera of that product and number"), std::string::npos)
        << absent.err;
    const ProcessResult unknown = lumvek({"get", "--product", "0x3180", "sharpness"}, env);
    EXPECT_EQ(unknown.exitCode, 2);
}

} // namespace
} // namespace lumvek::test
