// `lumvek view --simulate --screenshot` under the test's Xvfb: the PNG shows
// the simulator's chart in its colours.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_env.h"
#include "xvfb_server.h"

#ifdef LUMVEK_TOOL_PATH
namespace {

constexpr int kWidth = 2336;
constexpr int kHeight = 1752;

struct Rgb {
    int r, g, b;
};

TEST(ViewCommand, ScreenshotShowsTheChartInItsColours) {
    lumvek::test::XvfbServer server(1920, 1080);
    ASSERT_TRUE(server.ok());
    const auto dir = lumvek::test::makeTempDir("view");
    const std::string png = (dir / "out.png").string();
    const std::string command = "cd '" + dir.string() + "' && DISPLAY=" + server.display() +
                                " timeout 60 '" LUMVEK_TOOL_PATH "' view --simulate --screenshot '" + png +
                                "' --after 2000 > view.log 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&image, png.c_str()), 0) << png;
    image.format = PNG_FORMAT_RGB;
    ASSERT_EQ(image.width, static_cast<unsigned>(kWidth));
    ASSERT_EQ(image.height, static_cast<unsigned>(kHeight));
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0);
    const auto at = [&](int x, int y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    };

    // The chart's bands from the top: a grey ramp (dark left, bright right),
    // six colour patches (red, green, blue, cyan, magenta, yellow), grey steps.
    const int band = kHeight / 3;
    const Rgb left = at(kWidth / 10, band / 2);
    const Rgb right = at(kWidth * 9 / 10, band / 2);
    EXPECT_LT(left.g + 100, right.g);
    EXPECT_NEAR(left.r, left.b, 12);
    const int patchRow = 2 * band - 16;  // below the moving square
    const auto patch = [&](int i) { return at((2 * i + 1) * kWidth / 12, patchRow); };
    const auto strong = [](int v) { return v > 150; };
    const auto weak = [](int v) { return v < 80; };
    const Rgb red = patch(0), green = patch(1), blue = patch(2), cyan = patch(3), magenta = patch(4),
              yellow = patch(5);
    EXPECT_TRUE(strong(red.r) && weak(red.g) && weak(red.b)) << red.r << " " << red.g << " " << red.b;
    EXPECT_TRUE(weak(green.r) && strong(green.g) && weak(green.b)) << green.r << " " << green.g << " " << green.b;
    EXPECT_TRUE(weak(blue.r) && weak(blue.g) && strong(blue.b)) << blue.r << " " << blue.g << " " << blue.b;
    EXPECT_TRUE(weak(cyan.r) && strong(cyan.g) && strong(cyan.b));
    EXPECT_TRUE(strong(magenta.r) && weak(magenta.g) && strong(magenta.b));
    EXPECT_TRUE(strong(yellow.r) && strong(yellow.g) && weak(yellow.b));
}

TEST(ViewCommand, AfterWithoutScreenshotIsAUsageError) {
    const int status = std::system("'" LUMVEK_TOOL_PATH "' view --simulate --after 10 > /dev/null 2>&1");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

} // namespace
#endif
