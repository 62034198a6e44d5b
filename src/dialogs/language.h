#pragma once
// The dialogs' language: Japanese when the user's locale says so, else English.
namespace lumvek::dialogs {

enum class Language { English, Japanese };

inline constexpr int kLangJapanese = 1041;
inline constexpr int kLangEnglishUs = 1033;

// Stands in for GetSystemDefaultLangID: 1041 when the first set of LC_ALL,
// LC_MESSAGES and LANG names Japanese ("ja", "ja_JP", with or without an
// encoding or modifier), else 1033.
[[nodiscard]] int systemDefaultLangId();
[[nodiscard]] Language languageFromLangId(int langId);
// Picks the English or the Japanese text.
[[nodiscard]] inline const char* pick(Language language, const char* english, const char* japanese) {
    return language == Language::Japanese ? japanese : english;
}

} // namespace lumvek::dialogs
