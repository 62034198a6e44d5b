#include "dialogs/language.h"

namespace lumvek::dialogs {

Language languageFromLangId(int langId) {
    return langId == kLangJapanese ? Language::Japanese : Language::English;
}

} // namespace lumvek::dialogs
