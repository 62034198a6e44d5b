#pragma once
// The dialogs' language: Japanese when the user's locale says so, else English.
namespace lumvek::dialogs {

enum class Language { English, Japanese };

inline constexpr int kLangJapanese = 1041;
inline constexpr int kLangEnglishUs = 1033;

// The system's language id, 1041 (Japanese) or 1033. On Linux: 1041 when the
// first set of LC_ALL, LC_MESSAGES and LANG names Japanese ("ja", "ja_JP",
// with or without an encoding or modifier). On Windows: 1041 when the user's
// interface language is Japanese or the ANSI code page is 932.
[[nodiscard]] int systemDefaultLangId();
[[nodiscard]] Language languageFromLangId(int langId);
// Picks the English or the Japanese text.
[[nodiscard]] inline const char* pick(Language language, const char* english, const char* japanese) {
    return language == Language::Japanese ? japanese : english;
}

} // namespace lumvek::dialogs
