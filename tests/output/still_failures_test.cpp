// Still images that cannot be written, and still images written over files
// that are already there.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "output/outside_decoders.h"
#include "output/still/save_image.h"
#include "support/test_env.h"

namespace lumvek {
namespace {

using namespace test;

struct TypeCase {
    int fileType;
    const char* extension;
};
constexpr TypeCase kTypes[] = {{0, "bmp"}, {1, "raw"}, {2, "jpg"}, {3, "jpg"}, {4, "jpg"}, {5, "png"}, {6, "tif"}};

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Files may grow to a few hundred bytes: every format's writes fail part way.
class SmallFileLimit {
public:
    SmallFileLimit() {
        EXPECT_EQ(0, getrlimit(RLIMIT_FSIZE, &old_));
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = kBytes;
        EXPECT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    }
    ~SmallFileLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }
    static constexpr rlim_t kBytes = 300;

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

TEST(StillFailures, AFailedWriteLeavesNoFileAnExistingOneUntouchedAndNothingOnTheTerminal) {
    const auto dir = makeTempDir("still-fail");
    for (int bits : {8, 24, 48}) {
        ImageBuffer picture;
        ASSERT_TRUE(picture.create(96, 64, bits));
        fillPicture(picture, static_cast<uint32_t>(bits));
        for (const TypeCase& type : kTypes) {
            const std::string name = std::to_string(bits) + "-" + std::to_string(type.fileType) + "." + type.extension;
            const auto fresh = dir / ("new-" + name);
            const auto older = dir / ("old-" + name);
            { std::ofstream(older) << "an older picture"; }
            SaveOutcome made{};
            SaveOutcome replaced{};
            std::string terminal;
            {
                SmallFileLimit limit;
                testing::internal::CaptureStderr();
                made = saveImage(picture, bits, fresh.c_str(), type.fileType);
                replaced = saveImage(picture, bits, older.c_str(), type.fileType);
                terminal = testing::internal::GetCapturedStderr();
            }
            EXPECT_EQ(0, made.result) << name;
            EXPECT_EQ(0, replaced.result) << name;
            EXPECT_FALSE(std::filesystem::exists(fresh)) << name << ": no empty or partial file";
            EXPECT_EQ("an older picture", readText(older)) << name << ": the old file stays whole";
            EXPECT_EQ("", terminal) << name << ": the libraries' own lines stay off the terminal";
        }
    }
    // Nothing else is left in the folder: no temporary of a failed write.
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ(0u, entry.path().filename().string().rfind("old-", 0)) << entry.path();
        ++entries;
    }
    EXPECT_EQ(3u * std::size(kTypes), entries);
}

TEST(StillFailures, ASaveOverAFileReplacesItWholeKeepingItsModeAndLinksAndSparesDevices) {
    LUMVEK_REQUIRE_TOOL(convert, "convert");
    const auto dir = makeTempDir("still-over");
    ImageBuffer picture;
    ASSERT_TRUE(picture.create(32, 16, 24));
    fillPicture(picture, 7);
    const auto target = dir / "target.png";
    { std::ofstream(target) << "an older picture"; }
    ASSERT_EQ(0, ::chmod(target.c_str(), 0640));
    const auto link = dir / "link.png";
    std::filesystem::create_symlink(target, link);

    ASSERT_EQ(1, saveImage(picture, 24, link.c_str(), 5).result);
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link stays a link";
    struct stat st {};
    ASSERT_EQ(0, ::stat(target.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777) << "the file keeps its mode";
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++entries;
    }
    EXPECT_EQ(2u, entries) << "the file and the link, no temporary";
    EXPECT_EQ(expectedSamples(picture, false), imageMagickSamples(convert, target, "rgb", 8));

    // A device is written as it is, never replaced by a file.
    ASSERT_EQ(1, saveImage(picture, 24, "/dev/null", 0).result);
    ASSERT_EQ(0, ::stat("/dev/null", &st));
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

} // namespace
} // namespace lumvek
