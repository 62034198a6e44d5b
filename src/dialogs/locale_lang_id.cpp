// The system's language on Linux, from the locale variables.
#include <cstdlib>
#include <string_view>

#include "dialogs/language.h"

namespace lumvek::dialogs {

int systemDefaultLangId() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v != nullptr && *v != '\0') {
            locale = v;
            break;
        }
    }
    if (locale == nullptr) {
        return kLangEnglishUs;
    }
    // language[_territory][.codeset][@modifier]
    const std::string_view text(locale);
    const std::string_view language = text.substr(0, text.find_first_of("_.@"));
    return language == "ja" ? kLangJapanese : kLangEnglishUs;
}

} // namespace lumvek::dialogs
