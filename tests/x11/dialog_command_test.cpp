// `lumvek dialog camera|image|analog` under the test's Xvfb: the library's
// dialog opens as a window of its own and, closed with Escape, the command
// ends as the export returns (1: closed) with nothing changed.
#include <gtest/gtest.h>

#include "support/test_env.h"
#include "tool_child.h"
#include "x_driver.h"
#include "xvfb_server.h"

#ifdef LUMVEK_TOOL_PATH
namespace {

using lumvek::test::ToolChild;
using lumvek::test::XDriver;

constexpr int kBoundMs = 30000;

TEST(DialogCommand, EachDialogOpensAndEscapeEndsTheCommandWithNothingChanged) {
    lumvek::test::XvfbServer server(1920, 1080);
    ASSERT_TRUE(server.ok());
    XDriver x(server.display());
    ASSERT_TRUE(x.ok());
    for (const char* kind : {"analog", "image", "camera"}) {
        const auto dir = lumvek::test::makeTempDir(std::string("dialog-") + kind);
        ToolChild tool(dir, server.display(), {"dialog", kind, "--simulate"}, {"LC_ALL=C.UTF-8"});
        ASSERT_TRUE(tool.started());
        const ::Window dialog = x.waitForTitle("Property", kBoundMs);
        ASSERT_NE(dialog, 0u) << kind << ": no dialog window; " << tool.err();
        EXPECT_TRUE(x.closeWithEscape(dialog, kBoundMs));
        EXPECT_EQ(tool.waitExit(kBoundMs), 0) << kind << ": " << tool.err();
        EXPECT_NE(tool.out().find(std::string(kind) + " dialog closed"), std::string::npos) << tool.out();
        EXPECT_NE(tool.out().find("no setting changed"), std::string::npos) << tool.out();
        EXPECT_TRUE(lumvek::test::holdsWithin(kBoundMs, [&] { return x.findByTitle("Property") == 0; }));
    }
}

TEST(DialogCommand, UnderAJapaneseLocaleTheDialogIsJapanese) {
    lumvek::test::XvfbServer server(1920, 1080);
    ASSERT_TRUE(server.ok());
    XDriver x(server.display());
    const auto dir = lumvek::test::makeTempDir("dialog-ja");
    ToolChild tool(dir, server.display(), {"dialog", "analog", "--simulate"}, {"LC_ALL=ja_JP.UTF-8"});
    const ::Window dialog = x.waitForTitle("プロパティ", kBoundMs);
    ASSERT_NE(dialog, 0u) << tool.err();
    EXPECT_TRUE(x.closeWithEscape(dialog, kBoundMs));
    EXPECT_EQ(tool.waitExit(kBoundMs), 0) << tool.err();
}

TEST(DialogCommand, AnUnknownDialogIsAUsageErrorAndNoServerAFailure) {
    lumvek::test::XvfbServer server(640, 480);
    ASSERT_TRUE(server.ok());
    const auto dir = lumvek::test::makeTempDir("dialog-bad");
    ToolChild unknown(dir, server.display(), {"dialog", "colour", "--simulate"});
    EXPECT_EQ(unknown.waitExit(kBoundMs), 2);
    EXPECT_NE(unknown.err().find("camera, image or analog"), std::string::npos) << unknown.err();

    ToolChild noServer(dir, ":1", {"dialog", "analog", "--simulate"}, {"DISPLAY="});
    EXPECT_EQ(noServer.waitExit(kBoundMs), 1);
    EXPECT_NE(noServer.err().find("DISPLAY is not set"), std::string::npos) << noServer.err();
}

} // namespace
#endif
