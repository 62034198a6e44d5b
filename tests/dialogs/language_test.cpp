// The language rule and the two template sets: the same controls by id in
// English and Japanese, with the Japanese captions where they differ.
#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/image_dialog.h"
#include "dialogs/language.h"
#include "instance/scripted_device.h"
#include "support/test_env.h"

namespace lumvek::test {
namespace {

using dialogs::Language;

struct LocaleCase {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    int expected;
};

#ifndef _WIN32
// (On Windows the system's own language settings decide; the dialogs_win32
// suite runs in both.)
TEST(DialogLanguage, JapaneseOnlyWhenTheFirstSetLocaleVariableNamesJapanese) {
    const LocaleCase cases[] = {
        {"ja_JP.UTF-8", nullptr, nullptr, 1041},
        {nullptr, "ja", "en_US.UTF-8", 1041},
        {nullptr, nullptr, "ja_JP", 1041},
        {nullptr, nullptr, "ja_JP.eucJP@euro", 1041},
        {"", "", "ja_JP.SJIS", 1041},            // empty variables count as unset
        {"C", nullptr, "ja_JP.UTF-8", 1033},     // LC_ALL wins
        {nullptr, "en_GB", "ja_JP.UTF-8", 1033}, // LC_MESSAGES before LANG
        {nullptr, nullptr, "jav_ID", 1033},      // Javanese is not Japanese
        {nullptr, nullptr, "de_DE.UTF-8", 1033},
        {nullptr, nullptr, nullptr, 1033},
    };
    for (const LocaleCase& c : cases) {
        auto value = [](const char* v) { return v ? std::optional<std::string>(v) : std::nullopt; };
        ScopedEnv all("LC_ALL", value(c.lcAll));
        ScopedEnv messages("LC_MESSAGES", value(c.lcMessages));
        ScopedEnv lang("LANG", value(c.lang));
        EXPECT_EQ(dialogs::systemDefaultLangId(), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " " << (c.lang ? c.lang : "-");
    }
}
#endif

TEST(DialogLanguage, OnlyLangIdJapaneseMeansJapanese) {
    EXPECT_EQ(dialogs::languageFromLangId(1041), Language::Japanese);
    EXPECT_EQ(dialogs::languageFromLangId(1033), Language::English);
    EXPECT_EQ(dialogs::languageFromLangId(2052), Language::English);
}

class DialogTemplates : public ::testing::Test {
protected:
    DialogTemplates() : registry_("LUMVEK_REGISTRY_FILE", (makeTempDir("templates") / "registry.sqlite3").string()) {}

    dialogs::WithDevice withDevice() {
        return [this](const std::function<void(CameraDevice&)>& use) { use(device_); };
    }

    ScopedEnv registry_;
    ScriptedDevice device_;
    SettingsStore store_;
};

TEST_F(DialogTemplates, EveryDialogHasTheSameControlsInBothLanguages) {
    device_.seconds = device_.blackLevel = device_.cooling = device_.gainMode = true;
    for (int mode : {0, 2}) {
        dialogs::ImageDialog en(Language::English, mode, {}, [](auto&) {});
        dialogs::ImageDialog ja(Language::Japanese, mode, {}, [](auto&) {});
        EXPECT_EQ(idsAndKinds(en), idsAndKinds(ja));
    }
    dialogs::CameraDialog cameraEn(Language::English, store_, 0, false, false);
    dialogs::CameraDialog cameraJa(Language::Japanese, store_, 0, false, false);
    EXPECT_EQ(idsAndKinds(cameraEn), idsAndKinds(cameraJa));
    dialogs::AnalogDialog analogEn(Language::English, withDevice(), {}, [](const auto&) {});
    dialogs::AnalogDialog analogJa(Language::Japanese, withDevice(), {}, [](const auto&) {});
    EXPECT_EQ(idsAndKinds(analogEn), idsAndKinds(analogJa));
    EXPECT_GT(idsAndKinds(analogEn).size(), 40u);
}

TEST_F(DialogTemplates, TitlesCaptionsAndComboTextsFollowTheLanguage) {
    dialogs::CameraDialog en(Language::English, store_, 0, false, false);
    dialogs::CameraDialog ja(Language::Japanese, store_, 0, false, false);
    EXPECT_EQ(en.title(), "Property");
    EXPECT_EQ(ja.title(), "プロパティ");
    EXPECT_EQ(en.pages().at(0).caption, "Stream Format");
    EXPECT_EQ(ja.pages().at(0).caption, "ストリーム形式");
    EXPECT_EQ(en.control(dialogs::kIdColorCombo)->items,
              (std::vector<std::string>{"Monochrome 8bit", "Monochrome 16bit *", "Color 24bit", "Color 32bit",
                                        "Color 48bit *", "Color 64bit *"}));
    EXPECT_EQ(ja.control(dialogs::kIdColorCombo)->items.at(1), "白黒 16bit ※");
    EXPECT_EQ(en.control(dialogs::kIdClockCombo)->items,
              (std::vector<std::string>{"Nomal(24MHz)", "Half(12MHz)", "High(18MHz)"}));
    EXPECT_EQ(ja.control(dialogs::kIdClockCombo)->items.at(2), "高速(18MHz)");
    EXPECT_EQ(en.control(dialogs::kIdSizeCombo)->items.back(), "Custom");
    EXPECT_EQ(ja.control(dialogs::kIdSizeCombo)->items.back(), "カスタム");
    EXPECT_EQ(ja.control(dialogs::kIdWaitTime)->label, "フレーム間待ち時間(&T):");
    EXPECT_EQ(ja.control(dialogs::kIdCancel)->text, "キャンセル");
    EXPECT_EQ(ja.control(dialogs::kIdApply)->text, "適用(&A)");

    dialogs::ImageDialog image(Language::Japanese, 0, {}, [](auto&) {});
    EXPECT_EQ(image.control(dialogs::kIdDefault)->text, "規定値(&D)");
    // The page captions are the same in both languages.
    ASSERT_EQ(image.pages().size(), 2u);
    EXPECT_EQ(image.pages()[1].caption, "Gray Filter");
}

} // namespace
} // namespace lumvek::test
