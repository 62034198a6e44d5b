// The examples built in this tree, run against a simulated camera created
// by the library from LUMVEK_SIM_CAMERAS.
#include <gtest/gtest.h>

#include <cstdio>


#include "file_checks.h"
#include "tool_process.h"

namespace lumvek::test {
namespace {

TEST(Examples, SavePictureAndCountCallbackFramesOfASimulatedCamera) {
    ToolEnv env("examples");
    env.set("LUMVEK_SIM_CAMERAS", "product=0x3090,name=sim0,pattern=chart");
    const std::string bmp = (env.dir() / "first.bmp").string();
    const ProcessResult save = run(LUMVEK_EXAMPLE_SAVE_PATH, {bmp}, env);
    ASSERT_EQ(save.exitCode, 0) << save.err;
    EXPECT_EQ(save.out, "saved " + bmp + ": 2336 x 1752 from LumvekR13-USB3-K7_01\n");
    const std::string bytes = readFile(bmp);
    EXPECT_EQ(signatureOf(bytes), "bmp");
    EXPECT_EQ(bytes.size(), 54u + 2336u * 1752u * 3u);

    const ProcessResult rate = run(LUMVEK_EXAMPLE_CALLBACK_PATH, {"4"}, env);
    ASSERT_EQ(rate.exitCode, 0) << rate.err;
    double measured = 0.0;
    double reported = -1.0;
    EXPECT_EQ(std::sscanf(rate.out.c_str(), "4 frames, measured %lf frames/s, SDK reports %lf frames/s", &measured,
                          &reported),
              2)
        << rate.out;
    EXPECT_GT(measured, 0.0) << rate.out;
    EXPECT_GE(reported, 0.0) << rate.out;
}

TEST(Examples, SayWhenThereIsNoCamera) {
    ToolEnv env("examples-none");
    const ProcessResult save = run(LUMVEK_EXAMPLE_SAVE_PATH, {(env.dir() / "x.bmp").string()}, env);
    EXPECT_EQ(save.exitCode, 1);
    EXPECT_EQ(save.err, "save_first_picture: no camera found\n");
    const ProcessResult rate = run(LUMVEK_EXAMPLE_CALLBACK_PATH, {"4"}, env);
    EXPECT_EQ(rate.exitCode, 1);
    EXPECT_NE(rate.err.find("cannot open camera 0"), std::string::npos) << rate.err;
}

} // namespace
} // namespace lumvek::test
