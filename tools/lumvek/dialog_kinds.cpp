#include "dialog_kinds.h"

#include "LumvekSdk.h"

namespace lumvek::tool {

namespace {
constexpr DialogKind kDialogs[] = {
    {"camera", Lumvek_SetCameraDlg},
    {"image", Lumvek_SetImageDlg},
    {"analog", Lumvek_SetAnalogDlg},
};
} // namespace

std::span<const DialogKind> dialogKinds() {
    return kDialogs;
}

const DialogKind* findDialog(const std::string& name) {
    for (const auto& kind : kDialogs) {
        if (name == kind.name) return &kind;
    }
    return nullptr;
}

std::string dialogNames() {
    return "camera, image or analog";
}

} // namespace lumvek::tool
