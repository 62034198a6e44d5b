// The system's language on Windows: Japanese when the user's interface
// language is Japanese or the ANSI code page is the Japanese one (932), the
// code page the dialogs' code-built texts were written for.
#include <windows.h>

#include "dialogs/language.h"

namespace lumvek::dialogs {

namespace {
constexpr UINT kJapaneseCodePage = 932;
}

int systemDefaultLangId() {
    const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE || GetACP() == kJapaneseCodePage;
    return japanese ? kLangJapanese : kLangEnglishUs;
}

} // namespace lumvek::dialogs
